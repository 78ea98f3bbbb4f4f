// Saves when the disk refuses to write: the operator is told, the program goes on, and
// khgl.dll keeps exactly what it held.
#include "admin/backup_page.h"
#include "admin/daily_backup.h"
#include "admin/data_page.h"
#include "admin/database_copy.h"
#include "customers_mail/customer_entry_window.h"
#include "customers_mail/customer_file.h"
#include "customers_mail/customer_page.h"
#include "data_store/data_store.h"
#include "data_store/sqlite_store.h"
#include "data_store/store_error.h"
#include "goods/goods_test_util.h"
#include "goods/sales_page.h"
#include "input_aids/input_aids.h"
#include "schedule/missed_reminders.h"
#include "schedule/schedule_page.h"
#include "shell/application.h"
#include "shell/folder_lock.h"
#include "shell/login_window.h"
#include "shell/main_window.h"
#include "support/env.h"
#include "support/file_size_limit.h"
#include "widgets/click_widgets.h"

#include <sqlite3.h>

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <array>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <functional>
#include <iterator>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace khgl;
using namespace khgl::test;

namespace {

const QStringList kAllTables =
    QStringLiteral("客户表|进货表|销售表|提醒表|用户表|登录表").split(u'|');

// What the child process reports through its exit code.
enum ChildResult
{
    Refused = 0,         // a clear message, nothing written, and the program went on
    NoClearMessage = 1,  // the failure was not shown, or not in words the operator can act on
    ReportedSaved = 2,   // the operator was told the save worked
    DidNotGoOn = 3,      // the page or the store no longer worked after the failure
    Threw = kChildThrew, // a failure escaped the window (kChildThrewStoreError: a StoreError)
};

// Every row of every table, row keys included.
QList<QList<QStringList>> everything(const TestEnv& env)
{
    QList<QList<QStringList>> tables;
    for (const QString& table : kAllTables) {
        tables << env.rowsOnDisk(QStringLiteral("select rowid, * from ") + table +
                                 QStringLiteral(" order by rowid"));
    }
    return tables;
}

// A shop with a few records in every table.
void fillShop(TestEnv& env)
{
    for (int i = 0; i < 3; ++i) {
        addGoods(env, QStringLiteral("销售表"), QStringLiteral("苹果"), 2, 6,
                 QStringLiteral("2026-12-7"));
        addGoods(env, QStringLiteral("进货表"), QStringLiteral("梨"), 5, 10,
                 QStringLiteral("2026-12-6"));
        env.store.execute(QStringLiteral("insert into 提醒表 values "
                                         "(?,'2026-12-1','2026-12-9','18时0分','发货','',?)"),
                          {i + 1, i + 1});
        env.store.execute(QStringLiteral("insert into 客户表 (客户名,邮寄地址,电子邮箱,购买日期,"
                                         "商品名称,商品单价,商品数量,收取金额,商品简述,客户简述,"
                                         "其他,区别) values ('张三','北京','z@a.cn','2026-12-5',"
                                         "'茶叶',12.5,2,25,'红色','老客户','无',?)"),
                          {i + 1});
    }
    env.addUser(QStringLiteral("店主"), QStringLiteral("mima123"));
    env.store.execute(QStringLiteral("insert into 登录表 values ('店主','mima123')"));
}

// The disk's refusal in words: what failed, and that the data was not written.
bool saysTheDiskFailed(const FakeDialogs::Message& message)
{
    return message.icon == Dialogs::Icon::Critical &&
           (message.text.contains(QStringLiteral("读写数据文件失败")) ||
            message.text.contains(QStringLiteral("磁盘已满")));
}

// In the child: the last message must be the refusal, and no success may have been shown.
int judge(TestEnv& env, const QString& success)
{
    if (env.dialogs.texts().contains(success)) {
        return ReportedSaved;
    }
    if (env.dialogs.messages.empty() || !saysTheDiskFailed(env.dialogs.messages.back())) {
        std::fprintf(stderr, "child saw: %s\n", qPrintable(env.dialogs.texts().join(u'|')));
        return NoClearMessage;
    }
    std::fprintf(stderr, "refusal shown: %s\n", qPrintable(env.dialogs.lastText()));
    return Refused;
}

// In the child, after the refusal: the store still reads and no transaction is left open.
bool storeGoesOn(TestEnv& env, const QString& table, int rows)
{
    try {
        const RecordSet count =
            env.store.select(QStringLiteral("select count(*) as 数目 from ") + table);
        env.store.transaction([] {}); // would fail inside a transaction left half-done
        return count.valueAt(0, 0).toInt() == rows;
    } catch (const StoreError& error) {
        std::fprintf(stderr, "store after the refusal: %s\n", qPrintable(error.message()));
        return false;
    }
}

// In the child: the work was refused because its safety copy could not be written.
int judgeSafetyCopy(TestEnv& env, const QString& success, const QString& notDone)
{
    if (env.dialogs.texts().contains(success)) {
        return ReportedSaved;
    }
    const bool clear = !env.dialogs.messages.empty() &&
                       env.dialogs.messages.back().icon == Dialogs::Icon::Critical &&
                       env.dialogs.lastText().startsWith(notDone) &&
                       env.dialogs.lastText().contains(QStringLiteral("安全副本"));
    std::fprintf(stderr, "child saw: %s\n", qPrintable(env.dialogs.texts().join(u'|')));
    return clear ? Refused : NoClearMessage;
}

// In a child process running as the unprivileged user "nobody": the message of a save of one
// sale into the data of folder, or empty when it worked.
QString saveAsNobody(const QString& folder)
{
    int fds[2];
    if (pipe(fds) != 0) {
        return QStringLiteral("no pipe");
    }
    std::fflush(nullptr);
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::close(fds[0]);
        QByteArray message;
        if (::setgid(65534) != 0 || ::setuid(65534) != 0) {
            message = "cannot become nobody";
        } else {
            try {
                SqliteStore store(folder);
                store.execute(QStringLiteral("insert into 销售表 (名称) values ('茶')"));
            } catch (const StoreError& error) {
                message = error.message().toUtf8();
            }
        }
        (void)!::write(fds[1], message.constData(), static_cast<size_t>(message.size()));
        ::_exit(0);
    }
    ::close(fds[1]);
    QByteArray message;
    char buffer[512];
    for (ssize_t got = 0; (got = ::read(fds[0], buffer, sizeof buffer)) > 0;) {
        message.append(buffer, got);
    }
    ::close(fds[0]);
    ::waitpid(pid, nullptr, 0);
    return QString::fromUtf8(message);
}

// The Chinese sentence comes first; the system's English only inside the closing brackets.
bool chineseFirst(const QString& message, const QString& sentence)
{
    const QString before = message.section(QStringLiteral("（"), 0, 0);
    return message.contains(sentence) && !before.contains(QStringLiteral("denied")) &&
           !before.contains(QStringLiteral("unable to open")) &&
           !before.contains(QStringLiteral("readonly"));
}

QString bigText(qsizetype characters)
{
    return QString(characters, QChar(u'货'));
}

// The saves that grow khgl.dll, each run in a child that returns its verdict.
int saveSale(TestEnv& env)
{
    PageHarness harness(env);
    SalesPage page(harness.env, nullptr);
    page.show();
    page.opened();
    child<QLineEdit>(&page, "Text25")->setText(bigText(200000));
    typeText(child(&page, "Text26"), QStringLiteral("2.5"));
    typeText(child(&page, "Text27"), QStringLiteral("2"));
    typeText(child(&page, "Text28"), QStringLiteral("5"));
    env.inputAids.writeDate(1, QStringLiteral("2026-12-7"));
    click(child(&page, "Label72"));
    const int verdict = judge(env, QStringLiteral("保存完毕。"));
    if (verdict != Refused) {
        return verdict;
    }
    env.dialogs.clear();
    page.opened();
    const bool listed = child<RecordGrid>(&page, "MS5")->rows() == 4;
    return env.dialogs.messages.empty() && listed && storeGoesOn(env, QStringLiteral("销售表"), 3)
               ? Refused
               : DidNotGoOn;
}

int saveCustomer(TestEnv& env)
{
    PageHarness harness(env);
    CustomerPage page(harness.env, nullptr);
    page.show();
    page.opened();
    click(child(&page, "Label49"));
    CustomerEntryWindow* entry = page.entryWindow();
    typeText(child(entry, "Text1"), QStringLiteral("李四"));
    child<QPlainTextEdit>(entry, "Text12")->setPlainText(bigText(200000));
    click(child(entry, "Label1"));
    const int verdict = judge(env, QStringLiteral("保存完毕！"));
    if (verdict != Refused) {
        return verdict;
    }
    return storeGoesOn(env, QStringLiteral("客户表"), 3) ? Refused : DidNotGoOn;
}

int saveReminder(TestEnv& env)
{
    PageHarness harness(env);
    SchedulePage page(harness.env, nullptr);
    page.show();
    page.opened();
    typeText(child(&page, "Text16"), QStringLiteral("2026-12-9"));
    child<QLineEdit>(&page, "Text17")->setText(bigText(40000)); // keeps 32767
    click(child(&page, "Label64"));
    if (env.dialogs.messages.empty() || !saysTheDiskFailed(env.dialogs.messages.back())) {
        std::fprintf(stderr, "child saw: %s\n", qPrintable(env.dialogs.texts().join(u'|')));
        return NoClearMessage;
    }
    std::fprintf(stderr, "refusal shown: %s\n", qPrintable(env.dialogs.lastText()));
    return child<RecordGrid>(&page, "MS3")->rows() == 4 &&
                   storeGoesOn(env, QStringLiteral("提醒表"), 3)
               ? Refused
               : DidNotGoOn;
}

int appendThroughTheStore(TestEnv& env)
{
    try {
        env.store.insertRow(QStringLiteral("客户表"),
                            {{QStringLiteral("客户名"), QStringLiteral("王五")},
                             {QStringLiteral("附加信息"), bigText(200000)}});
        return ReportedSaved;
    } catch (const StoreError& error) {
        if (!saysTheDiskFailed({error.message(), {}, Dialogs::Icon::Critical, {}})) {
            std::fprintf(stderr, "store said: %s\n", qPrintable(error.message()));
            return NoClearMessage;
        }
    }
    return storeGoesOn(env, QStringLiteral("客户表"), 3) ? Refused : DidNotGoOn;
}

const std::pair<const char*, int (*)(TestEnv&)> kGrowingSaves[] = {
    {"sales page save with a 200,000-character name", saveSale},
    {"customer entry save with 200,000 characters of additional information", saveCustomer},
    {"reminder save with a full content box", saveReminder},
    {"record set append through the store", appendThroughTheStore},
};

} // namespace

class TestFailingDisk final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // Each save grows khgl.dll past a file-size limit set just above its size.
    void savesBeyondTheFileSizeLimitChangeNothing_data()
    {
        QTest::addColumn<int>("save");
        for (int i = 0; i < static_cast<int>(std::size(kGrowingSaves)); ++i) {
            QTest::newRow(kGrowingSaves[i].first) << i;
        }
    }

    void savesBeyondTheFileSizeLimitChangeNothing()
    {
        QFETCH(int, save);
        TestEnv env;
        fillShop(env);
        env.store.close(); // the child opens its own connection
        const QString database = env.databasePath();
        const qint64 size = QFileInfo(database).size();
        const auto before = everything(env);
        QCOMPARE(runWithFileSizeLimit(size + 8192,
                                      [&env, save] { return kGrowingSaves[save].second(env); }),
                 static_cast<int>(Refused));
        QVERIFY(!QFileInfo::exists(database + QStringLiteral("-journal")));
        QCOMPARE(QFileInfo(database).size(), size);
        QCOMPARE(env.rowsOnDisk(QStringLiteral("pragma integrity_check")),
                 QList<QStringList>{{QStringLiteral("ok")}});
        QVERIFY(everything(env) == before);
    }

    // The copy of the data kept before a restore or a format cannot be written: nothing is
    // restored or deleted, no half copy is left, and the operator reads why.
    void aSafetyCopyThatCannotBeWrittenStopsRestoreAndFormat()
    {
        TestEnv env;
        // The backup of an empty shop: its new file fits under the limit, the copy of the
        // filled shop kept before the restore does not.
        const QString source = QDir(env.folder()).filePath(QStringLiteral("备份卡.dat"));
        backupDatabase(env.store, source);
        fillShop(env);
        env.store.execute(QStringLiteral("insert into 客户表 (客户名, 附加信息) values ('大', ?)"),
                          {QString(100000, QChar(u'附'))});
        env.store.close();
        const auto before = everything(env);
        const QByteArray sourceBytes = [&source] {
            QFile file(source);
            return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
        }();
        const qint64 limit = (QFileInfo(source).size() + QFileInfo(env.databasePath()).size()) / 2;
        QVERIFY(QFileInfo(env.databasePath()).size() > QFileInfo(source).size() + 16384);

        const int restored = runWithFileSizeLimit(limit, [&env, &source]() -> int {
            PageHarness harness(env);
            BackupPage page(harness.env, nullptr);
            page.show();
            page.opened();
            env.dialogs.fileNext(source);
            click(child(&page, "Text34"));
            env.dialogs.answerNext(Dialogs::Answer::Yes);
            click(child(&page, "Label90"));
            return judgeSafetyCopy(env, QStringLiteral("还原完毕。"), QStringLiteral("没有还原"));
        });
        QCOMPARE(restored, static_cast<int>(Refused));
        const int formatted = runWithFileSizeLimit(limit, [&env]() -> int {
            PageHarness harness(env);
            DataPage page(harness.env, nullptr);
            page.show();
            env.dialogs.answerNext(Dialogs::Answer::Yes);
            click(child(&page, "Label86"));
            return judgeSafetyCopy(env, QStringLiteral("删除完毕。"), QStringLiteral("没有删除"));
        });
        QCOMPARE(formatted, static_cast<int>(Refused));

        QVERIFY(everything(env) == before);
        QCOMPARE(env.rowsOnDisk(QStringLiteral("pragma integrity_check")),
                 QList<QStringList>{{QStringLiteral("ok")}});
        QFile sourceAfter(source);
        QVERIFY(sourceAfter.open(QIODevice::ReadOnly));
        QCOMPARE(sourceAfter.readAll(), sourceBytes);
        QCOMPARE(QDir(QDir(env.folder()).filePath(QStringLiteral("备份")))
                     .entryList(QDir::Files | QDir::Hidden),
                 QStringList());
    }

    // The record fits but its description file does not: the record is saved, the operator
    // is warned, and the customer's earlier description stays whole. (A description folder
    // that cannot be made is covered with the customer page.)
    void descriptionBeyondTheLimitKeepsTheEarlierFile()
    {
        TestEnv env;
        fillShop(env);
        const QString file = customer_file::path(env.folder(), QStringLiteral("张三"));
        QVERIFY(QDir().mkpath(customer_file::directory(env.folder())));
        {
            QFile earlier(file);
            QVERIFY(earlier.open(QIODevice::WriteOnly));
            earlier.write("earlier description\r\n");
        }
        env.store.close();
        const qint64 limit = QFileInfo(env.databasePath()).size() + 65536;
        const int code = runWithFileSizeLimit(limit, [&env]() -> int {
            PageHarness harness(env);
            CustomerPage page(harness.env, nullptr);
            page.show();
            page.opened();
            child<QPlainTextEdit>(&page, "Text1")->setPlainText(bigText(200000));
            click(child(&page, "Command15"));
            const QStringList texts = env.dialogs.texts();
            std::fprintf(stderr, "child saw: %s\n", qPrintable(texts.join(u'|')));
            const bool warned = texts.size() == 2 && texts[0] == QStringLiteral("记录已保存。") &&
                                texts[1].contains(QStringLiteral("客户描述文件")) &&
                                env.dialogs.messages.back().icon == Dialogs::Icon::Warning;
            return warned ? Refused : NoClearMessage;
        });
        QCOMPARE(code, static_cast<int>(Refused));
        QCOMPARE(env.countOnDisk(QStringLiteral("客户表")), 4);
        QFile earlier(file);
        QVERIFY(earlier.open(QIODevice::ReadOnly));
        QCOMPARE(earlier.readAll(), QByteArray("earlier description\r\n"));
        QCOMPARE(QDir(customer_file::directory(env.folder()))
                     .entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot),
                 QStringList{QFileInfo(file).fileName()});
        QDir(customer_file::directory(env.folder())).removeRecursively();
    }

    // A full disk: the login still opens the main window, its first write (the remembered
    // login) says the disk failed, and the last-run stamp keeps the time it held.
    void loginGoesOnWhenTheDiskIsFull()
    {
        TestEnv env;
        fillShop(env);
        env.store.close();
        LastRunStamp stamp(env.folder());
        const QDateTime lastRun(QDate(2026, 12, 7), QTime(18, 30));
        QVERIFY(stamp.write(lastRun));
        const QString database = env.databasePath();
        const auto before = everything(env);
        const int code = runWithFileSizeLimit(8, [&env]() -> int {
            env.clock.set(QDateTime(QDate(2026, 12, 8), QTime(9, 0)));
            auto* login = new LoginWindow(env.context);
            bool admitted = false;
            QObject::connect(login, &LoginWindow::loggedIn, [&admitted] { admitted = true; });
            login->load();
            login->show();
            child<QComboBox>(login, "Combo1")->setEditText(QStringLiteral("店主"));
            child<QLineEdit>(login, "Text1")->setText(QStringLiteral("mima123"));
            child<QCheckBox>(login, "Check1")->setChecked(false); // forgetting is a write too
            click(child(login, "Label2"));
            std::fprintf(stderr, "child saw: %s\n", qPrintable(env.dialogs.texts().join(u'|')));
            if (!admitted) {
                return DidNotGoOn;
            }
            if (env.dialogs.messages.size() != 1 || !saysTheDiskFailed(env.dialogs.messages[0])) {
                return NoClearMessage;
            }
            MainWindow window(env.context);
            window.show();
            window.load();
            QElapsedTimer waited;
            waited.start();
            while (window.dailyBackup()->isRunning() && waited.elapsed() < 15000) {
                QTest::qWait(20);
            }
            return Refused;
        });
        QCOMPARE(code, static_cast<int>(Refused));
        QCOMPARE(stamp.read(), std::optional(lastRun));
        QVERIFY(!QFileInfo::exists(database + QStringLiteral("-journal")));
        QVERIFY(everything(env) == before);
    }

    // One program per data folder: a second start asks the first for its window and exits;
    // a program that cannot answer is named; the lock of a killed program is taken over.
    void secondStartOnTheSameFolder()
    {
        TestEnv env;
        env.addUser(QStringLiteral("店主"), QStringLiteral("pw"));
        env.store.close();
        const QStringList arguments{QStringLiteral("--folder"), env.folder()};
        {
            // Two started together: the first holds the folder but its socket opens a moment
            // later. The second waits for it and is answered, never told the folder is taken.
            const int held = ::open(QFile::encodeName(env.folder()).constData(),
                                    O_RDONLY | O_DIRECTORY | O_CLOEXEC);
            QCOMPARE(::flock(held, LOCK_EX | LOCK_NB), 0);
            QProcess second;
            second.start(QStringLiteral(KHGL_EXECUTABLE), arguments);
            QVERIFY(second.waitForStarted());
            QTest::qWait(1000);
            QLocalServer late;
            QVERIFY(late.listen(FolderLock::serverName(env.folder())));
            int raises = 0;
            connect(&late, &QLocalServer::newConnection, this, [&late, &raises] {
                QLocalSocket* socket = late.nextPendingConnection();
                connect(socket, &QLocalSocket::readyRead, socket, [socket, &raises] {
                    if (socket->readLine() == "raise\n") {
                        ++raises;
                        socket->write("raised\n");
                        socket->flush();
                    }
                });
            });
            QTRY_COMPARE_WITH_TIMEOUT(second.state(), QProcess::NotRunning, 15000);
            QCOMPARE(second.exitCode(), 0);
            QCOMPARE(raises, 1);
            late.close();
            ::close(held);
        }
        {
            FolderLock running(env.folder());
            QCOMPARE(running.acquire(), FolderLock::Result::Owned);
            QSignalSpy raised(&running, &FolderLock::raiseRequested);
            QProcess second;
            second.start(QStringLiteral(KHGL_EXECUTABLE), arguments);
            QTRY_COMPARE_WITH_TIMEOUT(raised.count(), 1, 15000);
            QTRY_COMPARE_WITH_TIMEOUT(second.state(), QProcess::NotRunning, 15000);
            QCOMPARE(second.exitCode(), 0);
            QVERIFY(!QFileInfo::exists(env.databasePath() + QStringLiteral("-journal")));
        }

        QProcess first;
        first.start(QStringLiteral(KHGL_EXECUTABLE), arguments);
        QVERIFY(first.waitForStarted());
        QTRY_VERIFY_WITH_TIMEOUT(
            [&env] {
                QLocalSocket probe;
                probe.connectToServer(FolderLock::serverName(env.folder()));
                return probe.waitForConnected(100);
            }(),
            15000);
        {
            FolderLock again(env.folder());
            QCOMPARE(again.acquire(), FolderLock::Result::AnotherRaised);
        }
        // Deleting the lock file lifts nothing: a second program is still sent away, and the
        // first still answers on its socket.
        QVERIFY(QFile::remove(QDir(env.folder()).filePath(FolderLock::lockFileName())));
        QProcess second;
        second.start(QStringLiteral(KHGL_EXECUTABLE), arguments);
        QVERIFY(second.waitForFinished(15000));
        QCOMPARE(second.exitCode(), 0);
        {
            FolderLock again(env.folder());
            QCOMPARE(again.acquire(), FolderLock::Result::AnotherRaised);
        }
        ::kill(static_cast<pid_t>(first.processId()), SIGSTOP);
        {
            FolderLock again(env.folder());
            QCOMPARE(again.acquire(), FolderLock::Result::AnotherRunning);
            QCOMPARE(FolderLock::refusalText(), QStringLiteral("程序已经在使用这个数据文件夹。"));
        }
        ::kill(static_cast<pid_t>(first.processId()), SIGKILL);
        QVERIFY(first.waitForFinished());
        FolderLock after(env.folder());
        QCOMPARE(after.acquire(), FolderLock::Result::Owned);
    }

    // khgl.dll gone or left empty beside its journal or write-ahead log (a crash mid-save,
    // then the file moved away): the new file starts empty instead of taking in pieces of the
    // old shop; the leftovers are kept under a dated name and the operator is told.
    void leftoverLogsNeverBecomeTheShop_data()
    {
        QTest::addColumn<bool>("wal");
        QTest::newRow("journal, file gone") << false;
        QTest::newRow("write-ahead log, empty file") << true;
    }

    void leftoverLogsNeverBecomeTheShop()
    {
        QFETCH(bool, wal);
        TestEnv env;
        fillShop(env);
        env.store.close();
        const QString database = env.databasePath();
        const QStringList logs{wal ? QStringList{QStringLiteral("-wal"), QStringLiteral("-shm")}
                                   : QStringList{QStringLiteral("-journal")}};
        sqlite3* old = SqliteStore::openConnection(database, SQLITE_OPEN_READWRITE);
        // In the middle of a save that has written enough for the old pages to be on disk.
        const char* save =
            wal ? "pragma journal_mode=wal; update 销售表 set 名称='改过'"
                : "pragma cache_size=10; begin; update 销售表 set 名称='改过'; create table 大 "
                  "(x); "
                  "with recursive n(i) as (select 1 union all select i+1 from n where i<100) "
                  "insert into 大 select hex(randomblob(8000)) from n";
        QVERIFY2(sqlite3_exec(old, save, nullptr, nullptr, nullptr) == SQLITE_OK,
                 sqlite3_errmsg(old));
        for (const QString& log : logs) {
            QVERIFY(QFile::copy(database + log, database + log + QStringLiteral(".copy")));
        }
        sqlite3_exec(old, "rollback", nullptr, nullptr, nullptr);
        sqlite3_close(old);
        QFile file(database);
        QVERIFY(wal ? file.open(QIODevice::WriteOnly | QIODevice::Truncate) : file.remove());
        file.close();
        for (const QString& log : logs) {
            QVERIFY(QFile::rename(database + log + QStringLiteral(".copy"), database + log));
        }

        QVERIFY(prepareDatabase(env.context, nullptr));
        QCOMPARE(env.countOnDisk(QStringLiteral("销售表")), 0);
        QCOMPARE(env.rowsOnDisk(QStringLiteral("pragma integrity_check")),
                 QList<QStringList>{{QStringLiteral("ok")}});
        QVERIFY2(env.dialogs.texts().value(0).contains(QStringLiteral("已改名保留")),
                 qPrintable(env.dialogs.texts().join(u'|')));
        const QStringList kept = QDir(env.folder())
                                     .entryList({DataStore::fileName() + QStringLiteral("-*")},
                                                QDir::Files | QDir::Hidden);
        QCOMPARE(kept.size(), logs.size());
        for (const QString& log : logs) {
            const QRegularExpression dated(
                QStringLiteral("^khgl\\.dll%1\\.\\d{8}-\\d{6}\\.stale$").arg(log));
            QVERIFY2(kept.filter(dated).size() == 1, qPrintable(kept.join(u' ')));
        }
    }

    // Another program holds the file: the start offers 重试 / 退出, and a statement waits at
    // most 3 s with events still handled, then says the file is busy.
    void busyFileIsWaitedForWithoutFreezing()
    {
        keepWindowsPaintingWhileBusy();
        TestEnv env;
        fillShop(env);
        env.store.close();
        sqlite3* other = nullptr;
        QCOMPARE(sqlite3_open(QFile::encodeName(env.databasePath()).constData(), &other),
                 SQLITE_OK);
        QCOMPARE(sqlite3_exec(other, "begin exclusive", nullptr, nullptr, nullptr), SQLITE_OK);

        env.dialogs.answerNext(Dialogs::Answer::Retry);
        QVERIFY(!prepareDatabase(env.context, nullptr));
        QCOMPARE(env.dialogs.messages.size(), size_t{2});
        for (const auto& message : env.dialogs.messages) {
            QCOMPARE(message.buttons, Dialogs::Buttons::RetryExit);
            QVERIFY2(message.text.contains(QStringLiteral("正被其他程序使用")),
                     qPrintable(message.text));
        }

        sqlite3_exec(other, "rollback", nullptr, nullptr, nullptr);
        env.dialogs.clear();
        QVERIFY(prepareDatabase(env.context, nullptr));
        QCOMPARE(sqlite3_exec(other, "begin exclusive", nullptr, nullptr, nullptr), SQLITE_OK);
        int ticks = 0;
        QTimer painter;
        connect(&painter, &QTimer::timeout, this, [&ticks] { ++ticks; });
        painter.start(50);
        QElapsedTimer clock;
        clock.start();
        try {
            env.store.execute(QStringLiteral("insert into 销售表 (名称) values ('茶')"));
            QFAIL("wrote past another program's lock");
        } catch (const StoreError& error) {
            QVERIFY(error.isBusy());
            QVERIFY2(error.message().contains(QStringLiteral("正被其他程序使用")),
                     qPrintable(error.message()));
        }
        QVERIFY2(clock.elapsed() >= 2900 && clock.elapsed() < 4500,
                 qPrintable(QString::number(clock.elapsed())));
        QVERIFY2(ticks >= 20, qPrintable(QString::number(ticks)));
        sqlite3_exec(other, "rollback", nullptr, nullptr, nullptr);
        sqlite3_close(other);
        QCOMPARE(env.countOnDisk(QStringLiteral("销售表")), 3);
    }

    // Permission problems and a read-only folder are told in Chinese, with what to do.
    void accessProblemsAreToldInChinese()
    {
        QTemporaryDir base;
        const QString folder = base.filePath(QStringLiteral("店"));
        QVERIFY(QDir().mkpath(folder));
        {
            SqliteStore store(folder);
            store.create();
        }
        const QByteArray file = QFile::encodeName(DataStore::databasePath(folder));
        QVERIFY(::chmod(QFile::encodeName(base.path()).constData(), 0755) == 0);
        QVERIFY(::chown(QFile::encodeName(folder).constData(), 65534, 65534) == 0);
        QVERIFY(::chown(file.constData(), 65534, 65534) == 0);

        ::chmod(QFile::encodeName(folder).constData(), 0555);
        QString message = saveAsNobody(folder);
        QVERIFY2(chineseFirst(message, QStringLiteral("是只读的")) &&
                     message.contains(QStringLiteral("文件夹")),
                 qPrintable(message));

        ::chmod(QFile::encodeName(folder).constData(), 0755);
        ::chmod(file.constData(), 0444);
        message = saveAsNobody(folder);
        QVERIFY2(chineseFirst(message, QStringLiteral("是只读的")) &&
                     message.contains(QStringLiteral("khgl.dll”是只读的")),
                 qPrintable(message));

        ::chmod(file.constData(), 0);
        message = saveAsNobody(folder);
        QVERIFY2(chineseFirst(message, QStringLiteral("权限")), qPrintable(message));
        ::chmod(file.constData(), 0600);
    }

    // khgl.dll removed while the program runs: every page's save says so and none of them
    // makes a new, empty file in its place.
    void removedDatabaseIsNeverRecreated()
    {
        TestEnv env;
        fillShop(env);
        MainWindow window(env.context);
        window.setUrlOpener([](const QUrl&) {});
        window.show();
        window.load();
        const QString database = env.databasePath();

        // The accounts page is unlocked while the file is still there.
        click(child(&window, "Label59"));
        click(child(&window, "Label74"));
        typeText(child(&window, "Text32"), QStringLiteral("mima123"));
        QTest::keyClick(child(&window, "Text32"), Qt::Key_Return);
        QVERIFY(child(&window, "Frame27")->isVisible());
        for (const char* box : {"Text9", "Text19", "Text30", "Text31"}) {
            typeText(child(&window, box), QStringLiteral("新店员"));
        }
        QVERIFY(QFile::remove(database));

        struct Save
        {
            const char* name;
            std::function<void()> run;
            QString success;
        };
        // A sale or a purchase typed into its page: the page's label, its name, price, quantity
        // and amount boxes, its date's calendar and its save command.
        const auto goods = [&](const char* page, std::array<const char*, 4> boxes, int date,
                               const char* save) {
            return [&window, &env, page, boxes, date, save] {
                click(child(&window, page));
                const char* texts[] = {"梨", "2", "1", "2"};
                for (size_t i = 0; i < boxes.size(); ++i) {
                    typeText(child(&window, boxes[i]), QString::fromUtf8(texts[i]));
                }
                env.inputAids.writeDate(date, QStringLiteral("2026-12-7"));
                click(child(&window, save));
            };
        };
        const Save saves[] = {
            {"accounts", [&] { click(child(&window, "Label82")); }, {}},
            {"sales", goods("Label32", {"Text25", "Text26", "Text27", "Text28"}, 1, "Label72"),
             QStringLiteral("保存完毕。")},
            {"purchases", goods("Label31", {"Text11", "Text12", "Text21", "Text22"}, 4, "Label61"),
             QStringLiteral("保存成功。")},
            {"reminder",
             [&] {
                 click(child(&window, "Label30"));
                 typeText(child(&window, "Text16"), QStringLiteral("2026-12-9"));
                 typeText(child(&window, "Text17"), QStringLiteral("发货"));
                 click(child(&window, "Label64"));
             },
             {}},
            {"customer entry window",
             [&] {
                 click(child(&window, "Label17"));
                 click(child(&window, "Label49"));
                 auto* page = static_cast<CustomerPage*>(window.page(QStringLiteral("Frame1")));
                 typeText(child(page->entryWindow(), "Text1"), QStringLiteral("李四"));
                 click(child(page->entryWindow(), "Label1"));
             },
             QStringLiteral("保存完毕！")},
            {"customer page",
             [&] {
                 click(child(&window, "Label17"));
                 click(child(&window, "Command15"));
             },
             QStringLiteral("记录已保存。")},
        };
        for (const Save& save : saves) {
            env.dialogs.clear();
            save.run();
            const QStringList texts = env.dialogs.texts();
            QVERIFY2(!texts.isEmpty(), save.name);
            QVERIFY2(save.success.isEmpty() || !texts.contains(save.success), save.name);
            const auto& last = env.dialogs.messages.back();
            QVERIFY2(
                last.icon == Dialogs::Icon::Critical && last.text.contains(database),
                qPrintable(QString::fromUtf8(save.name) + QStringLiteral(": ") + texts.join(u'|')));
            QVERIFY2(last.text.contains(QStringLiteral("不见了")) ||
                         last.text.contains(QStringLiteral("不存在")),
                     qPrintable(last.text));
            QVERIFY2(!QFileInfo::exists(database), save.name);
            QVERIFY2(!QFileInfo::exists(database + QStringLiteral("-journal")), save.name);
        }
        // The program goes on: every page still opens, saying what is missing.
        for (const char* label : {"Label58", "Label17", "Label18", "Label30", "Label31", "Label32",
                                  "Label48", "Label9", "Label10", "Label59"}) {
            click(child(&window, label));
        }
        QVERIFY(!QFileInfo::exists(database));
        window.close();
    }
};

QTEST_MAIN(TestFailingDisk)
#include "test_failing_disk.moc"

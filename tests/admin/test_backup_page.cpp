#include "admin/backup_page.h"
#include "admin/database_copy.h"
#include "data_store/data_store.h"
#include "data_store/store_error.h"
#include "goods/stock_minimum_records.h"
#include "platform/record_grid.h"
#include "settings_fixture.h"
#include "shell/page_factory.h"

#include <sqlite3.h>

#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QRandomGenerator>
#include <csignal>
#include <functional>
#include <memory>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace khgl;
using khgl::test::SettingsFixture;

namespace {

constexpr auto kOwnerOnly = QFile::ReadOwner | QFile::WriteOwner;
constexpr auto kAnyPermission = QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                QFile::ReadGroup | QFile::WriteGroup | QFile::ExeGroup |
                                QFile::ReadOther | QFile::WriteOther | QFile::ExeOther;

// Runs work in a child process that may write files of at most limit bytes; returns its exit
// status: 0 when work succeeded, 3 when it threw a StoreError.
int runWithFileSizeLimit(rlim_t limit, const std::function<void()>& work)
{
    const pid_t pid = ::fork();
    if (pid == 0) {
        std::signal(SIGXFSZ, SIG_IGN); // a write beyond the limit fails with EFBIG instead
        const rlimit size{limit, limit};
        ::setrlimit(RLIMIT_FSIZE, &size);
        int status = 0;
        try {
            work();
        } catch (const StoreError&) {
            status = 3;
        } catch (...) {
            status = 4;
        }
        ::_exit(status);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

void writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(bytes);
}

} // namespace

class TestBackupPage final : public QObject
{
    Q_OBJECT

private:
    static QString backupPath(SettingsFixture& f)
    {
        return QDir(f.env.folder()).filePath(QStringLiteral("备份卡.dat"));
    }

    // Makes khgl.dll a few hundred kilobytes, so that a copy takes many blocks.
    static void growDatabase(SettingsFixture& f, int rows = 600)
    {
        f.env.store.transaction([&f, rows] {
            for (int i = 0; i < rows; ++i) {
                f.env.store.execute(
                    QStringLiteral("insert into 客户表 (客户名, 附加信息) values (?, ?)"),
                    {QStringLiteral("客户%1").arg(i), QString(300, QChar(u'记'))});
            }
        });
    }

    static void addSale(SettingsFixture& f, const QString& name)
    {
        f.env.store.execute(QStringLiteral("insert into 销售表 (名称, 单价, 数量, 总金额, 日期) "
                                           "values (?, 5, 2, 10, '2026-12-7')"),
                            {name});
    }

    static void chooseAndRestore(SettingsFixture& f, const QString& source)
    {
        f.env.dialogs.fileNext(source);
        khgl::test::click(f.child("Text34"));
        f.env.dialogs.clear();
        khgl::test::click(f.child("Label90"));
    }

    // Files beside khgl.dll that neither the tests nor the program put there on purpose.
    static QStringList strayFiles(SettingsFixture& f, const QStringList& expected)
    {
        QStringList stray;
        for (const QString& name : QDir(f.env.folder()).entryList(QDir::Files)) {
            if (!name.endsWith(QStringLiteral(".dll")) && !name.endsWith(QStringLiteral(".ico")) &&
                !expected.contains(name)) {
                stray << name;
            }
        }
        return stray;
    }

private Q_SLOTS:
    void backupCopiesTheDatabaseWithProgress()
    {
        SettingsFixture f;
        khgl::test::click(f.child("Label76"));
        QVERIFY(f.child("Frame34")->isVisible());
        QVERIFY(!f.child("Frame29")->isVisible());
        QCOMPARE(
            f.child<QLabel>("Label93")->text(),
            QStringLiteral(
                "操作说明：为了保存现有数据或防止数据丢失等，用户可以对录入的商务数据进行备份和还原"
                "。\r\n\r\n"
                "备份说明：备份时点击文本框，选择数据备份文件想要保存的位置，点击“备份”按钮将文件备"
                "份到指定位置。\r\n\r\n"
                "数据还原说明：首先点击文本框选择需要还原的文件，然后点击“还原”按钮进行还原。"));
        growDatabase(f);
        const qint64 length = QFileInfo(f.env.databasePath()).size();

        // Cancel copies nothing.
        f.env.dialogs.answerNext(Dialogs::Answer::Cancel);
        khgl::test::click(f.child("Label89"));
        QCOMPARE(f.env.dialogs.texts(), QStringList{QStringLiteral("将数据备份到程序所在文件夹。") +
                                                    QDir::toNativeSeparators(f.env.folder())});
        QCOMPARE(f.env.dialogs.messages[0].buttons, Dialogs::Buttons::OkCancel);
        QCOMPARE(f.env.dialogs.messages[0].icon, Dialogs::Icon::None);
        QVERIFY(f.env.dialogs.messages[0].title.isEmpty());
        QVERIFY(!QFileInfo::exists(backupPath(f)));

        auto* bar = f.child<QProgressBar>("Pro1");
        QVERIFY(!bar->isVisible());
        QList<int> values;
        int maximum = 0;
        bool shownWhileCopying = true;
        connect(bar, &QProgressBar::valueChanged, this, [&](int value) {
            if (value == 0) {
                return;
            }
            values << value;
            maximum = bar->maximum();
            shownWhileCopying = shownWhileCopying && bar->isVisible();
            if (values.size() == 1) {
                khgl::test::click(f.child("Label89")); // a second copy must not start
                khgl::test::grabTo(&f.page, QStringLiteral("admin_backup_copying"));
            }
        });
        f.env.dialogs.clear();
        khgl::test::click(f.child("Label89"));
        QCOMPARE(f.env.dialogs.texts().size(), 2);
        QCOMPARE(f.env.dialogs.lastText(), QStringLiteral("备份完成。"));
        QVERIFY(f.env.dialogs.messages[1].title.isEmpty());
        QCOMPARE(maximum, length + 5);
        QVERIFY(values.size() > 3);
        QVERIFY(std::is_sorted(values.begin(), values.end()));
        QCOMPARE(values.back(), length); // 5 short of the maximum
        QVERIFY(shownWhileCopying);
        QVERIFY(!bar->isVisible());
        QCOMPARE(bar->value(), 0);
        QCOMPARE(f.fileBytes(backupPath(f)), f.fileBytes(f.env.databasePath()));
        QCOMPARE(QFileInfo(backupPath(f)).permissions() & kAnyPermission, kOwnerOnly);

        // A second backup replaces the first: one file, equal to the grown database.
        addSale(f, QStringLiteral("茶"));
        khgl::test::click(f.child("Label89"));
        QCOMPARE(f.fileBytes(backupPath(f)), f.fileBytes(f.env.databasePath()));
        QCOMPARE(strayFiles(f, {QStringLiteral("备份卡.dat")}), QStringList());
        khgl::test::grabTo(&f.page, QStringLiteral("admin_backup"));
    }

    void restoreBringsBackTheBackedUpData()
    {
        SettingsFixture f;
        khgl::test::click(f.child("Label76"));
        f.env.addUser(QStringLiteral("admin"), QStringLiteral("pw"));
        addSale(f, QStringLiteral("旧货"));
        goods::setStockMinimum(f.env.store, QStringLiteral("旧货"), QStringLiteral("4"));
        khgl::test::click(f.child("Label89"));
        const QByteArray backup = f.fileBytes(backupPath(f));

        // Restoring the backup just made leaves khgl.dll as it was.
        chooseAndRestore(f, backupPath(f));
        QCOMPARE(f.env.dialogs.lastText(), QStringLiteral("还原完毕。"));
        QCOMPARE(f.fileBytes(f.env.databasePath()), backup);

        // Sales saved after the backup; the sales page lists them.
        addSale(f, QStringLiteral("新货"));
        addSale(f, QStringLiteral("新货"));
        goods::setStockMinimum(f.env.store, QStringLiteral("旧货"), QString());
        goods::setStockMinimum(f.env.store, QStringLiteral("新货"), QStringLiteral("9"));
        std::unique_ptr<Page> sales(
            createPage(QStringLiteral("Frame12"), QStringLiteral("商品销售"), f.pageEnv, nullptr));
        sales->opened();
        auto* salesGrid = sales->findChild<RecordGrid*>(QStringLiteral("MS5"));
        QVERIFY(salesGrid != nullptr);
        QCOMPARE(salesGrid->text(3, 2), QStringLiteral("新货"));

        // No keeps the current data.
        const QByteArray current = f.fileBytes(f.env.databasePath());
        f.env.dialogs.clear();
        f.env.dialogs.answerNext(Dialogs::Answer::No);
        khgl::test::click(f.child("Label90"));
        QCOMPARE(f.env.dialogs.texts(),
                 QStringList{QStringLiteral("还原的数据将覆盖当前数据。是否确定还原？")});
        QCOMPARE(f.env.dialogs.messages[0].buttons, Dialogs::Buttons::YesNo);
        QCOMPARE(f.env.dialogs.messages[0].icon, Dialogs::Icon::None);
        QCOMPARE(f.fileBytes(f.env.databasePath()), current);

        // Yes: the old data is back, and the next listing reads it.
        f.env.dialogs.clear();
        khgl::test::click(f.child("Label90"));
        QCOMPARE(f.env.dialogs.lastText(), QStringLiteral("还原完毕。"));
        QCOMPARE(f.fileBytes(f.env.databasePath()), backup);
        QCOMPARE(QFileInfo(f.env.databasePath()).permissions() & kAnyPermission, kOwnerOnly);
        sales->opened();
        QCOMPARE(salesGrid->text(1, 2), QStringLiteral("旧货"));
        QCOMPARE(salesGrid->rows(), 2);
        QCOMPARE(f.env.store.select(QStringLiteral("销售表")).recordCount(), 1);
        // The stock minimums come back with the rest.
        QCOMPARE(goods::stockMinimums(f.env.store),
                 (QHash<QString, QString>{{QStringLiteral("旧货"), QStringLiteral("4")}}));
        // Writes go to the restored file.
        addSale(f, QStringLiteral("再卖"));
        QCOMPARE(f.env.countOnDisk(QStringLiteral("销售表")), 2);
        QCOMPARE(strayFiles(f, {QStringLiteral("备份卡.dat")}), QStringList());
    }

    void theFirstRestoreClickChoosesTheFile()
    {
        SettingsFixture f;
        khgl::test::click(f.child("Label76"));
        auto* field = f.child<QLineEdit>("Text34");
        // A cancelled dialog leaves the field empty and restores nothing.
        khgl::test::click(f.child("Label90"));
        QCOMPARE(f.env.dialogs.fileRequests.size(), size_t{1});
        QCOMPARE(f.env.dialogs.fileRequests[0].filter, QStringLiteral("*.dat|*.dat"));
        QVERIFY(f.env.dialogs.messages.empty());
        QVERIFY(field->text().isEmpty());

        f.env.dialogs.fileNext(QStringLiteral("/tmp/x.dat"));
        khgl::test::click(f.child("Label90"));
        QCOMPARE(field->text(), QStringLiteral("/tmp/x.dat"));
        QVERIFY(f.env.dialogs.messages.empty());
        // Cancelling a later choice keeps the name.
        khgl::test::click(field);
        QCOMPARE(field->text(), QStringLiteral("/tmp/x.dat"));
    }

    void refusesSourcesThatAreNotOurDatabases()
    {
        SettingsFixture f;
        khgl::test::click(f.child("Label76"));
        f.env.addUser(QStringLiteral("admin"), QStringLiteral("pw"));
        growDatabase(f, 200);
        khgl::test::click(f.child("Label89"));
        const QByteArray good = f.fileBytes(backupPath(f));
        addSale(f, QStringLiteral("今天"));
        const QByteArray before = f.fileBytes(f.env.databasePath());

        QTemporaryDir sources;
        const QString empty = sources.filePath(QStringLiteral("empty.dat"));
        writeFile(empty, {});
        const QString noise = sources.filePath(QStringLiteral("noise.dat"));
        QByteArray random(100000, '\0');
        QRandomGenerator(7).fillRange(reinterpret_cast<quint32*>(random.data()), random.size() / 4);
        writeFile(noise, random);
        const QString truncated = sources.filePath(QStringLiteral("truncated.dat"));
        writeFile(truncated, good.left(good.size() / 2));
        const QString foreign = sources.filePath(QStringLiteral("foreign.dat"));
        {
            sqlite3* db = nullptr;
            sqlite3_open(QFile::encodeName(foreign).constData(), &db);
            sqlite3_exec(db, "create table notes (text); insert into notes values ('x');", nullptr,
                         nullptr, nullptr);
            sqlite3_close(db);
        }
        const QString otherId = sources.filePath(QStringLiteral("other_id.dat"));
        const QString otherColumns = sources.filePath(QStringLiteral("other_columns.dat"));
        {
            QTemporaryDir scratch;
            DataStore made(scratch.path());
            made.create();
            made.execute(QStringLiteral("pragma application_id=12345"));
            made.close();
            QFile::copy(made.filePath(), otherId);
            QFile::remove(made.filePath());
            made.create();
            made.execute(QStringLiteral("alter table 用户表 add column 角色 text"));
            made.close();
            QFile::copy(made.filePath(), otherColumns);
        }
        const QString folder = sources.filePath(QStringLiteral("folder.dat"));
        QDir().mkpath(folder);
        const QString missing = sources.filePath(QStringLiteral("missing.dat"));

        for (const QString& source :
             {empty, noise, truncated, foreign, otherId, otherColumns, folder, missing}) {
            chooseAndRestore(f, source);
            const QStringList texts = f.env.dialogs.texts();
            QVERIFY2(!texts.contains(QStringLiteral("还原完毕。")), qPrintable(source));
            QCOMPARE(texts.size(), 2);
            QVERIFY2(texts[1].contains(QStringLiteral("没有还原")), qPrintable(texts[1]));
            QCOMPARE(f.env.dialogs.messages[1].icon, Dialogs::Icon::Critical);
            QCOMPARE(f.fileBytes(f.env.databasePath()), before);
            QVERIFY(!f.child("Pro1")->isVisible());
        }
        QCOMPARE(strayFiles(f, {QStringLiteral("备份卡.dat")}), QStringList());
        QCOMPARE(f.env.store.select(QStringLiteral("销售表")).recordCount(), 1);
    }

    void failedCopiesLeaveTheOldFilesWhole()
    {
        SettingsFixture f;
        khgl::test::click(f.child("Label76"));
        khgl::test::click(f.child("Label89"));
        const QByteArray oldBackup = f.fileBytes(backupPath(f));
        growDatabase(f);
        QVERIFY(QFileInfo(f.env.databasePath()).size() > 4 * 65536);

        // The disk refuses the rest of the backup midway.
        const QString target = backupPath(f);
        const QString folder = f.env.folder();
        QCOMPARE(runWithFileSizeLimit(3 * 65536,
                                      [&folder, &target] {
                                          DataStore store(folder);
                                          backupDatabase(store, target);
                                      }),
                 3);
        QCOMPARE(f.fileBytes(backupPath(f)), oldBackup);
        QCOMPARE(strayFiles(f, {QStringLiteral("备份卡.dat")}), QStringList());

        // The same for a restore: khgl.dll stays as it was.
        khgl::test::click(f.child("Label89")); // a big backup to restore from
        addSale(f, QStringLiteral("后来"));
        const QByteArray current = f.fileBytes(f.env.databasePath());
        QCOMPARE(runWithFileSizeLimit(3 * 65536,
                                      [&folder, &target] {
                                          DataStore store(folder);
                                          restoreDatabase(store, target);
                                      }),
                 3);
        QCOMPARE(f.fileBytes(f.env.databasePath()), current);
        QCOMPARE(strayFiles(f, {QStringLiteral("备份卡.dat")}), QStringList());

        // The page reports a failed backup and can try again.
        QFile::remove(target);
        QDir().mkpath(target); // the backup's name is taken by a folder
        f.env.dialogs.clear();
        khgl::test::click(f.child("Label89"));
        QVERIFY(!f.env.dialogs.texts().contains(QStringLiteral("备份完成。")));
        QVERIFY2(f.env.dialogs.lastText().contains(QStringLiteral("备份没有完成")),
                 qPrintable(f.env.dialogs.lastText()));
        QCOMPARE(f.env.dialogs.messages.back().icon, Dialogs::Icon::Critical);
        QVERIFY(QFileInfo(target).isDir());
        QVERIFY(!f.child("Pro1")->isVisible());
        QDir(target).removeRecursively();
        f.env.dialogs.clear();
        khgl::test::click(f.child("Label89"));
        QCOMPARE(f.env.dialogs.lastText(), QStringLiteral("备份完成。"));
        QCOMPARE(strayFiles(f, {QStringLiteral("备份卡.dat")}), QStringList());
    }
};

QTEST_MAIN(TestBackupPage)
#include "test_backup_page.moc"

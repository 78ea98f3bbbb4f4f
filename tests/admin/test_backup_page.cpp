#include "admin/backup_history.h"
#include "admin/backup_page.h"
#include "admin/daily_backup.h"
#include "admin/database_copy.h"
#include "customers_mail/customer_records.h"
#include "data_store/data_store.h"
#include "data_store/schema.h"
#include "data_store/sql_dialect.h"
#include "data_store/sqlite_store.h"
#include "data_store/store_error.h"
#include "data_store/values.h"
#include "goods/goods_records.h"
#include "goods/stock_minimum_records.h"
#include "platform/log_file.h"
#include "settings_fixture.h"
#include "shell/main_window.h"
#include "shell/page_factory.h"
#include "support/fake_tray.h"
#include "support/file_size_limit.h"
#include "widgets/record_grid.h"

#include <sqlite3.h>

#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QRandomGenerator>
#include <QTableWidget>
#include <QTimer>
#include <algorithm>
#include <map>
#include <memory>

using namespace khgl;
using namespace khgl::test;

namespace {

constexpr auto kOwnerOnly = QFile::ReadOwner | QFile::WriteOwner;
constexpr auto kAnyPermission = QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                QFile::ReadGroup | QFile::WriteGroup | QFile::ExeGroup |
                                QFile::ReadOther | QFile::WriteOther | QFile::ExeOther;

// The rows of each statement on the file at path, opened read-only as another program would
// (with the text rules its indexes are built on), the columns joined by '|'; a statement that
// cannot run gives its error as a row.
QStringList rawRows(const QString& path, const QStringList& statements)
{
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(QFile::encodeName(path).constData(), &db, SQLITE_OPEN_READONLY, nullptr) !=
        SQLITE_OK) {
        sqlite3_close(db);
        return {QStringLiteral("cannot open")};
    }
    registerDialect(db);
    QStringList rows;
    for (const QString& sql : statements) {
        sqlite3_stmt* stmt = nullptr;
        if (sqlite3_prepare_v2(db, sql.toUtf8().constData(), -1, &stmt, nullptr) != SQLITE_OK) {
            rows << QStringLiteral("error: ") + QString::fromUtf8(sqlite3_errmsg(db));
        }
        while (stmt && sqlite3_step(stmt) == SQLITE_ROW) {
            QStringList row;
            for (int c = 0; c < sqlite3_column_count(stmt); ++c) {
                row << QString::fromUtf8(
                    reinterpret_cast<const char*>(sqlite3_column_text(stmt, c)));
            }
            rows << row.join(u'|');
        }
        sqlite3_finalize(stmt);
    }
    sqlite3_close(db);
    return rows;
}

// The engine's integrity check of the file at path, then per table of the six either every row
// (keys included, read by column name) or, for a large file, the row count.
QStringList contents(const QString& path, bool countsOnly = false)
{
    QStringList statements{QStringLiteral("pragma integrity_check")};
    for (const char16_t* table :
         {u"客户表", u"进货表", u"销售表", u"提醒表", u"用户表", u"登录表"}) {
        const QString name = QString::fromUtf16(table);
        statements << (countsOnly ? QStringLiteral("select count(*) from ") + name
                                  : QStringLiteral("select rowid, %1 from %2 order by rowid")
                                        .arg(columnNames(name).join(u','), name));
    }
    return rawRows(path, statements);
}

// Objects of the file at path other than the program's tables, indexes and the kept figures
// with their triggers (which every open makes).
QStringList foreignObjects(const QString& path)
{
    QStringList found;
    for (const QString& object :
         rawRows(path, {QStringLiteral("select type || ' ' || name from sqlite_master where "
                                       "type<>'index'")})) {
        const bool own = std::any_of(ownTables().begin(), ownTables().end(), [&](const auto& t) {
            return object.mid(6) == QString::fromUtf16(t.name);
        });
        if (object.section(QLatin1Char(' '), 1).startsWith(QStringLiteral("表合计"))) {
            continue;
        }
        if (!object.startsWith(QStringLiteral("table ")) ||
            (findTable(object.mid(6)) == nullptr && !own)) {
            found << object;
        }
    }
    return found;
}

// A second copy of the program's connection to the file, as another process would hold it
// (with the text rules its indexes are built on).
struct OtherWriter
{
    explicit OtherWriter(const QString& path)
    {
        sqlite3_open(QFile::encodeName(path).constData(), &db);
        registerDialect(db);
    }
    ~OtherWriter() { sqlite3_close(db); }
    OtherWriter(const OtherWriter&) = delete;
    OtherWriter& operator=(const OtherWriter&) = delete;
    int run(const char* sql) { return sqlite3_exec(db, sql, nullptr, nullptr, nullptr); }
    sqlite3* db = nullptr;
};

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

    // A backup that is refused: no "备份完成。", and the last message says why.
    static void backupRefused(SettingsFixture& f, const QString& why)
    {
        f.env.dialogs.clear();
        click(f.child("Label89"));
        QVERIFY(!f.env.dialogs.texts().contains(QStringLiteral("备份完成。")));
        QVERIFY2(f.env.dialogs.lastText().contains(why), qPrintable(f.env.dialogs.lastText()));
    }

    static void chooseAndRestore(SettingsFixture& f, const QString& source)
    {
        f.env.dialogs.fileNext(source);
        click(f.child("Text34"));
        f.env.dialogs.clear();
        f.env.dialogs.answerNext(Dialogs::Answer::Yes);
        click(f.child("Label90"));
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
        click(f.child("Label76"));
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
        QCOMPARE(f.child<QLabel>("Label91")->toolTip(),
                 QStringLiteral("数据库备份到数据文件夹：") +
                     QDir::toNativeSeparators(f.env.folder()));
        QCOMPARE(f.child<QLabel>("Label91")->text(), QStringLiteral("数据库备份到程序所在的位置"));
        QCOMPARE(f.child<QLabel>("BackupStatus")->text(),
                 QStringLiteral("数据文件夹：") + QDir::toNativeSeparators(f.env.folder()));
        growDatabase(f);
        const qint64 length = QFileInfo(f.env.databasePath()).size();

        // Cancel copies nothing.
        f.env.dialogs.answerNext(Dialogs::Answer::Cancel);
        click(f.child("Label89"));
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
                click(f.child("Label89")); // a second copy must not start
                grabTo(&f.page, QStringLiteral("admin_backup_copying"));
            }
        });
        f.env.dialogs.clear();
        click(f.child("Label89"));
        QCOMPARE(f.env.dialogs.texts().size(), 2);
        QCOMPARE(f.env.dialogs.lastText(), QStringLiteral("备份完成。"));
        QVERIFY(f.env.dialogs.messages[1].title.isEmpty());
        // One bar over both copies, 备份卡.dat and the history's entry.
        QCOMPARE(maximum, 2 * length + 5);
        QVERIFY(values.size() > 6);
        QVERIFY(std::is_sorted(values.begin(), values.end()));
        QVERIFY(std::count_if(values.begin(), values.end(),
                              [length](int v) { return v < length; }) > 2);
        QCOMPARE(values.back(), 2 * length); // 5 short of the maximum
        QVERIFY(shownWhileCopying);
        QVERIFY(!bar->isVisible());
        QCOMPARE(bar->value(), 0);
        QCOMPARE(contents(backupPath(f)), contents(f.env.databasePath()));
        QCOMPARE(QFileInfo(backupPath(f)).permissions() & kAnyPermission, kOwnerOnly);

        // A second backup replaces the first: one file, equal to the grown database.
        addSale(f, QStringLiteral("茶"));
        click(f.child("Label89"));
        QCOMPARE(contents(backupPath(f)), contents(f.env.databasePath()));
        QCOMPARE(strayFiles(f, {QStringLiteral("备份卡.dat")}), QStringList());
        grabTo(&f.page, QStringLiteral("admin_backup"));

        // A restore counts the bytes of its source, which size the bar: it stops 5 short too.
        values.clear();
        chooseAndRestore(f, backupPath(f));
        QCOMPARE(f.env.dialogs.lastText(), QStringLiteral("还原完毕。"));
        QCOMPARE(maximum, QFileInfo(backupPath(f)).size() + 5);
        QVERIFY(std::is_sorted(values.begin(), values.end()));
        QCOMPARE(values.back(), QFileInfo(backupPath(f)).size());
        QVERIFY(!bar->isVisible());
    }

    void restoreBringsBackTheBackedUpData()
    {
        SettingsFixture f;
        click(f.child("Label76"));
        f.env.addUser(QStringLiteral("admin"), QStringLiteral("pw"));
        addSale(f, QStringLiteral("旧货"));
        goods::setStockMinimum(f.env.store, QStringLiteral("旧货"), QStringLiteral("4"));
        // Texts as long as any write takes, each character outside the BMP (four UTF-8
        // bytes): the backup holding them restores.
        const QString longest = QStringLiteral("😀").repeated(kMaxStoredCharacters);
        QStringList texts(11, longest);
        texts[3] = QStringLiteral("2026-3-5");
        texts[5] = texts[6] = texts[7] = QStringLiteral("1");
        customer_records::appendRecord(f.env.store, texts, longest,
                                       customer_records::Numbering::CountingNew);
        goods::appendRecord(f.env.store, goods::GoodsTable::Purchases,
                            {longest, QStringLiteral("1"), QStringLiteral("1"), QStringLiteral("1"),
                             QStringLiteral("2026-3-5"), longest});
        goods::setStockMinimum(f.env.store, longest, QStringLiteral("4"));
        click(f.child("Label89"));
        const QStringList backup = contents(backupPath(f));
        QCOMPARE(backup.first(), QStringLiteral("ok"));

        // Restoring the backup just made leaves the data as it was.
        chooseAndRestore(f, backupPath(f));
        QCOMPARE(f.env.dialogs.lastText(), QStringLiteral("还原完毕。"));
        QCOMPARE(contents(f.env.databasePath()), backup);

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
        click(f.child("Label90"));
        QCOMPARE(f.env.dialogs.texts(), QStringList{BackupPage::restoreQuestion()});
        QCOMPARE(f.env.dialogs.messages[0].buttons, Dialogs::Buttons::YesNoDefaultNo);
        QCOMPARE(f.env.dialogs.messages[0].icon, Dialogs::Icon::None);
        QCOMPARE(f.fileBytes(f.env.databasePath()), current);

        // Yes: the old data is back, and the next listing reads it.
        f.env.dialogs.clear();
        f.env.dialogs.answerNext(Dialogs::Answer::Yes);
        click(f.child("Label90"));
        QCOMPARE(f.env.dialogs.lastText(), QStringLiteral("还原完毕。"));
        QCOMPARE(contents(f.env.databasePath()), backup);
        QCOMPARE(QFileInfo(f.env.databasePath()).permissions() & kAnyPermission, kOwnerOnly);
        sales->opened();
        QCOMPARE(salesGrid->text(1, 2), QStringLiteral("旧货"));
        QCOMPARE(salesGrid->rows(), 2);
        QCOMPARE(f.env.store.select(QStringLiteral("销售表")).recordCount(), 1);
        // The stock minimums come back with the rest.
        QVERIFY(goods::stockMinimums(f.env.store) ==
                (QHash<QString, QString>{{QStringLiteral("旧货"), QStringLiteral("4")},
                                         {longest, QStringLiteral("4")}}));
        // Writes go to the restored file.
        addSale(f, QStringLiteral("再卖"));
        QCOMPARE(f.env.countOnDisk(QStringLiteral("销售表")), 2);
        QCOMPARE(strayFiles(f, {QStringLiteral("备份卡.dat")}), QStringList());
    }

    void historyKeepsTheLastTenAndRestoresAListedEntry()
    {
        SettingsFixture f;
        click(f.child("Label76"));
        const QDateTime start(QDate(2026, 11, 20), QTime(9, 0, 0));
        QStringList written; // oldest first
        for (int day = 0; day < 12; ++day) {
            addSale(f, QStringLiteral("货%1").arg(day));
            f.env.clock.set(start.addDays(day));
            click(f.child("Label89"));
            QCOMPARE(f.env.dialogs.lastText(), QStringLiteral("备份完成。"));
            written << QStringLiteral("khgl-%1.dat")
                           .arg(start.addDays(day).toString(QStringLiteral("yyyyMMdd-HHmmss")));
        }
        const QString folder = QDir(f.env.folder()).filePath(QStringLiteral("备份"));
        QCOMPARE(QDir(folder).entryList(QDir::Files), written.mid(2));
        QCOMPARE(QFileInfo(folder).permissions() & kAnyPermission, kOwnerOnly | QFile::ExeOwner);

        // Listed newest first with time, kind and counts; a click chooses the entry.
        auto* list = f.child<QTableWidget>("History");
        QCOMPARE(list->rowCount(), 10);
        QCOMPARE(list->item(0, 0)->text(), QStringLiteral("2026-12-01 09:00:00"));
        QCOMPARE(list->item(9, 0)->text(), QStringLiteral("2026-11-22 09:00:00"));
        QCOMPARE(list->item(9, 1)->text(), QStringLiteral("备份"));
        QVERIFY2(list->item(9, 2)->text().contains(QStringLiteral("销售表 3")),
                 qPrintable(list->item(9, 2)->text()));
        grabTo(&f.page, QStringLiteral("admin_backup_history"));
        list->scrollToItem(list->item(7, 1));
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                          list->visualItemRect(list->item(7, 1)).center());
        QCOMPARE(f.child<QLineEdit>("Text34")->text(),
                 QDir(folder).filePath(QStringLiteral("khgl-20261124-090000.dat")));

        // The restore keeps the data it replaces as the newest entry.
        addSale(f, QStringLiteral("最后"));
        f.env.clock.set(QDateTime(QDate(2026, 12, 2), QTime(10, 0)));
        f.env.dialogs.clear();
        f.env.dialogs.answerNext(Dialogs::Answer::Yes);
        click(f.child("Label90"));
        QCOMPARE(f.env.dialogs.texts(),
                 (QStringList{BackupPage::restoreQuestion(), QStringLiteral("还原完毕。")}));
        QCOMPARE(f.env.countOnDisk(QStringLiteral("销售表")), 5);
        QCOMPARE(list->rowCount(), 11); // the ten backups keep their places
        QCOMPARE(list->item(0, 0)->text(), QStringLiteral("2026-12-02 10:00:00"));
        QCOMPARE(list->item(0, 1)->text(), QStringLiteral("还原前"));
        QCOMPARE(f.child<QLabel>("BackupStatus")->text(),
                 QStringLiteral("2026-12-02 10:00:00 已还原。还原前的数据已保存，列在备份记录中"
                                "（还原前，2026-12-02 10:00:00）。"));
        QVERIFY(list->item(0, 2)->text().contains(QStringLiteral("销售表 13")));

        // The file dialog opens in the data folder.
        f.child<QLineEdit>("Text34")->clear();
        click(f.child("Label90"));
        QCOMPARE(f.env.dialogs.fileRequests.back().startFolder, f.env.folder());
    }

    void dailyBackupRunsInTheBackgroundOncePerDay()
    {
        TestEnv env;
        FakeTray* tray = nullptr;
        env.context.makeTray = [&tray](QObject* parent) {
            auto fake = std::make_unique<FakeTray>(parent);
            tray = fake.get();
            return std::unique_ptr<TrayIcon>(std::move(fake));
        };
        const QString history = QDir(env.folder()).filePath(QStringLiteral("备份"));
        const auto login = [&env](const QDateTime& when) {
            env.clock.set(when);
            auto window = std::make_unique<MainWindow>(env.context);
            window->show();
            window->load();
            return window;
        };
        {
            auto window = login(QDateTime(QDate(2026, 12, 7), QTime(9, 0)));
            auto* status = window->findChild<QLabel*>(QStringLiteral("DailyBackupStatus"));
            // load() came back before the copy was made: the window is not held up.
            QCOMPARE(status->text(), QStringLiteral("正在自动备份今天的数据……"));
            QTRY_VERIFY(!window->dailyBackup()->isRunning());
            QCOMPARE(status->text(),
                     QStringLiteral("今天的自动备份已完成：khgl-20261207-090000.dat"));
            QCOMPARE(window->findChild<QTableWidget*>(QStringLiteral("History"))->rowCount(), 1);
            QVERIFY(tray->balloons.isEmpty());
        }
        // A later login the same day makes none.
        {
            auto window = login(QDateTime(QDate(2026, 12, 7), QTime(17, 0)));
            QVERIFY(!window->dailyBackup()->isRunning());
            QVERIFY(
                window->findChild<QLabel*>(QStringLiteral("DailyBackupStatus"))->text().isEmpty());
        }
        QCOMPARE(QDir(history).entryList(QDir::Files),
                 QStringList{QStringLiteral("khgl-20261207-090000.dat")});

        // The next day the history cannot be written: the backup page and the desktop say so;
        // no notification icon appears before the window is minimised.
        QDir(history).removeRecursively();
        writeFile(history, "not a folder");
        auto window = login(QDateTime(QDate(2026, 12, 8), QTime(8, 30)));
        auto* notice = window->findChild<QLabel*>(QStringLiteral("DailyBackupNotice"));
        QVERIFY(!notice->isVisible());
        QTRY_VERIFY(!window->dailyBackup()->isRunning());
        QVERIFY2(window->findChild<QLabel*>(QStringLiteral("DailyBackupStatus"))
                     ->text()
                     .startsWith(QStringLiteral("今天的自动备份没有完成：")),
                 qPrintable(window->dailyBackup()->status()));
        QVERIFY(tray->balloons.isEmpty());
        QVERIFY(!tray->shown);
        QVERIFY(notice->isVisible());
        QCOMPARE(notice->text(), QStringLiteral("今天的自动备份没有完成"));
        QVERIFY(!notice->toolTip().isEmpty());
        QVERIFY(window->findChild<QLabel*>(QStringLiteral("BackupStatus"))
                    ->text()
                    .startsWith(QStringLiteral("今天的自动备份没有完成：") + notice->toolTip()));
        // It covers nothing of the desktop.
        for (const QWidget* other : notice->parentWidget()->findChildren<QWidget*>(
                 QString(), Qt::FindDirectChildrenOnly)) {
            QVERIFY2(other == notice || !other->isVisible() ||
                         !other->geometry().intersects(notice->geometry()),
                     qPrintable(other->objectName()));
        }
    }

    // Ten backups, then restores refused and one done, then the day's backup: every kind keeps
    // its own ten, the one just written stays, and names from a clock that was a year ahead
    // (the program's clock alone, or the system's, which then also dated the files) neither
    // push new entries out nor stop the daily backup.
    void historyKeepsWhatItWasAskedToKeep_data()
    {
        QTest::addColumn<int>("yearsAhead");  // of the clock that named the ten backups
        QTest::addColumn<bool>("filesAhead"); // the files' own times were set by it too
        QTest::addColumn<int>("refused");     // restores refused before the one done
        QTest::newRow("rotation") << 0 << false << 0;
        QTest::newRow("future_dated") << 1 << false << 0;
        QTest::newRow("future_files") << 1 << true << 0;
        QTest::newRow("refused_restores") << 0 << false << 2;
    }

    void historyKeepsWhatItWasAskedToKeep()
    {
        QFETCH(int, yearsAhead);
        QFETCH(bool, filesAhead);
        QFETCH(int, refused);
        SettingsFixture f;
        click(f.child("Label76"));
        const QDateTime now(QDate(2026, 12, 7), QTime(9, 0));
        QStringList ten;
        for (int day = 0; day < 10; ++day) {
            addSale(f, QStringLiteral("货%1").arg(day));
            f.env.clock.set(now.addYears(yearsAhead).addDays(day - 10));
            click(f.child("Label89"));
            ten << BackupHistory(f.env.folder()).entries().front().path;
        }
        // The system's clock was as far ahead when they were written, then set right.
        for (int day = 0; filesAhead && day < 10; ++day) {
            QFile file(ten[day]);
            QVERIFY(file.open(QIODevice::ReadWrite));
            QVERIFY(file.setFileTime(
                QDateTime::currentDateTime().addYears(yearsAhead).addDays(day - 10),
                QFileDevice::FileModificationTime));
        }
        f.env.clock.set(now);
        QTemporaryDir sources;
        const QString noise = sources.filePath(QStringLiteral("noise.dat"));
        writeFile(noise, QByteArray(5000, 'x'));
        for (int i = 0; i < refused; ++i) {
            chooseAndRestore(f, noise);
            QVERIFY(f.env.dialogs.lastText().contains(QStringLiteral("没有还原")));
        }
        chooseAndRestore(f, ten[4]);
        QCOMPARE(f.env.dialogs.lastText(), QStringLiteral("还原完毕。"));
        QCOMPARE(f.env.countOnDisk(QStringLiteral("销售表")), 5);
        // A safety copy of today is not today's backup.
        DailyBackup daily(f.env.store.address());
        QVERIFY(daily.startIfDue(now));
        QTRY_VERIFY(!daily.isRunning());
        QVERIFY(!daily.startIfDue(now.addSecs(3600)));
        click(f.child("Label89"));
        QCOMPARE(f.env.dialogs.lastText(), QStringLiteral("备份完成。"));

        QStringList backups;
        QStringList safety;
        for (const BackupEntry& entry : BackupHistory(f.env.folder()).entries()) {
            (entry.kind == BackupEntry::Kind::Backup ? backups : safety)
                << QFileInfo(entry.path).fileName();
        }
        // The page's and the daily backup, then the eight last of the ten.
        QStringList expected{QStringLiteral("khgl-20261207-090000-2.dat"),
                             QStringLiteral("khgl-20261207-090000.dat")};
        for (int i = 9; i >= 2; --i) {
            expected << QFileInfo(ten[i]).fileName();
        }
        QCOMPARE(backups, expected);
        QCOMPARE(safety, QStringList{QStringLiteral("khgl-20261207-090000-before-restore.dat")});
        QCOMPARE(f.child<QLabel>("BackupStatus")->text().contains(QStringLiteral("时钟可能不准")),
                 yearsAhead > 0);
        QCOMPARE(daily.status().contains(QStringLiteral("时钟可能不准")), yearsAhead > 0);
    }

    // A file of a few hundred megabytes backed up and restored from the page of the running
    // main window, whose one-second timer queries the store meanwhile: each copy is whole.
    void largeFilesWithTheWindowRunning()
    {
        TestEnv env;
#ifdef KHGL_SANITIZED
        constexpr int customers = 50000; // the instrumented build is several times slower
#else
        constexpr int customers = 200000;
#endif
        {
            OtherWriter writer(env.databasePath());
            writer.run("begin");
            sqlite3_stmt* insert = nullptr;
            sqlite3_prepare_v2(writer.db,
                               "insert into 客户表 (客户名, 客户简述, 附加信息) values "
                               "('客户' || ?1, printf('%.300c', '述') || ?1, "
                               "printf('%.300c', 'x'))",
                               -1, &insert, nullptr);
            for (int i = 0; i < customers; ++i) {
                sqlite3_bind_int(insert, 1, i);
                sqlite3_step(insert);
                sqlite3_reset(insert);
            }
            sqlite3_finalize(insert);
            QCOMPARE(writer.run("commit"), SQLITE_OK);
        }
        const QStringList made = contents(env.databasePath(), true);
        QCOMPARE(made.mid(0, 2), (QStringList{QStringLiteral("ok"), QString::number(customers)}));
        const QDateTime now(QDate(2026, 12, 7), QTime(9, 0));
        env.clock.set(now);
        // Today's backup is there already: nothing else copies.
        const QString history = QDir(env.folder()).filePath(QStringLiteral("备份"));
        QDir().mkpath(history);
        writeFile(QDir(history).filePath(QStringLiteral("khgl-20261207-080000.dat")), "x");
        MainWindow window(env.context);
        window.setAttribute(Qt::WA_DeleteOnClose, false);
        window.show();
        window.load();
        click(window.findChild<QWidget*>(QStringLiteral("Label59")));
        click(window.findChild<QWidget*>(QStringLiteral("Label76")));
        int ticks = 0;
        // Quicker than its second, so it fires during copies of any speed.
        window.timer1()->setInterval(20);
        connect(window.timer1(), &QTimer::timeout, this, [&ticks] { ++ticks; });

        env.dialogs.answerNext(Dialogs::Answer::Ok);
        click(window.findChild<QWidget*>(QStringLiteral("Label89")));
        QCOMPARE(env.dialogs.lastText(), QStringLiteral("备份完成。"));
        const QString backup = QDir(env.folder()).filePath(QStringLiteral("备份卡.dat"));
        QCOMPARE(contents(backup, true), made);

        env.store.execute(QStringLiteral("insert into 销售表 (名称) values ('后来')"));
        env.dialogs.fileNext(backup);
        click(window.findChild<QWidget*>(QStringLiteral("Text34")));
        env.dialogs.answerNext(Dialogs::Answer::Yes);
        click(window.findChild<QWidget*>(QStringLiteral("Label90")));
        QCOMPARE(env.dialogs.lastText(), QStringLiteral("还原完毕。"));
        QCOMPARE(contents(env.databasePath(), true), made);
        QVERIFY2(ticks >= 2, qPrintable(QString::number(ticks))); // the timer ran meanwhile
        // The restored file opens as the next start opens it, and the window reads it.
        {
            SqliteStore next(env.folder());
            next.open();
        }
        QCOMPARE(env.store.select(QStringLiteral("select count(*) from 客户表")).valueAt(0, 0),
                 QVariant(qlonglong{customers}));
        QVERIFY(!window.findChild<QProgressBar*>(QStringLiteral("Pro1"))->isVisible());
    }

    void theFirstRestoreClickChoosesTheFile()
    {
        SettingsFixture f;
        click(f.child("Label76"));
        auto* field = f.child<QLineEdit>("Text34");
        // A cancelled dialog leaves the field empty and restores nothing.
        click(f.child("Label90"));
        QCOMPARE(f.env.dialogs.fileRequests.size(), size_t{1});
        QCOMPARE(f.env.dialogs.fileRequests[0].filter, QStringLiteral("*.dat|*.dat"));
        QVERIFY(f.env.dialogs.messages.empty());
        QVERIFY(field->text().isEmpty());

        f.env.dialogs.fileNext(QStringLiteral("/tmp/x.dat"));
        click(f.child("Label90"));
        QCOMPARE(field->text(), QStringLiteral("/tmp/x.dat"));
        QVERIFY(f.env.dialogs.messages.empty());
        // Cancelling a later choice keeps the name.
        click(field);
        QCOMPARE(field->text(), QStringLiteral("/tmp/x.dat"));
    }

    void refusesSourcesThatAreNotOurDatabases_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("named"); // what the refusal names besides "没有还原"
        for (const char* kind : {"empty", "noise", "truncated", "foreign", "other_id", "damaged",
                                 "folder", "missing"}) {
            QTest::newRow(kind) << QString::fromLatin1(kind) << QStringLiteral("没有还原");
        }
        QTest::newRow("other_columns")
            << QStringLiteral("other_columns") << QStringLiteral("用户表缺少“答案”");
        QTest::newRow("huge_cell") << QStringLiteral("huge_cell") << QStringLiteral("超过 4 MB");
        // The program's own table passes the same checks as the six.
        QTest::newRow("huge_minimum")
            << QStringLiteral("huge_minimum") << QStringLiteral("“库存下限”中有一项内容超过 4 MB");
        QTest::newRow("nul_minimum") << QStringLiteral("nul_minimum") << QStringLiteral("U+0000");
        QTest::newRow("huge_schema")
            << QStringLiteral("huge_schema") << QStringLiteral("数据库对象（表、视图等）超过");
        QTest::newRow("hot_journal") << QStringLiteral("hot_journal") << QStringLiteral("日志文件");
        // The views committed to the -wal of a file another program still has open.
        QTest::newRow("huge_schema_in_wal") << QStringLiteral("huge_schema_in_wal")
                                            << QStringLiteral("数据库对象（表、视图等）超过");
        QTest::newRow("overwritten") << QStringLiteral("overwritten") << QStringLiteral("损坏");
    }

    void refusesSourcesThatAreNotOurDatabases()
    {
        QFETCH(QString, kind);
        QFETCH(QString, named);
        SettingsFixture f;
        click(f.child("Label76"));
        f.env.addUser(QStringLiteral("admin"), QStringLiteral("pw"));
        growDatabase(f, 200);
        click(f.child("Label89"));
        const QByteArray good = f.fileBytes(backupPath(f));
        addSale(f, QStringLiteral("今天"));
        const QStringList before = contents(f.env.databasePath());

        QTemporaryDir sources;
        const QString source = sources.filePath(kind + QStringLiteral(".dat"));
        if (kind == u"empty") {
            writeFile(source, {});
        } else if (kind == u"noise") {
            QByteArray random(100000, '\0');
            QRandomGenerator(7).fillRange(reinterpret_cast<quint32*>(random.data()),
                                          random.size() / 4);
            writeFile(source, random);
        } else if (kind == u"truncated") {
            writeFile(source, good.left(good.size() / 2));
        } else if (kind == u"foreign") {
            sqlite3* db = nullptr;
            sqlite3_open(QFile::encodeName(source).constData(), &db);
            sqlite3_exec(db, "create table notes (text); insert into notes values ('x');", nullptr,
                         nullptr, nullptr);
            sqlite3_close(db);
        } else if (kind == u"other_id" || kind == u"other_columns") {
            QTemporaryDir scratch;
            SqliteStore made(scratch.path());
            made.create();
            made.execute(kind == u"other_id"
                             ? QStringLiteral("pragma application_id=12345")
                             : QStringLiteral("alter table 用户表 drop column 答案"));
            made.close();
            QFile::copy(made.filePath(), source);
        } else if (kind == u"damaged") {
            // One wrong byte in the header of 用户表's page (its count of fragmented bytes):
            // every row still reads back, so only the engine's quick_check can tell.
            writeFile(source, good);
            const QStringList page = rawRows(
                source, {QStringLiteral("select rootpage, (select page_size from pragma_page_size) "
                                        "from sqlite_master where name='用户表'")});
            QCOMPARE(page.size(), 1);
            const qint64 at = (page[0].section(u'|', 0, 0).toLongLong() - 1) *
                              page[0].section(u'|', 1).toLongLong();
            QByteArray bytes = good;
            QCOMPARE(bytes[at], char{0x0d}); // a leaf page of a table
            bytes[at + 7] = 3;
            writeFile(source, bytes);
        } else if (kind == u"folder") {
            QDir().mkpath(source);
        } else if (kind == u"huge_cell" || kind == u"huge_schema" || kind.endsWith(u"_minimum")) {
            QTemporaryDir scratch;
            SqliteStore made(scratch.path());
            made.create();
            made.close();
            OtherWriter tool(made.filePath());
            if (kind == u"huge_cell") {
                QCOMPARE(tool.run("insert into 客户表 (客户名, 客户简述) values "
                                  "('大', hex(zeroblob(2200000)))"),
                         SQLITE_OK);
            } else if (kind == u"huge_minimum") {
                QCOMPARE(tool.run("insert into 库存下限 values (hex(zeroblob(2200000)), 1)"),
                         SQLITE_OK);
            } else if (kind == u"nul_minimum") {
                QCOMPARE(tool.run("insert into 库存下限 values ('绿' || char(0) || '茶', 1)"),
                         SQLITE_OK);
            } else {
                tool.run("begin");
                for (int i = 0; i < 5000; ++i) {
                    tool.run(
                        QStringLiteral("create view v%1 as select 1").arg(i).toUtf8().constData());
                }
                tool.run("commit");
            }
            QFile::copy(made.filePath(), source);
        } else if (kind == u"huge_schema_in_wal") {
            const QString live = sources.filePath(QStringLiteral("live.dat"));
            writeFile(live, good);
            OtherWriter tool(live);
            QCOMPARE(tool.run("pragma journal_mode=wal; pragma wal_autocheckpoint=0;"), SQLITE_OK);
            // Written straight into the schema: 100,000 "create view" take the engine minutes.
            QCOMPARE(tool.run("pragma writable_schema=1; with recursive n(i) as (select 1 union "
                              "all select i+1 from n where i<100000) insert into sqlite_master "
                              "select 'view', 'v'||i, 'v'||i, 0, 'create view v'||i||' as select "
                              "1' from n;"),
                     SQLITE_OK);
            QVERIFY(QFile::copy(live, source));
            QVERIFY(QFile::copy(live + QStringLiteral("-wal"), source + QStringLiteral("-wal")));
        } else if (kind == u"overwritten") {
            // A customer's name overwritten in its row, the file otherwise whole: the name index
            // still holds the old name.
            QByteArray bytes = good;
            const qint64 pageSize =
                rawRows(backupPath(f), {QStringLiteral("pragma page_size")}).value(0).toLongLong();
            const QByteArray name = QStringLiteral("客户150").toUtf8();
            qint64 replaced = 0;
            for (qint64 at = bytes.indexOf(name); at >= 0; at = bytes.indexOf(name, at + 1)) {
                const qint64 page = at / pageSize * pageSize;
                if (bytes[page + (page == 0 ? 100 : 0)] == char{0x0d}) { // a leaf of a table
                    bytes.replace(at, name.size(), QStringLiteral("客户951").toUtf8());
                    ++replaced;
                }
            }
            QCOMPARE(replaced, qint64{1});
            writeFile(source, bytes);
        } else if (kind == u"hot_journal") {
            // Copied in the middle of a write, together with the journal that would undo it.
            const QString busy = sources.filePath(QStringLiteral("busy.dat"));
            writeFile(busy, good);
            OtherWriter writer(busy);
            writer.run("pragma cache_size=2; begin immediate;");
            for (int i = 0; i < 100; ++i) {
                writer.run(
                    "insert into 客户表 (客户名, 附加信息) values ('半', hex(randomblob(2000)))");
            }
            QVERIFY(QFile::copy(busy, source));
            QVERIFY(QFile::copy(busy + QStringLiteral("-journal"),
                                source + QStringLiteral("-journal")));
            writer.run("rollback");
        }

        chooseAndRestore(f, source);
        const QStringList texts = f.env.dialogs.texts();
        QCOMPARE(texts.size(), 2);
        QVERIFY2(texts[1].contains(QStringLiteral("没有还原")) && texts[1].contains(named),
                 qPrintable(texts[1]));
        QCOMPARE(f.env.dialogs.messages[1].icon, Dialogs::Icon::Critical);
        QCOMPARE(contents(f.env.databasePath()), before);
        QVERIFY(!f.child("Pro1")->isVisible());
        QCOMPARE(strayFiles(f, {QStringLiteral("备份卡.dat")}), QStringList());
        // Nothing was added beside the source either.
        QCOMPARE(QDir(sources.path()).entryList({QStringLiteral("*-shm")}, QDir::Files),
                 QStringList());
        QCOMPARE(f.env.store.select(QStringLiteral("销售表")).recordCount(), 1);
        // No safety copy for a restore that did not happen.
        QCOMPARE(BackupHistory(f.env.folder()).entries().size(), size_t{1});
    }

    // A backup that carries a trigger, a view, an extra table, and tables whose columns are
    // reordered or extra: only the rows of the six tables come in, by column name. The file is
    // in write-ahead-log mode: first copied with its -wal while the other program still holds
    // it, then alone; both restore what was committed and add nothing beside the source.
    void craftedBackupBringsInOnlyTheRows()
    {
        SettingsFixture f;
        click(f.child("Label76"));
        QTemporaryDir scratch;
        const QString crafted = scratch.filePath(QStringLiteral("crafted.dat"));
        {
            SqliteStore made(scratch.path());
            made.create();
            made.execute(
                QStringLiteral("insert into 客户表 (客户名, 客户简述) values ('张三', '老客户')"));
            made.execute(
                QStringLiteral("insert into 用户表 (用户名, 用户密码) values ('店主', 'pw')"));
            made.close();
            QFile::rename(made.filePath(), crafted);
        }
        auto tool = std::make_unique<OtherWriter>(crafted);
        QCOMPARE(tool->run("pragma journal_mode=wal; pragma wal_autocheckpoint=0;"), SQLITE_OK);
        QCOMPARE(tool->run("drop table 进货表;"
                           "create table 进货表 (备注, 多余, 区别, 日期, 总金额, 数量, 单价, 名称);"
                           "insert into 进货表 (名称, 单价, 数量, 总金额, 日期, 备注, 多余) values "
                           "('梨', 2, 3, 6, '2026-12-7', '无', '不要');"
                           "create trigger 清空 after insert on 销售表 begin delete from 客户表; "
                           "delete from 用户表; end;"
                           "create view 全部 as select * from 客户表;"
                           "create table 额外 (x); insert into 额外 values (1);"),
                 SQLITE_OK);
        // Copied in the middle of a write whose pages spilled into the -wal: only what was
        // committed comes in.
        QCOMPARE(tool->run("pragma cache_size=2; begin immediate; delete from 进货表;"), SQLITE_OK);
        for (int i = 0; i < 200; ++i) {
            tool->run("insert into 客户表 (客户名, 附加信息) values ('半', hex(randomblob(2000)))");
        }
        const QString copied = scratch.filePath(QStringLiteral("copied.dat"));
        const QString log = copied + QStringLiteral("-wal");
        QVERIFY(QFile::copy(crafted, copied));
        QVERIFY(QFile::copy(crafted + QStringLiteral("-wal"), log));
        QCOMPARE(tool->run("rollback"), SQLITE_OK);
        const QByteArray logBytes = f.fileBytes(log);
        QVERIFY(logBytes.size() > 200 * 2000);
        chooseAndRestore(f, copied);
        QCOMPARE(f.env.dialogs.lastText(), QStringLiteral("还原完毕。"));
        QCOMPARE(f.env.countOnDisk(QStringLiteral("进货表")), 1);
        QCOMPARE(f.env.countOnDisk(QStringLiteral("客户表")), 1);
        QCOMPARE(f.fileBytes(log), logBytes);
        tool.reset();
        const QStringList alone{QStringLiteral("copied.dat"), QStringLiteral("copied.dat-wal"),
                                QStringLiteral("crafted.dat")};
        QCOMPARE(QDir(scratch.path()).entryList(QDir::Files), alone);

        chooseAndRestore(f, crafted);
        QCOMPARE(f.env.dialogs.lastText(), QStringLiteral("还原完毕。"));
        QCOMPARE(QDir(scratch.path()).entryList(QDir::Files), alone);
        QCOMPARE(foreignObjects(f.env.databasePath()), QStringList());
        QCOMPARE(
            f.env.rowsOnDisk(QStringLiteral("select 名称, 单价, 数量, 总金额, 日期, 备注, 区别 "
                                            "from 进货表")),
            (QList<QStringList>{{QStringLiteral("梨"), QStringLiteral("2"), QStringLiteral("3"),
                                 QStringLiteral("6"), QStringLiteral("2026-12-7"),
                                 QStringLiteral("无"), QString()}}));
        QStringList columns;
        for (const QStringList& row :
             f.env.rowsOnDisk(QStringLiteral("select name from pragma_table_info('进货表')"))) {
            columns << row;
        }
        QCOMPARE(columns, columnNames(QStringLiteral("进货表")));
        // The next sale changes nothing else.
        addSale(f, QStringLiteral("茶"));
        QCOMPARE(f.env.countOnDisk(QStringLiteral("客户表")), 1);
        QCOMPARE(f.env.countOnDisk(QStringLiteral("用户表")), 1);
        QCOMPARE(f.env.store.select(QStringLiteral("客户表")).text(QStringLiteral("客户简述")),
                 QStringLiteral("老客户"));
    }

    // Another program writing: a backup is a consistent snapshot or nothing, and a restore
    // never mixes the other program's journal into the new data.
    void backupAndRestoreBesideAnotherWriter()
    {
        SettingsFixture f;
        click(f.child("Label76"));
        growDatabase(f, 300);
        click(f.child("Label89"));
        const QStringList first = contents(backupPath(f));

        OtherWriter other(f.env.databasePath());
        // In the middle of a large write that has not been committed.
        QCOMPARE(other.run("begin immediate"), SQLITE_OK);
        for (int i = 0; i < 2000; ++i) {
            other.run(
                "insert into 客户表 (客户名, 附加信息) values ('别处', hex(randomblob(200)))");
        }
        f.env.dialogs.clear();
        click(f.child("Label89"));
        QCOMPARE(f.env.dialogs.lastText(), QStringLiteral("备份完成。"));
        QCOMPARE(contents(backupPath(f)), first); // the committed data only, and sound

        // A restore cannot take the file while the other program writes: it says so.
        const QStringList before = contents(f.env.databasePath());
        chooseAndRestore(f, backupPath(f));
        QVERIFY(!f.env.dialogs.texts().contains(QStringLiteral("还原完毕。")));
        QVERIFY2(f.env.dialogs.lastText().contains(QStringLiteral("另一个程序正在使用数据文件")),
                 qPrintable(f.env.dialogs.lastText()));

        // Once it commits, its rows are in the data; the restore then takes them out whole.
        QCOMPARE(other.run("commit"), SQLITE_OK);
        QCOMPARE(f.env.countOnDisk(QStringLiteral("客户表")), 2300);
        QVERIFY(contents(f.env.databasePath()) != before);
        chooseAndRestore(f, backupPath(f));
        QCOMPARE(f.env.dialogs.lastText(), QStringLiteral("还原完毕。"));
        QCOMPARE(contents(f.env.databasePath()), first);

        // A program that opens the restored file and holds it exclusively: no backup, the old
        // one stays.
        OtherWriter later(f.env.databasePath());
        QCOMPARE(later.run("begin exclusive"), SQLITE_OK);
        later.run("insert into 销售表 (名称) values ('别处')");
        backupRefused(f, QStringLiteral("正被其他程序使用"));
        QCOMPARE(contents(backupPath(f)), first);
        later.run("rollback");
        QCOMPARE(strayFiles(f, {QStringLiteral("备份卡.dat")}), QStringList());

        // A damaged page of the live file is found, reported, and not copied over the backup.
        f.env.store.close();
        {
            QFile live(f.env.databasePath());
            QVERIFY(live.open(QIODevice::ReadWrite));
            live.seek(4096 * 3);
            live.write(QByteArray(64, '\xff'));
        }
        backupRefused(f, QStringLiteral("损坏"));
        QCOMPARE(contents(backupPath(f)), first);
        QCOMPARE(strayFiles(f, {QStringLiteral("备份卡.dat")}), QStringList());
    }

    // Symlinked database and backup: both copies write to the targets, the links stay.
    void symlinksAreFollowed()
    {
        SettingsFixture f;
        click(f.child("Label76"));
        QTemporaryDir elsewhere;
        const QString data = elsewhere.filePath(QStringLiteral("data.db"));
        const QString saved = elsewhere.filePath(QStringLiteral("saved.dat"));
        f.env.store.close();
        QVERIFY(QFile::rename(f.env.databasePath(), data));
        QVERIFY(QFile::link(data, f.env.databasePath()));
        writeFile(saved, "old");
        QVERIFY(QFile::link(saved, backupPath(f)));
        addSale(f, QStringLiteral("旧货"));

        click(f.child("Label89"));
        QCOMPARE(f.env.dialogs.lastText(), QStringLiteral("备份完成。"));
        QCOMPARE(QFileInfo(backupPath(f)).symLinkTarget(), saved);
        QCOMPARE(contents(saved), contents(data));

        addSale(f, QStringLiteral("新货"));
        chooseAndRestore(f, backupPath(f));
        QCOMPARE(f.env.dialogs.lastText(), QStringLiteral("还原完毕。"));
        QCOMPARE(QFileInfo(f.env.databasePath()).symLinkTarget(), data);
        QCOMPARE(f.env.countOnDisk(QStringLiteral("销售表")), 1);
        QCOMPARE(contents(data), contents(saved));
        QCOMPARE(QDir(elsewhere.path()).entryList(QDir::Files),
                 (QStringList{QStringLiteral("data.db"), QStringLiteral("saved.dat")}));
    }

    void failedCopiesLeaveTheOldFilesWhole()
    {
        SettingsFixture f;
        click(f.child("Label76"));
        click(f.child("Label89"));
        const QByteArray oldBackup = f.fileBytes(backupPath(f));
        growDatabase(f);
        QVERIFY(QFileInfo(f.env.databasePath()).size() > 4 * 65536);

        // The disk refuses the rest of the backup midway.
        const QString target = backupPath(f);
        const QString folder = f.env.folder();
        QCOMPARE(runWithFileSizeLimit(3 * 65536,
                                      [&folder, &target] {
                                          SqliteStore store(folder);
                                          backupDatabase(store, target);
                                          return 0;
                                      }),
                 kChildThrewStoreError);
        QCOMPARE(f.fileBytes(backupPath(f)), oldBackup);
        QCOMPARE(strayFiles(f, {QStringLiteral("备份卡.dat")}), QStringList());

        // The same for a restore: khgl.dll stays as it was.
        click(f.child("Label89")); // a big backup to restore from
        addSale(f, QStringLiteral("后来"));
        const QByteArray current = f.fileBytes(f.env.databasePath());
        QCOMPARE(runWithFileSizeLimit(3 * 65536,
                                      [&folder, &target] {
                                          SqliteStore store(folder);
                                          restoreDatabase(store, target);
                                          return 0;
                                      }),
                 kChildThrewStoreError);
        QCOMPARE(f.fileBytes(f.env.databasePath()), current);
        QCOMPARE(strayFiles(f, {QStringLiteral("备份卡.dat")}), QStringList());

        // The page reports a failed backup and can try again.
        QFile::remove(target);
        QDir().mkpath(target); // the backup's name is taken by a folder
        backupRefused(f, QStringLiteral("备份没有完成"));
        QCOMPARE(f.env.dialogs.messages.back().icon, Dialogs::Icon::Critical);
        QVERIFY(QFileInfo(target).isDir());
        QVERIFY(!f.child("Pro1")->isVisible());
        QDir(target).removeRecursively();
        f.env.dialogs.clear();
        click(f.child("Label89"));
        QCOMPARE(f.env.dialogs.lastText(), QStringLiteral("备份完成。"));
        QCOMPARE(strayFiles(f, {QStringLiteral("备份卡.dat")}), QStringList());

        // The history cannot take its copy: 备份卡.dat is the new backup all the same, and the
        // page says what is missing.
        const QString history = QDir(f.env.folder()).filePath(BackupHistory::folderName());
        QDir(history).removeRecursively();
        writeFile(history, "not a folder");
        addSale(f, QStringLiteral("历史写不进"));
        f.env.dialogs.clear();
        click(f.child("Label89"));
        QCOMPARE(f.env.dialogs.lastText(), QStringLiteral("备份完成。"));
        QCOMPARE(contents(backupPath(f)), contents(f.env.databasePath()));
        const QString status = f.child<QLabel>("BackupStatus")->text();
        QVERIFY2(status.contains(QStringLiteral("备份记录中的副本没有写入")) &&
                     status.contains(QStringLiteral("无法建立备份文件夹")),
                 qPrintable(status));
        QFile::remove(history);

        // What a kill in the middle of a copy or a first start leaves carries the program's
        // own ending and is removed at the next start, each file named in the log; a person's
        // own copies are not, however they are named.
        const QDir data(f.env.folder());
        QVERIFY(data.mkpath(BackupHistory::folderName()));
        const QStringList left{QStringLiteral("khgl.dll.a8Fk2Q.khgl-tmp"),
                               QStringLiteral("khgl.dll.a8Fk2Q.khgl-tmp-journal"),
                               QStringLiteral("备份/khgl-20261207-090000.dat.Lx9QaB.khgl-tmp")};
        const QStringList kept{QStringLiteral("khgl.dll.backup"),
                               QStringLiteral("khgl.dll.Old"),
                               QStringLiteral("khgl.dll.Copy01"),
                               QStringLiteral("备份卡.dat.Zq7wPx"),
                               QStringLiteral("khgl.dll.new-Ab3dEf"),
                               QStringLiteral("备份/khgl-20261201-090000.dat.Mine01")};
        for (const QString& name : left + kept) {
            writeFile(data.filePath(name), "copy");
        }
        QStringList logged;
        {
            const LogFile log(f.env.folder());
            QCOMPARE(removeStaleTemporaries(f.env.folder()).size(), left.size());
            QFile file(data.filePath(LogFile::fileName()));
            QVERIFY(file.open(QIODevice::ReadOnly));
            logged = QString::fromUtf8(file.readAll()).split(u'\n');
        }
        for (const QString& name : kept) {
            QVERIFY2(QFileInfo::exists(data.filePath(name)), qPrintable(name));
        }
        for (const QString& name : left) {
            QVERIFY2(!QFileInfo::exists(data.filePath(name)), qPrintable(name));
            const QString path = data.filePath(name);
            QVERIFY2(std::count_if(logged.begin(), logged.end(),
                                   [&path](const QString& line) { return line.endsWith(path); }) ==
                         1,
                     qPrintable(name));
        }
    }

    // Each kind of entry is named, listed and rotated by its own row of one table: one more of
    // a kind pushes out only that kind's oldest, and the page lists each under its word.
    void everyKindKeepsItsOwn()
    {
        SettingsFixture f;
        BackupHistory history(f.env.folder());
        const QDateTime start(QDate(2026, 12, 1), QTime(9, 0));
        int minute = 0;
        std::map<BackupEntry::Kind, QStringList> written; // oldest first
        const auto add = [&](const BackupKind& kind) {
            written[kind.kind] << history.add(f.env.store, start.addSecs(60 * minute++), kind.kind);
        };
        for (const BackupKind& kind : backupKinds()) {
            for (int i = 0; i < kind.keep; ++i) {
                add(kind);
            }
        }
        for (const BackupKind& kind : backupKinds()) {
            add(kind);
            written[kind.kind].removeFirst();
            std::map<BackupEntry::Kind, QStringList> found;
            for (const BackupEntry& entry : history.entries()) {
                found[entry.kind].prepend(entry.path);
            }
            QVERIFY2(found == written, qPrintable(kind.label.toString()));
        }
        click(f.child("Label76"));
        auto* list = f.child<QTableWidget>("History");
        QStringList labels;
        for (int row = 0; row < list->rowCount(); ++row) {
            labels << list->item(row, 1)->text();
        }
        for (const BackupKind& kind : backupKinds()) {
            QCOMPARE(labels.count(kind.label.toString()), kind.keep);
        }
        QCOMPARE(labels.size(), list->rowCount());
    }
};

QTEST_MAIN(TestBackupPage)
#include "test_backup_page.moc"

#include "data_store/data_store.h"
#include "data_store/schema.h"
#include "data_store/sql_dialect.h"
#include "data_store/sqlite_store.h"
#include "data_store/store_error.h"
#include "data_store/values.h"
#include "support/env.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>

using namespace khgl;
using namespace Qt::StringLiterals;
using khgl::test::TestEnv;

class TestDataStore final : public QObject
{
    Q_OBJECT

private:
    static void addGoods(DataStore& store, const QString& table, const QString& name,
                         const QString& price, const QString& date)
    {
        store.insertRow(table, {{QStringLiteral("名称"), name},
                                {QStringLiteral("单价"), price},
                                {QStringLiteral("数量"), QStringLiteral("1")},
                                {QStringLiteral("总金额"), price},
                                {QStringLiteral("日期"), date},
                                {QStringLiteral("区别"), 0}}); // seeded, not numbered
    }

private Q_SLOTS:
    void newFileHasTheSixTablesInColumnOrder()
    {
        TestEnv env;
        QCOMPARE(QFileInfo(env.databasePath()).permissions() &
                     (QFile::ReadGroup | QFile::ReadOther | QFile::WriteGroup | QFile::WriteOther),
                 QFile::Permissions());
        const QList<QStringList> tables{
            {u"客户表"_s, u"客户名"_s, u"邮寄地址"_s, u"电子邮箱"_s, u"购买日期"_s, u"商品名称"_s,
             u"商品单价"_s, u"商品数量"_s, u"收取金额"_s, u"商品简述"_s, u"客户简述"_s, u"其他"_s,
             u"区别"_s, u"附加信息"_s},
            {u"进货表"_s, u"名称"_s, u"单价"_s, u"数量"_s, u"总金额"_s, u"日期"_s, u"备注"_s,
             u"区别"_s},
            {u"销售表"_s, u"名称"_s, u"单价"_s, u"数量"_s, u"总金额"_s, u"日期"_s, u"备注"_s,
             u"区别"_s},
            {u"提醒表"_s, u"编号"_s, u"设置时间"_s, u"提醒日期"_s, u"提醒时间"_s, u"提醒内容"_s,
             u"提醒音乐"_s, u"区别"_s},
            {u"用户表"_s, u"用户名"_s, u"用户密码"_s, u"问题"_s, u"答案"_s, u"区别"_s},
            {u"登录表"_s, u"用户名"_s, u"密码"_s}};
        QStringList names;
        for (const QStringList& table : tables) {
            names << table[0];
            RecordSet set = env.store.select(table[0]);
            QCOMPARE(set.recordCount(), 0);
            QVERIFY(set.eof());
            QStringList columns;
            for (int c = 0; c < set.fieldCount(); ++c) {
                columns << set.fieldName(c);
            }
            QCOMPARE(columns, table.mid(1));
        }
        // The program's own tables beside the shop's six: the stock minimums and the kept
        // figures.
        names << u"库存下限"_s << u"表合计"_s;
        QCOMPARE(env.rowsOnDisk(u"select name from pragma_table_info('库存下限') order by cid"_s),
                 (QList<QStringList>{{u"名称"_s}, {u"下限"_s}}));
        std::sort(names.begin(), names.end());
        QStringList onDisk;
        for (const QStringList& row : env.rowsOnDisk(QStringLiteral(
                 "select name from sqlite_master where type='table' order by name"))) {
            onDisk << row[0];
        }
        QCOMPARE(onDisk, names);
        const auto mode = env.rowsOnDisk(QStringLiteral("pragma journal_mode"));
        QCOMPARE(mode.value(0).value(0), QStringLiteral("delete"));
        const auto id = env.rowsOnDisk(QStringLiteral("pragma application_id"));
        QCOMPARE(id.value(0).value(0).toInt(), kApplicationId);
        // A second start opens the file as it is.
        const auto again = openStore(StoreAddress::forFolder(env.folder()));
        again->open();
        QCOMPARE(again->select(QStringLiteral("用户表")).recordCount(), 0);
    }

    void folderPathsJoinWithOneSlash()
    {
        QCOMPARE(DataStore::databasePath(QStringLiteral("/")), QStringLiteral("/khgl.dll"));
        QCOMPARE(DataStore::databasePath(QStringLiteral("/shop/")),
                 QStringLiteral("/shop/khgl.dll"));
        // One path for every file: a folder whose name ends in a blank keeps it.
        QCOMPARE(DataStore::databasePath(QStringLiteral("/shop ")),
                 QStringLiteral("/shop /khgl.dll"));
        // The server of khgl.conf: its first line that is neither blank nor a comment.
        QTemporaryDir dir;
        QFile conf(QDir(dir.path()).filePath(StoreAddress::serverConfigName()));
        QVERIFY(conf.open(QIODevice::WriteOnly));
        conf.write("# the shop's server\n\n  postgresql://desk@shop/khgl  \nother\n");
        conf.close();
        QCOMPARE(StoreAddress::forFolder(dir.path()).server,
                 QStringLiteral("postgresql://desk@shop/khgl"));
        QVERIFY(StoreAddress::forFolder(QStringLiteral("/shop ")).server.isEmpty());
    }

    void textComparesWithoutCaseAndTrailingBlanks()
    {
        TestEnv env;
        for (const char16_t* name : {u"Wang", u"wang  ", u"Li"}) {
            env.store.insertRow(QStringLiteral("客户表"),
                                {{QStringLiteral("客户名"), QString::fromUtf16(name)}});
        }
        QCOMPARE(env.store.countRows(QStringLiteral("客户表")), 3);
        // The find query puts a blank before the closing quote.
        RecordSet found = env.store.select(QStringLiteral("select * from 客户表 where 客户名=?"),
                                           {QStringLiteral("WANG ")});
        QCOMPARE(found.recordCount(), 2);
        RecordSet grouped = env.store.select(
            QStringLiteral("select 客户名,电子邮箱 from 客户表 group by 客户名,电子邮箱"));
        QCOMPARE(grouped.recordCount(), 2);
        QCOMPARE(compareText("ab ", 3, "AB", 2), 0);
        QVERIFY(compareText("ab", 2, "abc", 3) < 0);
        QCOMPARE(compareText("ÄBC", 4, "äbc ", 5), 0);
    }

    void leftCountsCharactersAndStrGivesIsoDate()
    {
        TestEnv env;
        addGoods(env.store, QStringLiteral("销售表"), QStringLiteral("茶叶"), QStringLiteral("5"),
                 QStringLiteral("2024-10-3"));
        addGoods(env.store, QStringLiteral("销售表"), QStringLiteral("茶叶"), QStringLiteral("7"),
                 QStringLiteral("2024-1-3"));
        RecordSet month = env.store.select(
            QStringLiteral("select sum(总金额)as 总金额 from 销售表 where left(日期,6)=?"),
            {QStringLiteral("2024-1")});
        QCOMPARE(month.text(0), QStringLiteral("12")); // 2024-10-3 shares the prefix
        RecordSet name = env.store.select(QStringLiteral("select LEFT (名称,1) from 销售表"));
        QCOMPARE(name.text(0), QStringLiteral("茶"));
        RecordSet none = env.store.select(
            QStringLiteral("SELECT sum (总金额) as 总金额 from 销售表 where left(日期,6)=?"),
            {QStringLiteral("2024-5")});
        QCOMPARE(none.recordCount(), 1);
        QVERIFY(none.value(0).isNull());

        env.store.insertRow(QStringLiteral("客户表"),
                            {{QStringLiteral("购买日期"), QStringLiteral("2024-5-6")}});
        RecordSet day = env.store.select(
            QStringLiteral(
                "select str(购买日期),left(购买日期,7) from 客户表 where str(购买日期)=?"),
            {QStringLiteral("2024-05-06")});
        QCOMPARE(day.recordCount(), 1);
        QCOMPARE(day.text(0), QStringLiteral("2024-05-06"));
        QCOMPARE(day.text(1), QStringLiteral("2024-05"));
        // "left(" inside a literal is text, not a call.
        QCOMPARE(rewriteQuery(QStringLiteral("select 'left(' , left(a,1), cleft(b)")),
                 QStringLiteral("select 'left(' , \"left\"(a,1), cleft(b)"));
    }

    void operatorTextIsStoredAndFoundAsTyped()
    {
        TestEnv env;
        const QStringList names = {
            QStringLiteral("' OR '1'='1"), QStringLiteral("');drop table 销售表;--"),
            QStringLiteral("back\\slash\ttab\r\nline"), QStringLiteral("emoji 😀 عربى ＡＢＣ"),
            QString(10000, QLatin1Char('x'))};
        for (const QString& name : names) {
            addGoods(env.store, QStringLiteral("销售表"), name, QStringLiteral("1"),
                     QStringLiteral("2026-1-1"));
        }
        for (const QString& name : names) {
            const auto rows =
                env.rowsOnDisk(QStringLiteral("select 名称 from 销售表 where 名称=?"), {name});
            QCOMPARE(rows.size(), 1);
            QCOMPARE(rows[0][0], name);
        }
        QCOMPARE(env.countOnDisk(QStringLiteral("销售表")), names.size());
    }

    void conversionsRefuseBadValuesAndWriteNothing()
    {
        TestEnv env;
        addGoods(env.store, QStringLiteral("进货表"), QStringLiteral("A"), QStringLiteral(" 12.5 "),
                 QStringLiteral("2026-3-5"));
        RecordSet set = env.store.select(QStringLiteral("进货表"));
        QCOMPARE(set.value(QStringLiteral("单价")).toDouble(), 12.5);
        QCOMPARE(set.text(QStringLiteral("数量")), QStringLiteral("1"));
        QCOMPARE(set.text(QStringLiteral("日期")), QStringLiteral("2026-3-5"));
        QVERIFY_THROWS_EXCEPTION(StoreError,
                                 addGoods(env.store, QStringLiteral("进货表"), QStringLiteral("B"),
                                          QStringLiteral("12元"), QStringLiteral("2026-3-5")));
        QCOMPARE(env.countOnDisk(QStringLiteral("进货表")), 1);

        const QString reminders = QStringLiteral("提醒表");
        QVERIFY_THROWS_EXCEPTION(StoreError,
                                 env.store.insertRow(reminders, {{QStringLiteral("设置时间"),
                                                                  QStringLiteral("2026-2-30")}}));
        QVERIFY_THROWS_EXCEPTION(StoreError,
                                 env.store.insertRow(reminders, {{QStringLiteral("没有这列"), 1}}));
        QCOMPARE(env.countOnDisk(reminders), 0);
        // An insert that leaves time and music unset reads both back as null.
        const qint64 key = env.store.insertRow(
            reminders, {{QStringLiteral("设置时间"), QStringLiteral("2024-5-6")},
                        {QStringLiteral("提醒内容"), QStringLiteral("进货")}});
        RecordSet back = env.store.select(reminders);
        QCOMPARE(back.rowKey(), key);
        QCOMPARE(back.text(QStringLiteral("设置时间")), QStringLiteral("2024-05-06"));
        QVERIFY(back.value(QStringLiteral("提醒时间")).isNull());
        QVERIFY(back.value(QStringLiteral("提醒音乐")).isNull());

        QCOMPARE(parseNumber(QStringLiteral("1e3"))->toDouble(), 1000.0);
        QVERIFY(!parseNumber(QStringLiteral("inf")));
        QVERIFY(!parseNumber(QStringLiteral("1.2.3")));
        QVERIFY(!parseNumber(QString()));
        QCOMPARE(displayText(QVariant(3.0)), QStringLiteral("3"));
        QCOMPARE(displayText(QVariant(2.5)), QStringLiteral("2.5"));
        QCOMPARE(moneyHashes(0.5), QStringLiteral(".50"));
        QCOMPARE(moneyHashes(12.0), QStringLiteral("12.00"));
        QCOMPARE(moneyFixed(0), QStringLiteral("0.00"));
    }

    void deleteAtPositionKeepsTheOrder()
    {
        TestEnv env;
        for (int i = 1; i <= 5; ++i) {
            addGoods(env.store, QStringLiteral("进货表"), QStringLiteral("P%1").arg(i),
                     QStringLiteral("1"), QStringLiteral("2026-1-1"));
        }
        RecordSet set = env.store.select(QStringLiteral("进货表"));
        set.moveFirst();
        set.moveNext();
        set.moveNext();
        QCOMPARE(set.absolutePosition(), 3);
        const qint64 key = set.rowKey();
        env.store.execute(QStringLiteral("delete from 进货表 where rowid=?"), {key});
        RecordSet again = env.store.select(QStringLiteral("进货表"));
        QCOMPARE(again.recordCount(), 4);
        again.moveTo(2);
        QCOMPARE(again.text(0), QStringLiteral("P4"));
        QVERIFY(again.rowKey() != key);
        again.moveTo(4);
        QVERIFY(again.eof());
    }

    void storeFailuresAreReadableErrors()
    {
        TestEnv env(false);
        QVERIFY_THROWS_EXCEPTION(StoreError, env.store.open());
        QFile junk(env.databasePath());
        QVERIFY(junk.open(QIODevice::WriteOnly));
        junk.write(QByteArray(4096, 'j'));
        junk.close();
        try {
            env.store.open();
            QFAIL("a junk file opened");
        } catch (const StoreError& error) {
            QVERIFY(error.message().contains(QStringLiteral("khgl.dll")));
        }
        QVERIFY_THROWS_EXCEPTION(StoreError, SqliteStore::checkDatabaseFile(env.databasePath()));

        TestEnv good;
        good.store.select(QStringLiteral("用户表"));
        QFile::remove(good.databasePath());
        QVERIFY_THROWS_EXCEPTION(StoreError, good.store.select(QStringLiteral("用户表")));
        QVERIFY(!QFileInfo::exists(good.databasePath()));
    }

    // A delete names its record by key and checks it still holds what the grid row shows.
    void deleteRemovesOnlyTheRecordAsShown()
    {
        TestEnv env;
        khgl::test::insertRow(env.store, QStringLiteral("客户表"),
                              {{QStringLiteral("客户名"), QStringLiteral("张三")},
                               {QStringLiteral("购买日期"), QStringLiteral("2024-5-6")},
                               {QStringLiteral("商品单价"), QStringLiteral("12.50")}});
        const qint64 key = env.store.select(QStringLiteral("客户表")).rowKey();
        // As the entry window showed it after saving: typed texts.
        const QList<std::pair<QString, QString>> shown{
            {QStringLiteral("客户名"), QStringLiteral("张三")},
            {QStringLiteral("购买日期"), QStringLiteral("2024-5-6")},
            {QStringLiteral("商品单价"), QStringLiteral("12.50")},
            {QStringLiteral("其他"), QString()}};
        // Another program changed the record: nothing is deleted.
        env.store.execute(QStringLiteral("update 客户表 set 其他='改过'"));
        try {
            env.store.deleteShownRecord(QStringLiteral("客户表"), key, shown);
            QFAIL("a changed record was deleted");
        } catch (const StoreError& error) {
            QCOMPARE(error.message(), QStringLiteral("记录已经改变，请重新查询。"));
        }
        QCOMPARE(env.countOnDisk(QStringLiteral("客户表")), 1);
        env.store.execute(QStringLiteral("update 客户表 set 其他=null"));
        env.store.deleteShownRecord(QStringLiteral("客户表"), key, shown);
        QCOMPARE(env.countOnDisk(QStringLiteral("客户表")), 0);
        // The key now names no record, or a new one that reuses it: still nothing deleted.
        khgl::test::insertRow(env.store, QStringLiteral("客户表"),
                              {{QStringLiteral("客户名"), QStringLiteral("李四")}});
        QVERIFY_THROWS_EXCEPTION(StoreError,
                                 env.store.deleteShownRecord(QStringLiteral("客户表"), key, shown));
        QCOMPARE(env.countOnDisk(QStringLiteral("客户表")), 1);
    }

    // Columns are found by name: extra or reordered columns change nothing, a missing one is
    // refused when the file is opened, naming table and column.
    void columnsAreFoundByName()
    {
        TestEnv env;
        QStringList columns = columnNames(QStringLiteral("客户表"));
        std::reverse(columns.begin(), columns.end());
        columns.insert(3, QStringLiteral("多余"));
        env.store.execute(QStringLiteral("drop table 客户表"));
        env.store.execute(QStringLiteral("create table 客户表 (%1)").arg(columns.join(u',')));
        env.store.close();
        khgl::test::insertRow(env.store, QStringLiteral("客户表"),
                              {{QStringLiteral("客户名"), QStringLiteral("张三")},
                               {QStringLiteral("客户简述"), QStringLiteral("老客户")}});
        RecordSet all = env.store.select(QStringLiteral("客户表"));
        QCOMPARE(all.fieldCount(), 13);
        QCOMPARE(all.fieldName(9), QStringLiteral("客户简述"));
        QCOMPARE(all.text(9), QStringLiteral("老客户"));
        QCOMPARE(env.rowsOnDisk(QStringLiteral("select 客户简述, 多余 from 客户表")),
                 (QList<QStringList>{{QStringLiteral("老客户"), QString()}}));

        env.store.execute(QStringLiteral("alter table 客户表 drop column 客户简述"));
        env.store.close();
        try {
            env.store.open();
            QFAIL("a file without 客户简述 opened");
        } catch (const StoreError& error) {
            QVERIFY2(error.message().contains(QStringLiteral("客户表缺少“客户简述”一列")),
                     qPrintable(error.message()));
        }
    }

    void transactionsWriteAllOrNothing()
    {
        TestEnv env;
        addGoods(env.store, QStringLiteral("销售表"), QStringLiteral("A"), QStringLiteral("1"),
                 QStringLiteral("2026-1-1"));
        QVERIFY_THROWS_EXCEPTION(StoreError, env.store.transaction([&] {
            env.store.execute(QStringLiteral("delete from 销售表"));
            addGoods(env.store, QStringLiteral("销售表"), QStringLiteral("B"), QStringLiteral("x"),
                     QStringLiteral("2026-1-1"));
        }));
        QCOMPARE(env.countOnDisk(QStringLiteral("销售表")), 1);
    }
};

QTEST_MAIN(TestDataStore)
#include "test_data_store.moc"

#include "goods/amount_text.h"
#include "goods/goods_grid.h"
#include "goods_test_util.h"

#include <sqlite3.h>

#include <QTest>

using namespace khgl;
using namespace khgl::test;

class TestGoodsGrid final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void listingShowsValuesAsTypedAndKeepsKeys()
    {
        TestEnv env;
        const QString table = QStringLiteral("进货表");
        addGoods(env, table, QStringLiteral("甲"), 3.0, 12.5, QStringLiteral("2026-3-5"));
        addGoods(env, table, QStringLiteral("乙"), QStringLiteral("1e20"), QVariant(),
                 QStringLiteral("2026-3-6"), QString());
        env.store.execute(QStringLiteral("delete from 进货表 where 名称='甲'"));
        addGoods(env, table, QStringLiteral("丙"), -2, 0.1, QStringLiteral("2026-3-7"));

        RecordGrid grid;
        goods::setUpEntryGrid(grid, strings({"编号", "a", "b", "c", "d", "e", "f"}), 3600);
        grid.setRows(5); // a longer listing before
        grid.setText(4, 3, QStringLiteral("old"));
        goods::resetGrid(grid);
        QCOMPARE(grid.rows(), 2);
        QCOMPARE(rowTexts(&grid, 1), QStringList(7, QString()));

        const RecordSet set = env.store.select(table);
        goods::listRecords(grid, set, goods::shownColumns());
        QCOMPARE(rowTexts(&grid, 1), strings({"1", "乙", "1", "1e+20", "", "2026-3-6", ""}));
        QCOMPARE(rowTexts(&grid, 2),
                 strings({"2", "丙", "1", "-2", "0.1", "2026-3-7", "备注内容"}));
        QCOMPARE(grid.row(), 2);
        QCOMPARE(grid.rowKey(1), set.rowKeyAt(0));
        QCOMPARE(grid.rowKey(2), qint64(3));

        // Read a block at a time, the listing shows and keys the same.
        RecordGrid paged;
        goods::setUpEntryGrid(paged, strings({"编号", "a", "b", "c", "d", "e", "f"}), 3600);
        goods::resetGrid(paged);
        QCOMPARE(
            goods::listPages(paged, goods::listingPages(env.store, goods::GoodsTable::Purchases)),
            2);
        QCOMPARE(paged.rows(), 3);
        QCOMPARE(paged.row(), 2);
        for (int row = 1; row <= 2; ++row) {
            QCOMPARE(rowTexts(&paged, row), rowTexts(&grid, row));
            QCOMPARE(paged.rowKey(row), grid.rowKey(row));
        }

        // A query keyed by withRowKey names the same records.
        const RecordSet keyed = env.store.selectKeyed(
            goods::withRowKey(QStringLiteral("select*from 进货表 where 名称=?")),
            {QStringLiteral("丙")});
        QCOMPARE(keyed.fieldCount(), 7);
        QCOMPARE(keyed.rowKeyAt(0), qint64(3));
        QCOMPARE(goods::withRowKey(QStringLiteral("select 名称,单价 from 进货表")),
                 QStringLiteral("select rowid,名称,单价 from 进货表"));

        // A list held in the grid, longer than the view's window: a typed letter still finds
        // its row, past the window and wrapping round.
        grid.setRows(RecordGrid::kWindowRows + 100);
        for (int row = 1; row < grid.rows(); ++row) {
            grid.setText(row, 1, QStringLiteral("甲%1").arg(row));
        }
        grid.setText(grid.rows() - 1, 1, QStringLiteral("Zed"));
        grid.setRow(3);
        grid.setCol(1);
        QTest::keyClicks(&grid, QStringLiteral("z"));
        QCOMPARE(grid.row(), grid.rows() - 1);
    }

    void stockNumbersReadTheLeadingNumber()
    {
        QCOMPARE(goods::plainNumber(goods::leadingNumber(QStringLiteral("10")) -
                                    goods::leadingNumber(QStringLiteral("3"))),
                 QStringLiteral("7"));
        QCOMPARE(goods::plainNumber(goods::leadingNumber(QStringLiteral("2.5")) -
                                    goods::leadingNumber(QString())),
                 QStringLiteral("2.5"));
        QCOMPARE(goods::leadingNumber(QStringLiteral(" 12abc")), 12.0);
        QCOMPARE(goods::plainNumber(10.1 - 3), QStringLiteral("7.1"));
    }

    void filesWithoutTheIndexesGetThemWhenOpened()
    {
        TestEnv env;
        const QStringList both = strings({"进货表_名称", "销售表_名称"});
        QCOMPARE(goodsIndexesInFile(env), both);
        env.store.execute(QStringLiteral("drop index 进货表_名称"));
        env.store.execute(QStringLiteral("drop index 销售表_名称"));
        env.store.close();
        QCOMPARE(goodsIndexesInFile(env), QStringList());
        env.store.open();
        QCOMPARE(goodsIndexesInFile(env), both);
    }

    // The goods pages' product and date queries, their totals and the blocks of their listings,
    // are answered through an index, never by a pass over the table.
    void productAndDateQueriesUseAnIndex_data()
    {
        QTest::addColumn<QString>("sql");
        QTest::newRow("date total")
            << QStringLiteral("select sum(总金额) from 销售表 where 日期=?");
        QTest::newRow("date block") << QStringLiteral(
            "select rowid, 名称 from 进货表 where (日期=?) and rowid > ? order by rowid limit ?");
        QTest::newRow("product total")
            << QStringLiteral("select sum(总金额) from 进货表 where 名称=?");
        QTest::newRow("product on date")
            << QStringLiteral("select count(*) from 销售表 where 日期=? and 名称=?");
    }

    void productAndDateQueriesUseAnIndex()
    {
        QFETCH(QString, sql);
        TestEnv env;
        const RecordSet plan = env.store.select(QStringLiteral("explain query plan ") + sql,
                                                QVariantList(sql.count(QLatin1Char('?')), 1));
        QString details;
        for (int r = 0; r < plan.recordCount(); ++r) {
            details += plan.valueAt(r, plan.fieldIndex(QStringLiteral("detail"))).toString() +
                       QLatin1Char(';');
        }
        QVERIFY2(details.contains(QStringLiteral(" USING ")) &&
                     !details.contains(QStringLiteral("SCAN ")),
                 qPrintable(details));
    }

private:
    // Read with SQLite itself: opening through the store would add the indexes.
    static QStringList goodsIndexesInFile(const TestEnv& env)
    {
        sqlite3* db = nullptr;
        sqlite3_open_v2(env.databasePath().toUtf8().constData(), &db, SQLITE_OPEN_READONLY,
                        nullptr);
        sqlite3_stmt* stmt = nullptr;
        sqlite3_prepare_v2(db,
                           "select name from sqlite_master where type='index' and name in "
                           "('进货表_名称','销售表_名称') order by name",
                           -1, &stmt, nullptr);
        QStringList names;
        while (sqlite3_step(stmt) == SQLITE_ROW) {
            names << QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0)));
        }
        sqlite3_finalize(stmt);
        sqlite3_close(db);
        return names;
    }
};

QTEST_MAIN(TestGoodsGrid)
#include "test_goods_grid.moc"

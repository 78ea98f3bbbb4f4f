#include "data_store/date_text.h"
#include "data_store/keyset_pages.h"
#include "goods/goods_records.h"
#include "goods/profit_records.h"
#include "schedule/missed_reminders.h"
#include "schedule/reminder_records.h"
#include "shell/desktop_figures.h"
#include "statistics/chart_tables.h"
#include "support/env.h"

#include <QTest>

using namespace khgl;
using namespace khgl::test;

class TestDesktopFigures final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // A sale counts in the month its date names, with or without leading zeros; October is
    // not January although both dates begin with "2027-1".
    void monthSales_data()
    {
        QTest::addColumn<QDate>("day");
        QTest::addColumn<QString>("sum");
        QTest::newRow("March") << QDate(2026, 3, 4) << QStringLiteral("160");
        QTest::newRow("April") << QDate(2026, 4, 30) << QStringLiteral("7");
        QTest::newRow("January") << QDate(2027, 1, 20) << QStringLiteral("13");
        QTest::newRow("October") << QDate(2027, 10, 1) << QStringLiteral("1000");
        QTest::newRow("no sales") << QDate(2026, 5, 1) << QStringLiteral("0");
    }
    void monthSales()
    {
        QFETCH(QDate, day);
        QFETCH(QString, sum);
        TestEnv env;
        for (const auto& [date, amount] : {std::pair{"2026-3-4", "100"},
                                           {"2026-3-20", "50.5"},
                                           {"2026-4-1", "7"},
                                           {"2026-03-05", "9.5"},
                                           {"2027-1-9", "12.25"},
                                           {"2027-10-9", "1000"},
                                           {"2027-12-9", "3"},
                                           {"2027-01-09", "0.75"}}) {
            insertSale(env.store, QString::fromUtf8(date), QString::fromUtf8(amount));
        }
        QCOMPARE(desktop_figures::monthSalesText(env.store, day), sum);
    }

    // One rule for every reader: a date stored in any of the forms people and spreadsheets
    // write names its day for the alarm, the schedule, the missed list, the desktop, the
    // charts, the date queries and the profit; a text that names no day is found by none.
    void dateFormsReadAlike_data()
    {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QDate>("named"); // invalid: names no day
        const QDate march5(2026, 3, 5);
        QTest::newRow("calendar's form") << QStringLiteral("2026-3-5") << march5;
        QTest::newRow("padded") << QStringLiteral("2026-03-05") << march5;
        QTest::newRow("padded day only") << QStringLiteral("2026-3-05") << march5;
        QTest::newRow("slashes") << QStringLiteral("2026/3/5") << march5;
        QTest::newRow("padded slashes") << QStringLiteral("2026/03/05") << march5;
        QTest::newRow("points") << QStringLiteral("2026.3.5") << march5;
        QTest::newRow("Chinese") << QStringLiteral("2026年3月5日") << march5;
        QTest::newRow("padded Chinese") << QStringLiteral("2026年03月05日") << march5;
        QTest::newRow("blank after") << QStringLiteral("2026-3-5 ") << march5;
        QTest::newRow("December padded") << QStringLiteral("2026-12-08") << QDate(2026, 12, 8);
        QTest::newRow("November slashes") << QStringLiteral("2026/11/26") << QDate(2026, 11, 26);
        QTest::newRow("no such day") << QStringLiteral("2026-2-30") << QDate();
        QTest::newRow("two separators") << QStringLiteral("2026-3/5") << QDate();
        QTest::newRow("no separators") << QStringLiteral("20260305") << QDate();
        QTest::newRow("more after") << QStringLiteral("2026-3-5x") << QDate();
        QTest::newRow("no 日") << QStringLiteral("2026年3月5") << QDate();
        QTest::newRow("words") << QStringLiteral("明天") << QDate();
    }
    void dateFormsReadAlike()
    {
        QFETCH(QString, stored);
        QFETCH(QDate, named);
        const bool names = named.isValid();
        const QDate day = names ? named : QDate(2026, 3, 5);
        TestEnv env;
        // As imports and typed entries of the past left them, past the store's own rule.
        for (const char* table : {"销售表", "进货表"}) {
            env.store.execute(
                QStringLiteral("insert into %1 (名称, 单价, 数量, 总金额, 日期, 备注, "
                               "区别) values ('茶叶', 13.9, 1, 13.9, ?, '', 1)")
                    .arg(QString::fromUtf8(table)),
                {stored});
        }
        env.store.execute(
            QStringLiteral("insert into 提醒表 (编号, 提醒日期, 提醒时间, 提醒内容, 区别) "
                           "values (1, ?, '9时5分', '发货', 1)"),
            {stored});
        env.store.execute(
            QStringLiteral("insert into 客户表 (客户名, 购买日期, 区别) values ('李', ?, 1)"),
            {stored});

        const int rows = names ? 1 : 0;
        QCOMPARE(reminder_records::dueAt(env.store, QDateTime(day, QTime(9, 5))).has_value(),
                 names);
        QCOMPARE(reminder_records::on(env.store, day).recordCount(), rows);
        QCOMPARE(reminder_records::anyOn(env.store, day), names);
        QCOMPARE(reminder_records::contentsOn(env.store, day).size(), qsizetype(rows));
        QCOMPARE(missedReminders(env.store, QDateTime(day.addDays(-1), QTime(12, 0)),
                                 QDateTime(day, QTime(12, 0)))
                     .size(),
                 std::size_t(rows));
        QCOMPARE(desktop_figures::monthSalesText(env.store, day),
                 names ? QStringLiteral("13.9") : QStringLiteral("0"));
        const ChartTables charts = computeChartTables(env.store, day);
        QCOMPARE(charts.salesPerDay[day.day() - 1].value, 13.9 * rows);
        QCOMPARE(charts.salesPerMonth[day.month() - 1].value, 13.9 * rows);
        QCOMPARE(charts.customersPerDay[day.day() - 1].value, 1.0 * rows);
        QCOMPARE(charts.customersPerMonth[day.month() - 1].value, 1.0 * rows);
        // 按日期查询 and the goods query windows, the day typed in several forms.
        for (const QString& typed :
             {dateText(day), isoDateText(day),
              QStringLiteral("%1年%2月%3日").arg(day.year()).arg(day.month()).arg(day.day())}) {
            QCOMPARE(goods::datePages(env.store, goods::GoodsTable::Sales, typed)->count(), rows);
            QCOMPARE(goods::dateTotal(env.store, goods::GoodsTable::Sales, typed).has_value(),
                     names);
            QCOMPARE(goods::productOnDatePages(env.store, goods::GoodsTable::Purchases,
                                               QStringLiteral("茶叶"), typed)
                         ->count(),
                     rows);
        }
        // A text that names no day is still found as that very text.
        QCOMPARE(goods::datePages(env.store, goods::GoodsTable::Sales, stored)->count(), 1);
        const goods::ProfitReport profit = goods::profitReport(env.store, {day, day});
        QCOMPARE(profit.salesCents, qint64(1390 * rows));
        QCOMPARE(profit.costCents, qint64(1390 * rows));
        // A typed or imported date is stored as the calendar writes it; other text as it is.
        const QString written = names ? dateText(named) : stored;
        QCOMPARE(storedDateText(stored), written);
        const goods::GoodsEntry pear{QStringLiteral("梨"),
                                     QStringLiteral("1"),
                                     QStringLiteral("1"),
                                     QStringLiteral("1"),
                                     stored,
                                     QStringLiteral("备注内容")};
        goods::appendRecords(env.store, goods::GoodsTable::Sales, {pear});
        goods::appendRecord(env.store, goods::GoodsTable::Purchases, pear);
        reminder_records::append(env.store, {day, stored, {}, QStringLiteral("梨"), {}});
        for (const char* sql :
             {"select 日期 from 销售表 where 名称='梨'", "select 日期 from 进货表 where 名称='梨'",
              "select 提醒日期 from 提醒表 where 提醒内容='梨'"}) {
            QCOMPARE(env.store.select(QString::fromUtf8(sql)).valueAt(0, 0).toString(), written);
        }
    }
};

QTEST_MAIN(TestDesktopFigures)
#include "test_desktop_figures.moc"

#include "data_store/data_store.h"
#include "statistics/chart_tables.h"
#include "support/env.h"

#include <QTest>
#include <map>

using namespace khgl;
using khgl::test::insertCustomer;
using khgl::test::insertSale;
using khgl::test::TestEnv;

namespace {

// A series typed out: its values in order, labelled " 1" .. " 31" or "Y-1" .. "Y-12".
ChartTable days(const std::vector<double>& values)
{
    ChartTable out;
    for (std::size_t i = 0; i < values.size(); ++i) {
        out.push_back({QStringLiteral(" %1").arg(i + 1), values[i]});
    }
    return out;
}

ChartTable months(int year, const std::vector<double>& values)
{
    ChartTable out;
    for (std::size_t i = 0; i < values.size(); ++i) {
        out.push_back({QStringLiteral("%1-%2").arg(year).arg(i + 1), values[i]});
    }
    return out;
}

} // namespace

class TestChartTables final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void dailySalesCountEachDateOnTheDayItNames()
    {
        TestEnv env;
        const QDate today(2026, 3, 15);
        // Amounts that differ from day to day, several rows on some days.
        std::map<int, double> expected;
        for (int day = 1; day <= 31; day += 2) {
            for (int n = 0; n <= day % 3; ++n) {
                const double amount = day * 10 + n * 0.25;
                insertSale(env.store, QStringLiteral("2026-3-%1").arg(day), amount);
                expected[day] += amount;
            }
        }
        // A trailing blank still names the day, as the date comparison ignores it.
        insertSale(env.store, QStringLiteral("2026-3-4 "), 7.0);
        expected[4] += 7;
        // A date typed with leading zeros counts on the day it names.
        insertSale(env.store, QStringLiteral("2026-03-03"), 0.5);
        insertSale(env.store, QStringLiteral("2026-3-05"), 0.25);
        expected[3] += 0.5;
        expected[5] += 0.25;
        // Other months and years, and texts that name no day.
        for (const char16_t* other : {u"2026-1-3", u"2026-10-3", u"2026-12-3", u"2025-3-3",
                                      u"2026-010-3", u"2026-3-", u"2026-3-31x"}) {
            insertSale(env.store, QString::fromUtf16(other), 1000.0);
        }

        const ChartTable table = salesPerDay(env.store, today);
        QCOMPARE(table.size(), std::size_t(31));
        for (int day = 1; day <= 31; ++day) {
            QCOMPARE(table[day - 1].label, QLatin1Char(' ') + QString::number(day));
            QCOMPARE(table[day - 1].value, expected[day]);
        }
    }

    void monthlySalesCountEachMonthOnlyOnce()
    {
        TestEnv env;
        std::map<int, double> expected;
        for (int month = 1; month <= 12; ++month) {
            for (int day : {1, 9, 28}) {
                const double amount = month * 100 + day + 0.5;
                insertSale(env.store, QStringLiteral("2026-%1-%2").arg(month).arg(day), amount);
                expected[month] += amount;
            }
        }
        insertSale(env.store, QStringLiteral("2025-1-9"), 5000.0);
        insertSale(env.store, QStringLiteral("2027-10-9"), 5000.0);
        // Leading zeros: still March, still November.
        insertSale(env.store, QStringLiteral("2026-03-05"), 0.25);
        insertSale(env.store, QStringLiteral("2026-11-05"), 0.75);
        expected[3] += 0.25;
        expected[11] += 0.75;

        const ChartTable table = salesPerMonth(env.store, 2026);
        QCOMPARE(table.size(), std::size_t(12));
        for (int month = 1; month <= 12; ++month) {
            QCOMPARE(table[month - 1].label, QStringLiteral("2026-%1").arg(month));
            QCOMPARE(table[month - 1].value, expected[month]);
        }
    }

    void aSmallYearGivesTheseFourSeries()
    {
        TestEnv env;
        const QDate today(2024, 3, 20);
        insertCustomer(env.store, QStringLiteral("王"), QStringLiteral("2024-3-5"));
        insertCustomer(env.store, QStringLiteral("王"), QStringLiteral("2024-3-5"));
        insertCustomer(env.store, QStringLiteral("李"), QStringLiteral("2024-03-31"));
        insertCustomer(env.store, QStringLiteral("张"), QStringLiteral("2024-10-5"));
        insertCustomer(env.store, QStringLiteral("赵"), QStringLiteral("2024-1-5"));
        insertCustomer(env.store, QStringLiteral("钱"), QStringLiteral("2023-3-5"));
        insertCustomer(env.store, QStringLiteral("孙"), QString());
        // Two sales on the 5th add up; October is not January; 2023 is not this year; months
        // without sales are 0, not gaps.
        insertSale(env.store, QStringLiteral("2024-3-5"), 12.5);
        insertSale(env.store, QStringLiteral("2024-3-5"), 7.5);
        insertSale(env.store, QStringLiteral("2024-3-31"), 3.0);
        insertSale(env.store, QStringLiteral("2024-10-1"), 100.0);
        insertSale(env.store, QStringLiteral("2024-1-9"), 40.0);
        insertSale(env.store, QStringLiteral("2023-3-5"), 1000.0);

        const ChartTable customerDays = days({0, 0, 0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
                                              0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1});
        const ChartTable saleDays = days({0, 0, 0, 0, 20, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
                                          0, 0, 0, 0, 0,  0, 0, 0, 0, 0, 0, 0, 0, 0, 3});
        const ChartTable customerMonths = months(2024, {1, 0, 3, 0, 0, 0, 0, 0, 0, 1, 0, 0});
        const ChartTable saleMonths = months(2024, {40, 0, 23, 0, 0, 0, 0, 0, 0, 100, 0, 0});
        const ChartTables tables = computeChartTables(env.store, today);
        QCOMPARE(tables.customersPerDay, customerDays);
        QCOMPARE(tables.salesPerDay, saleDays);
        QCOMPARE(tables.customersPerMonth, customerMonths);
        QCOMPARE(tables.salesPerMonth, saleMonths);
        QCOMPARE(customersPerDay(env.store, today), customerDays);
        QCOMPARE(salesPerDay(env.store, today), saleDays);
        QCOMPARE(customersPerMonth(env.store, 2024), customerMonths);
        QCOMPARE(salesPerMonth(env.store, 2024), saleMonths);
        // Labels carry no leading zero while March's customers are dated 03.
        QCOMPARE(tables.customersPerMonth[2].label, QStringLiteral("2024-3"));
        QCOMPARE(tables.salesPerMonth[11].label, QStringLiteral("2024-12"));
        QCOMPARE(tables.salesPerDay[0].label, QStringLiteral(" 1"));
    }

    void shortMonthsStillHaveThirtyOnePoints()
    {
        TestEnv env;
        for (int day = 1; day <= 30; ++day) {
            insertSale(env.store, QStringLiteral("2026-4-%1").arg(day), double(day));
            insertCustomer(env.store, QStringLiteral("客"), QStringLiteral("2026-4-%1").arg(day));
        }
        insertSale(env.store, QStringLiteral("2026-5-1"), 99.0);
        const ChartTables tables = computeChartTables(env.store, QDate(2026, 4, 30));
        QCOMPARE(tables.salesPerDay,
                 days({1,  2,  3,  4,  5,  6,  7,  8,  9,  10, 11, 12, 13, 14, 15, 16,
                       17, 18, 19, 20, 21, 22, 23, 24, 25, 26, 27, 28, 29, 30, 0}));
        QCOMPARE(tables.customersPerDay, days({1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1,
                                               1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 0}));
        QCOMPARE(tables.salesPerMonth, months(2026, {0, 0, 0, 465, 99, 0, 0, 0, 0, 0, 0, 0}));
        QCOMPARE(tables.customersPerMonth, months(2026, {0, 0, 0, 30, 0, 0, 0, 0, 0, 0, 0, 0}));
        QCOMPARE(tables.salesPerDay[30].label, QStringLiteral(" 31"));
    }

    void emptyTablesGiveZeros()
    {
        TestEnv env;
        const ChartTables tables = computeChartTables(env.store, QDate(2026, 2, 10));
        QCOMPARE(tables.salesPerDay, days(std::vector<double>(31, 0.0)));
        QCOMPARE(tables.customersPerDay, days(std::vector<double>(31, 0.0)));
        QCOMPARE(tables.salesPerMonth, months(2026, std::vector<double>(12, 0.0)));
        QCOMPARE(tables.customersPerMonth, months(2026, std::vector<double>(12, 0.0)));
    }
};

QTEST_MAIN(TestChartTables)
#include "test_chart_tables.moc"

#include "data_store/data_store.h"
#include "statistics/chart_tables.h"
#include "support/env.h"

#include <QTest>
#include <map>

using namespace khgl;
using khgl::test::TestEnv;

namespace {

void addSale(DataStore& store, const QString& date, double amount)
{
    khgl::test::insertRow(store, QStringLiteral("销售表"),
                          {{QStringLiteral("名称"), QStringLiteral("茶叶")},
                           {QStringLiteral("总金额"), amount},
                           {QStringLiteral("日期"), date}});
}

void addCustomer(DataStore& store, const QString& name, const QString& date)
{
    khgl::test::insertRow(store, QStringLiteral("客户表"),
                          {{QStringLiteral("客户名"), name}, {QStringLiteral("购买日期"), date}});
}

QStringList labels(const ChartTable& table)
{
    QStringList out;
    for (const ChartPoint& point : table) {
        out << point.label;
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
                addSale(env.store, QStringLiteral("2026-3-%1").arg(day), amount);
                expected[day] += amount;
            }
        }
        // A trailing blank still names the day, as the date comparison ignores it.
        addSale(env.store, QStringLiteral("2026-3-4 "), 7);
        expected[4] += 7;
        // A date typed with leading zeros counts on the day it names.
        addSale(env.store, QStringLiteral("2026-03-03"), 0.5);
        addSale(env.store, QStringLiteral("2026-3-05"), 0.25);
        expected[3] += 0.5;
        expected[5] += 0.25;
        // Other months and years, and texts that name no day.
        for (const char16_t* other : {u"2026-1-3", u"2026-10-3", u"2026-12-3", u"2025-3-3",
                                      u"2026-010-3", u"2026-3-", u"2026-3-31x"}) {
            addSale(env.store, QString::fromUtf16(other), 1000);
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
                addSale(env.store, QStringLiteral("2026-%1-%2").arg(month).arg(day), amount);
                expected[month] += amount;
            }
        }
        addSale(env.store, QStringLiteral("2025-1-9"), 5000);
        addSale(env.store, QStringLiteral("2027-10-9"), 5000);
        // Leading zeros: still March, still November.
        addSale(env.store, QStringLiteral("2026-03-05"), 0.25);
        addSale(env.store, QStringLiteral("2026-11-05"), 0.75);
        expected[3] += 0.25;
        expected[11] += 0.75;

        const ChartTable table = salesPerMonth(env.store, 2026);
        QCOMPARE(table.size(), std::size_t(12));
        for (int month = 1; month <= 12; ++month) {
            QCOMPARE(table[month - 1].label, QStringLiteral("2026-%1").arg(month));
            QCOMPARE(table[month - 1].value, expected[month]);
        }

        // A month without sales is 0, not a gap.
        TestEnv sparse;
        addSale(sparse.store, QStringLiteral("2027-10-9"), 40);
        addSale(sparse.store, QStringLiteral("2027-1-9"), 2);
        const ChartTable few = salesPerMonth(sparse.store, 2027);
        QCOMPARE(few[0].value, 2.0);
        QCOMPARE(few[9].value, 40.0);
        for (int month : {2, 3, 4, 5, 6, 7, 8, 9, 11, 12}) {
            QCOMPARE(few[month - 1].value, 0.0);
        }
    }

    void customerFlowUsesTwoDigitMonthsAndDays()
    {
        TestEnv env;
        const QDate today(2024, 3, 20);
        addCustomer(env.store, QStringLiteral("王"), QStringLiteral("2024-3-5"));
        addCustomer(env.store, QStringLiteral("王"), QStringLiteral("2024-3-5"));
        addCustomer(env.store, QStringLiteral("李"), QStringLiteral("2024-03-31"));
        addCustomer(env.store, QStringLiteral("张"), QStringLiteral("2024-10-5"));
        addCustomer(env.store, QStringLiteral("赵"), QStringLiteral("2024-1-5"));
        addCustomer(env.store, QStringLiteral("钱"), QStringLiteral("2023-3-5"));
        addCustomer(env.store, QStringLiteral("孙"), QString());

        const ChartTable days = customersPerDay(env.store, today);
        const ChartTable months = customersPerMonth(env.store, 2024);
        QCOMPARE(days.size(), std::size_t(31));
        QCOMPARE(months.size(), std::size_t(12));
        // The per-point queries of the charts are the reference.
        for (int day = 1; day <= 31; ++day) {
            RecordSet one =
                env.store.select(QStringLiteral("select 客户名 from 客户表 where str(购买日期)= ?"),
                                 {QStringLiteral("2024-03-%1").arg(day, 2, 10, QLatin1Char('0'))});
            QCOMPARE(days[day - 1].value, double(one.recordCount()));
        }
        for (int month = 1; month <= 12; ++month) {
            RecordSet one = env.store.select(
                QStringLiteral("select 客户名 from 客户表 where left(购买日期,7)=?"),
                {QStringLiteral("2024-%1").arg(month, 2, 10, QLatin1Char('0'))});
            QCOMPARE(months[month - 1].value, double(one.recordCount()));
        }
        QCOMPARE(days[4].value, 2.0);
        QCOMPARE(days[30].value, 1.0);
        QCOMPARE(months[0].value, 1.0);
        QCOMPARE(months[2].value, 3.0);
        QCOMPARE(months[9].value, 1.0);
        // Labels carry no leading zero while the filter above used 03.
        QCOMPARE(months[2].label, QStringLiteral("2024-3"));
        QCOMPARE(labels(months).last(), QStringLiteral("2024-12"));
        QCOMPARE(labels(days).first(), QStringLiteral(" 1"));
    }

    void shortMonthsStillHaveThirtyOnePoints()
    {
        TestEnv env;
        for (int day = 1; day <= 30; ++day) {
            addSale(env.store, QStringLiteral("2026-4-%1").arg(day), day);
            addCustomer(env.store, QStringLiteral("客"), QStringLiteral("2026-4-%1").arg(day));
        }
        addSale(env.store, QStringLiteral("2026-5-1"), 99);
        const ChartTables tables = computeChartTables(env.store, QDate(2026, 4, 30));
        for (const ChartTable* table : {&tables.salesPerDay, &tables.customersPerDay}) {
            QCOMPARE(table->size(), std::size_t(31));
            QCOMPARE(table->at(30).label, QStringLiteral(" 31"));
            QCOMPARE(table->at(30).value, 0.0);
        }
        QCOMPARE(tables.salesPerDay[29].value, 30.0);
        QCOMPARE(tables.customersPerDay[29].value, 1.0);
        // The tables computed together equal those computed one by one.
        QCOMPARE(tables.salesPerDay, salesPerDay(env.store, QDate(2026, 4, 30)));
        QCOMPARE(tables.customersPerDay, customersPerDay(env.store, QDate(2026, 4, 30)));
        QCOMPARE(tables.salesPerMonth, salesPerMonth(env.store, 2026));
        QCOMPARE(tables.customersPerMonth, customersPerMonth(env.store, 2026));
        QCOMPARE(tables.salesPerMonth[3].value, 465.0);
        QCOMPARE(tables.salesPerMonth[4].value, 99.0);
    }

    void emptyTablesGiveZeros()
    {
        TestEnv env;
        const ChartTables tables = computeChartTables(env.store, QDate(2026, 2, 10));
        for (const ChartTable* table : {&tables.salesPerDay, &tables.customersPerDay,
                                        &tables.salesPerMonth, &tables.customersPerMonth}) {
            for (const ChartPoint& point : *table) {
                QCOMPARE(point.value, 0.0);
            }
        }
    }
};

QTEST_MAIN(TestChartTables)
#include "test_chart_tables.moc"

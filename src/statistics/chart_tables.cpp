#include "statistics/chart_tables.h"

#include "data_store/data_store.h"
#include "data_store/sql_dialect.h"

namespace khgl {
namespace {

constexpr int kDays = 31;
constexpr int kMonths = 12;

QString yearPrefix(int year)
{
    return QString::number(year) + QLatin1Char('-');
}

QString twoDigits(int number)
{
    return QStringLiteral("%1").arg(number, 2, 10, QLatin1Char('0'));
}

// Purchase dates read back as YYYY-MM-DD, so one row per date of the year is enough to
// answer both the per-day and the per-month question.
RecordSet customersByDate(DataStore& store, int year)
{
    return store.select(QStringLiteral("select 购买日期 as 日期, count(*) as 人数 from 客户表 "
                                       "where left(购买日期,5)=? group by 购买日期"),
                        {yearPrefix(year)});
}

// Grouping by 日期 uses the column's comparison (trailing blanks, case), the same one a
// per-day "日期 = 'Y-M-d'" filter uses.
RecordSet salesByDate(DataStore& store, int year)
{
    return store.select(QStringLiteral("select 日期, sum(总金额) as 金额 from 销售表 "
                                       "where left(日期,5)=? group by 日期"),
                        {yearPrefix(year)});
}

ChartTable dayTable()
{
    ChartTable table;
    table.reserve(kDays);
    for (int day = 1; day <= kDays; ++day) {
        table.push_back({dayLabel(day), 0});
    }
    return table;
}

ChartTable monthTable(int year)
{
    ChartTable table;
    table.reserve(kMonths);
    for (int month = 1; month <= kMonths; ++month) {
        table.push_back({monthLabel(year, month), 0});
    }
    return table;
}

bool sameDateText(const QString& stored, const QString& wanted)
{
    const QByteArray a = stored.toUtf8();
    const QByteArray b = wanted.toUtf8();
    return compareText(a.constData(), static_cast<int>(a.size()), b.constData(),
                       static_cast<int>(b.size())) == 0;
}

ChartTable customersPerDayFrom(RecordSet& rows, const QDate& today)
{
    ChartTable table = dayTable();
    const QString month = yearPrefix(today.year()) + twoDigits(today.month()) + QLatin1Char('-');
    for (rows.moveFirst(); !rows.eof(); rows.moveNext()) {
        const QString date = rows.text(0);
        for (int day = 1; day <= kDays; ++day) {
            if (date == month + twoDigits(day)) {
                table[day - 1].value += rows.value(1).toDouble();
            }
        }
    }
    return table;
}

ChartTable customersPerMonthFrom(RecordSet& rows, int year)
{
    ChartTable table = monthTable(year);
    for (rows.moveFirst(); !rows.eof(); rows.moveNext()) {
        const QString prefix = rows.text(0).left(7);
        for (int month = 1; month <= kMonths; ++month) {
            if (prefix == yearPrefix(year) + twoDigits(month)) {
                table[month - 1].value += rows.value(1).toDouble();
            }
        }
    }
    return table;
}

ChartTable salesPerDayFrom(RecordSet& rows, const QDate& today)
{
    ChartTable table = dayTable();
    const QString month =
        yearPrefix(today.year()) + QString::number(today.month()) + QLatin1Char('-');
    for (rows.moveFirst(); !rows.eof(); rows.moveNext()) {
        const QString date = rows.text(0);
        if (!date.startsWith(month)) {
            continue;
        }
        for (int day = 1; day <= kDays; ++day) {
            if (sameDateText(date, month + QString::number(day))) {
                table[day - 1].value += rows.value(1).toDouble();
            }
        }
    }
    return table;
}

ChartTable salesPerMonthFrom(RecordSet& rows, int year)
{
    ChartTable table = monthTable(year);
    for (rows.moveFirst(); !rows.eof(); rows.moveNext()) {
        const QString date = rows.text(0);
        for (int month = 1; month <= kMonths; ++month) {
            if (date.startsWith(monthLabel(year, month) + QLatin1Char('-'))) {
                table[month - 1].value += rows.value(1).toDouble();
            }
        }
    }
    return table;
}

} // namespace

QString dayLabel(int day)
{
    return QLatin1Char(' ') + QString::number(day);
}

QString monthLabel(int year, int month)
{
    return yearPrefix(year) + QString::number(month);
}

ChartTable customersPerDay(DataStore& store, const QDate& today)
{
    RecordSet rows = customersByDate(store, today.year());
    return customersPerDayFrom(rows, today);
}

ChartTable salesPerDay(DataStore& store, const QDate& today)
{
    RecordSet rows = salesByDate(store, today.year());
    return salesPerDayFrom(rows, today);
}

ChartTable customersPerMonth(DataStore& store, int year)
{
    RecordSet rows = customersByDate(store, year);
    return customersPerMonthFrom(rows, year);
}

ChartTable salesPerMonth(DataStore& store, int year)
{
    RecordSet rows = salesByDate(store, year);
    return salesPerMonthFrom(rows, year);
}

ChartTables computeChartTables(DataStore& store, const QDate& today)
{
    RecordSet customers = customersByDate(store, today.year());
    RecordSet sales = salesByDate(store, today.year());
    return {customersPerDayFrom(customers, today), salesPerDayFrom(sales, today),
            customersPerMonthFrom(customers, today.year()), salesPerMonthFrom(sales, today.year())};
}

} // namespace khgl

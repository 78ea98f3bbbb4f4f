#include "statistics/chart_tables.h"

#include "data_store/data_store.h"
#include "data_store/sql_dialect.h"
#include "data_store/statement.h"

#include <sqlite3.h>

#include <cstring>
#include <string>
#include <unordered_map>

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

// What one table holds for each distinct stored date text of one year: the sum of a
// column, or the number of rows.
using DateTotals = std::vector<std::pair<QString, double>>;

// One pass over the table in storage order, adding up by date text. Grouping in SQL would
// sort every row of the year first; a few hundred distinct dates fit a hash table instead.
DateTotals totalsByDate(DataStore& store, const QString& sql, int year)
{
    const QByteArray prefix = QByteArray::number(year) + '-';
    std::unordered_map<std::string, double> totals;
    Statement rows(store.handle(), sql);
    sqlite3_stmt* stmt = rows.handle();
    const bool counting = rows.columnCount() == 1;
    while (rows.step()) {
        const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0));
        const int length = sqlite3_column_bytes(stmt, 0);
        if (text == nullptr || length < prefix.size() ||
            std::memcmp(text, prefix.constData(), static_cast<std::size_t>(prefix.size())) != 0) {
            continue;
        }
        totals[std::string(text, static_cast<std::size_t>(length))] +=
            counting ? 1.0 : sqlite3_column_double(stmt, 1);
    }
    DateTotals out;
    out.reserve(totals.size());
    for (const auto& [date, total] : totals) {
        out.emplace_back(QString::fromStdString(date), total);
    }
    return out;
}

// Purchase dates read back as YYYY-MM-DD.
DateTotals customersByDate(DataStore& store, int year)
{
    return totalsByDate(store, QStringLiteral("select 购买日期 from 客户表"), year);
}

DateTotals salesByDate(DataStore& store, int year)
{
    return totalsByDate(store, QStringLiteral("select 日期, 总金额 from 销售表"), year);
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

// A day's purchases: the date text equals "Y-MM-DD".
ChartTable customersPerDayFrom(const DateTotals& dates, const QDate& today)
{
    ChartTable table = dayTable();
    const QString month = yearPrefix(today.year()) + twoDigits(today.month()) + QLatin1Char('-');
    for (const auto& [date, count] : dates) {
        for (int day = 1; day <= kDays; ++day) {
            if (date == month + twoDigits(day)) {
                table[day - 1].value += count;
            }
        }
    }
    return table;
}

// A month's purchases: the first seven characters equal "Y-MM".
ChartTable customersPerMonthFrom(const DateTotals& dates, int year)
{
    ChartTable table = monthTable(year);
    for (const auto& [date, count] : dates) {
        for (int month = 1; month <= kMonths; ++month) {
            if (date.left(7) == yearPrefix(year) + twoDigits(month)) {
                table[month - 1].value += count;
            }
        }
    }
    return table;
}

// A day's sales: the date text equals "Y-M-d" the way the column compares (trailing blanks
// and letter case do not count).
ChartTable salesPerDayFrom(const DateTotals& dates, const QDate& today)
{
    ChartTable table = dayTable();
    const QString month =
        yearPrefix(today.year()) + QString::number(today.month()) + QLatin1Char('-');
    for (const auto& [date, total] : dates) {
        if (!date.startsWith(month)) {
            continue;
        }
        for (int day = 1; day <= kDays; ++day) {
            if (sameDateText(date, month + QString::number(day))) {
                table[day - 1].value += total;
            }
        }
    }
    return table;
}

// A month's sales: the date text begins with "Y-M-", so October is not counted under
// January although both begin with "Y-1".
ChartTable salesPerMonthFrom(const DateTotals& dates, int year)
{
    ChartTable table = monthTable(year);
    for (const auto& [date, total] : dates) {
        for (int month = 1; month <= kMonths; ++month) {
            if (date.startsWith(monthLabel(year, month) + QLatin1Char('-'))) {
                table[month - 1].value += total;
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
    return customersPerDayFrom(customersByDate(store, today.year()), today);
}

ChartTable salesPerDay(DataStore& store, const QDate& today)
{
    return salesPerDayFrom(salesByDate(store, today.year()), today);
}

ChartTable customersPerMonth(DataStore& store, int year)
{
    return customersPerMonthFrom(customersByDate(store, year), year);
}

ChartTable salesPerMonth(DataStore& store, int year)
{
    return salesPerMonthFrom(salesByDate(store, year), year);
}

ChartTables computeChartTables(DataStore& store, const QDate& today)
{
    const DateTotals customers = customersByDate(store, today.year());
    const DateTotals sales = salesByDate(store, today.year());
    return {customersPerDayFrom(customers, today), salesPerDayFrom(sales, today),
            customersPerMonthFrom(customers, today.year()), salesPerMonthFrom(sales, today.year())};
}

} // namespace khgl

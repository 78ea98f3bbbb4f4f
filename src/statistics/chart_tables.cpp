#include "statistics/chart_tables.h"

#include "data_store/data_store.h"
#include "data_store/date_text.h"

#include <cstring>
#include <optional>
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

// What one table holds for each day of one year that its stored date texts name: the sum
// of a column, or the number of rows. Keys are yyyymmdd.
using DateTotals = std::vector<std::pair<qint64, double>>;

// One pass over the table in storage order, adding up by date text. Grouping in SQL would
// sort every row of the year first; a few hundred distinct dates fit a hash table instead,
// and each is then read once by the date rule.
DateTotals totalsByDate(DataStore& store, const QString& sql, int year)
{
    const QByteArray prefix = QByteArray::number(year);
    std::unordered_map<std::string, double> totals;
    store.scan(sql, [&](const char* text, int length, double number) {
        // Blanks before a date are rare: such a text is read in full like any other.
        const bool otherYear =
            text != nullptr && length > prefix.size() && text[0] != ' ' &&
            std::memcmp(text, prefix.constData(), static_cast<std::size_t>(prefix.size())) != 0;
        if (text == nullptr || otherYear) {
            return;
        }
        totals[std::string(text, static_cast<std::size_t>(length))] += number;
    });
    DateTotals out;
    out.reserve(totals.size());
    for (const auto& [date, total] : totals) {
        const qint64 key = dayKeyOf(date.data(), static_cast<qsizetype>(date.size()));
        if (key != kNoDayKey && key / 10000 == year) {
            out.emplace_back(key, total);
        }
    }
    return out;
}

DateTotals customersByDate(DataStore& store, int year)
{
    return totalsByDate(store, QStringLiteral("select 购买日期, 1 from 客户表"), year);
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

// Each day 1..31 of today's month: what the dates naming that day add up to.
ChartTable perDayFrom(const DateTotals& dates, const QDate& today)
{
    ChartTable table = dayTable();
    for (const auto& [key, total] : dates) {
        if (key / 100 % 100 == today.month()) {
            table[key % 100 - 1].value += total;
        }
    }
    return table;
}

// Each month of the year: what the dates naming that month add up to.
ChartTable perMonthFrom(const DateTotals& dates, int year)
{
    ChartTable table = monthTable(year);
    for (const auto& [key, total] : dates) {
        table[key / 100 % 100 - 1].value += total;
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
    return perDayFrom(customersByDate(store, today.year()), today);
}

ChartTable salesPerDay(DataStore& store, const QDate& today)
{
    return perDayFrom(salesByDate(store, today.year()), today);
}

ChartTable customersPerMonth(DataStore& store, int year)
{
    return perMonthFrom(customersByDate(store, year), year);
}

ChartTable salesPerMonth(DataStore& store, int year)
{
    return perMonthFrom(salesByDate(store, year), year);
}

ChartTables computeChartTables(DataStore& store, const QDate& today)
{
    const DateTotals customers = customersByDate(store, today.year());
    const DateTotals sales = salesByDate(store, today.year());
    return {perDayFrom(customers, today), perDayFrom(sales, today),
            perMonthFrom(customers, today.year()), perMonthFrom(sales, today.year())};
}

} // namespace khgl

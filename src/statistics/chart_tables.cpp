#include "statistics/chart_tables.h"

#include "data_store/data_store.h"

#include <QRegularExpression>

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

// What one table holds for each distinct stored date text of one year: the sum of a
// column, or the number of rows.
using DateTotals = std::vector<std::pair<QString, double>>;

// One pass over the table in storage order, adding up by date text. Grouping in SQL would
// sort every row of the year first; a few hundred distinct dates fit a hash table instead.
DateTotals totalsByDate(DataStore& store, const QString& sql, int year)
{
    const QByteArray prefix = QByteArray::number(year) + '-';
    std::unordered_map<std::string, double> totals;
    store.scan(sql, [&](const char* text, int length, double number) {
        if (text == nullptr || length < prefix.size() ||
            std::memcmp(text, prefix.constData(), static_cast<std::size_t>(prefix.size())) != 0) {
            return;
        }
        totals[std::string(text, static_cast<std::size_t>(length))] += number;
    });
    DateTotals out;
    out.reserve(totals.size());
    for (const auto& [date, total] : totals) {
        out.emplace_back(QString::fromStdString(date), total);
    }
    return out;
}

// Purchase dates read back as YYYY-MM-DD; each customer row counts once.
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

// The month and day a stored date text of the year names, written with or without leading
// zeros (2026-3-5, 2026-03-05); trailing blanks do not count, as in the column's comparisons.
// The text is known to begin with the year and "-".
std::optional<std::pair<int, int>> monthAndDay(const QString& date)
{
    static const QRegularExpression pattern(QStringLiteral(R"(^\d+-(\d{1,2})-(\d{1,2}) *$)"));
    const auto match = pattern.match(date);
    if (!match.hasMatch()) {
        return std::nullopt;
    }
    const int month = match.capturedView(1).toInt();
    const int day = match.capturedView(2).toInt();
    if (month < 1 || month > kMonths || day < 1 || day > kDays) {
        return std::nullopt;
    }
    return std::pair{month, day};
}

// Each day 1..31 of today's month: what the dates naming that day add up to.
ChartTable perDayFrom(const DateTotals& dates, const QDate& today)
{
    ChartTable table = dayTable();
    for (const auto& [date, total] : dates) {
        const auto named = monthAndDay(date);
        if (named && named->first == today.month()) {
            table[named->second - 1].value += total;
        }
    }
    return table;
}

// Each month of the year: what the dates naming that month add up to, so October is never
// counted under January although "Y-10" begins with "Y-1".
ChartTable perMonthFrom(const DateTotals& dates, int year)
{
    ChartTable table = monthTable(year);
    for (const auto& [date, total] : dates) {
        if (const auto named = monthAndDay(date)) {
            table[named->first - 1].value += total;
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

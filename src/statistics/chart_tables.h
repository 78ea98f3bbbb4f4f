#pragma once

#include <QDate>
#include <QString>
#include <vector>

namespace khgl {

class DataStore;

// One point of a chart: its label text and its value.
struct ChartPoint
{
    QString label;
    double value = 0;

    bool operator==(const ChartPoint&) const = default;
};

// The two-column table (label, value) a chart is fed with, one row per point.
using ChartTable = std::vector<ChartPoint>;

// The four tables of the month and year charts, computed at load and whenever a chart page
// is shown.
struct ChartTables
{
    ChartTable customersPerDay;   // 31 points " 1" .. " 31" of the current month
    ChartTable salesPerDay;       // 31 points; also the desktop's chart
    ChartTable customersPerMonth; // 12 points "Y-1" .. "Y-12" of the current year
    ChartTable salesPerMonth;     // 12 points
};

// Day labels carry one blank in front (" 1"); month labels are year-month without a
// leading zero ("2026-3").
QString dayLabel(int day);
QString monthLabel(int year, int month);

// A row counts on the month and day its date names, with or without leading zeros
// (2026-3-5 and 2026-03-05 alike).
// Purchases of 客户表 on each day 1..31 of today's month; days the month lacks are 0.
ChartTable customersPerDay(DataStore& store, const QDate& today);
// Sum of 销售表.总金额 dated each day 1..31 of today's month.
ChartTable salesPerDay(DataStore& store, const QDate& today);
// Purchases of 客户表 in each month of the year.
ChartTable customersPerMonth(DataStore& store, int year);
// Sales of each month of the year; October is never counted under January.
ChartTable salesPerMonth(DataStore& store, int year);

// All four, reading each of the two tables once.
ChartTables computeChartTables(DataStore& store, const QDate& today);

} // namespace khgl

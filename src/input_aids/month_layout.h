#pragma once

#include <QDate>
#include <array>

namespace khgl {

// What one of the 42 cells (6 rows x 7 columns, Sunday first, row-major) of a month calendar
// shows.
enum class CellKind
{
    ThisMonth,
    PreviousMonth,
    NextMonth,
    Blank
};

struct MonthCell
{
    int day = 0; // 0 for a blank cell
    CellKind kind = CellKind::Blank;
};

// One month laid out in 42 cells: the month's days from the cell of the weekday of its 1st,
// the last days of the previous month before them, the first days of the next month after
// them up to the end of the row of the last day's row 5, or to the end of row 6 when the
// month reaches row 6.
struct MonthLayout
{
    static constexpr int kCells = 42;
    // Only the first 37 cells can hold a day of the month.
    static constexpr int kDayTableSize = 37;
    // The years a date text can name.
    static constexpr int kFirstYear = 1;
    static constexpr int kLastYear = 9999;

    int year = 0;
    int month = 0;
    int firstCell = 0; // weekday of the 1st, 0 = Sunday
    int lastCell = 0;  // cell of the last day, 27..36
    std::array<MonthCell, kCells> cells{};
    // The day of the month a cell shows, 0 for other months' days and blank cells.
    std::array<int, kDayTableSize> dayTable{};

    // The cell showing the given day of this month, -1 when the month has no such day.
    int cellOfDay(int day) const;
    // The real date a cell shows (neighbouring months stepped); invalid for a blank cell or a
    // day outside the years 1..9999.
    QDate dateAt(int cell) const;
};

bool isLeapYear(int year);
int monthLength(int year, int month);
// 0 = Sunday .. 6 = Saturday, Gregorian calendar (also before its introduction).
int weekdayOfFirst(int year, int month);
MonthLayout layOutMonth(int year, int month);

} // namespace khgl

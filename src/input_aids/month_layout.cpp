#include "input_aids/month_layout.h"

namespace khgl {

bool isLeapYear(int year)
{
    return year % 400 == 0 || (year % 4 == 0 && year % 100 != 0);
}

int monthLength(int year, int month)
{
    switch (month) {
    case 2:
        return isLeapYear(year) ? 29 : 28;
    case 4:
    case 6:
    case 9:
    case 11:
        return 30;
    default:
        return 31;
    }
}

int weekdayOfFirst(int year, int month)
{
    // Sakamoto's method: January and February count as months of the year before.
    static constexpr std::array<int, 12> offsets{0, 3, 2, 5, 0, 3, 5, 1, 4, 6, 2, 4};
    const int y = month < 3 ? year - 1 : year;
    const int days = y + y / 4 - y / 100 + y / 400 + offsets[static_cast<size_t>(month - 1)] + 1;
    return ((days % 7) + 7) % 7;
}

MonthLayout layOutMonth(int year, int month)
{
    MonthLayout layout;
    layout.year = year;
    layout.month = month;
    const int w = weekdayOfFirst(year, month);
    const int n = monthLength(year, month);
    layout.firstCell = w;
    layout.lastCell = w + n - 1;

    const int previousLength = month == 1 ? 31 : monthLength(year, month - 1);
    for (int i = 0; i < w; ++i) {
        layout.cells[static_cast<size_t>(i)] = {previousLength - w + 1 + i,
                                                CellKind::PreviousMonth};
    }
    for (int d = 1; d <= n; ++d) {
        const int cell = w + d - 1;
        layout.cells[static_cast<size_t>(cell)] = {d, CellKind::ThisMonth};
        layout.dayTable[static_cast<size_t>(cell)] = d;
    }
    // A month ending in row 5 gets next month's days to the end of row 5 and a blank row 6;
    // one ending in row 6 fills row 6; a 28-day February from a Sunday leaves rows 5 and 6 blank.
    const int last = layout.lastCell;
    const int nextEnd = last >= 35 ? 41 : (last >= 28 ? 34 : last);
    for (int cell = last + 1, d = 1; cell <= nextEnd; ++cell, ++d) {
        layout.cells[static_cast<size_t>(cell)] = {d, CellKind::NextMonth};
    }
    return layout;
}

int MonthLayout::cellOfDay(int day) const
{
    if (day < 1) {
        return -1;
    }
    for (int i = 0; i < kDayTableSize; ++i) {
        if (dayTable[static_cast<size_t>(i)] == day) {
            return i;
        }
    }
    return -1;
}

QDate MonthLayout::dateAt(int cell) const
{
    if (cell < 0 || cell >= kCells) {
        return {};
    }
    const MonthCell& c = cells[static_cast<size_t>(cell)];
    QDate date;
    switch (c.kind) {
    case CellKind::ThisMonth:
        date = QDate(year, month, c.day);
        break;
    case CellKind::PreviousMonth:
        date = month == 1 ? QDate(year - 1, 12, c.day) : QDate(year, month - 1, c.day);
        break;
    case CellKind::NextMonth:
        date = month == 12 ? QDate(year + 1, 1, c.day) : QDate(year, month + 1, c.day);
        break;
    case CellKind::Blank:
        break;
    }
    // Dates are stored as four-digit years.
    return date.isValid() && date.year() >= kFirstYear && date.year() <= kLastYear ? date : QDate();
}

} // namespace khgl

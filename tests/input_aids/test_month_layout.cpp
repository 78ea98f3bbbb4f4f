#include "input_aids/month_layout.h"

#include <QTest>

using namespace khgl;

class TestMonthLayout final : public QObject
{
    Q_OBJECT

private:
    static QList<int> days(const MonthLayout& layout, int from, int to)
    {
        QList<int> result;
        for (int i = from; i <= to; ++i) {
            result << layout.cells[static_cast<size_t>(i)].day;
        }
        return result;
    }
    static QList<int> range(int from, int to)
    {
        QList<int> result;
        for (int d = from; d <= to; ++d) {
            result << d;
        }
        return result;
    }

private Q_SLOTS:
    void everyMonthFrom1900To2100AgreesWithTheCalendar()
    {
        for (int year = 1900; year <= 2100; ++year) {
            for (int month = 1; month <= 12; ++month) {
                const QDate first(year, month, 1);
                QCOMPARE(weekdayOfFirst(year, month), first.dayOfWeek() % 7);
                QCOMPARE(monthLength(year, month), first.daysInMonth());

                // Every shown cell is the next day after the one before it, starting at the
                // Sunday on or before the 1st; the shown cells end with row 5 or row 6.
                const MonthLayout layout = layOutMonth(year, month);
                const int w = layout.firstCell;
                const int last = layout.lastCell;
                QVERIFY(last >= 27 && last <= 36);
                const int shown = last >= 35 ? 42 : (last >= 28 ? 35 : 28);
                for (int i = 0; i < MonthLayout::kCells; ++i) {
                    const MonthCell& cell = layout.cells[static_cast<size_t>(i)];
                    if (i >= shown) {
                        QCOMPARE(cell.day, 0);
                        QVERIFY(cell.kind == CellKind::Blank);
                        QVERIFY(!layout.dateAt(i).isValid());
                        continue;
                    }
                    const QDate date = first.addDays(i - w);
                    QCOMPARE(layout.dateAt(i), date);
                    QCOMPARE(cell.day, date.day());
                    const CellKind kind = i < w      ? CellKind::PreviousMonth
                                          : i > last ? CellKind::NextMonth
                                                     : CellKind::ThisMonth;
                    QVERIFY(cell.kind == kind);
                    if (i < MonthLayout::kDayTableSize) {
                        QCOMPARE(layout.dayTable[static_cast<size_t>(i)],
                                 kind == CellKind::ThisMonth ? date.day() : 0);
                    }
                }
            }
        }
    }

    void augustEndsInRowSixAndNoDateLeavesTheFourDigitYears()
    {
        // The window tests cover February 2026 and March 2024; August 2026 fills row 6.
        const MonthLayout august = layOutMonth(2026, 8);
        QCOMPARE(august.lastCell, 36);
        QCOMPARE(days(august, 37, 41), range(1, 5));

        QVERIFY(!layOutMonth(1, 1).dateAt(0).isValid());
        QCOMPARE(layOutMonth(1, 1).dateAt(1), QDate(1, 1, 1));
        const MonthLayout lastMonth = layOutMonth(9999, 12);
        QVERIFY(!lastMonth.dateAt(lastMonth.lastCell + 1).isValid());
    }
};

QTEST_GUILESS_MAIN(TestMonthLayout)
#include "test_month_layout.moc"

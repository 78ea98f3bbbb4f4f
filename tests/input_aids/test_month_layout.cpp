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

    void monthsOfTheEdgeCases()
    {
        // February 2026 starts on a Sunday with 28 days: rows 5 and 6 are blank.
        const MonthLayout february = layOutMonth(2026, 2);
        QCOMPARE(february.firstCell, 0);
        QCOMPARE(days(february, 0, 27), range(1, 28));
        QCOMPARE(days(february, 28, 41), QList<int>(14, 0));
        QCOMPARE(february.cellOfDay(10), 9);
        QCOMPARE(february.cellOfDay(29), -1);

        // March 2024 starts on a Friday after a 29-day February.
        const MonthLayout march = layOutMonth(2024, 3);
        QCOMPARE(march.firstCell, 5);
        QCOMPARE(days(march, 0, 4), range(25, 29));
        QCOMPARE(march.dateAt(0), QDate(2024, 2, 25));

        // August 2026: a 31-day month from a Saturday ends in cell 36.
        const MonthLayout august = layOutMonth(2026, 8);
        QCOMPARE(august.lastCell, 36);
        QCOMPARE(days(august, 37, 41), range(1, 5));
        QCOMPARE(august.dateAt(41), QDate(2026, 9, 5));

        // February 2025 starts on a Saturday; 28 falls in cell 33.
        const MonthLayout february2025 = layOutMonth(2025, 2);
        QCOMPARE(february2025.cellOfDay(1), 6);
        QCOMPARE(february2025.cellOfDay(28), 33);

        // Neighbouring days across year ends name the other year.
        const MonthLayout january = layOutMonth(2027, 1);
        QCOMPARE(january.dateAt(0), QDate(2026, 12, 27));
        const MonthLayout december = layOutMonth(2026, 12);
        QCOMPARE(december.dateAt(33), QDate(2027, 1, 1));
        QVERIFY(!december.dateAt(35).isValid());

        // No date outside the four-digit years.
        QVERIFY(!layOutMonth(1, 1).dateAt(0).isValid());
        QCOMPARE(layOutMonth(1, 1).dateAt(1), QDate(1, 1, 1));
        const MonthLayout lastMonth = layOutMonth(9999, 12);
        QVERIFY(lastMonth.lastCell < 34);
        QVERIFY(!lastMonth.dateAt(lastMonth.lastCell + 1).isValid());
        QVERIFY(isLeapYear(2000) && !isLeapYear(1900) && isLeapYear(2024) && !isLeapYear(2026));
    }
};

QTEST_GUILESS_MAIN(TestMonthLayout)
#include "test_month_layout.moc"

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

private Q_SLOTS:
    void everyMonthFrom1900To2100AgreesWithTheCalendar()
    {
        for (int year = 1900; year <= 2100; ++year) {
            for (int month = 1; month <= 12; ++month) {
                // Qt's own calendar is the reference: the layout computes weekdays by itself.
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

    void namedMonthsShowTheseCells_data()
    {
        QTest::addColumn<QList<int>>("yearMonthFirstLast");
        QTest::addColumn<QList<int>>("before");
        QTest::addColumn<QList<int>>("after"); // cells lastCell+1 .. 41, 0 when blank
        const auto row = [](const char* name, const QList<int>& yearMonthFirstLast,
                            const QList<int>& before, const QList<int>& after) {
            QTest::newRow(name) << yearMonthFirstLast << before << after;
        };
        row("2026-2 from a Sunday", {2026, 2, 0, 27}, {}, QList<int>(14, 0));
        row("2024-3 after a leap February", {2024, 3, 5, 35}, {25, 26, 27, 28, 29},
            {1, 2, 3, 4, 5, 6});
        row("2026-8 ends in row 6", {2026, 8, 6, 36}, {26, 27, 28, 29, 30, 31}, {1, 2, 3, 4, 5});
        row("2025-3 from a Saturday", {2025, 3, 6, 36}, {23, 24, 25, 26, 27, 28}, {1, 2, 3, 4, 5});
        row("2025-2 28 in cell 33", {2025, 2, 6, 33}, {26, 27, 28, 29, 30, 31},
            {1, 0, 0, 0, 0, 0, 0, 0});
        row("2026-12", {2026, 12, 2, 32}, {29, 30}, {1, 2, 0, 0, 0, 0, 0, 0, 0});
        row("2027-1", {2027, 1, 5, 35}, {27, 28, 29, 30, 31}, {1, 2, 3, 4, 5, 6});
    }

    void namedMonthsShowTheseCells()
    {
        QFETCH(QList<int>, yearMonthFirstLast);
        QFETCH(QList<int>, before);
        QFETCH(QList<int>, after);
        const MonthLayout layout = layOutMonth(yearMonthFirstLast[0], yearMonthFirstLast[1]);
        const int firstCell = yearMonthFirstLast[2];
        const int lastCell = yearMonthFirstLast[3];
        QCOMPARE(layout.firstCell, firstCell);
        QCOMPARE(layout.lastCell, lastCell);
        QCOMPARE(days(layout, 0, firstCell - 1), before);
        QCOMPARE(layout.cells[static_cast<size_t>(firstCell)].day, 1);
        QCOMPARE(layout.cells[static_cast<size_t>(lastCell)].day, lastCell - firstCell + 1);
        QCOMPARE(days(layout, lastCell + 1, 41), after);
    }

    void noDateLeavesTheFourDigitYears()
    {
        QVERIFY(!layOutMonth(1, 1).dateAt(0).isValid());
        QCOMPARE(layOutMonth(1, 1).dateAt(1), QDate(1, 1, 1));
        const MonthLayout lastMonth = layOutMonth(9999, 12);
        QVERIFY(!lastMonth.dateAt(lastMonth.lastCell + 1).isValid());
    }
};

QTEST_GUILESS_MAIN(TestMonthLayout)
#include "test_month_layout.moc"

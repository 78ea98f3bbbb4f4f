#pragma once

#include "input_aids/month_layout.h"

#include <QWidget>
#include <array>
#include <memory>

namespace Ui {
class CalendarWindow;
}

namespace khgl {

class Clock;
class ClickLabel;

// The date picker: one month in 42 cells, stepping between months; a double click on a day
// picks its date. The window itself never writes into a box: InputAids routes the pick.
class CalendarWindow final : public QWidget
{
    Q_OBJECT

public:
    explicit CalendarWindow(const Clock& clock, QWidget* parent = nullptr);
    ~CalendarWindow() override;

    // Starts afresh on today's month with today marked, as every new opening does.
    void openOnToday();
    int shownYear() const { return m_layout.year; }
    int shownMonth() const { return m_layout.month; }

Q_SIGNALS:
    void datePicked(const QDate& date);

protected:
    // Arrows move the mark, Page Up/Down change the month, Enter writes the marked date,
    // Esc closes.
    void keyPressEvent(QKeyEvent* event) override;

private:
    void connectControls();
    void showMonth(int year, int month);
    void fillCells();
    void markCell(int index);
    void showNextMonth();
    void showPreviousMonth();
    void pickCell(int index);

    std::unique_ptr<Ui::CalendarWindow> m_ui;
    const Clock& m_clock;
    std::array<ClickLabel*, MonthLayout::kCells> m_cells{};
    MonthLayout m_layout;
    int m_todayDay = 0;
    int m_marked = 0;
};

} // namespace khgl

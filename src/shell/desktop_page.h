#pragma once

#include "widgets/page.h"

#include <QDate>
#include <array>
#include <memory>

namespace Ui {
class DesktopPage;
}

namespace khgl {

class ClickLabel;
struct ChartTables;

// The desktop: customer total, this month's sales, the month calendar with today's
// reminders, and this month's daily sales chart. Everything is computed at the main window's
// load; a click on a calendar day lists that day's reminders.
class DesktopPage final : public Page
{
    Q_OBJECT

public:
    static constexpr int kCells = 42;

    DesktopPage(PageEnv& env, QWidget* parent);
    ~DesktopPage() override;

    void windowLoaded() override;
    // The low-stock line follows minimums and sales changed since the load.
    void opened() override;
    // Shows the chart tables the main window computed.
    void showTables(const ChartTables& tables);
    // A line saying today's automatic backup failed; the reason in its tooltip.
    void showDailyBackupFailure(const QString& message);

    ClickLabel* cell(int index) const { return m_cells.at(index); }

Q_SIGNALS:
    // The low-stock line was clicked: show the products at or below their minimum.
    void lowStockWanted();

private:
    void showAll();
    void layOutCalendar();
    void showFigures();
    void showCustomerTotal();
    void showTodaysSchedule();
    void showMonthSalesTotal();
    void showLowStockLine();
    void markCell(int index);
    void showScheduleOfCell(int index);
    QStringList remindersOn(const QDate& day);
    static QString scheduleText(const QStringList& reminders);

    std::unique_ptr<Ui::DesktopPage> m_ui;
    std::array<ClickLabel*, kCells> m_cells{};
    // The day each cell shows; invalid for a blank cell.
    std::array<QDate, kCells> m_cellDates{};
    std::array<bool, kCells> m_inMonth{};
    // The day the operator clicked, kept while the desktop is looked at again; invalid for
    // today's mark. Tied to the month it was clicked in.
    QDate m_pickedDay;
    int m_pickedCell = -1;
};

} // namespace khgl

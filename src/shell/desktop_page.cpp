#include "shell/desktop_page.h"

#include "customers_mail/customer_records.h"
#include "data_store/store_error.h"
#include "data_store/values.h"
#include "goods/stock_minimum_records.h"
#include "input_aids/month_layout.h"
#include "platform/app_context.h"
#include "platform/clock.h"
#include "schedule/reminder_records.h"
#include "shell/desktop_figures.h"
#include "statistics/chart_tables.h"
#include "ui_desktop_page.h"
#include "widgets/click_widgets.h"
#include "widgets/hover.h"

namespace khgl {
namespace {

const QString kNothingToday = QStringLiteral("今日没有任务安排");
const QString kNothingThatDay = QStringLiteral("今日没有任务安排。");

// Cell colours: days of the shown month in the normal text colour, neighbouring months'
// days in yellow; the marked cell blue, the others white like the calendar picker.
const QString kNormalText = QStringLiteral("rgb(0, 0, 0)");
const QString kNeighbourText = QStringLiteral("rgb(255, 255, 0)");
const QString kPlainBackground = QStringLiteral("rgb(255, 255, 255)");
const QString kMarkBackground = QStringLiteral("rgb(0, 0, 255)");

} // namespace

DesktopPage::DesktopPage(PageEnv& env, QWidget* parent)
    : Page(env, parent), m_ui(std::make_unique<Ui::DesktopPage>())
{
    m_ui->setupUi(this);
    for (int i = 0; i < kCells; ++i) {
        ClickLabel* cell = findChild<ClickLabel*>(QStringLiteral("Label3_%1").arg(i));
        Q_ASSERT(cell);
        m_cells.at(i) = cell;
        HoverCommands::pointerOnly(cell);
        connect(cell, &ClickLabel::clicked, this, [this, i] {
            markCell(i);
            showScheduleOfCell(i);
            m_pickedCell = i;
            m_pickedDay = m_context.clock.today();
        });
    }
    m_ui->MSChart1->setKind(TableChart::Kind::Line);
    HoverCommands::pointerOnly(m_ui->LowStockLabel);
    connect(m_ui->LowStockLabel, &ClickLabel::clicked, this, &DesktopPage::lowStockWanted);
}

DesktopPage::~DesktopPage() = default;

void DesktopPage::windowLoaded()
{
    m_pickedCell = -1; // a login starts on today
    showAll();
}

// The figures are computed again on every look: a customer or sale recorded a moment ago
// must show at once, not after the next login. The day the operator clicked stays marked
// with its schedule, while the calendar still shows its month.
void DesktopPage::opened()
{
    showAll();
    const QDate today = m_context.clock.today();
    if (m_pickedCell >= 0 && m_pickedDay.year() == today.year() &&
        m_pickedDay.month() == today.month()) {
        markCell(m_pickedCell);
        showScheduleOfCell(m_pickedCell);
    }
}

void DesktopPage::showAll()
{
    layOutCalendar();
    showFigures();
    showLowStockLine();
}

void DesktopPage::showDailyBackupFailure(const QString& message)
{
    m_ui->DailyBackupNotice->setText(QStringLiteral("今天的自动备份没有完成"));
    m_ui->DailyBackupNotice->setToolTip(message);
    m_ui->DailyBackupNotice->show();
}

void DesktopPage::showLowStockLine()
{
    int count = 0;
    try {
        count = static_cast<int>(goods::lowStockNames(m_context.store).size());
    } catch (const StoreError&) {
        // A file that cannot hold the minimums (read only, from elsewhere) simply has none.
    }
    m_ui->LowStockLabel->setText(QStringLiteral("库存不足：%1 种商品").arg(count));
    m_ui->LowStockLabel->setVisible(count > 0);
}

void DesktopPage::showTables(const ChartTables& tables)
{
    m_ui->MSChart1->setTable(tables.salesPerDay);
}

void DesktopPage::layOutCalendar()
{
    const QDate today = m_context.clock.today();
    const MonthLayout layout = layOutMonth(today.year(), today.month());
    for (int i = 0; i < kCells; ++i) {
        const MonthCell& cell = layout.cells.at(i);
        m_cellDates.at(i) = layout.dateAt(i);
        m_inMonth.at(i) = cell.kind == CellKind::ThisMonth;
        m_cells.at(i)->setText(cell.kind == CellKind::Blank ? QString()
                                                            : QString::number(cell.day));
    }
    markCell(layout.cellOfDay(today.day()));
    m_ui->Label47->setText(QString::number(today.year()) + QStringLiteral(" 年 ") +
                           QString::number(today.month()) + QStringLiteral("月"));
}

void DesktopPage::markCell(int index)
{
    for (int i = 0; i < kCells; ++i) {
        const QString& text = m_inMonth.at(i) ? kNormalText : kNeighbourText;
        const QString& background = i == index ? kMarkBackground : kPlainBackground;
        m_cells.at(i)->setStyleSheet(
            QStringLiteral("color: %1; background-color: %2;").arg(text, background));
    }
}

void DesktopPage::showFigures()
{
    guard([this] {
        showCustomerTotal();
        showTodaysSchedule();
        showMonthSalesTotal();
    });
}

void DesktopPage::showCustomerTotal()
{
    // Every purchase record counts, so a customer with three purchases counts three times.
    m_ui->Label55->setText(customer_records::countText(m_context.store));
}

void DesktopPage::showTodaysSchedule()
{
    const QStringList reminders = remindersOn(m_context.clock.today());
    m_ui->Label56->setText(reminders.isEmpty() ? kNothingToday : scheduleText(reminders));
}

void DesktopPage::showMonthSalesTotal()
{
    const QDate today = m_context.clock.today();
    m_ui->Label57->setText(desktop_figures::monthSalesText(m_context.store, today));
}

void DesktopPage::showScheduleOfCell(int index)
{
    guard([this, index] {
        // A cell of the previous or next month lists the reminders of that month's day.
        const QDate& day = m_cellDates.at(index);
        const QStringList reminders = day.isValid() ? remindersOn(day) : QStringList();
        m_ui->Label56->setText(reminders.isEmpty() ? kNothingThatDay : scheduleText(reminders));
    });
}

QStringList DesktopPage::remindersOn(const QDate& day)
{
    return reminder_records::contentsOn(m_context.store, day);
}

QString DesktopPage::scheduleText(const QStringList& reminders)
{
    QString text;
    for (int i = 0; i < reminders.size(); ++i) {
        text += QStringLiteral("日程") + QString::number(i + 1) + QStringLiteral("：") +
                reminders.at(i) + QStringLiteral("\r\n");
    }
    return text;
}

} // namespace khgl

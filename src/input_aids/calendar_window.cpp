#include "input_aids/calendar_window.h"

#include "platform/clock.h"
#include "ui_calendar_window.h"
#include "widgets/click_widgets.h"
#include "widgets/screen_fit.h"

#include <QKeyEvent>
#include <algorithm>

namespace khgl {

namespace {

const QColor kWhite(255, 255, 255);
const QColor kBlue(0, 0, 255);
const QColor kYellow(255, 255, 0);

} // namespace

CalendarWindow::CalendarWindow(const Clock& clock, QWidget* parent)
    : QWidget(parent, Qt::Tool), m_ui(std::make_unique<Ui::CalendarWindow>()), m_clock(clock)
{
    m_ui->setupUi(this);
    // Only the main window ends the program: closing this one while the main window waits in
    // the notification area must not.
    setAttribute(Qt::WA_QuitOnClose, false);
    screen_fit::fitFixedWindow(this);
    // It takes the keyboard when it opens: arrows, Page Up/Down and Enter pick a date.
    setFocusPolicy(Qt::StrongFocus);
    QPalette white = palette();
    white.setColor(QPalette::Window, kWhite);
    setPalette(white);
    for (int i = 0; i < MonthLayout::kCells; ++i) {
        m_cells[static_cast<size_t>(i)] =
            findChild<ClickLabel*>(QStringLiteral("Label3_%1").arg(i));
    }
    connectControls();
}

CalendarWindow::~CalendarWindow() = default;

void CalendarWindow::connectControls()
{
    connect(m_ui->Command1, &QPushButton::clicked, this, &CalendarWindow::showNextMonth);
    connect(m_ui->Command2, &QPushButton::clicked, this, &CalendarWindow::showPreviousMonth);
    for (int i = 0; i < MonthLayout::kCells; ++i) {
        ClickLabel* cell = m_cells[static_cast<size_t>(i)];
        connect(cell, &ClickLabel::clicked, this, [this, i] { markCell(i); });
        connect(cell, &ClickLabel::doubleClicked, this, [this, i] { pickCell(i); });
    }
}

void CalendarWindow::openOnToday()
{
    const QDate today = m_clock.today();
    m_todayDay = today.day();
    showMonth(today.year(), today.month());
    setWindowTitle(QStringLiteral(" 当前日期 %1\\%2\\%3")
                       .arg(today.year())
                       .arg(today.month())
                       .arg(today.day()));
}

void CalendarWindow::showMonth(int year, int month)
{
    m_layout = layOutMonth(year, month);
    fillCells();
    // Today's day number stays marked in every month that has it.
    markCell(m_layout.cellOfDay(m_todayDay));
    m_ui->Label1->setText(QStringLiteral("%1 年 %2月").arg(year).arg(month));
}

void CalendarWindow::fillCells()
{
    const QColor normalText = palette().color(QPalette::WindowText);
    for (int i = 0; i < MonthLayout::kCells; ++i) {
        const MonthCell& shown = m_layout.cells[static_cast<size_t>(i)];
        ClickLabel* cell = m_cells[static_cast<size_t>(i)];
        cell->setText(shown.day > 0 ? QString::number(shown.day) : QString());
        QPalette colours = cell->palette();
        const bool otherMonth =
            shown.kind == CellKind::PreviousMonth || shown.kind == CellKind::NextMonth;
        colours.setColor(QPalette::WindowText, otherMonth ? kYellow : normalText);
        cell->setPalette(colours);
    }
}

void CalendarWindow::keyPressEvent(QKeyEvent* event)
{
    const int last = MonthLayout::kCells - 1;
    switch (event->key()) {
    case Qt::Key_Left:
        markCell(std::max(0, m_marked - 1));
        break;
    case Qt::Key_Right:
        markCell(std::min(last, m_marked + 1));
        break;
    case Qt::Key_Up:
        markCell(m_marked >= 7 ? m_marked - 7 : m_marked);
        break;
    case Qt::Key_Down:
        markCell(m_marked + 7 <= last ? m_marked + 7 : m_marked);
        break;
    case Qt::Key_PageUp:
        showPreviousMonth();
        break;
    case Qt::Key_PageDown:
        showNextMonth();
        break;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        pickCell(m_marked);
        break;
    case Qt::Key_Escape:
        close();
        break;
    default:
        QWidget::keyPressEvent(event);
    }
}

void CalendarWindow::markCell(int index)
{
    m_marked = index;
    for (int i = 0; i < MonthLayout::kCells; ++i) {
        ClickLabel* cell = m_cells[static_cast<size_t>(i)];
        QPalette colours = cell->palette();
        colours.setColor(QPalette::Window, i == index ? kBlue : kWhite);
        cell->setPalette(colours);
    }
}

void CalendarWindow::showNextMonth()
{
    if (m_layout.month == 12) {
        // Date texts have four-digit years.
        if (m_layout.year < MonthLayout::kLastYear) {
            showMonth(m_layout.year + 1, 1);
        }
    } else {
        showMonth(m_layout.year, m_layout.month + 1);
    }
}

void CalendarWindow::showPreviousMonth()
{
    if (m_layout.month == 1) {
        if (m_layout.year > MonthLayout::kFirstYear) {
            showMonth(m_layout.year - 1, 12);
        }
    } else {
        showMonth(m_layout.year, m_layout.month - 1);
    }
}

void CalendarWindow::pickCell(int index)
{
    // A blank cell names no date; a neighbouring month's day names its own real date.
    const QDate date = m_layout.dateAt(index);
    if (date.isValid()) {
        Q_EMIT datePicked(date);
    }
}

} // namespace khgl

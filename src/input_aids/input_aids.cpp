#include "input_aids/input_aids.h"

#include "data_store/values.h"
#include "input_aids/calculator_window.h"
#include "input_aids/calendar_window.h"

#include <QLineEdit>
#include <QWidget>

namespace khgl {

InputAids::InputAids(Clock& clock, Dialogs& dialogs, QObject* parent)
    : QObject(parent), m_clock(clock), m_dialogs(dialogs)
{
}

InputAids::~InputAids()
{
    delete m_calendar.data();
    delete m_calculator.data();
}

void InputAids::registerDateBox(qint16 code, QLineEdit* box)
{
    m_dateBoxes[code] = box;
}

void InputAids::registerAmountBox(qint16 code, QLineEdit* box)
{
    m_amountBoxes[code] = box;
}

QLineEdit* InputAids::dateBox(qint16 code) const
{
    const auto it = m_dateBoxes.find(code);
    return it == m_dateBoxes.end() ? nullptr : it->second.data();
}

QLineEdit* InputAids::amountBox(qint16 code) const
{
    const auto it = m_amountBoxes.find(code);
    return it == m_amountBoxes.end() ? nullptr : it->second.data();
}

QPoint InputAids::below(QWidget* box, int gapTwips)
{
    return box->mapToGlobal(QPoint(0, box->height() + gapTwips / 15));
}

CalendarWindow& InputAids::calendar()
{
    if (!m_calendar) {
        m_calendar = new CalendarWindow(m_clock);
        connect(m_calendar, &CalendarWindow::datePicked, this, &InputAids::writePickedDate);
    }
    return *m_calendar;
}

CalculatorWindow& InputAids::calculator()
{
    if (!m_calculator) {
        m_calculator = new CalculatorWindow(m_dialogs);
        connect(m_calculator, &CalculatorWindow::resultChosen, this, &InputAids::writeResult);
    }
    return *m_calculator;
}

namespace {

// Reparenting hides a shown window; the caller shows it again.
void attachTo(QWidget& aid, QWidget* owner)
{
    if (owner && aid.parentWidget() != owner) {
        aid.setParent(owner, aid.windowFlags());
    }
}

void present(QWidget& aid, QPoint topLeft)
{
    aid.move(topLeft);
    aid.show();
    aid.raise();
    // The aid takes the keyboard, so what is typed next goes to it, not the box behind.
    aid.activateWindow();
    aid.setFocus(Qt::OtherFocusReason);
}

} // namespace

void InputAids::openCalendar(qint16 code, QPoint topLeft, QWidget* owner)
{
    m_calendarTarget = code;
    CalendarWindow& window = calendar();
    // Showing it again while open only moves it: the shown month and the marks stay.
    if (!window.isVisible()) {
        window.openOnToday();
    }
    attachTo(window, owner);
    present(window, topLeft);
}

void InputAids::openCalculator(qint16 code, QPoint topLeft, QWidget* owner)
{
    m_calculatorTarget = code;
    CalculatorWindow& window = calculator();
    if (!window.isVisible()) {
        window.reset();
    }
    attachTo(window, owner);
    present(window, topLeft);
}

void InputAids::showCalendar(qint16 code, QPoint topLeft)
{
    openCalendar(code, topLeft, nullptr);
}

void InputAids::showCalculator(qint16 code, QPoint topLeft)
{
    openCalculator(code, topLeft, nullptr);
}

namespace {

// The aid had the keyboard; the box it wrote into takes it back, so typing goes on there.
void giveKeyboardTo(QLineEdit* box)
{
    if (box && box->isVisible()) {
        box->activateWindow();
        box->setFocus(Qt::OtherFocusReason);
    }
}

} // namespace

void InputAids::writePickedDate(const QDate& date)
{
    // The box's change handling may show the picker again; the close below still ends it.
    writeDate(m_calendarTarget, dateText(date));
    closeCalendar();
    giveKeyboardTo(dateBox(m_calendarTarget));
}

void InputAids::writeResult(const QString& text)
{
    writeAmount(m_calculatorTarget, text);
    closeCalculator();
    giveKeyboardTo(amountBox(m_calculatorTarget));
}

void InputAids::showCalendarBelow(qint16 code, QWidget* box, int gapTwips)
{
    openCalendar(code, below(box, gapTwips), box->window());
}

void InputAids::showCalculatorBelow(qint16 code, QWidget* box, int gapTwips)
{
    openCalculator(code, below(box, gapTwips), box->window());
}

void InputAids::closeCalendar()
{
    if (m_calendar) {
        m_calendar->close();
    }
}

void InputAids::closeCalculator()
{
    if (m_calculator) {
        m_calculator->close();
    }
}

bool InputAids::isCalendarOpen() const
{
    return m_calendar && m_calendar->isVisible();
}

bool InputAids::isCalculatorOpen() const
{
    return m_calculator && m_calculator->isVisible();
}

QWidget* InputAids::calendarWindow() const
{
    return m_calendar;
}

QWidget* InputAids::calculatorWindow() const
{
    return m_calculator;
}

void InputAids::writeDate(qint16 code, const QString& text)
{
    if (QLineEdit* box = dateBox(code)) {
        box->setText(text);
    }
}

void InputAids::writeAmount(qint16 code, const QString& text)
{
    if (QLineEdit* box = amountBox(code)) {
        box->setText(text);
    }
}

} // namespace khgl

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
    closeCalendar();
    closeCalculator();
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
        m_calendar = std::make_unique<CalendarWindow>(m_clock);
        connect(m_calendar.get(), &CalendarWindow::datePicked, this, &InputAids::writePickedDate);
    }
    return *m_calendar;
}

CalculatorWindow& InputAids::calculator()
{
    if (!m_calculator) {
        m_calculator = std::make_unique<CalculatorWindow>(m_dialogs);
        connect(m_calculator.get(), &CalculatorWindow::resultChosen, this, &InputAids::writeResult);
    }
    return *m_calculator;
}

void InputAids::showCalendar(qint16 code, QPoint topLeft)
{
    m_calendarTarget = code;
    CalendarWindow& window = calendar();
    // Showing it again while open only moves it: the shown month and the marks stay.
    if (!window.isVisible()) {
        window.openOnToday();
    }
    window.move(topLeft);
    window.show();
    window.raise();
}

void InputAids::showCalculator(qint16 code, QPoint topLeft)
{
    m_calculatorTarget = code;
    CalculatorWindow& window = calculator();
    if (!window.isVisible()) {
        window.reset();
    }
    window.move(topLeft);
    window.show();
    window.raise();
}

void InputAids::writePickedDate(const QDate& date)
{
    // The box's change handling may show the picker again; the close below still ends it.
    writeDate(m_calendarTarget, dateText(date));
    closeCalendar();
}

void InputAids::writeResult(const QString& text)
{
    writeAmount(m_calculatorTarget, text);
    closeCalculator();
}

void InputAids::showCalendarBelow(qint16 code, QWidget* box, int gapTwips)
{
    showCalendar(code, below(box, gapTwips));
}

void InputAids::showCalculatorBelow(qint16 code, QWidget* box, int gapTwips)
{
    showCalculator(code, below(box, gapTwips));
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
    return m_calendar.get();
}

QWidget* InputAids::calculatorWindow() const
{
    return m_calculator.get();
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

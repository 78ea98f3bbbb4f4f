#include "input_aids/input_aids.h"

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

void InputAids::showCalendar(qint16 code, QPoint)
{
    // The picker window arrives with the calendar; until then only the code is kept.
    m_calendarTarget = code;
}

void InputAids::showCalculator(qint16 code, QPoint)
{
    m_calculatorTarget = code;
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

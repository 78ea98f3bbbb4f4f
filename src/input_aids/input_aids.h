#pragma once

#include "platform/aid_opener.h"
#include "platform/aid_target.h"

#include <QObject>
#include <QPoint>
#include <QPointer>
#include <QSize>
#include <map>

class QDate;
class QLineEdit;
class QWidget;

namespace khgl {

class CalculatorWindow;
class CalendarWindow;
class Clock;
class Dialogs;

// The calendar picker and the calculator, one of each for the whole program, and the two
// target codes that say which box receives the picked date (1..14) or the result (2..5).
// Pages register their boxes under their codes; routing is this one table.
class InputAids final : public QObject, public AidOpener
{
    Q_OBJECT

public:
    InputAids(Clock& clock, Dialogs& dialogs, QObject* parent = nullptr);
    ~InputAids() override;

    // A box is forgotten automatically when it is destroyed.
    void registerDateBox(qint16 code, QLineEdit* box) override;
    void registerAmountBox(qint16 code, QLineEdit* box) override;
    QLineEdit* dateBox(qint16 code) const;
    QLineEdit* amountBox(qint16 code) const;

    qint16 calendarTarget() const { return m_calendarTarget; }
    qint16 calculatorTarget() const { return m_calculatorTarget; }

    // Sets the target code and shows the aid at the given screen position (pixels) without
    // blocking; when it is already open it only moves and takes the new code.
    void showCalendar(qint16 code, QPoint topLeft);
    void showCalculator(qint16 code, QPoint topLeft);
    void showCalendarBelow(qint16 code, QWidget* box, int gapTwips = 0,
                           Opening opening = Opening::ByCommand) override;
    void showCalculatorBelow(qint16 code, QWidget* box, int gapTwips = 0,
                             Opening opening = Opening::ByCommand) override;
    void closeCalendar() override;
    void closeCalculator() override;
    bool isCalendarOpen() const override;
    bool isCalculatorOpen() const;
    bool closeAidsOf(const QWidget* window) override;
    // The windows (objectNames Form1 and Form9), made at the first opening; null before.
    QWidget* calendarWindow() const;
    QWidget* calculatorWindow() const;

    // Writes into the box a code names, firing its change handling as typing would.
    // Unknown codes write nothing.
    void writeDate(qint16 code, const QString& text);
    void writeAmount(qint16 code, const QString& text);

    // Where an aid of the given size goes under a box: below it, or above it when the screen
    // has no room below; always inside the screen.
    static QPoint below(QWidget* box, int gapTwips, QSize aidSize = {});

private:
    CalendarWindow& calendar();
    CalculatorWindow& calculator();
    void openCalendar(qint16 code, QPoint topLeft, QWidget* owner, Opening opening);
    void openCalculator(qint16 code, QPoint topLeft, QWidget* owner, Opening opening);
    void writePickedDate(const QDate& date);
    void writeResult(const QString& text);
    void keepKeyboardIn(QWidget* aid, Opening opening);
    void returnKeyboard(QWidget* aid);
    void closeWhenFocusLeaves(QWidget* now);
    bool eventFilter(QObject* watched, QEvent* event) override;

    Clock& m_clock;
    Dialogs& m_dialogs;
    std::map<qint16, QPointer<QLineEdit>> m_dateBoxes;
    std::map<qint16, QPointer<QLineEdit>> m_amountBoxes;
    qint16 m_calendarTarget = 0;
    qint16 m_calculatorTarget = 0;
    // Each aid is a tool window of the window it last served, which may delete it.
    QPointer<CalendarWindow> m_calendar;
    QPointer<CalculatorWindow> m_calculator;
    // Per aid opened while typing: the widget the keys were going to, until they are back.
    std::map<QWidget*, QPointer<QWidget>> m_typingIn;
};

} // namespace khgl

#pragma once

#include <QtGlobal>

class QLineEdit;
class QWidget;

namespace khgl {

// What windows ask of the calendar and the calculator: a box registered under its target code
// receives the picked date or the result. The program has one implementation, handed in through
// the context, so a window never depends on the aids' own windows.
class AidOpener
{
public:
    // How an aid was asked for. A click, F4 or Alt+Down hands it the keyboard; typing into the
    // box opens it beside the box and leaves the keys with the box, so nothing typed is lost.
    enum class Opening
    {
        ByCommand,
        WhileTyping,
    };

    // A box is forgotten automatically when it is destroyed.
    virtual void registerDateBox(qint16 code, QLineEdit* box) = 0;
    virtual void registerAmountBox(qint16 code, QLineEdit* box) = 0;
    // Opens the aid just under a box: gapTwips below its lower edge (above the box when there
    // is no room below). It also becomes a tool window of the box's window: it stays above
    // that window, goes with it, and is not blocked when that window is modal.
    virtual void showCalendarBelow(qint16 code, QWidget* box, int gapTwips = 0,
                                   Opening opening = Opening::ByCommand) = 0;
    virtual void showCalculatorBelow(qint16 code, QWidget* box, int gapTwips = 0,
                                     Opening opening = Opening::ByCommand) = 0;
    virtual void closeCalendar() = 0;
    virtual void closeCalculator() = 0;
    virtual bool isCalendarOpen() const = 0;
    // Closes the aids open for a box of the given window; false when none was.
    virtual bool closeAidsOf(const QWidget* window) = 0;

protected:
    AidOpener() = default;
    ~AidOpener() = default;
    AidOpener(const AidOpener&) = delete;
    AidOpener& operator=(const AidOpener&) = delete;
};

} // namespace khgl

#include "input_aids/input_aids.h"

#include "data_store/values.h"
#include "input_aids/calculator_window.h"
#include "input_aids/calendar_window.h"
#include "widgets/screen_fit.h"

#include <QAbstractSpinBox>
#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QScreen>
#include <QTextEdit>
#include <QWidget>
#include <algorithm>

namespace khgl {

InputAids::InputAids(Clock& clock, Dialogs& dialogs, QObject* parent)
    : QObject(parent), m_clock(clock), m_dialogs(dialogs)
{
    if (auto* app = qobject_cast<QApplication*>(QCoreApplication::instance())) {
        connect(app, &QApplication::focusChanged, this,
                [this](QWidget*, QWidget* now) { closeWhenFocusLeaves(now); });
    }
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

QPoint InputAids::below(QWidget* box, int gapTwips, QSize aidSize)
{
    const int gap = screen_fit::scaled(gapTwips / 15);
    QPoint at = box->mapToGlobal(QPoint(0, box->height() + gap));
    const QScreen* screen = box->screen();
    if (!aidSize.isValid() || screen == nullptr) {
        return at;
    }
    const QRect room = screen->availableGeometry();
    if (at.y() + aidSize.height() > room.bottom() + 1) {
        at.setY(box->mapToGlobal(QPoint(0, 0)).y() - gap - aidSize.height());
    }
    at.setX(
        std::clamp(at.x(), room.left(), std::max(room.left(), room.right() + 1 - aidSize.width())));
    at.setY(
        std::clamp(at.y(), room.top(), std::max(room.top(), room.bottom() + 1 - aidSize.height())));
    return at;
}

// Opened while typing, the aid leaves the keyboard where the operator was typing. A platform
// that activates every window it shows (now or a moment later) took it: it goes back.
void InputAids::keepKeyboardIn(QWidget* aid, Opening opening)
{
    const QPointer<QWidget> typingIn =
        opening == Opening::WhileTyping ? QApplication::focusWidget() : nullptr;
    m_typingIn[aid] = typingIn;
    returnKeyboard(aid);
}

void InputAids::returnKeyboard(QWidget* aid)
{
    const QPointer<QWidget> typingIn = m_typingIn[aid];
    if (typingIn == nullptr || !typingIn->isVisible() || typingIn->window() == aid ||
        QApplication::activeWindow() != aid) {
        return;
    }
    m_typingIn[aid] = nullptr; // once: an activation later on is the operator's own
    typingIn->activateWindow();
    typingIn->setFocus(Qt::OtherFocusReason);
}

namespace {

// A box the operator types into; a button, a label command or a message box is none.
bool isEntryBox(const QWidget* widget)
{
    if (const auto* combo = qobject_cast<const QComboBox*>(widget)) {
        return combo->isEditable();
    }
    return qobject_cast<const QLineEdit*>(widget) != nullptr ||
           qobject_cast<const QAbstractSpinBox*>(widget) != nullptr ||
           qobject_cast<const QPlainTextEdit*>(widget) != nullptr ||
           qobject_cast<const QTextEdit*>(widget) != nullptr;
}

} // namespace

// An aid serves one box: when the keyboard goes on to another box it closes, so it never
// stands over the box being typed in, waiting to write into the one before.
void InputAids::closeWhenFocusLeaves(QWidget* now)
{
    if (now == nullptr || !isEntryBox(now)) {
        return;
    }
    if (isCalendarOpen() && now->window() != m_calendar && now != dateBox(m_calendarTarget)) {
        closeCalendar();
    }
    if (isCalculatorOpen() && now->window() != m_calculator &&
        now != amountBox(m_calculatorTarget)) {
        closeCalculator();
    }
}

bool InputAids::closeAidsOf(const QWidget* window)
{
    bool closed = false;
    for (QWidget* aid : {static_cast<QWidget*>(m_calendar), static_cast<QWidget*>(m_calculator)}) {
        if (aid != nullptr && aid->isVisible() && aid->parentWidget() == window) {
            aid->close();
            closed = true;
        }
    }
    return closed;
}

bool InputAids::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::WindowActivate && watched->isWidgetType()) {
        returnKeyboard(static_cast<QWidget*>(watched));
    }
    return QObject::eventFilter(watched, event);
}

CalendarWindow& InputAids::calendar()
{
    if (!m_calendar) {
        m_calendar = new CalendarWindow(m_clock);
        m_calendar->installEventFilter(this);
        m_typingIn.erase(m_calendar); // a new window, perhaps at a dead one's address
        connect(m_calendar, &CalendarWindow::datePicked, this, &InputAids::writePickedDate);
    }
    return *m_calendar;
}

CalculatorWindow& InputAids::calculator()
{
    if (!m_calculator) {
        m_calculator = new CalculatorWindow(m_dialogs);
        m_calculator->installEventFilter(this);
        m_typingIn.erase(m_calculator);
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

void present(QWidget& aid, QPoint topLeft, InputAids::Opening opening)
{
    const bool typing = opening == InputAids::Opening::WhileTyping;
    // Opened by typing, the aid must not take the keys still being typed into the box.
    aid.setAttribute(Qt::WA_ShowWithoutActivating, typing);
    if (aid.windowFlags().testFlag(Qt::WindowDoesNotAcceptFocus) != typing) {
        aid.setWindowFlag(Qt::WindowDoesNotAcceptFocus, typing); // hides a shown window
    }
    aid.move(topLeft);
    aid.show();
    aid.raise();
    if (!typing) {
        // The aid takes the keyboard, so what is typed next goes to it, not the box behind.
        aid.activateWindow();
        aid.setFocus(Qt::OtherFocusReason);
    }
}

} // namespace

void InputAids::openCalendar(qint16 code, QPoint topLeft, QWidget* owner, Opening opening)
{
    m_calendarTarget = code;
    CalendarWindow& window = calendar();
    // Showing it again while open only moves it: the shown month and the marks stay.
    if (!window.isVisible()) {
        window.openOnToday();
    }
    attachTo(window, owner);
    present(window, topLeft, opening);
}

void InputAids::openCalculator(qint16 code, QPoint topLeft, QWidget* owner, Opening opening)
{
    m_calculatorTarget = code;
    CalculatorWindow& window = calculator();
    if (!window.isVisible()) {
        window.reset();
    }
    attachTo(window, owner);
    present(window, topLeft, opening);
}

void InputAids::showCalendar(qint16 code, QPoint topLeft)
{
    openCalendar(code, topLeft, nullptr, Opening::ByCommand);
}

void InputAids::showCalculator(qint16 code, QPoint topLeft)
{
    openCalculator(code, topLeft, nullptr, Opening::ByCommand);
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

void InputAids::showCalendarBelow(qint16 code, QWidget* box, int gapTwips, Opening opening)
{
    keepKeyboardIn(&calendar(), opening);
    openCalendar(code, below(box, gapTwips, calendar().frameGeometry().size()), box->window(),
                 opening);
    returnKeyboard(m_calendar);
}

void InputAids::showCalculatorBelow(qint16 code, QWidget* box, int gapTwips, Opening opening)
{
    keepKeyboardIn(&calculator(), opening);
    openCalculator(code, below(box, gapTwips, calculator().frameGeometry().size()), box->window(),
                   opening);
    if (const auto* edit = qobject_cast<QLineEdit*>(box); edit && opening == Opening::WhileTyping) {
        // What is typed so far is the calculator's first number: "+ 1 =" goes on from it.
        m_calculator->startFrom(edit->text());
    }
    returnKeyboard(m_calculator);
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

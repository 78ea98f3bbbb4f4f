#include "input_aids/calculator_window.h"

#include "input_aids/leading_number.h"
#include "platform/dialogs.h"
#include "ui_calculator_window.h"
#include "widgets/screen_fit.h"

#include <QKeyEvent>
#include <cmath>

namespace khgl {

namespace {

const QString kSymbols = QStringLiteral("+-*/");

// Up to the given number of significant digits, no grouping, "0.5" rather than ".5".
QString numberText(double value, int significantDigits)
{
    if (value == 0.0) {
        return QStringLiteral("0");
    }
    return QString::number(value, 'g', significantDigits).toUpper();
}

} // namespace

CalculatorWindow::CalculatorWindow(Dialogs& dialogs, QWidget* parent)
    : QWidget(parent, Qt::Tool), m_ui(std::make_unique<Ui::CalculatorWindow>()), m_dialogs(dialogs)
{
    m_ui->setupUi(this);
    // Only the main window ends the program: closing this one while the main window waits in
    // the notification area must not.
    setAttribute(Qt::WA_QuitOnClose, false);
    screen_fit::fitFixedWindow(this);
    // It takes the keyboard when it opens, so "3.5*100" typed next is calculated.
    setFocusPolicy(Qt::StrongFocus);
    m_ui->Text1->installEventFilter(this);
    connectButtons();
    reset();
}

CalculatorWindow::~CalculatorWindow() = default;

void CalculatorWindow::connectButtons()
{
    for (int i = 0; i <= 10; ++i) {
        auto* button = findChild<QPushButton*>(QStringLiteral("Command1_%1").arg(i));
        const QChar character = i == 10 ? QChar(u'.') : QChar(static_cast<char16_t>(u'0' + i));
        connect(button, &QPushButton::clicked, this,
                [this, character] { enterCharacter(character); });
    }
    for (int i = 0; i <= 3; ++i) {
        auto* button = findChild<QPushButton*>(QStringLiteral("Command2_%1").arg(i));
        connect(button, &QPushButton::clicked, this, [this, i] { pressOperator(i + 1); });
    }
    connect(m_ui->Command3, &QPushButton::clicked, this, &CalculatorWindow::pressEquals);
    connect(m_ui->Command4, &QPushButton::clicked, this, &CalculatorWindow::reset);
}

void CalculatorWindow::reset()
{
    m_entryMark = 0;
    m_pending = None;
    m_expression.clear();
    m_first.clear();
    m_second.clear();
    showDisplay(QStringLiteral("0"));
}

void CalculatorWindow::startFrom(const QString& text)
{
    if (m_pending != None || !isEnteringFirstOperand()) {
        return;
    }
    m_expression = text;
    m_first = text;
    m_entryMark = static_cast<int>(text.size());
    showDisplay(text.isEmpty() ? QStringLiteral("0") : text);
}

bool CalculatorWindow::isEnteringFirstOperand() const
{
    return m_expression.size() == m_entryMark;
}

void CalculatorWindow::enterCharacter(QChar character)
{
    if (isEnteringFirstOperand()) {
        m_expression += character;
        m_first = m_expression;
        m_entryMark = static_cast<int>(m_expression.size());
        showDisplay(m_expression);
    } else {
        m_second += character;
        showDisplay(m_expression + m_second);
    }
}

void CalculatorWindow::pressOperator(int code)
{
    const QChar symbol = kSymbols[code - 1];
    if (!m_first.isEmpty() && !m_second.isEmpty()) {
        const std::optional<double> result = applyPending();
        if (!result) {
            return;
        }
        // Chained results are kept to single precision, as text.
        const auto single = static_cast<float>(*result);
        if (!std::isfinite(single)) {
            refuse(QStringLiteral("计算结果超出范围!"));
            return;
        }
        m_first = numberText(static_cast<double>(single), 7);
        m_second.clear();
        m_entryMark = 0;
        m_expression = m_first + symbol;
    } else {
        m_expression += symbol;
    }
    showDisplay(m_expression);
    m_pending = code;
}

void CalculatorWindow::pressEquals()
{
    if (m_pending != None) {
        const std::optional<double> result = applyPending();
        if (!result) {
            // Refused: the box keeps its text and the operator may go on.
            return;
        }
        m_first = numberText(*result, 15);
        m_second.clear();
        m_entryMark = 0;
        m_expression = m_first;
        showDisplay(m_first);
    }
    Q_EMIT resultChosen(m_ui->Text1->text());
}

std::optional<double> CalculatorWindow::applyPending()
{
    const double a = leadingNumber(m_first);
    const double b = leadingNumber(m_second);
    double result = 0.0;
    switch (m_pending) {
    case Add:
        result = a + b;
        break;
    case Subtract:
        result = a - b;
        break;
    case Multiply:
        result = a * b;
        break;
    case Divide:
        if (b == 0.0) {
            refuse(QStringLiteral("被除数不能等于零!"));
            return std::nullopt;
        }
        result = a / b;
        break;
    default:
        break;
    }
    if (!std::isfinite(result)) {
        refuse(QStringLiteral("计算结果超出范围!"));
        return std::nullopt;
    }
    return result;
}

void CalculatorWindow::refuse(const QString& message)
{
    m_dialogs.message(this, message, QStringLiteral("温馨提示"), Dialogs::Icon::Information,
                      Dialogs::Buttons::Ok);
    reset();
}

void CalculatorWindow::eraseLastCharacter()
{
    if (isEnteringFirstOperand()) {
        if (m_expression.isEmpty()) {
            return;
        }
        m_expression.chop(1);
        m_first = m_expression;
        m_entryMark = static_cast<int>(m_expression.size());
        showDisplay(m_expression.isEmpty() ? QStringLiteral("0") : m_expression);
    } else if (!m_second.isEmpty()) {
        m_second.chop(1);
        showDisplay(m_expression + m_second);
    }
}

void CalculatorWindow::showDisplay(const QString& text)
{
    m_ui->Text1->setText(text);
}

bool CalculatorWindow::handleKey(const QKeyEvent& event)
{
    switch (event.key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        pressEquals();
        return true;
    case Qt::Key_Backspace:
        eraseLastCharacter();
        return true;
    case Qt::Key_Escape:
        // The first Esc clears an entry, the next one closes the calculator.
        if (m_expression.isEmpty() && m_pending == None && m_ui->Text1->text() == u"0") {
            close();
        } else {
            reset();
        }
        return true;
    default:
        break;
    }
    const QString text = event.text();
    if (text.size() != 1) {
        return false;
    }
    const QChar character = text[0];
    if ((character >= u'0' && character <= u'9') || character == u'.') {
        enterCharacter(character);
        return true;
    }
    if (const qsizetype symbol = kSymbols.indexOf(character); symbol >= 0) {
        pressOperator(static_cast<int>(symbol) + 1);
        return true;
    }
    if (character == u'=') {
        pressEquals();
        return true;
    }
    return false;
}

void CalculatorWindow::keyPressEvent(QKeyEvent* event)
{
    if (!handleKey(*event)) {
        QWidget::keyPressEvent(event);
    }
}

bool CalculatorWindow::eventFilter(QObject* watched, QEvent* event)
{
    // The display takes the focus when the window is activated; its keys are the calculator's.
    if (watched == m_ui->Text1 && event->type() == QEvent::KeyPress) {
        return handleKey(*static_cast<QKeyEvent*>(event));
    }
    return QWidget::eventFilter(watched, event);
}

} // namespace khgl

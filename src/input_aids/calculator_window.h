#pragma once

#include <QWidget>
#include <memory>
#include <optional>

namespace Ui {
class CalculatorWindow;
}

class QKeyEvent;

namespace khgl {

class Dialogs;

// The amount calculator: one pending operator between a first and a second operand, results
// of chained operators kept in single precision, "=" in double precision. "=" hands the
// display's text on; InputAids writes it into the target box.
class CalculatorWindow final : public QWidget
{
    Q_OBJECT

public:
    explicit CalculatorWindow(Dialogs& dialogs, QWidget* parent = nullptr);
    ~CalculatorWindow() override;

    // The state of every new opening and of "清零": nothing typed, "0" shown.
    void reset();
    // Takes the text as the first number being typed, unless an operator is already pending.
    void startFrom(const QString& text);

Q_SIGNALS:
    void resultChosen(const QString& text);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    enum Operator
    {
        None = 0,
        Add = 1,
        Subtract = 2,
        Multiply = 3,
        Divide = 4
    };

    void connectButtons();
    void enterCharacter(QChar character);
    void pressOperator(int code);
    void pressEquals();
    void eraseLastCharacter();
    bool handleKey(const QKeyEvent& event);
    bool isEnteringFirstOperand() const;
    // The pending operator applied to the operands; nothing after a refusal (reported).
    std::optional<double> applyPending();
    void refuse(const QString& message);
    void showDisplay(const QString& text);

    std::unique_ptr<Ui::CalculatorWindow> m_ui;
    Dialogs& m_dialogs;
    int m_entryMark = 0;
    QString m_expression;
    int m_pending = None;
    QString m_first;
    QString m_second;
};

} // namespace khgl

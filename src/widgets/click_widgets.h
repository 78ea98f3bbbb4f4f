#pragma once

#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QValidator>
#include <vector>

namespace khgl {

// A label that is a command: it reports clicks and double clicks. Tab reaches it (a dotted
// frame shows it has the keyboard) and Enter or Space runs it like a click.
class ClickLabel final : public QLabel
{
    Q_OBJECT

public:
    explicit ClickLabel(QWidget* parent = nullptr);
    explicit ClickLabel(const QString& text, QWidget* parent = nullptr);

    // Runs the command as a click does.
    void click() { Q_EMIT clicked(); }

Q_SIGNALS:
    void clicked();
    void doubleClicked();

protected:
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
};

// A one-line text box that also reports a click into it (date and amount boxes open their aid).
// F4 or Alt+Down counts as a click, as they open a drop-down list, so the keyboard reaches the
// aids too.
class ClickLineEdit final : public QLineEdit
{
    Q_OBJECT

public:
    using QLineEdit::QLineEdit;

Q_SIGNALS:
    void clicked();
    // Only a click of the mouse: a box whose click empties it is not emptied by a key.
    void mouseClicked();

protected:
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
};

// A multi-line text box that reports a click into it.
class ClickTextEdit final : public QPlainTextEdit
{
    Q_OBJECT

public:
    using QPlainTextEdit::QPlainTextEdit;

Q_SIGNALS:
    void clicked();

protected:
    void mouseReleaseEvent(QMouseEvent* event) override;
};

// The keyboard of an entry panel: Enter in one of its one-line boxes (or closed combo boxes)
// moves to the next box, and in the last box (or on the save command) saves as a click does,
// then goes back to the first box. Owned by the save command.
class EnterMovesOn final : public QObject
{
public:
    EnterMovesOn(std::vector<QWidget*> boxes, ClickLabel* save);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void saveAndStartOver();

    std::vector<QWidget*> m_boxes;
    ClickLabel* m_save;
};

// A number box: digits, point, signs, exponent and blanks typed in the Chinese input
// method's full-width mode (１２９．５) read as their ASCII forms as they arrive, so the box's
// number check sees a number instead of emptying the box. Refuses nothing.
class HalfWidthNumbers final : public QValidator
{
public:
    using QValidator::QValidator;
    State validate(QString& input, int& position) const override;

    // The text with those full-width characters in their ASCII forms; others as they are.
    static QString halfWidth(const QString& text);
    // Gives the box this validator.
    static void install(QLineEdit* box);
};

// Moves the given widgets of a window, in this order, to the end of its Tab order: a window
// drawing its own title bar starts with the keyboard in its work, never on its close command.
void putLastInTabOrder(QWidget* window, const std::vector<QWidget*>& widgets);

} // namespace khgl

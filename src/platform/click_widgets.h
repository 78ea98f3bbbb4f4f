#pragma once

#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>

namespace khgl {

// A label that is a command: it reports clicks and double clicks.
class ClickLabel final : public QLabel
{
    Q_OBJECT

public:
    using QLabel::QLabel;

Q_SIGNALS:
    void clicked();
    void doubleClicked();

protected:
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
};

// A one-line text box that also reports a click into it (date and amount boxes open their aid).
class ClickLineEdit final : public QLineEdit
{
    Q_OBJECT

public:
    using QLineEdit::QLineEdit;

Q_SIGNALS:
    void clicked();

protected:
    void mouseReleaseEvent(QMouseEvent* event) override;
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

} // namespace khgl

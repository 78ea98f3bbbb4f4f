#include "platform/click_widgets.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionFocusRect>
#include <algorithm>

namespace khgl {

ClickLabel::ClickLabel(QWidget* parent) : ClickLabel(QString(), parent) {}

ClickLabel::ClickLabel(const QString& text, QWidget* parent) : QLabel(text, parent)
{
    // Tab only: a mouse click must not take the keyboard from the box being filled.
    setFocusPolicy(Qt::TabFocus);
}

void ClickLabel::keyPressEvent(QKeyEvent* event)
{
    const int key = event->key();
    if ((key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Space) &&
        event->modifiers() == Qt::NoModifier) {
        Q_EMIT clicked();
        return;
    }
    QLabel::keyPressEvent(event);
}

void ClickLabel::paintEvent(QPaintEvent* event)
{
    QLabel::paintEvent(event);
    if (hasFocus()) {
        QPainter painter(this);
        QStyleOptionFocusRect frame;
        frame.initFrom(this);
        frame.rect = rect().adjusted(1, 1, -1, -1);
        style()->drawPrimitive(QStyle::PE_FrameFocusRect, &frame, &painter, this);
    }
}

void ClickLabel::mouseReleaseEvent(QMouseEvent* event)
{
    QLabel::mouseReleaseEvent(event);
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint())) {
        Q_EMIT clicked();
    }
}

void ClickLabel::mouseDoubleClickEvent(QMouseEvent* event)
{
    QLabel::mouseDoubleClickEvent(event);
    if (event->button() == Qt::LeftButton) {
        Q_EMIT doubleClicked();
    }
}

void ClickLineEdit::mouseReleaseEvent(QMouseEvent* event)
{
    QLineEdit::mouseReleaseEvent(event);
    if (event->button() == Qt::LeftButton) {
        Q_EMIT clicked();
    }
}

void ClickLineEdit::keyPressEvent(QKeyEvent* event)
{
    if ((event->key() == Qt::Key_F4 && event->modifiers() == Qt::NoModifier) ||
        (event->key() == Qt::Key_Down && event->modifiers() == Qt::AltModifier)) {
        Q_EMIT clicked();
        return;
    }
    QLineEdit::keyPressEvent(event);
}

void ClickTextEdit::mouseReleaseEvent(QMouseEvent* event)
{
    QPlainTextEdit::mouseReleaseEvent(event);
    if (event->button() == Qt::LeftButton) {
        Q_EMIT clicked();
    }
}

EnterMovesOn::EnterMovesOn(std::vector<QWidget*> boxes, ClickLabel* save)
    : QObject(save), m_boxes(std::move(boxes)), m_save(save)
{
    for (QWidget* box : m_boxes) {
        box->installEventFilter(this);
    }
}

bool EnterMovesOn::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() != QEvent::KeyPress) {
        return false;
    }
    const auto* key = static_cast<QKeyEvent*>(event);
    if ((key->key() != Qt::Key_Return && key->key() != Qt::Key_Enter) ||
        (key->modifiers() & ~Qt::KeypadModifier) != Qt::NoModifier) {
        return false;
    }
    // An open list takes Enter to pick its entry.
    if (const auto* combo = qobject_cast<QComboBox*>(watched);
        combo != nullptr && combo->view()->isVisible()) {
        return false;
    }
    const auto at = std::find(m_boxes.begin(), m_boxes.end(), watched);
    if (at == m_boxes.end()) {
        return false;
    }
    const auto next = std::find_if(std::next(at), m_boxes.end(),
                                   [](const QWidget* box) { return box->isEnabled(); });
    if (next == m_boxes.end()) {
        m_save->click();
    } else {
        (*next)->setFocus(Qt::TabFocusReason);
    }
    return true;
}

} // namespace khgl

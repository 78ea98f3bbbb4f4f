#include "widgets/click_widgets.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
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
        // The style's focus frame is faint or missing over a picture: a dashed blue line on a
        // white one shows on any background.
        QPainter painter(this);
        const QRect frame = rect().adjusted(1, 1, -2, -2);
        painter.setPen(QPen(Qt::white, 2));
        painter.drawRect(frame);
        painter.setPen(QPen(QColor(0, 90, 200), 2, Qt::DashLine));
        painter.drawRect(frame);
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
        Q_EMIT mouseClicked();
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
    save->installEventFilter(this);
}

// After a save by Enter the keyboard goes back to the first box: the boxes keep their texts,
// and a second Enter must not silently save the same record again.
void EnterMovesOn::saveAndStartOver()
{
    m_save->click();
    const auto first = std::find_if(m_boxes.begin(), m_boxes.end(), [](const QWidget* box) {
        return box->isEnabled() && box->isVisible();
    });
    if (first != m_boxes.end()) {
        (*first)->setFocus(Qt::TabFocusReason);
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
    if (watched == m_save) {
        saveAndStartOver();
        return true;
    }
    const auto at = std::find(m_boxes.begin(), m_boxes.end(), watched);
    if (at == m_boxes.end()) {
        return false;
    }
    const auto next = std::find_if(std::next(at), m_boxes.end(),
                                   [](const QWidget* box) { return box->isEnabled(); });
    if (next == m_boxes.end()) {
        saveAndStartOver();
    } else {
        (*next)->setFocus(Qt::TabFocusReason);
    }
    return true;
}

void putLastInTabOrder(QWidget* window, const std::vector<QWidget*>& widgets)
{
    QWidget* last = window;
    for (QWidget* next = window->nextInFocusChain(); next != window;
         next = next->nextInFocusChain()) {
        // Qt orders only widgets that take the keyboard.
        if (next->window() == window && next->focusPolicy() != Qt::NoFocus &&
            std::find(widgets.begin(), widgets.end(), next) == widgets.end()) {
            last = next;
        }
    }
    for (QWidget* widget : widgets) {
        QWidget::setTabOrder(last, widget);
        last = widget;
    }
}

QString HalfWidthNumbers::halfWidth(const QString& text)
{
    // Full-width forms of ASCII sit 0xFEE0 above them; the ideographic space stands for ' '.
    static const QString ascii = QStringLiteral("0123456789.+-,eE");
    constexpr char16_t kFullWidthOffset = 0xFEE0;
    QString out = text;
    for (QChar& c : out) {
        if (c == QChar(0x3000)) {
            c = QLatin1Char(' ');
        } else if (c.unicode() > kFullWidthOffset &&
                   ascii.contains(QChar(c.unicode() - kFullWidthOffset))) {
            c = QChar(c.unicode() - kFullWidthOffset);
        }
    }
    return out;
}

QValidator::State HalfWidthNumbers::validate(QString& input, int& position) const
{
    Q_UNUSED(position); // one character for one: the cursor stays where it is
    input = halfWidth(input);
    return Acceptable;
}

void HalfWidthNumbers::install(QLineEdit* box)
{
    box->setValidator(new HalfWidthNumbers(box));
}

} // namespace khgl

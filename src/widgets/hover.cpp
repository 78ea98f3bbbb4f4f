#include "widgets/hover.h"

#include "platform/pictures.h"

#include <QEvent>
#include <QLabel>

namespace khgl {

HoverCommands::HoverCommands(const Pictures& pictures, QObject* parent)
    : QObject(parent), m_pictures(pictures)
{
}

void HoverCommands::addCommand(QWidget* frame, QWidget* label, QLabel* background, qint16* flag,
                               const QString& normalPicture, const QString& hoverPicture)
{
    m_commands.push_back({frame, label, background, flag, normalPicture, hoverPicture});
    pointerOnly(label);
    label->setMouseTracking(true);
    label->installEventFilter(this);
    frame->setMouseTracking(true);
    frame->installEventFilter(this);
}

void HoverCommands::addLarge(QWidget* frame, QWidget* label, QLabel* background, qint16* flag)
{
    addCommand(frame, label, background, flag, Pictures::largeNormal(), Pictures::largeHover());
}

void HoverCommands::addSmall(QWidget* frame, QWidget* label, QLabel* background, qint16* flag)
{
    addCommand(frame, label, background, flag, Pictures::smallNormal(), Pictures::smallHover());
}

void HoverCommands::pointerOnly(QWidget* widget)
{
    widget->setCursor(Qt::PointingHandCursor);
}

void HoverCommands::showNormal(QWidget* frame) const
{
    for (const auto& command : m_commands) {
        if (command.frame == frame) {
            m_pictures.show(command.background, command.normal);
        }
    }
}

void HoverCommands::hoverOver(const Command& command) const
{
    if (command.flag == nullptr) {
        m_pictures.show(command.background, command.hover);
    } else if (*command.flag == 0) {
        *command.flag = 1;
        m_pictures.show(command.background, command.hover);
    }
}

void HoverCommands::leaveFrame(QWidget* frame) const
{
    for (const auto& command : m_commands) {
        if (command.frame != frame) {
            continue;
        }
        if (command.flag == nullptr) {
            m_pictures.show(command.background, command.normal);
        } else if (*command.flag == 1) {
            *command.flag = 0;
            m_pictures.show(command.background, command.normal);
        }
    }
}

bool HoverCommands::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() != QEvent::MouseMove) {
        return false;
    }
    bool overCommand = false;
    for (const auto& command : m_commands) {
        if (command.label == watched) {
            hoverOver(command);
            overCommand = true;
        }
    }
    if (overCommand) {
        return true; // the frame behind the label must not see this move
    }
    leaveFrame(qobject_cast<QWidget*>(watched));
    return false;
}

} // namespace khgl

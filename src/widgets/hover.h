#pragma once

#include <QObject>
#include <QString>
#include <vector>

class QLabel;
class QWidget;

namespace khgl {

class Pictures;

// The main window's three hover flags, shared by all its pages: the first command of a frame
// uses a, the second b, the third c (0 = normal picture shown, 1 = hover picture shown).
struct HoverFlags
{
    qint16 a = 0;
    qint16 b = 0;
    qint16 c = 0;
};

// Hover pictures of command labels: moving over a command shows its hover picture; moving
// over the frame that holds it brings the normal one back. A command with a flag changes its
// picture only when the flag says so; one without a flag reloads it on every move.
class HoverCommands final : public QObject
{
    Q_OBJECT

public:
    HoverCommands(const Pictures& pictures, QObject* parent = nullptr);

    void addCommand(QWidget* frame, QWidget* label, QLabel* background, qint16* flag,
                    const QString& normalPicture, const QString& hoverPicture);
    // Shorthands for the two kinds of command background.
    void addLarge(QWidget* frame, QWidget* label, QLabel* background, qint16* flag);
    void addSmall(QWidget* frame, QWidget* label, QLabel* background, qint16* flag);
    // Only the hand pointer (navigation labels, calendar cells, title-bar images).
    static void pointerOnly(QWidget* widget);

    // Loads the normal picture into every command background of a frame.
    void showNormal(QWidget* frame) const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct Command
    {
        QWidget* frame;
        QWidget* label;
        QLabel* background;
        qint16* flag;
        QString normal;
        QString hover;
    };
    void hoverOver(const Command& command) const;
    void leaveFrame(QWidget* frame) const;

    const Pictures& m_pictures;
    std::vector<Command> m_commands;
};

} // namespace khgl

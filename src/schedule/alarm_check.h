#pragma once

#include <QObject>
#include <memory>

class QTimer;

namespace khgl {

struct AppContext;
class AlarmPopup;

// The reminder alarm run by the main window's one-second timer: when a reminder dated today
// falls due in the current minute, the popup shows its content and the main window's player
// plays its music. "停止音乐" stops the music and keeps the check off for 62 seconds.
class AlarmCheck final : public QObject
{
    Q_OBJECT

public:
    // checkTimer is the main window's timer that calls check(); a stop disables it.
    AlarmCheck(AppContext& context, QTimer& checkTimer, QObject* parent = nullptr);
    ~AlarmCheck() override;

    // One tick of the check. Never shows an error: a failing store is tried again next tick.
    void check();

    // The popup, once an alarm has made it; nullptr before.
    AlarmPopup* popup() const { return m_popup.get(); }

private:
    struct DueReminder
    {
        QString content;
        QString music;
    };
    bool findDue(DueReminder& due) const;
    void raise(const DueReminder& due);
    void stopMusic();
    void resumeChecking();

    AppContext& m_context;
    QTimer& m_checkTimer;
    std::unique_ptr<AlarmPopup> m_popup;
};

} // namespace khgl

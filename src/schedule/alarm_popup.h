#pragma once

#include <QWidget>
#include <memory>

class QTimer;

namespace Ui {
class AlarmPopup;
}

namespace khgl {

class HoverCommands;
class Pictures;

// The reminder popup: the content of the reminder that fell due and the "停止音乐" button.
// It also holds the countdown that keeps the alarm check off after a stop. Closing the window
// only hides it, so a countdown under way still ends and gives the check back.
class AlarmPopup final : public QWidget
{
    Q_OBJECT

public:
    explicit AlarmPopup(const Pictures& pictures, QWidget* parent = nullptr);
    ~AlarmPopup() override;

    void showReminder(const QString& content);
    QString content() const;

    // Starts the suspension countdown from 0, one tick per second.
    void startCountdown();
    bool isCountingDown() const;
    qint16 countdownTicks() const { return m_ticks; }
    // One tick of the countdown (its timer's handler).
    void countdownTick();

    // The check stays off for this many ticks after a stop: past the minute that raised it.
    static constexpr qint16 kSuspensionTicks = 62;

Q_SIGNALS:
    void stopClicked();
    void suspensionOver();

private:
    void onStopClicked();

    std::unique_ptr<Ui::AlarmPopup> m_ui;
    const Pictures& m_pictures;
    HoverCommands* m_hover;
    QTimer* m_countdown;
    qint16 m_ticks = 0;
};

} // namespace khgl

#include "schedule/alarm_check.h"

#include "data_store/data_store.h"
#include "data_store/store_error.h"
#include "data_store/values.h"
#include "platform/app_context.h"
#include "platform/audio_player.h"
#include "platform/clock.h"
#include "schedule/alarm_popup.h"

#include <QTimer>

namespace khgl {

AlarmCheck::AlarmCheck(AppContext& context, QTimer& checkTimer, QObject* parent)
    : QObject(parent), m_context(context), m_checkTimer(checkTimer)
{
}

AlarmCheck::~AlarmCheck() = default;

void AlarmCheck::check()
{
    DueReminder due;
    if (findDue(due)) {
        raise(due);
    }
}

// Only a reminder dated today whose time is this minute is due; of several, the first.
bool AlarmCheck::findDue(DueReminder& due) const
{
    const QDateTime now = m_context.clock.now();
    try {
        // The blank after the time is not significant: text compares without it.
        RecordSet rows = m_context.store.select(
            QStringLiteral("select 提醒内容,提醒音乐,提醒时间 from 提醒表 where 提醒日期=? and "
                           "提醒时间=? order by rowid"),
            {dateText(now.date()), timeText(now.time()) + QStringLiteral(" ")});
        if (rows.recordCount() == 0) {
            return false;
        }
        rows.moveFirst();
        due.content = rows.text(0);
        due.music = rows.text(1);
        return true;
    } catch (const StoreError&) {
        // Runs every second with no operator action behind it: a message here would repeat
        // endlessly. The next tick tries again.
        return false;
    }
}

void AlarmCheck::raise(const DueReminder& due)
{
    if (!m_popup) {
        m_popup = std::make_unique<AlarmPopup>(m_context.pictures);
        connect(m_popup.get(), &AlarmPopup::stopClicked, this, &AlarmCheck::stopMusic);
        connect(m_popup.get(), &AlarmPopup::suspensionOver, this, &AlarmCheck::resumeChecking);
    }
    if (m_popup->isVisible()) {
        // An open popup keeps what it shows and stays in sight, but it took the keyboard once
        // when it appeared: taking it every second would eat the operator's typing.
        m_popup->raise();
        return;
    }
    m_popup->showReminder(due.content);
    if (!due.music.isEmpty()) {
        AudioPlayer& player = m_context.audio;
        player.setFileName(due.music);
        player.open();
        player.play();
    }
    m_popup->show();
    m_popup->raise();
    m_popup->activateWindow();
}

void AlarmCheck::stopMusic()
{
    m_context.audio.close();
    m_checkTimer.stop();
    m_popup->startCountdown();
}

void AlarmCheck::resumeChecking()
{
    m_checkTimer.start(1000);
}

} // namespace khgl

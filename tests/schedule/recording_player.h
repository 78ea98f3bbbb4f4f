#pragma once

#include "platform/app_context.h"
#include "platform/audio_player.h"
#include "support/env.h"

#include <QStringList>

namespace khgl::test {

// Stands in for the sound card: remembers every command it was sent.
class RecordingPlayer final : public AudioPlayer
{
public:
    void setFileName(const QString& path) override
    {
        m_fileName = path;
        commands << QStringLiteral("file ") + path;
    }
    QString fileName() const override { return m_fileName; }
    void open() override
    {
        commands << QStringLiteral("open");
        m_open = true;
    }
    void play() override
    {
        commands << QStringLiteral("play");
        m_playing = m_open;
    }
    void stop() override
    {
        commands << QStringLiteral("stop");
        m_playing = false;
    }
    void close() override
    {
        commands << QStringLiteral("close");
        m_open = false;
        m_playing = false;
    }
    bool isPlaying() const override { return m_playing; }

    QStringList commands;

private:
    QString m_fileName;
    bool m_open = false;
    bool m_playing = false;
};

// A test environment whose context plays on a recording player.
struct ScheduleEnv
{
    TestEnv env;
    RecordingPlayer player;
    AppContext context{env.store.folder(),
                       env.store,
                       env.dialogs,
                       env.clock,
                       player,
                       env.mail,
                       env.connectivity,
                       env.inputAids,
                       Pictures(env.folder()),
                       {}};

    void addReminder(const QString& date, const QVariant& time, const QString& content,
                     const QVariant& music = {})
    {
        const qint64 number = env.store.countRows(QStringLiteral("提醒表")) + 1;
        env.store.insertRow(QStringLiteral("提醒表"),
                            {{QStringLiteral("编号"), number},
                             {QStringLiteral("设置时间"), QStringLiteral("2026-12-1")},
                             {QStringLiteral("提醒日期"), date},
                             {QStringLiteral("提醒时间"), time},
                             {QStringLiteral("提醒内容"), content},
                             {QStringLiteral("提醒音乐"), music},
                             {QStringLiteral("区别"), number}});
    }
    // The same from UTF-8 literals; a null pointer leaves the column empty.
    void addReminder(const char* date, const char* time, const char* content,
                     const char* music = nullptr)
    {
        const auto text = [](const char* t) {
            return t ? QVariant(QString::fromUtf8(t)) : QVariant();
        };
        addReminder(QString::fromUtf8(date), text(time), QString::fromUtf8(content), text(music));
    }
};

} // namespace khgl::test

#pragma once

#include "platform/audio_player.h"

#include <memory>

class QAudioOutput;
class QMediaPlayer;

namespace khgl {

// The music player over Qt Multimedia (GStreamer). Every command fails silently: a missing or
// unplayable file simply does not sound.
class QtAudioPlayer final : public AudioPlayer
{
public:
    QtAudioPlayer();
    ~QtAudioPlayer() override;
    QtAudioPlayer(const QtAudioPlayer&) = delete;
    QtAudioPlayer& operator=(const QtAudioPlayer&) = delete;

    void setFileName(const QString& path) override;
    QString fileName() const override { return m_fileName; }
    // Opens the file named last; a file already open is closed first.
    void open() override;
    void play() override;
    void stop() override;
    void close() override;
    bool isPlaying() const override;

    bool isOpen() const { return m_open; }

    // Points Qt Multimedia at GStreamer unless told otherwise; the FFmpeg back end crashes
    // here. Must run before the first media object is made.
    static void chooseBackend();
    // True when the back end can decode audio at all; without its plugins a media player
    // cannot even be constructed safely.
    static bool backendUsable();

private:
    std::unique_ptr<QAudioOutput> m_output;
    std::unique_ptr<QMediaPlayer> m_player;
    QString m_fileName;
    bool m_open = false;
};

// The real player when sound can be made, otherwise one that stays silent.
std::unique_ptr<AudioPlayer> makeAudioPlayer();

} // namespace khgl

#include "platform/qt_audio_player.h"

#include <QAudioOutput>
#include <QFileInfo>
#include <QMediaFormat>
#include <QMediaPlayer>
#include <QUrl>

namespace khgl {

QtAudioPlayer::QtAudioPlayer()
    : m_output(std::make_unique<QAudioOutput>()), m_player(std::make_unique<QMediaPlayer>())
{
    m_player->setAudioOutput(m_output.get());
    // An unplayable file leaves the player "playing" silence; end it quietly instead.
    QObject::connect(m_player.get(), &QMediaPlayer::errorOccurred, m_player.get(),
                     [player = m_player.get()] { player->stop(); });
}

QtAudioPlayer::~QtAudioPlayer()
{
    m_player->stop();
    m_player->setAudioOutput(nullptr);
}

void QtAudioPlayer::setFileName(const QString& path)
{
    m_fileName = path;
}

void QtAudioPlayer::open()
{
    close();
    const QFileInfo file(m_fileName.trimmed());
    if (!file.isFile() || !file.isReadable()) {
        return;
    }
    m_player->setSource(QUrl::fromLocalFile(file.absoluteFilePath()));
    m_open = true;
}

void QtAudioPlayer::play()
{
    if (m_open) {
        m_player->play();
    }
}

void QtAudioPlayer::stop()
{
    if (m_open) {
        m_player->stop();
    }
}

void QtAudioPlayer::close()
{
    if (!m_open) {
        return;
    }
    m_player->stop();
    m_player->setSource(QUrl());
    m_open = false;
}

bool QtAudioPlayer::isPlaying() const
{
    return m_open && m_player->playbackState() == QMediaPlayer::PlayingState &&
           m_player->mediaStatus() != QMediaPlayer::InvalidMedia;
}

void QtAudioPlayer::chooseBackend()
{
    const QByteArray chosen = qgetenv("QT_MEDIA_BACKEND");
    if (chosen.isEmpty() || chosen == "ffmpeg") {
        qputenv("QT_MEDIA_BACKEND", "gstreamer");
    }
}

bool QtAudioPlayer::backendUsable()
{
    chooseBackend();
    return !QMediaFormat().supportedFileFormats(QMediaFormat::Decode).isEmpty();
}

std::unique_ptr<AudioPlayer> makeAudioPlayer()
{
    if (QtAudioPlayer::backendUsable()) {
        return std::make_unique<QtAudioPlayer>();
    }
    return std::make_unique<SilentAudioPlayer>();
}

} // namespace khgl

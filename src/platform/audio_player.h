#pragma once

#include <QString>

namespace khgl {

// The music player: a file name and the commands open, play, stop and close.
// A failed command is silent: it never blocks, throws or ends the program.
class AudioPlayer
{
public:
    virtual ~AudioPlayer() = default;
    virtual void setFileName(const QString& path) = 0;
    virtual QString fileName() const = 0;
    virtual void open() = 0;
    virtual void play() = 0;
    virtual void stop() = 0;
    virtual void close() = 0;
    virtual bool isPlaying() const = 0;
};

// Stands in where no sound can be made.
class SilentAudioPlayer final : public AudioPlayer
{
public:
    void setFileName(const QString& path) override { m_fileName = path; }
    QString fileName() const override { return m_fileName; }
    void open() override {}
    void play() override {}
    void stop() override {}
    void close() override {}
    bool isPlaying() const override { return false; }

private:
    QString m_fileName;
};

} // namespace khgl

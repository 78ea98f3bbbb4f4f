#include "platform/log_file.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMutex>
#include <QMutexLocker>

namespace khgl {
namespace {

struct State
{
    QMutex mutex;
    QString path;
    qint64 maxBytes = 0;
    QtMessageHandler previous = nullptr;
};

State& state()
{
    static State s;
    return s;
}

const char* levelName(QtMsgType type)
{
    switch (type) {
    case QtDebugMsg:
        return "debug";
    case QtInfoMsg:
        return "info";
    case QtWarningMsg:
        return "warning";
    case QtCriticalMsg:
        return "critical";
    case QtFatalMsg:
        return "fatal";
    }
    return "?";
}

constexpr auto kOwnerOnly = QFile::ReadOwner | QFile::WriteOwner;

void append(const QString& path, qint64 maxBytes, const QByteArray& line)
{
    QFile file(path);
    if (file.size() + line.size() > maxBytes && file.exists()) {
        const QString older = path + QStringLiteral(".1");
        QFile::remove(older);
        QFile::rename(path, older);
    }
    // A new file is the owner's from its first byte.
    if (!file.open(QIODevice::Append, kOwnerOnly)) {
        return;
    }
    file.write(line);
}

void handle(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    // A message raised while writing one (by QFile itself) is not written again.
    thread_local bool writing = false;
    State& s = state();
    // Debug lines (Qt's own, when its rules switch them on) would push out what matters.
    if (!writing && type != QtDebugMsg) {
        writing = true;
        const QByteArray line = QDateTime::currentDateTime()
                                    .toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz "))
                                    .toUtf8() +
                                levelName(type) + ' ' +
                                (context.category ? context.category : "default") + ": " +
                                message.toUtf8().replace('\n', "\n    ") + '\n';
        {
            const QMutexLocker lock(&s.mutex);
            if (!s.path.isEmpty()) {
                append(s.path, s.maxBytes, line);
            }
        }
        writing = false;
    }
    if (s.previous) {
        s.previous(type, context, message);
    }
}

} // namespace

LogFile::LogFile(const QString& folder, qint64 maxBytes)
{
    State& s = state();
    {
        const QMutexLocker lock(&s.mutex);
        s.path = QDir(folder).filePath(fileName());
        s.maxBytes = maxBytes;
        // Files an earlier version or a copy by hand left readable by others become the
        // owner's: the log names the shop's files and folders. A link (to /dev/null, say) is
        // left as it is.
        for (const QString& path : QStringList{s.path, s.path + QStringLiteral(".1")}) {
            const QFileInfo info(path);
            if (info.isFile() && !info.isSymLink()) {
                QFile::setPermissions(path, kOwnerOnly);
            }
        }
    }
    s.previous = qInstallMessageHandler(&handle);
}

LogFile::~LogFile()
{
    State& s = state();
    qInstallMessageHandler(s.previous);
    const QMutexLocker lock(&s.mutex);
    s.path.clear();
    s.previous = nullptr;
}

} // namespace khgl

#include "shell/folder_lock.h"

#include <QCryptographicHash>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QThread>
#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace khgl {
namespace {

constexpr int kAnswerWaitMs = 5000;
// How long a second start waits for a first that holds the folder but is still starting: its
// socket may not be open yet.
constexpr int kStartingWaitMs = 10000;
constexpr int kRetryMs = 50;
const QByteArray kRaise = QByteArrayLiteral("raise\n");
const QByteArray kRaised = QByteArrayLiteral("raised\n");

} // namespace

FolderLock::FolderLock(const QString& folder, QObject* parent)
    : QObject(parent), m_folder(folder), m_lock(QDir(folder).filePath(lockFileName()))
{
    // Only a dead owner makes the lock stale, however long the program has been running.
    m_lock.setStaleLockTime(0);
}

FolderLock::~FolderLock()
{
    if (m_listener) {
        m_listener->close();
    }
    m_lock.unlock();
    if (m_folderFd >= 0) {
        ::close(m_folderFd); // last: the folder is free once the rest is cleared
    }
}

QString FolderLock::serverName(const QString& folder)
{
    const QFileInfo info(folder);
    const QString path = info.exists() ? info.canonicalFilePath() : info.absoluteFilePath();
    const QByteArray hash =
        QCryptographicHash::hash(path.toUtf8(), QCryptographicHash::Sha1).toHex().left(16);
    return QStringLiteral("khgl-%1-%2").arg(::getuid()).arg(QString::fromLatin1(hash));
}

FolderLock::Hold FolderLock::holdFolder()
{
    m_folderFd =
        ::open(QFile::encodeName(m_folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (m_folderFd < 0) {
        return Hold::Unsupported;
    }
    if (::flock(m_folderFd, LOCK_EX | LOCK_NB) == 0) {
        return Hold::Taken;
    }
    const int error = errno;
    ::close(m_folderFd);
    m_folderFd = -1;
    return error == EWOULDBLOCK ? Hold::HeldByAnother : Hold::Unsupported;
}

FolderLock::Result FolderLock::acquire()
{
    QDeadlineTimer starting(kStartingWaitMs);
    Hold hold = holdFolder();
    // Two programs started together: the one that took the folder opens its socket a moment
    // later. Asked again until it answers, or until the folder is free (it ended meanwhile).
    while (hold == Hold::HeldByAnother) {
        if (const auto answer = askRunning(); answer || starting.hasExpired()) {
            return answer.value_or(Result::AnotherRunning);
        }
        QThread::msleep(kRetryMs);
        hold = holdFolder();
    }
    switch (hold) {
    case Hold::HeldByAnother:
        break;
    case Hold::Taken:
        // No live program holds the folder: a lock file it still names is a dead one's.
        if (!m_lock.tryLock(0) && m_lock.error() == QLockFile::LockFailedError) {
            QFile::remove(QDir(m_folder).filePath(lockFileName()));
            m_lock.tryLock(0);
        }
        serve();
        return Result::Owned;
    case Hold::Unsupported:
        break;
    }
    return acquireByFile();
}

FolderLock::Result FolderLock::acquireByFile()
{
    if (!m_lock.tryLock(0)) {
        if (m_lock.error() != QLockFile::LockFailedError) {
            // A folder the lock cannot be written to: the database will say what is wrong.
            return Result::Owned;
        }
        return askRunning().value_or(Result::AnotherRunning);
    }
    // Without the folder's lock, a socket that still answers is a live program's: kept.
    QLocalSocket probe;
    probe.connectToServer(serverName(m_folder));
    if (probe.waitForConnected(kAnswerWaitMs)) {
        probe.abort();
        m_lock.unlock();
        return askRunning().value_or(Result::AnotherRunning);
    }
    serve();
    return Result::Owned;
}

std::optional<FolderLock::Result> FolderLock::askRunning()
{
    QLocalSocket socket;
    socket.connectToServer(serverName(m_folder));
    if (!socket.waitForConnected(kAnswerWaitMs)) {
        return std::nullopt;
    }
    socket.write(kRaise);
    socket.waitForBytesWritten(kAnswerWaitMs);
    QDeadlineTimer answer(kAnswerWaitMs);
    while (!socket.canReadLine() && socket.waitForReadyRead(answer.remainingTime())) {
    }
    if (socket.canReadLine() && socket.readLine() == kRaised) {
        return Result::AnotherRaised;
    }
    return Result::AnotherRunning;
}

void FolderLock::serve()
{
    const QString name = serverName(m_folder);
    QLocalServer::removeServer(name); // left by a program that crashed
    m_listener = std::make_unique<QLocalServer>();
    m_listener->setSocketOptions(QLocalServer::UserAccessOption);
    if (m_listener->listen(name)) {
        connect(m_listener.get(), &QLocalServer::newConnection, this, &FolderLock::answer);
    }
}

void FolderLock::answer()
{
    while (QLocalSocket* socket = m_listener->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
            if (!socket->canReadLine()) {
                return;
            }
            if (socket->readLine() == kRaise) {
                Q_EMIT raiseRequested();
                socket->write(kRaised);
                socket->flush();
            }
            socket->disconnectFromServer();
        });
    }
}

} // namespace khgl

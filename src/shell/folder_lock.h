#pragma once

#include <QLockFile>
#include <QObject>
#include <QString>
#include <memory>
#include <optional>

class QLocalServer;

namespace khgl {

// One program per data folder, taken at start: a lock on the folder itself that the system
// holds as long as the process lives (deleting a file cannot lift it), and the lock file
// khgl.lock beside the data for people to see. A second start on the same folder asks the
// running program to bring its window forward instead of opening the database itself; only
// the holder of the folder's lock ever removes or makes the socket they meet on. The lock of
// a program that crashed is taken over.
class FolderLock final : public QObject
{
    Q_OBJECT

public:
    explicit FolderLock(const QString& folder, QObject* parent = nullptr);
    ~FolderLock() override;

    enum class Result
    {
        Owned,          // this program may use the folder
        AnotherRaised,  // another program uses it and has brought its window forward
        AnotherRunning, // another program uses it and did not answer
    };
    Result acquire();

    static QString lockFileName() { return QStringLiteral("khgl.lock"); }
    static QString refusalText() { return QStringLiteral("程序已经在使用这个数据文件夹。"); }
    // The name both programs meet under; it depends on the folder only.
    static QString serverName(const QString& folder);

Q_SIGNALS:
    // A second start on this folder asks for the window.
    void raiseRequested();

private:
    enum class Hold
    {
        Taken,
        HeldByAnother,
        Unsupported, // a file system without such locks: the lock file alone decides
    };
    Hold holdFolder();
    Result acquireByFile();
    // The running program's answer; nothing when no program listens (yet).
    std::optional<Result> askRunning();
    void serve();
    void answer();

    QString m_folder;
    int m_folderFd = -1;
    QLockFile m_lock;
    std::unique_ptr<QLocalServer> m_listener;
};

} // namespace khgl

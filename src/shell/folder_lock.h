#pragma once

#include <QLockFile>
#include <QObject>
#include <QString>
#include <memory>

class QLocalServer;

namespace khgl {

// One program per data folder: a lock file in the folder, taken at start. A second start on
// the same folder asks the running program to bring its window forward instead of opening
// the database itself. The lock of a program that crashed is taken over.
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
    void answer();

    QString m_folder;
    QLockFile m_lock;
    std::unique_ptr<QLocalServer> m_server;
};

} // namespace khgl

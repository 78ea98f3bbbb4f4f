#include "admin/database_copy.h"

#include "admin/admin_log.h"
#include "data_store/data_store.h"
#include "data_store/database_file.h"
#include "data_store/failure_text.h"
#include "data_store/replaced_file.h"
#include "data_store/store_error.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace khgl {
namespace {

QString quoted(const QString& path)
{
    return QStringLiteral("“%1”").arg(QDir::toNativeSeparators(path));
}

QByteArray encoded(const QString& path)
{
    return QFile::encodeName(path);
}

// Makes a rename inside folder survive a power cut.
void syncFolder(const QString& folder)
{
    const int fd = ::open(encoded(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

// Renames the finished file over target, which is replaced whole in one step.
void moveIntoPlace(const QString& temporary, const QString& target)
{
    if (::rename(encoded(temporary).constData(), encoded(target).constData()) != 0) {
        const int error = errno;
        QFile::remove(temporary);
        throw StoreError(
            QStringLiteral("无法写入%1：%2").arg(quoted(target), fileFailureText(error, target)));
    }
    syncFolder(QFileInfo(target).absolutePath());
}

// A refusal before anything is read: the log gets the reason in its own words.
[[noreturn]] void refuseSource(const char* reason, const QString& message)
{
    qCInfo(backupLog) << "restore refused:" << reason;
    throw StoreError(message);
}

void requireRestoreSource(const QString& source)
{
    const QFileInfo info(source);
    if (!info.exists()) {
        refuseSource("no such file", QStringLiteral("要还原的文件%1不存在。").arg(quoted(source)));
    }
    if (!info.isFile()) {
        refuseSource("not a regular file", QStringLiteral("%1不是一个文件。").arg(quoted(source)));
    }
    if (info.size() == 0) {
        refuseSource("empty file",
                     QStringLiteral("%1是空文件，不是本系统的备份文件。").arg(quoted(source)));
    }
    if (!info.isReadable()) {
        refuseSource(
            "not readable",
            QStringLiteral("无法读取%1：%2").arg(quoted(source), fileFailureText(EACCES, source)));
    }
}

// Runs a backup or a restore and logs its start, size, time and outcome: the operator's
// message leaves out the engine's code a supporter asks for.
template <typename Copy> void logged(const char* what, const QString& path, const Copy& copy)
{
    QElapsedTimer timer;
    timer.start();
    qCInfo(backupLog).noquote() << what << "started:" << path;
    try {
        copy();
    } catch (const StoreError& error) {
        qCWarning(backupLog).noquote()
            << what << "failed after" << timer.elapsed() << "ms, engine code" << error.code();
        throw;
    }
    qCInfo(backupLog).noquote() << what << "done:" << QFileInfo(path).size() << "bytes in"
                                << timer.elapsed() << "ms";
}

void copyTo(DataStore& store, const QString& target, const CopyProgress& progress)
{
    // Through a symlink: the link keeps pointing at the new backup.
    const QString file = DataStore::resolvedPath(target);
    if (QFileInfo(file).isDir()) {
        throw StoreError(
            QStringLiteral("无法写入%1：%2").arg(quoted(target), fileFailureText(EISDIR, file)));
    }
    const QString temporary = newTemporaryBeside(file);
    database_file::snapshot(store, temporary, progress);
    moveIntoPlace(temporary, file);
}

void backUpTo(DataStore& store, const QString& target, const CopyProgress& progress)
{
    try {
        copyTo(store, target, progress);
    } catch (const StoreError& error) {
        throw StoreError(
            QStringLiteral("备份没有完成。\n%1\n原来的备份文件没有改动。").arg(error.message()),
            error.code());
    }
}

void restoreFrom(DataStore& store, const QString& source, const CopyProgress& progress,
                 const std::function<void()>& beforeSwap)
{
    try {
        requireRestoreSource(source);
        // The clean copy is built beside the data, where there is room for the data and from
        // where a rename replaces it.
        const QString database = DataStore::resolvedPath(store.filePath());
        const QString clean = newTemporaryBeside(database);
        try {
            database_file::cleanCopy(source, clean, progress);
            database_file::swapIn(store, clean, beforeSwap);
        } catch (...) {
            QFile::remove(clean);
            throw;
        }
        QFile::remove(clean); // on a server: loaded, no longer needed
    } catch (const StoreError& error) {
        if (error.code() == kServerCommitUnknown) {
            throw; // it says itself that the outcome is not known: "没有改动" may be untrue
        }
        throw StoreError(QStringLiteral("没有还原。\n%1\n当前数据没有改动。").arg(error.message()),
                         error.code());
    }
}

} // namespace

void backupDatabase(DataStore& store, const QString& target, const CopyProgress& progress)
{
    logged("backup", target, [&] { backUpTo(store, target, progress); });
}

void writeBackupCopy(DataStore& store, const QString& target, const CopyProgress& progress)
{
    logged("backup", target, [&] { copyTo(store, target, progress); });
}

void restoreDatabase(DataStore& store, const QString& source, const CopyProgress& progress,
                     const std::function<void()>& beforeSwap)
{
    logged("restore", source, [&] { restoreFrom(store, source, progress, beforeSwap); });
}

std::unique_lock<std::mutex> wholeFileWork()
{
    static std::mutex work;
    return std::unique_lock<std::mutex>(work);
}

QStringList removeStaleTemporaries(const QString& dataFolder)
{
    const QString history = QDir(dataFolder).filePath(QStringLiteral("备份"));
    // Only what carries this program's own ending: a person's copy named khgl.dll.Copy01 or
    // khgl-20261201-090000.dat.Mine01 is theirs, however it looks.
    static const QRegularExpression ours(QRegularExpression::escape(temporarySuffix()) +
                                         QStringLiteral("(-journal)?$"));
    QStringList folders{dataFolder, history};
    for (const QString& name : {DataStore::fileName(), QStringLiteral("备份卡.dat")}) {
        const QString path = QDir(dataFolder).filePath(name);
        if (QFileInfo(path).isSymLink()) {
            folders << QFileInfo(DataStore::resolvedPath(path)).absolutePath();
        }
    }
    folders.removeDuplicates();
    QStringList removed;
    for (const QString& folder : folders) {
        const QDir dir(folder);
        for (const QString& name : dir.entryList(QDir::Files | QDir::Hidden | QDir::System)) {
            if (!ours.match(name).hasMatch()) {
                continue;
            }
            const QString path = dir.filePath(name);
            if (QFile::remove(path)) {
                qCInfo(backupLog).noquote() << "removed the unfinished copy" << path;
                removed << path;
            } else {
                qCWarning(backupLog).noquote() << "could not remove the unfinished copy" << path;
            }
        }
    }
    return removed;
}

} // namespace khgl

#include "admin/database_copy.h"

#include "data_store/data_store.h"
#include "data_store/store_error.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace khgl {
namespace {

QString quoted(const QString& path)
{
    return QStringLiteral("“%1”").arg(QDir::toNativeSeparators(path));
}

QString systemError(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

QByteArray encoded(const QString& path)
{
    return QFile::encodeName(path);
}

// Closes a file descriptor when it goes out of scope.
class Descriptor final
{
public:
    explicit Descriptor(int fd) : m_fd(fd) {}
    ~Descriptor()
    {
        if (m_fd >= 0) {
            ::close(m_fd);
        }
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;

    int get() const { return m_fd; }
    bool valid() const { return m_fd >= 0; }
    // Closes now, so that a failure to close (a late write error) is seen.
    int close()
    {
        const int rc = ::close(m_fd);
        m_fd = -1;
        return rc;
    }

private:
    int m_fd;
};

[[noreturn]] void failWriting(const QString& target, int error)
{
    throw StoreError(QStringLiteral("无法写入%1：%2。").arg(quoted(target), systemError(error)));
}

[[noreturn]] void failReading(const QString& source, int error)
{
    throw StoreError(QStringLiteral("无法读取%1：%2。").arg(quoted(source), systemError(error)));
}

void writeAll(int fd, const char* data, size_t size, const QString& target)
{
    while (size > 0) {
        const ssize_t written = ::write(fd, data, size);
        if (written < 0) {
            if (errno == EINTR) {
                continue;
            }
            failWriting(target, errno);
        }
        data += written;
        size -= static_cast<size_t>(written);
    }
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

// Copies source into a new file (mode 0600) beside target and returns its path.
QString copyToTemporary(const QString& source, const QString& target, const CopyProgress& progress)
{
    Descriptor in(::open(encoded(source).constData(), O_RDONLY | O_CLOEXEC));
    if (!in.valid()) {
        failReading(source, errno);
    }
    struct stat info
    {
    };
    if (::fstat(in.get(), &info) != 0) {
        failReading(source, errno);
    }
    if (!S_ISREG(info.st_mode)) {
        throw StoreError(QStringLiteral("%1不是一个文件。").arg(quoted(source)));
    }
    QByteArray name = encoded(target + QStringLiteral(".XXXXXX"));
    Descriptor out(::mkostemp(name.data(), O_CLOEXEC));
    if (!out.valid()) {
        failWriting(target, errno);
    }
    const QString temporary = QFile::decodeName(name);
    try {
        ::fchmod(out.get(), 0600);
        std::vector<char> block(static_cast<size_t>(kCopyBlockSize));
        qint64 copied = 0;
        for (;;) {
            const ssize_t got = ::read(in.get(), block.data(), block.size());
            if (got < 0) {
                if (errno == EINTR) {
                    continue;
                }
                failReading(source, errno);
            }
            if (got == 0) {
                break;
            }
            writeAll(out.get(), block.data(), static_cast<size_t>(got), target);
            copied += got;
            if (progress) {
                progress(copied);
            }
        }
        if (::fsync(out.get()) != 0 || out.close() != 0) {
            failWriting(target, errno);
        }
    } catch (...) {
        ::unlink(name.constData());
        throw;
    }
    return temporary;
}

// Renames the finished temporary file over target, which is replaced whole in one step.
void moveIntoPlace(const QString& temporary, const QString& target)
{
    if (::rename(encoded(temporary).constData(), encoded(target).constData()) != 0) {
        const int error = errno;
        ::unlink(encoded(temporary).constData());
        failWriting(target, error);
    }
    syncFolder(QFileInfo(target).absolutePath());
}

void requireRestoreSource(const QString& source)
{
    const QFileInfo info(source);
    if (!info.exists()) {
        throw StoreError(QStringLiteral("要还原的文件%1不存在。").arg(quoted(source)));
    }
    if (!info.isFile()) {
        throw StoreError(QStringLiteral("%1不是一个文件。").arg(quoted(source)));
    }
    if (info.size() == 0) {
        throw StoreError(QStringLiteral("%1是空文件，不是本系统的备份文件。").arg(quoted(source)));
    }
}

} // namespace

void copyFileReplacing(const QString& source, const QString& target, const CopyProgress& progress)
{
    moveIntoPlace(copyToTemporary(source, target, progress), target);
}

void backupDatabase(DataStore& store, const QString& target, const CopyProgress& progress)
{
    try {
        copyFileReplacing(store.filePath(), target, progress);
    } catch (const StoreError& error) {
        throw StoreError(
            QStringLiteral("备份没有完成。\n%1\n原来的备份文件没有改动。").arg(error.message()));
    }
}

void restoreDatabase(DataStore& store, const QString& source, const CopyProgress& progress)
{
    const QString database = store.filePath();
    try {
        requireRestoreSource(source);
        DataStore::checkDatabaseFile(source);
        const QString temporary = copyToTemporary(source, database, progress);
        try {
            DataStore::checkDatabaseFile(temporary);
        } catch (const StoreError&) {
            ::unlink(encoded(temporary).constData());
            throw StoreError(QStringLiteral("%1在复制时发生了变化。").arg(quoted(source)));
        }
        // The connection lets go of the old file before the new one takes its name.
        store.close();
        moveIntoPlace(temporary, database);
    } catch (const StoreError& error) {
        throw StoreError(QStringLiteral("没有还原。\n%1\n当前数据没有改动。").arg(error.message()));
    }
    store.open();
}

} // namespace khgl

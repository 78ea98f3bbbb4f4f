#include "data_store/replaced_file.h"

#include "data_store/failure_text.h"
#include "data_store/store_error.h"
#include "data_store/store_log.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <cerrno>
#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

namespace khgl {

QString newTemporaryBeside(const QString& target)
{
    const QByteArray suffix = QFile::encodeName(temporarySuffix());
    QByteArray name = QFile::encodeName(target + QStringLiteral(".XXXXXX") + temporarySuffix());
    const int fd = ::mkostemps(name.data(), static_cast<int>(suffix.size()), O_CLOEXEC);
    if (fd < 0) {
        throw StoreError(
            QStringLiteral("无法写入“%1”：%2")
                .arg(QDir::toNativeSeparators(target), fileFailureText(errno, target)));
    }
    ::fchmod(fd, 0600);
    ::close(fd);
    return QFile::decodeName(name);
}

void removeTemporariesOf(const QString& target)
{
    const QFileInfo info(target);
    const QDir folder = info.absoluteDir();
    const QString pattern = info.fileName() + QStringLiteral(".??????") + temporarySuffix();
    for (const QString& name : folder.entryList({pattern, pattern + QStringLiteral("-journal")},
                                                QDir::Files | QDir::Hidden | QDir::System)) {
        if (QFile::remove(folder.filePath(name))) {
            qCInfo(storeLog).noquote() << "removed the unfinished copy" << folder.filePath(name);
        }
    }
}

bool commitWhole(QSaveFile& file)
{
    if (!file.flush()) {
        file.cancelWriting();
        file.commit(); // discards the temporary
        return false;
    }
    return file.commit();
}

} // namespace khgl

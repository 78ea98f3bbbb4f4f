#include "admin/backup_history.h"

#include "data_store/database_file.h"
#include "data_store/store_error.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <algorithm>

namespace khgl {
namespace {

QString kindSuffix(BackupEntry::Kind kind)
{
    switch (kind) {
    case BackupEntry::Kind::BeforeRestore:
        return QStringLiteral("-before-restore");
    case BackupEntry::Kind::BeforeClear:
        return QStringLiteral("-before-clear");
    case BackupEntry::Kind::BeforeImport:
        return QStringLiteral("-before-import");
    case BackupEntry::Kind::Backup:
        break;
    }
    return {};
}

// khgl-20261207-093000.dat, khgl-20261207-093000-before-clear.dat, and a -2, -3 ... when two
// entries fall in the same second.
const QRegularExpression& entryName()
{
    static const QRegularExpression pattern(QStringLiteral(
        R"(^khgl-([0-9]{8}-[0-9]{6})(-before-restore|-before-clear|-before-import)?(-[0-9]+)?\.dat$)"));
    return pattern;
}

QString quoted(const QString& path)
{
    return QStringLiteral("“%1”").arg(QDir::toNativeSeparators(path));
}

} // namespace

BackupHistory::BackupHistory(const QString& dataFolder, int keep)
    : m_folder(QDir(dataFolder).filePath(folderName())), m_keep(std::max(keep, 1))
{
}

std::vector<BackupEntry> BackupHistory::entries() const
{
    std::vector<BackupEntry> found;
    const QDir dir(m_folder);
    for (const QString& name : dir.entryList(QDir::Files)) {
        const auto match = entryName().match(name);
        if (!match.hasMatch()) {
            continue;
        }
        const QDateTime made =
            QDateTime::fromString(match.captured(1), QStringLiteral("yyyyMMdd-HHmmss"));
        if (!made.isValid()) {
            continue;
        }
        BackupEntry entry{dir.filePath(name), made, BackupEntry::Kind::Backup};
        if (match.captured(2) == kindSuffix(BackupEntry::Kind::BeforeRestore)) {
            entry.kind = BackupEntry::Kind::BeforeRestore;
        } else if (match.captured(2) == kindSuffix(BackupEntry::Kind::BeforeClear)) {
            entry.kind = BackupEntry::Kind::BeforeClear;
        } else if (match.captured(2) == kindSuffix(BackupEntry::Kind::BeforeImport)) {
            entry.kind = BackupEntry::Kind::BeforeImport;
        }
        found.push_back(entry);
    }
    // Same second: the later-written name (a higher -N) counts as newer.
    std::sort(found.begin(), found.end(), [](const BackupEntry& a, const BackupEntry& b) {
        if (a.made != b.made) {
            return a.made > b.made;
        }
        return QFileInfo(a.path).lastModified() > QFileInfo(b.path).lastModified();
    });
    return found;
}

QString BackupHistory::newEntryPath(const QDateTime& when, BackupEntry::Kind kind) const
{
    const QString stem = QStringLiteral("khgl-") +
                         when.toString(QStringLiteral("yyyyMMdd-HHmmss")) + kindSuffix(kind);
    const QDir dir(m_folder);
    QString path = dir.filePath(stem + QStringLiteral(".dat"));
    for (int n = 2; QFileInfo::exists(path); ++n) {
        path = dir.filePath(stem + QStringLiteral("-%1.dat").arg(n));
    }
    return path;
}

QString BackupHistory::add(DataStore& store, const QDateTime& when, BackupEntry::Kind kind,
                           const CopyProgress& progress)
{
    const QString path = write(store, when, kind, progress);
    removeBeyondKeep();
    return path;
}

QString BackupHistory::writeSafetyCopy(DataStore& store, const QDateTime& when,
                                       BackupEntry::Kind kind)
{
    try {
        return write(store, when, kind);
    } catch (const StoreError& error) {
        throw StoreError(
            QStringLiteral("无法先为当前数据保存一份安全副本，操作没有进行，数据没有改动。\n%1")
                .arg(error.message()));
    }
}

QString BackupHistory::write(DataStore& store, const QDateTime& when, BackupEntry::Kind kind,
                             const CopyProgress& progress)
{
    if (!QDir().mkpath(m_folder)) {
        throw StoreError(QStringLiteral("无法建立备份文件夹%1。").arg(quoted(m_folder)));
    }
    // The copies hold every customer's data: for the owner only, like khgl.dll.
    QFile::setPermissions(m_folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    const QString path = newEntryPath(when, kind);
    backupDatabase(store, path, progress);
    return path;
}

void BackupHistory::removeBeyondKeep() const
{
    const std::vector<BackupEntry> all = entries();
    for (size_t i = static_cast<size_t>(m_keep); i < all.size(); ++i) {
        QFile::remove(all[i].path);
    }
}

RecordCounts BackupHistory::recordCounts(const QString& path)
{
    const QFileInfo info(path);
    const auto cached = m_counts.find(path);
    if (cached != m_counts.end() && cached->second.size == info.size() &&
        cached->second.modified == info.lastModified()) {
        return cached->second.counts;
    }
    const RecordCounts counts = database_file::tableCounts(path);
    m_counts[path] = {info.size(), info.lastModified(), counts};
    return counts;
}

} // namespace khgl

#include "admin/backup_history.h"

#include "admin/admin_log.h"
#include "data_store/database_file.h"
#include "data_store/store_error.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <algorithm>

namespace khgl {
namespace {

constexpr int kKeptOfEachKind = 10;

// khgl-20261207-093000.dat, khgl-20261207-093000-before-clear.dat, and a -2, -3 ... when two
// entries fall in the same second.
const QRegularExpression& entryName()
{
    static const QRegularExpression pattern = [] {
        QStringList suffixes;
        for (const BackupKind& kind : backupKinds()) {
            if (!kind.suffix.isEmpty()) {
                suffixes << QRegularExpression::escape(kind.suffix.toString());
            }
        }
        return QRegularExpression(
            QStringLiteral(R"(^khgl-([0-9]{8}-[0-9]{6})(%1)?(-[0-9]+)?\.dat$)")
                .arg(suffixes.join(QLatin1Char('|'))));
    }();
    return pattern;
}

BackupEntry::Kind kindOf(QStringView suffix)
{
    for (const BackupKind& kind : backupKinds()) {
        if (kind.suffix == suffix) {
            return kind.kind;
        }
    }
    return BackupEntry::Kind::Backup;
}

QString quoted(const QString& path)
{
    return QStringLiteral("“%1”").arg(QDir::toNativeSeparators(path));
}

} // namespace

const std::vector<BackupKind>& backupKinds()
{
    static const std::vector<BackupKind> kinds{
        {BackupEntry::Kind::Backup, u"", u"备份", kKeptOfEachKind},
        {BackupEntry::Kind::BeforeRestore, u"-before-restore", u"还原前", kKeptOfEachKind},
        {BackupEntry::Kind::BeforeClear, u"-before-clear", u"删除前", kKeptOfEachKind},
        {BackupEntry::Kind::BeforeImport, u"-before-import", u"导入前", kKeptOfEachKind},
    };
    return kinds;
}

const BackupKind& backupKind(BackupEntry::Kind kind)
{
    const auto& kinds = backupKinds();
    const auto found = std::find_if(kinds.begin(), kinds.end(),
                                    [kind](const BackupKind& each) { return each.kind == kind; });
    return found != kinds.end() ? *found : kinds.front();
}

BackupHistory::BackupHistory(const QString& dataFolder)
    : m_folder(QDir(dataFolder).filePath(folderName()))
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
        found.push_back({dir.filePath(name), made, kindOf(match.capturedView(2))});
    }
    // By the files' times, which the system sets as each one is written (also for names from
    // a fake or a wrong clock); a time still in the future was set before the clock went
    // back, so it is older than anything written since.
    const QDateTime soon = QDateTime::currentDateTime().addSecs(60);
    std::vector<std::pair<QDateTime, size_t>> order;
    for (size_t i = 0; i < found.size(); ++i) {
        order.emplace_back(QFileInfo(found[i].path).lastModified(), i);
    }
    std::sort(order.begin(), order.end(), [&](const auto& a, const auto& b) {
        const bool aLater = a.first > soon;
        const bool bLater = b.first > soon;
        if (aLater != bLater) {
            return bLater;
        }
        if (a.first != b.first) {
            return a.first > b.first;
        }
        return found[a.second].made > found[b.second].made ||
               (found[a.second].made == found[b.second].made &&
                found[a.second].path > found[b.second].path);
    });
    std::vector<BackupEntry> sorted;
    sorted.reserve(found.size());
    for (const auto& [modified, index] : order) {
        sorted.push_back(found[index]);
    }
    return sorted;
}

bool BackupHistory::hasBackupOn(const QDate& day) const
{
    const std::vector<BackupEntry> all = entries();
    return std::any_of(all.begin(), all.end(), [&day](const BackupEntry& entry) {
        return entry.kind == BackupEntry::Kind::Backup && entry.made.date() == day;
    });
}

QString BackupHistory::clockNotice(const QDateTime& now) const
{
    const std::vector<BackupEntry> all = entries();
    const auto later = std::count_if(all.begin(), all.end(), [&now](const BackupEntry& entry) {
        return entry.made > now.addSecs(60);
    });
    if (later == 0) {
        return {};
    }
    return QStringLiteral("注意：备份记录中有 %1 份的时间晚于现在（%2），电脑的时钟可能不准，"
                          "请检查时钟。")
        .arg(later)
        .arg(now.toString(QStringLiteral("yyyy-MM-dd HH:mm")));
}

QString BackupHistory::newEntryPath(const QDateTime& when, BackupEntry::Kind kind) const
{
    const QString stem = QStringLiteral("khgl-") +
                         when.toString(QStringLiteral("yyyyMMdd-HHmmss")) +
                         backupKind(kind).suffix.toString();
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
    removeBeyondKeep(path);
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
    writeBackupCopy(store, path, progress);
    return path;
}

void BackupHistory::removeBeyondKeep(const QString& written) const
{
    const std::vector<BackupEntry> all = entries();
    const auto writtenEntry = std::find_if(all.begin(), all.end(), [&written](const auto& entry) {
        return !written.isEmpty() && entry.path == written;
    });
    std::map<BackupEntry::Kind, int> kept;
    // The one just written takes one of its kind's places.
    if (writtenEntry != all.end()) {
        kept[writtenEntry->kind] = 1;
    }
    for (const BackupEntry& entry : all) {
        if (entry.path == written) {
            continue;
        }
        int& count = kept[entry.kind];
        if (count < backupKind(entry.kind).keep) {
            ++count;
        } else if (QFile::remove(entry.path)) {
            qCInfo(backupLog).noquote()
                << "history entry removed, beyond the kept ones:" << entry.path;
        }
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

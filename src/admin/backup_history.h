#pragma once

#include "admin/database_copy.h"

#include <QDateTime>
#include <QString>
#include <QStringView>
#include <map>
#include <optional>
#include <utility>
#include <vector>

namespace khgl {

class DataStore;

// One backup kept in the history folder.
struct BackupEntry
{
    enum class Kind
    {
        Backup,        // the backup command or the daily backup
        BeforeRestore, // the data as it was before a restore replaced it
        BeforeClear,   // the data as it was before a clearing or a format
        BeforeImport,  // the data as it was before a CSV import
    };
    QString path;
    QDateTime made;
    Kind kind = Kind::Backup;
};

// What tells one kind of entry from another: the ending of its name, its word in the listing
// and how many of it are kept. The one table that names, lists and rotates the history.
struct BackupKind
{
    BackupEntry::Kind kind;
    QStringView suffix; // before ".dat" (and a -2, -3 ... of entries in the same second)
    QStringView label;
    int keep;
};
const std::vector<BackupKind>& backupKinds();
const BackupKind& backupKind(BackupEntry::Kind kind);

// The record count of each of the program's tables in a backup file.
using RecordCounts = std::vector<std::pair<QString, qint64>>;

// The last checked backups, as 备份/khgl-YYYYMMDD-HHMMSS.dat in the data folder (a safety
// copy taken before destructive work ends as its kind says). Every entry is written by the
// same checked backup as 备份卡.dat. Each kind keeps its own number: once there are more, the
// ones written first are removed, never the one just written. Written first is
// told by the files' own times, not by the names: a clock set wrong for a while names entries
// in the future, and those were all written before anything written now.
class BackupHistory final
{
public:
    explicit BackupHistory(const QString& dataFolder);

    static QString folderName() { return QStringLiteral("备份"); }
    QString folder() const { return m_folder; }

    // Last written first; files of other names in the folder are not entries.
    std::vector<BackupEntry> entries() const;
    // Whether a backup (not a safety copy) was made on now's date.
    bool hasBackupOn(const QDate& day) const;
    // A notice for the operator when entries are named later than now (the clock was or is
    // wrong); empty otherwise.
    QString clockNotice(const QDateTime& now) const;

    // Writes a checked backup of the store as a new entry made at when, then removes the
    // oldest entries beyond its kind's number. Throws StoreError (nothing is added) when it cannot
    // be written.
    QString add(DataStore& store, const QDateTime& when,
                BackupEntry::Kind kind = BackupEntry::Kind::Backup,
                const CopyProgress& progress = {});
    // add without the removal: a restore from the oldest entry still finds its file.
    QString write(DataStore& store, const QDateTime& when, BackupEntry::Kind kind,
                  const CopyProgress& progress = {});
    // Removes, kind by kind, the entries written before the ones kept; never written.
    void removeBeyondKeep(const QString& written = {}) const;

    // The safety copy before destructive work: write, with a message that says the work
    // did not start. Throws StoreError.
    QString writeSafetyCopy(DataStore& store, const QDateTime& when, BackupEntry::Kind kind);

    // The record counts of an entry, read from the file without changing it (remembered by
    // path, size and time, so listing the history again reads no file twice). Throws
    // StoreError when the file cannot be read as a database.
    RecordCounts recordCounts(const QString& path);

private:
    QString newEntryPath(const QDateTime& when, BackupEntry::Kind kind) const;

    struct CachedCounts
    {
        qint64 size;
        QDateTime modified;
        RecordCounts counts;
    };
    QString m_folder;
    std::map<QString, CachedCounts> m_counts;
};

} // namespace khgl

#pragma once

#include <QDate>
#include <QDateTime>
#include <QString>
#include <functional>
#include <optional>

struct sqlite3;

namespace khgl {

class DataStore;
class ServerConnection;

// Backup and restore of a shop kept on a database server, made so that the other desks go on
// working: a backup reads one snapshot without the write lock, a restore loads with COPY in
// one transaction and says so to a desk whose save has to wait for it, and the daily backup
// is made by one desk for the whole shop. Each works on a connection of its own.
namespace server_backup {

// Writes the new SQLite file target (new or empty) holding the store's rows as one moment of
// the server shows them, read without the program's write lock: other desks save meanwhile.
// Throws StoreError; target is then removed.
void writeFile(DataStore& store, const QString& target);

// Replaces every row of the six tables and of the program's own tables with those of the
// checked file source, in one transaction under the write lock: all or nothing. Meanwhile a
// desk whose save meets the lock is told that a restore is running. beforeLoad (the safety
// copy of the rows about to be replaced) runs once the lock is held and before any row is
// replaced, so no save at another desk falls between the two. Throws StoreError.
void loadFile(DataStore& store, const QString& source,
              const std::function<void()>& beforeLoad = {});

// Fills every table from file on server, whose open transaction holds the write lock: each
// table emptied, then loaded with COPY, new keys numbered after the copied ones; the figures'
// triggers stand aside and the figures are counted once at the end. Returns the rows loaded.
qint64 loadAll(ServerConnection& server, sqlite3* file);

// Takes the write lock for the transaction just begun on server. When a restore at another
// desk holds it, throws StoreError saying so (nothing written) instead of waiting silently.
void lockForWriting(ServerConnection& server);

// The desk that made (or is making) the shop's backup of a day, and when.
struct DayBackup
{
    QString desk;
    QDateTime at;
    bool finished = false;
};

// Runs make (this desk's backup of day) unless another desk of the shop has made it or is
// making it; then returns what that desk did instead. A make that throws leaves the day to
// the next desk.
std::optional<DayBackup> onceADay(DataStore& store, const QDate& day,
                                  const std::function<void()>& make);

// The daily-backup status of a desk that left the day to another one.
QString madeElsewhereText(const DayBackup& made);

} // namespace server_backup
} // namespace khgl

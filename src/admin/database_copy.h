#pragma once

#include "data_store/replaced_file.h"

#include <QString>
#include <QStringList>
#include <QtGlobal>
#include <functional>
#include <mutex>

namespace khgl {

class DataStore;

// Told the number of bytes copied so far, after every block.
using CopyProgress = std::function<void(qint64 copied)>;

// Writes a checked snapshot of the store's data to the backup file target. The copy is made
// beside the file target names (a symlink is followed, not replaced) and takes its place only
// once it is complete and checked, so a failure leaves the previous backup whole. Throws
// StoreError with a message for the operator.
void backupDatabase(DataStore& store, const QString& target, const CopyProgress& progress = {});
// The same for a new file of the backup history: the message gives only the reason.
void writeBackupCopy(DataStore& store, const QString& target, const CopyProgress& progress = {});

// Replaces the store's data with the six tables of the backup source. Only their rows come
// in, into a file built beside the live one with this program's own tables and checked; then
// beforeSwap runs (the safety copy of the data about to be replaced: written only once the
// restore is sure to go ahead), and the new file takes the live one's place in one rename.
// The store is closed meanwhile and open on the new data afterwards. On any failure the data
// stays as it was. Throws StoreError.
void restoreDatabase(DataStore& store, const QString& source, const CopyProgress& progress = {},
                     const std::function<void()>& beforeSwap = {});

// Held by whatever copies the whole data (the backup page, the daily backup): one at a time.
std::unique_lock<std::mutex> wholeFileWork();

// Removes the files with the program's temporary ending that an interrupted backup, restore or
// first start left in the data folder, its backup history and beside the files its links point
// at; any other file stays. Each one is named in the log. Only while no other copy of the
// program uses the folder (at start, under the folder lock). Returns the names removed.
QStringList removeStaleTemporaries(const QString& dataFolder);

} // namespace khgl

#pragma once

#include <QString>
#include <QtGlobal>
#include <functional>

namespace khgl {

class DataStore;

// Told the number of bytes copied so far, after every block.
using CopyProgress = std::function<void(qint64 copied)>;

// Writes a checked snapshot of the store's data to the backup file target. The copy is made
// beside the file target names (a symlink is followed, not replaced) and takes its place only
// once it is complete and checked, so a failure leaves the previous backup whole. Throws
// StoreError with a message for the operator.
void backupDatabase(DataStore& store, const QString& target, const CopyProgress& progress = {});

// Replaces the store's data with the six tables of the backup source. Only their rows come
// in, into a file built with this program's own tables; the live file is rewritten while the
// store holds it exclusively. On any failure the data stays as it was. Throws StoreError.
void restoreDatabase(DataStore& store, const QString& source, const CopyProgress& progress = {});

} // namespace khgl

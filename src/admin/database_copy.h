#pragma once

#include <QString>
#include <QtGlobal>
#include <functional>

namespace khgl {

class DataStore;

// Told the number of bytes copied so far, after every block.
using CopyProgress = std::function<void(qint64 copied)>;

// The bytes copied between two progress reports.
inline constexpr qint64 kCopyBlockSize = 64 * 1024;

// Copies source over target byte for byte. The copy goes to a temporary file beside target
// (mode 0600) that replaces target only once it is complete, so a failure leaves the old
// target whole. Throws StoreError with a message for the operator.
void copyFileReplacing(const QString& source, const QString& target,
                       const CopyProgress& progress = {});

// Writes the store's database file to the backup file target.
void backupDatabase(DataStore& store, const QString& target, const CopyProgress& progress = {});

// Replaces the store's database file with source after checking that source is a database
// of this program. The store is closed around the swap and reopened on the new file; on any
// failure the database file stays as it was. Throws StoreError.
void restoreDatabase(DataStore& store, const QString& source, const CopyProgress& progress = {});

} // namespace khgl

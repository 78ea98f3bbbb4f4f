#pragma once

#include <QString>
#include <QtGlobal>
#include <functional>
#include <utility>
#include <vector>

namespace khgl {

class DataStore;

// Whole-file work on the database for backup and restore, done by the engine so that no
// other program's half-written transaction and no object foreign to this program is copied.
namespace database_file {

// Told how many bytes of the database have been copied so far.
using Progress = std::function<void(qint64 copied)>;

// Writes a consistent snapshot of the store's data into the new file target (which must
// not exist), then checks the copy: the engine's quick check, the six tables, and for each
// table as many rows as the snapshot held. Throws StoreError; target is then removed.
void snapshot(DataStore& store, const QString& target, const Progress& progress = {});

// Builds the new file target (which must not exist) with this program's own tables and
// copies into it, column by column by name, only the rows of the six tables of source, which
// is opened read only. Triggers, views and any other object of source never reach target.
// Throws StoreError when source is not a sound database of this program (a schema of far more
// objects than the program's, a value of several megabytes, a write left unfinished beside it);
// target is then removed. Progress counts bytes of source, ending at its length.
void cleanCopy(const QString& source, const QString& target, const Progress& progress = {});

// Makes the finished file clean (built by cleanCopy beside the store's file) the store's data:
// with other programs kept from writing, beforeSwap runs (the safety copy of the data about to
// be replaced), then clean is renamed over the file in one step while held exclusively and the
// store is reopened; on a server its rows are loaded in one transaction. Throws StoreError (the
// data unchanged) when another program holds the file.
void swapIn(DataStore& store, const QString& clean, const std::function<void()>& beforeSwap = {});

// The row count of each of the six tables in the database file at path (a backup), in
// table order; a table the file does not have (a backup from before it existed) is left out.
// Throws StoreError when the file cannot be read.
std::vector<std::pair<QString, qint64>> tableCounts(const QString& path);

} // namespace database_file
} // namespace khgl

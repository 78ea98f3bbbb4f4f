#pragma once

#include <QString>

namespace khgl {

class DataStore;

// Moving a shop's rows between a single-file store (an SQLite file of this program) and a
// database server, keeping every row's key, so either can restore the other's backup.
namespace server_transfer {

// Replaces every row of the six tables and of the program's own tables in the store (on a
// server) with the rows of the SQLite file source, in one transaction: all or nothing.
// source must already have passed the file checks of a restore.
void loadFile(DataStore& store, const QString& source);

// Row counts and sums of the number columns of each table, one line per table, for
// checking a copy against its source.
QString fileFigures(const QString& path);
QString storeFigures(DataStore& store);

// khgl --init-server: creates the tables in an empty database. Returns the text to print.
QString initServer(const QString& server);
// khgl --migrate: copies the shop in file into the empty database of server and checks
// the copy's counts and sums. Returns the text to print; throws StoreError.
QString migrate(const QString& file, const QString& server);

} // namespace server_transfer
} // namespace khgl

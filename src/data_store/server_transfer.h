#pragma once

#include <QString>

struct sqlite3;

namespace khgl {

class DataStore;
class ServerConnection;

// Moving a shop's rows between a single-file store (an SQLite file of this program) and a
// database server, keeping every row's key, so either can restore the other's backup.
namespace server_transfer {

// Replaces every row of the six tables and of the program's own tables in the store (on a
// server) with the rows of the SQLite file source, in one transaction: all or nothing, and
// only once every value of every row reads back as the file has it.
// source must already have passed the file checks of a restore.
void loadFile(DataStore& store, const QString& source);

// Compares every value of every table that a connection's open transaction holds with the
// file it was loaded from; throws StoreError naming the first table that differs.
void checkCopy(ServerConnection& server, sqlite3* file);

// Row counts and sums of the number columns of each table, one line per table.
QString storeFigures(DataStore& store);

// khgl --init-server: creates the tables in an empty database. Returns the text to print.
QString initServer(const QString& server);
// khgl --migrate: copies the shop in file into the empty database of server and checks
// every value of the copy. Returns the text to print; throws StoreError.
QString migrate(const QString& file, const QString& server);

// Brings the program's own functions and name indexes of a database made by an earlier
// version up to date (once, under the write lock).
void upgradeServer(ServerConnection& server);

} // namespace server_transfer
} // namespace khgl

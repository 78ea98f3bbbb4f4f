#pragma once

#include <QString>

struct sqlite3;

namespace khgl {

class DataStore;
class ServerConnection;

// Moving a shop's rows between a single-file store (an SQLite file of this program) and a
// database server, keeping every row's key, so either can restore the other's backup.
namespace server_transfer {

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

// What an open found of the program's own objects on a database.
struct ServerState
{
    bool current = false;     // this version's functions, indexes and figures' triggers
    bool functions = false;   // at least the functions the queries call
    bool commitMarks = false; // the table of commit marks, writable by this account
    bool ownTables = false;   // every table of the program's own is there
    int version = 0;          // of the program's objects the database holds
};

// Reads the version of the program's own objects (one query) and, where mayUpgrade and it is
// older, brings the functions, name indexes, own tables and figures' triggers of the database
// up to date and recounts the figures: once, under the write lock. An account that may not
// upgrade works on where the functions are there; otherwise it throws StoreError.
ServerState upgradeServer(ServerConnection& server, bool mayUpgrade);

} // namespace server_transfer
} // namespace khgl

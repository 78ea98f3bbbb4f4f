#pragma once

#include <QString>
#include <memory>

namespace khgl {

class DataStore;

// Where a shop's data lives: the data folder (khgl.dll, backups, customer files and the
// program's other files) and, for several desks, a PostgreSQL server address (a libpq URI such
// as postgresql://user@host:5432/shop) that then holds the tables instead of khgl.dll.
struct StoreAddress
{
    QString folder;
    QString server; // empty: the file in folder

    // The name of the file khgl.conf in the data folder that may name the server.
    static QString serverConfigName() { return QStringLiteral("khgl.conf"); }
    // The folder with the server of its khgl.conf (its first line that is not blank and not a
    // "#" comment), or none when there is no such line.
    static StoreAddress forFolder(const QString& folder);
};

// The store of an address, not yet opened: the server's when it names one, else the file's.
std::unique_ptr<DataStore> openStore(const StoreAddress& address);

} // namespace khgl

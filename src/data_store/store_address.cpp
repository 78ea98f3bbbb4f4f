#include "data_store/store_address.h"

#include "data_store/server_store.h"
#include "data_store/sqlite_store.h"

#include <QDir>
#include <QFile>

namespace khgl {

StoreAddress StoreAddress::forFolder(const QString& folder)
{
    QFile file(QDir(folder).filePath(serverConfigName()));
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        return {folder, {}};
    }
    while (!file.atEnd()) {
        const QString line = QString::fromUtf8(file.readLine()).trimmed();
        if (!line.isEmpty() && !line.startsWith(QLatin1Char('#'))) {
            return {folder, line};
        }
    }
    return {folder, {}};
}

std::unique_ptr<DataStore> openStore(const StoreAddress& address)
{
    const QString server = address.server.trimmed();
    if (server.isEmpty()) {
        return std::make_unique<SqliteStore>(address.folder);
    }
    return std::make_unique<ServerStore>(StoreAddress{address.folder, server});
}

} // namespace khgl

#include "admin/account_records.h"

#include "admin/admin_log.h"
#include "data_store/data_store.h"

namespace khgl::account_records {
namespace {

const QString kTable = QStringLiteral("用户表");

} // namespace

RecordSet all(DataStore& store)
{
    return store.select(kTable);
}

bool any(DataStore& store)
{
    return store.select(kTable).recordCount() > 0;
}

// Compared exactly as the login compares it: the store's text comparison ignores case and
// trailing blanks, which a password must not.
bool isStoredPassword(DataStore& store, const QString& typed)
{
    if (typed.isEmpty()) {
        return false;
    }
    RecordSet rows =
        store.select(QStringLiteral("select 用户密码 from 用户表 where 用户密码=?"), {typed});
    for (rows.moveFirst(); !rows.eof(); rows.moveNext()) {
        if (rows.value(0).toString() == typed) {
            return true;
        }
    }
    return false;
}

qint64 add(DataStore& store, const Account& account)
{
    qint64 key = -1;
    // Counted and written in one transaction: another desk cannot take the same 区别.
    store.transaction([&] {
        const qint64 number = store.countRows(kTable) + 1;
        key = store.insertRow(kTable, {{QStringLiteral("用户名"), account.name},
                                       {QStringLiteral("用户密码"), account.password},
                                       {QStringLiteral("问题"), account.question},
                                       {QStringLiteral("答案"), account.answer},
                                       {QStringLiteral("区别"), number}});
    });
    return key;
}

void remove(DataStore& store, qint64 key, const QList<std::pair<QString, QString>>& shown)
{
    store.deleteShownRecord(kTable, key, shown);
}

void emptyTables(DataStore& store, const QStringList& tables)
{
    if (tables.isEmpty()) {
        return;
    }
    store.transaction([&] {
        for (const QString& table : tables) {
            store.emptyTable(table);
        }
    });
    qCInfo(adminLog).noquote() << "emptied tables:" << tables.join(QLatin1Char(','));
}

} // namespace khgl::account_records

#pragma once

#include "data_store/record_set.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <utility>

namespace khgl {

class DataStore;

// The operator accounts of 用户表, and the clearing of whole tables. No widgets here.
namespace account_records {

struct Account
{
    QString name;
    QString password;
    QString question;
    QString answer;
};

// Every account, each with its key.
RecordSet all(DataStore& store);
bool any(DataStore& store);
// Whether some account has exactly this password (case and trailing blanks count).
bool isStoredPassword(DataStore& store, const QString& typed);
// Appends one account; returns its key.
qint64 add(DataStore& store, const Account& account);
// Removes exactly the account with this key, and only while the file still holds what the
// grid shows of it (column name, shown text); otherwise a StoreError says it has changed.
void remove(DataStore& store, qint64 key, const QList<std::pair<QString, QString>>& shown);

// Empties these tables in one transaction: a failure leaves every table as it was. The
// names come from the program, never from the operator.
void emptyTables(DataStore& store, const QStringList& tables);

} // namespace account_records
} // namespace khgl

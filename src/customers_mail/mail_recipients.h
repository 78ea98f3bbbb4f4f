#pragma once

#include "data_store/record_set.h"

#include <QString>
#include <QVariantList>

namespace khgl {

class DataStore;

// Whom the mail page can write to: 客户名 and 电子邮箱 of 客户表, each pair once.
namespace mail_recipients {

RecordSet all(DataStore& store);
// Customers who bought between the two dates of the range (both included).
RecordSet boughtBetween(DataStore& store, const QVariantList& range);
// Customers who bought this product (each purchase record once).
RecordSet boughtProduct(DataStore& store, const QString& product);
// Customers who bought this product between the two dates of the range.
RecordSet boughtProductBetween(DataStore& store, const QVariantList& range, const QString& product);

} // namespace mail_recipients
} // namespace khgl

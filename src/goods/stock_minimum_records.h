#pragma once

#include <QHash>
#include <QString>
#include <QStringList>

namespace khgl {

class DataStore;

// The per-product stock minimum (table 库存下限: 名称, 下限), the program's own addition.
namespace goods {

// Every product's minimum as text, by name.
QHash<QString, QString> stockMinimums(DataStore& store);

// Sets a product's minimum; an empty text removes it. A minimum must be a number, else
// nothing is written and StoreError says so.
void setStockMinimum(DataStore& store, const QString& name, const QString& minimum);

// The purchased products whose stock (bought minus sold) is at or below their minimum.
QStringList lowStockNames(DataStore& store);

} // namespace goods
} // namespace khgl

#pragma once

#include <QString>

struct sqlite3;

namespace khgl {

// Throws StoreError unless every full index of the six tables in the database on db holds
// the values of its table's rows: a value of an indexed column overwritten in place shows,
// as the engine's full integrity check finds it, by two reads in order (the table's rows,
// then the index) instead of a search of the index for each row (ten times the time on a
// large file). Other values have nothing to be checked against.
void requireIndexesMatchRows(sqlite3* db, const QString& path);

} // namespace khgl

#include "data_store/index_check.h"

#include "data_store/schema.h"
#include "data_store/statement.h"
#include "data_store/store_error.h"

#include <sqlite3.h>

#include <QDir>
#include <QStringList>
#include <cstring>
#include <vector>

namespace khgl {
namespace {

// The FNV-1a hash of bytes, continued from hash.
quint64 mixed(quint64 hash, const void* bytes, size_t length)
{
    const auto* at = static_cast<const unsigned char*>(bytes);
    for (size_t i = 0; i < length; ++i) {
        hash = (hash ^ at[i]) * 0x100000001b3ULL;
    }
    return hash;
}

// khgl_digest(v1, v2, ...): the sum of a hash of each row's values, the same whatever the
// order the rows are read in.
void digestStep(sqlite3_context* context, int count, sqlite3_value** values)
{
    auto* sum = static_cast<quint64*>(sqlite3_aggregate_context(context, sizeof(quint64)));
    if (sum == nullptr) {
        sqlite3_result_error_nomem(context);
        return;
    }
    quint64 hash = 0xcbf29ce484222325ULL;
    for (int i = 0; i < count; ++i) {
        const unsigned char type = static_cast<unsigned char>(sqlite3_value_type(values[i]));
        hash = mixed(hash, &type, 1);
        if (type == SQLITE_INTEGER) {
            const sqlite3_int64 number = sqlite3_value_int64(values[i]);
            hash = mixed(hash, &number, sizeof number);
        } else if (type == SQLITE_FLOAT) {
            const double number = sqlite3_value_double(values[i]);
            hash = mixed(hash, &number, sizeof number);
        } else if (type != SQLITE_NULL) {
            const void* bytes = sqlite3_value_blob(values[i]);
            hash = mixed(hash, bytes, static_cast<size_t>(sqlite3_value_bytes(values[i])));
        }
    }
    *sum += hash;
}

void digestFinal(sqlite3_context* context)
{
    auto* sum = static_cast<quint64*>(sqlite3_aggregate_context(context, 0));
    sqlite3_result_int64(context, sum != nullptr ? static_cast<sqlite3_int64>(*sum) : 0);
}

QString identifier(const QString& name)
{
    return QLatin1Char('"') + QString(name).replace(QLatin1Char('"'), QStringLiteral("\"\"")) +
           QLatin1Char('"');
}

struct FullIndex
{
    QString name;
    QString columns; // quoted, joined by commas
};

// The indexes of table over plain columns and all its rows (no expression, no where).
std::vector<FullIndex> fullIndexes(sqlite3* db, const QString& table)
{
    std::vector<FullIndex> found;
    Statement list(db, QStringLiteral("select name from pragma_index_list(?) where partial=0"));
    list.bind(1, table);
    while (list.step()) {
        FullIndex index{list.value(0).toString(), {}};
        Statement columns(db, QStringLiteral("select cid, name from pragma_index_xinfo(?) "
                                             "where key=1 order by seqno"));
        columns.bind(1, index.name);
        QStringList names;
        bool plain = true;
        while (columns.step()) {
            plain = plain && columns.value(0).toInt() >= 0;
            names << identifier(columns.value(1).toString());
        }
        if (plain && !names.isEmpty()) {
            index.columns = names.join(QLatin1Char(','));
            found.push_back(index);
        }
    }
    return found;
}

QList<QVariant> digests(sqlite3* db, const QString& sql)
{
    Statement read(db, sql);
    QList<QVariant> values;
    if (read.step()) {
        for (int c = 0; c < read.columnCount(); ++c) {
            values << read.value(c);
        }
    }
    return values;
}

} // namespace

void requireIndexesMatchRows(sqlite3* db, const QString& path)
{
    sqlite3_create_function_v2(db, "khgl_digest", -1, SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr,
                               nullptr, &digestStep, &digestFinal, nullptr);
    for (const auto& table : allTables()) {
        const QString name = QString::fromUtf16(table.name);
        const std::vector<FullIndex> indexes = fullIndexes(db, name);
        if (indexes.empty()) {
            continue;
        }
        // One read of the rows for all the table's indexes.
        QStringList columns;
        for (const FullIndex& index : indexes) {
            columns << QStringLiteral("khgl_digest(%1)").arg(index.columns);
        }
        const QList<QVariant> fromRows =
            digests(db, QStringLiteral("select count(*), %1 from %2 not indexed")
                            .arg(columns.join(QLatin1Char(',')), identifier(name)));
        for (size_t i = 0; i < indexes.size(); ++i) {
            const QList<QVariant> fromIndex = digests(
                db, QStringLiteral("select count(*), khgl_digest(%1) from %2 indexed by %3")
                        .arg(indexes[i].columns, identifier(name), identifier(indexes[i].name)));
            if (fromIndex.size() != 2 ||
                fromRows.size() != static_cast<qsizetype>(indexes.size()) + 1 ||
                fromIndex[0] != fromRows[0] || fromIndex[1] != fromRows[i + 1]) {
                throw StoreError(QStringLiteral("“%1”已损坏，请换用其他备份（%2的索引%3与表中的"
                                                "内容不符）。")
                                     .arg(QDir::toNativeSeparators(path), name, indexes[i].name));
            }
        }
    }
}

} // namespace khgl

#include "data_store/keyset_pages.h"

#include "data_store/data_store.h"

#include <algorithm>
#include <iterator>

namespace khgl {

KeysetPages::KeysetPages(DataStore& store, KeysetQuery query)
    : m_store(store), m_query(std::move(query))
{
}

QString KeysetPages::from() const
{
    return QStringLiteral(" from ") + m_query.table;
}

// The condition followed by " and ", or " where " alone, ready for a key bound.
QString KeysetPages::andWhere() const
{
    return m_query.where.isEmpty()
               ? QStringLiteral(" where ")
               : QStringLiteral(" where (") + m_query.where + QStringLiteral(") and ");
}

int KeysetPages::count()
{
    if (!m_count && m_query.where.isEmpty()) {
        if (const auto figures = m_store.keptFigures(m_query.table)) {
            m_count = static_cast<int>(figures->rows);
        }
    }
    if (!m_count) {
        const QString where =
            m_query.where.isEmpty() ? QString() : QStringLiteral(" where ") + m_query.where;
        const RecordSet set =
            m_store.select(QStringLiteral("select count(*)") + from() + where, m_query.params);
        m_count = static_cast<int>(set.valueAt(0, 0).toLongLong());
    }
    return *m_count;
}

// The key of the row just before row (nothing for row 0: the listing starts there). Walks
// from the nearest known row, forward or backward from the end, remembering checkpoints.
std::optional<qint64> KeysetPages::keyBefore(int row)
{
    const int target = row - 1;
    if (target < 0) {
        return std::nullopt;
    }
    if (const auto exact = m_known.find(target); exact != m_known.end()) {
        return exact->second;
    }
    const int total = count();
    const auto above = m_known.upper_bound(target);
    const int belowRow = above == m_known.begin() ? -1 : std::prev(above)->first;
    const int aboveRow = above == m_known.end() ? total : above->first;
    const bool forward = target - belowRow <= aboveRow - target;
    QVariantList params = m_query.params;
    QString sql = QStringLiteral("select rowid") + from();
    int steps = 0;
    int row0 = 0;
    if (forward) {
        if (belowRow >= 0) {
            sql += andWhere() + QStringLiteral("rowid > ?");
            params << std::prev(above)->second;
        } else if (!m_query.where.isEmpty()) {
            sql += QStringLiteral(" where ") + m_query.where;
        }
        sql += QStringLiteral(" order by rowid");
        steps = target - belowRow;
        row0 = belowRow + 1;
    } else {
        if (aboveRow < total) {
            sql += andWhere() + QStringLiteral("rowid < ?");
            params << above->second;
        } else if (!m_query.where.isEmpty()) {
            sql += QStringLiteral(" where ") + m_query.where;
        }
        sql += QStringLiteral(" order by rowid desc");
        steps = aboveRow - target;
        row0 = aboveRow - 1;
    }
    std::optional<qint64> found;
    if (!m_store.streamsRows()) {
        // An engine that sends the whole answer would send every key walked over; it skips
        // them itself instead.
        sql += QStringLiteral(" limit 1 offset ?");
        params << steps - 1;
        m_store.scanKeys(sql, params, [&found](qint64 key) {
            found = key;
            return false;
        });
        if (found) {
            m_known.emplace(target, *found);
        }
        return found;
    }
    int walked = 0;
    m_store.scanKeys(sql, params, [&](qint64 key) {
        const int at = forward ? row0 + walked : row0 - walked;
        ++walked;
        if (at % kCheckpointRows == 0) {
            m_known.emplace(at, key);
        }
        if (walked == steps) {
            found = key;
            m_known.emplace(target, key);
            return false;
        }
        return true;
    });
    return found;
}

RecordSet KeysetPages::rows(int first, int n)
{
    const std::optional<qint64> before = keyBefore(first);
    if (first > 0 && !before) {
        return {};
    }
    QVariantList params = m_query.params;
    QString sql =
        QStringLiteral("select rowid, ") + m_query.columns.join(QStringLiteral(", ")) + from();
    if (before) {
        sql += andWhere() + QStringLiteral("rowid > ?");
        params << *before;
    } else if (!m_query.where.isEmpty()) {
        sql += QStringLiteral(" where ") + m_query.where;
    }
    sql += QStringLiteral(" order by rowid limit ?");
    params << n;
    RecordSet set = m_store.selectKeyed(sql, params);
    // The block's last key finds the block below it without a walk.
    if (set.recordCount() > 0) {
        m_known.emplace(first + set.recordCount() - 1, set.rowKeyAt(set.recordCount() - 1));
    }
    return set;
}

void KeysetPages::removed(int row)
{
    std::map<int, qint64> known;
    for (const auto& [at, key] : m_known) {
        if (at != row) {
            known.emplace_hint(known.end(), at < row ? at : at - 1, key);
        }
    }
    m_known = std::move(known);
    m_count = std::max(0, count() - 1);
}

} // namespace khgl

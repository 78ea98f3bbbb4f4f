#pragma once

#include "data_store/record_set.h"

#include <QList>
#include <QStringList>
#include <utility>

namespace khgl::test {

// Rows as one text each, the columns joined by '|': a table's rows compare in one line.
inline QStringList joinedRows(const QList<QStringList>& rows)
{
    QStringList joined;
    for (const QStringList& row : rows) {
        joined << row.join(u'|');
    }
    return joined;
}

// Every row of a record set, each column as text.
inline QList<QStringList> rowsOf(RecordSet set)
{
    QList<QStringList> rows;
    for (set.moveFirst(); !set.eof(); set.moveNext()) {
        QStringList row;
        for (int c = 0; c < set.fieldCount(); ++c) {
            row << set.text(c);
        }
        rows << row;
    }
    return rows;
}

inline QStringList joinedRows(RecordSet set)
{
    return joinedRows(rowsOf(std::move(set)));
}

// A '|'-separated list written as one literal; empty gives no rows.
inline QStringList split(const QString& text, QChar separator = u'|')
{
    return text.isEmpty() ? QStringList() : text.split(separator);
}

inline QStringList split(const char* text, QChar separator = u'|')
{
    return split(QString::fromUtf8(text), separator);
}

} // namespace khgl::test

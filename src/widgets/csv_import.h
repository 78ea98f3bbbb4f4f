#pragma once

#include "data_store/values.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <vector>

namespace khgl {

// A CSV file read for import: its header row and its data rows, each with the line of the
// file it starts on. Rows that hold nothing are left out.
struct CsvTable
{
    QStringList header;
    std::vector<QStringList> rows;
    std::vector<int> lines;
};

// The largest file an import reads, and the longest field it reads, in UTF-16 units: twice
// the most a value may take (two units a character), so a field beyond it refuses the file;
// a shorter field too long for a value refuses only its row.
inline constexpr qint64 kCsvImportMaxBytes = qint64{64} << 20;
inline constexpr qsizetype kCsvImportMaxField = 4 * kMaxStoredCharacters;

// Reads a CSV file (RFC 4180 quoting; comma, semicolon or tab, chosen from the header line;
// valid UTF-8, with or without BOM, is UTF-8, anything else GB18030). Throws StoreError with
// an operator message when the file is too large, not text, or not well formed.
CsvTable readCsvFile(const QString& path);
// The same for the bytes of a file; name is what a message calls it.
CsvTable parseCsv(const QByteArray& bytes, const QString& name);

// A field as it was before the export put an apostrophe before a formula-like text.
QString unguardedCsvText(const QString& text);

} // namespace khgl

#pragma once

#include <QString>
#include <QStringView>
#include <functional>
#include <string>
#include <string_view>

namespace khgl {

class RecordGrid;

enum class CsvEncoding
{
    Utf8WithBom, // what common spreadsheet programs open correctly without asking
    Gb18030
};

// True when a spreadsheet would run text as a formula: it starts with =, +, - or @ or their
// full-width forms, also after blanks, tabs or line breaks; a plain number such as -2.5 is
// not. Such a text is written with a leading apostrophe, which an import takes off again.
bool needsFormulaGuard(QStringView text);

// Appends one field to a CSV line (RFC 4180): a field holding a comma, a quote or a line
// break is quoted with its quotes doubled; a field that needsFormulaGuard gets a leading
// apostrophe.
void appendCsvField(std::string& line, std::string_view utf8);

// True for a text a spreadsheet would run as a formula: the texts the export guards, the
// Excel export writes as plain strings and the import takes the guard off again.
bool isFormulaLike(std::string_view utf8);

// Called now and then with the rows written so far; returning false stops the export and
// leaves any existing file as it was.
using CsvProgress = std::function<bool(int done, int total)>;

// Writes what the grid shows (the header row, then every data row; columns 1 .. cols-1, as
// column 0 is the narrow column without text) to path, atomically: the file is either the
// whole new export or untouched. Throws StoreError with an operator message on failure;
// returns false when progress cancelled.
bool writeGridCsv(const RecordGrid& grid, const QString& path, CsvEncoding encoding,
                  const CsvProgress& progress = {});

} // namespace khgl

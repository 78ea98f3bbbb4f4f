#pragma once

#include "data_store/values.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <exception>
#include <functional>

namespace khgl {

// The largest file an import reads, and the longest field it reads, in characters as the
// operator sees them: twice what a value may hold, so a field beyond it refuses the file
// while a shorter one too long to store refuses only its row, naming its column.
inline constexpr qint64 kCsvImportMaxBytes = qint64{64} << 20;
inline constexpr qsizetype kCsvImportMaxField = 2 * kMaxStoredCharacters;

// Told how far a long step has come (done of total); answers false to stop it.
using ImportProgress = std::function<bool(qint64 done, qint64 total)>;

// Thrown when the operator stopped a read or an import: nothing was written.
class ImportCancelled final : public std::exception
{
public:
    const char* what() const noexcept override { return "import cancelled"; }
};

// The bytes of a CSV file, ready to be read a row at a time: valid UTF-8 (with or without
// BOM) is UTF-8, anything else GB18030; the separator (comma, semicolon or tab) is the one the
// header line uses most outside quotes.
struct CsvText
{
    QByteArray bytes;
    QString name; // what a message calls the file
    qsizetype start = 0;
    bool gb18030 = false;
    char separator = ',';
};

// Throws StoreError with an operator message when the bytes are too many, not text, or in
// neither encoding; ImportCancelled when progress says stop.
CsvText csvText(QByteArray bytes, const QString& name, const ImportProgress& progress = {});

// The bytes of a file to import. Only a regular file is read, opened without waiting, so a
// pipe, a device or a folder is refused at once, as is a file over kCsvImportMaxBytes.
QByteArray readCsvBytes(const QString& path, const ImportProgress& progress = {});

// The rows of a CSV text in order, one at a time, so a file of any length needs no more memory
// than its longest row: RFC 4180 fields and records; a quote inside an unquoted field is taken
// as it is, and text after a closing quote is added to the field, as spreadsheet programs read
// such files. Rows that hold nothing are left out.
class CsvReader final
{
public:
    explicit CsvReader(const CsvText& text);
    ~CsvReader();
    CsvReader(const CsvReader&) = delete;
    CsvReader& operator=(const CsvReader&) = delete;

    // The first row, each name trimmed; throws StoreError when the text holds no row.
    QStringList header();
    // The next row and the file line it starts on; false after the last. Throws StoreError
    // for an unclosed quote, a field over kCsvImportMaxField or a control character.
    bool next(QStringList& row, int& line);
    // Where the next row starts, to come back to it with seek.
    qsizetype position() const { return m_at; }
    int line() const { return m_line; }
    void seek(qsizetype position, int line);

private:
    void readRow(QStringList& row);
    void add(char c);
    void endField(QStringList& row);
    QString decoded() const;

    const CsvText& m_text;
    void* m_gb18030 = nullptr; // the C library's converter, for GB18030 texts
    QByteArray m_field;
    qsizetype m_at;
    int m_line = 1;
};

// A field as it was before the export put an apostrophe before a formula-like text.
QString unguardedCsvText(const QString& text);

} // namespace khgl

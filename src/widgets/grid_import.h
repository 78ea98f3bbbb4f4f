#pragma once

#include "widgets/csv_import.h"

#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <vector>

namespace khgl {

class DataStore;

// A column a grid's import takes, named by the header its export writes.
struct ImportColumn
{
    QString header;
    bool required = false; // an empty cell makes the row bad; a file without it is refused
    bool taken = true;     // false: shown by the grid, counted anew on save (编号): not read
};

// Hands an import's rows one at a time (in columns() order): false after the last. It throws
// to stop the import, which then writes nothing.
using ImportFeed = std::function<bool(QStringList& row)>;

// Hands the items of a list one at a time, as the appends that take a feed want them.
template <typename T> std::function<bool(T&)> feedOf(const std::vector<T>& items)
{
    return [&items, at = size_t{0}](T& item) mutable {
        if (at == items.size()) {
            return false;
        }
        item = items[at++];
        return true;
    };
}

// What a page hands its grid's menu so that a CSV file can be brought into its table; each
// area implements it over its records module.
class GridImporter
{
public:
    virtual ~GridImporter() = default;

    virtual std::vector<ImportColumn> columns() const = 0;
    // The problems of one row, its texts in columns() order ("" for a column the file lacks),
    // each a short sentence; none when the row is good. Required cells are checked before.
    // Called on the import's own thread too: it reads nothing but the row.
    virtual QStringList check(const QStringList& row) const = 0;
    // Writes the rows the feed hands over all in one transaction or none.
    virtual void write(const ImportFeed& feed) = 0;
    // The store write() writes to: the windows do not reach it while an import writes.
    virtual DataStore& store() const = 0;

    void save(const std::vector<QStringList>& rows);
};

// The rules the entry windows apply, for GridImporter::check.
namespace import_check {
void number(QStringList& problems, const QString& header, const QString& text);
void date(QStringList& problems, const QString& header, const QString& text);
void length(QStringList& problems, const QString& header, const QString& text, qsizetype most);
} // namespace import_check

// One row of a file as the importer takes it.
struct ImportRow
{
    QStringList cells; // in the order of the importer's columns, the export's guard taken off
    int line = 0;      // the file line the row starts on
    bool good = true;
    QString problems; // what makes the row bad, when asked for
};

// A CSV text matched to an importer's columns, read and checked a row at a time.
class ImportReader final
{
public:
    // Throws StoreError naming a required column the file lacks, a column named twice, or an
    // empty file.
    ImportReader(const CsvText& text, const GridImporter& importer);
    ~ImportReader();

    const QStringList& headers() const { return m_headers; }
    const QStringList& unknown() const { return m_unknown; }
    // False after the last row; throws StoreError for a file that is not well formed.
    // Unless explain, a bad row's problems may be left out.
    bool next(ImportRow& row, bool explain = true);
    qsizetype position() const;
    int line() const;
    void seek(qsizetype position, int line);

private:
    const GridImporter& m_importer;
    std::vector<ImportColumn> m_columns;
    std::unique_ptr<CsvReader> m_reader;
    QStringList m_headers;         // the importer's columns
    QStringList m_unknown;         // the file's columns no one takes, ignored
    std::vector<qsizetype> m_from; // the file column of each importer column, -1 for none
    qsizetype m_fileColumns = 0;
    QStringList m_fields;
};

// A whole file read and checked before anything is written: the counts, which rows are bad,
// and where every block of rows starts, so that a view can read any of them again. Nothing
// else of the rows is kept, so a file of millions of rows fits in little memory.
struct ImportPlan
{
    static constexpr int kBlockRows = 256;
    struct Mark
    {
        qsizetype position = 0;
        int line = 1;
    };

    std::shared_ptr<const CsvText> text;
    QStringList headers;
    QStringList unknown;
    int rows = 0;
    int good = 0;
    std::vector<bool> bad;   // per row
    std::vector<Mark> marks; // where rows 0, kBlockRows, 2 * kBlockRows ... start
};

// Reads the whole text through an ImportReader; throws as it does, or ImportCancelled when
// progress says stop.
ImportPlan planImport(std::shared_ptr<const CsvText> text, const GridImporter& importer,
                      const ImportProgress& progress = {});

// Writes the plan's good rows through the importer, read again from its text: all in one
// transaction or none (ImportCancelled when progress says stop).
void writeGoodRows(const ImportPlan& plan, GridImporter& importer,
                   const ImportProgress& progress = {});

} // namespace khgl

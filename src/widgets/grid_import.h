#pragma once

#include <QString>
#include <QStringList>
#include <vector>

namespace khgl {

struct CsvTable;

// A column a grid's import takes, named by the header its export writes.
struct ImportColumn
{
    QString header;
    bool required = false; // an empty cell makes the row bad; a file without it is refused
    bool taken = true;     // false: shown by the grid, counted anew on save (编号): not read
};

// What a page hands its grid's menu so that a CSV file can be brought into its table; each
// area implements it over its records module.
class GridImporter
{
public:
    virtual ~GridImporter() = default;

    virtual std::vector<ImportColumn> columns() const = 0;
    // The problems of one row, its texts in columns() order ("" for a column the file lacks),
    // each a short sentence; none when the row is good. Required cells are checked before.
    virtual QStringList check(const QStringList& row) const = 0;
    // Writes the good rows all in one transaction or none, then shows them on the page.
    virtual void save(const std::vector<QStringList>& rows) = 0;
};

// The rules the entry windows apply, for GridImporter::check.
namespace import_check {
void number(QStringList& problems, const QString& header, const QString& text);
void date(QStringList& problems, const QString& header, const QString& text);
void length(QStringList& problems, const QString& header, const QString& text, qsizetype most);
} // namespace import_check

// A CSV file matched to an importer's columns and checked row by row.
struct ImportPlan
{
    QStringList headers;           // the importer's columns
    QStringList unknown;           // the file's columns no one takes, ignored
    std::vector<QStringList> rows; // in the order of headers, the export's guard taken off
    std::vector<int> lines;        // the file line each row starts on
    std::vector<QString> problems; // per row, empty when good
    int good = 0;

    std::vector<QStringList> goodRows() const;
};

// Throws StoreError naming a required column the file lacks, or a column named twice.
ImportPlan planImport(const CsvTable& table, const GridImporter& importer);

} // namespace khgl

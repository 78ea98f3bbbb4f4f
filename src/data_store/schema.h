#pragma once

#include <QString>
#include <QStringList>
#include <span>

namespace khgl {

// How the store treats a column's values.
enum class ColumnKind
{
    Text,     // free text, compared without case and trailing blanks
    LongText, // multi-line text, compared like Text
    Number,   // decimal number written from text that must parse
    Money,    // a number that is a sum of money
    Integer,  // whole number written by the program itself
    Date,     // calendar date, written as 2024-5-6, read back as 2024-05-06
    DateText, // a date kept as the text typed (2024-5-6)
    TimeText, // a time of day kept as text (9时5分)
};

struct ColumnDef
{
    const char16_t* name;
    ColumnKind kind;
};

struct TableDef
{
    const char16_t* name;
    std::span<const ColumnDef> columns;
};

// The six tables, columns in table order.
std::span<const TableDef> allTables();
const TableDef* findTable(const QString& name);
const ColumnDef* findColumn(const TableDef& table, const QString& column);

// The names of a table's columns in table order (empty for no such table). Pages find a
// record's values by these names, never by position.
QStringList columnNames(const QString& table);

// The statement that creates a table (used for a new file only).
QString createTableSql(const TableDef& table);

// Indexes no query names but some listings need for speed. Each statement says
// "if not exists": they run on a new file and on every file opened, so older files get them.
std::span<const char16_t* const> indexStatements();

// Tables of the program's own beyond the six (the per-product stock minimum 库存下限):
// created when missing, in a new file and in every file opened, so a file without them opens
// as before. Clearing and formatting leave them alone; backup and restore carry their rows
// together with the six.
struct OwnTableDef
{
    const char16_t* name;
    const char16_t* createSql; // "create table if not exists ..."
    const char16_t* columns;   // the column list a restore copies
};
std::span<const OwnTableDef> ownTables();
// The create statement of one of them for a PostgreSQL server: text there is "bpchar" under
// the server's text collation, as in the six tables.
QString serverCreateSql(const OwnTableDef& table);

// Everything a PostgreSQL database needs before it holds a shop: the text collation and the
// functions the query texts call, the six tables (each with a row key column "rowid"),
// this program's own tables and the indexes. Run in order, in one transaction, on an empty
// database.
QStringList serverSchemaStatements();
// The program's own functions (schema khgl_own): str(), total() and fold(), the key names are
// compared by.
QStringList serverFunctionStatements();
// Brings a database made by an earlier version to the same functions and name indexes.
QStringList serverUpgradeStatements();

// The collation that text columns use.
inline constexpr const char* kTextCollation = "KHGL_TEXT";
// Marks files written by this program ("KHGL" in ASCII).
inline constexpr int kApplicationId = 0x4B48474C;

} // namespace khgl

#pragma once

#include <QString>
#include <QStringList>
#include <QtGlobal>
#include <span>

namespace khgl {

// The row counts of 进货表, 销售表 and 客户表 and the sums of 总金额 of the first two, kept in
// the program's own table 表合计 by triggers, so a page shows them without reading a long
// table. A file's triggers are dropped and created on every open, and a table is recounted when
// the program cannot be sure nothing else wrote to it since it last closed the file; a server's
// are made once per version of the program's objects there. The table is never copied by a
// backup's restore, which recounts instead.
namespace kept_figures {

// A sum is kept in whole ten-thousandths, exactly; what a value holds beyond them (a value with
// more decimals, or one the server keeps exactly) is summed apart in rest.
inline constexpr qint64 kUnitsPerYuan = 10000;

struct Figures
{
    qint64 rows = 0;
    qint64 units = 0;
    double rest = 0;
    double total() const { return static_cast<double>(units) / kUnitsPerYuan + rest; }
};

// The tables whose figures are kept.
std::span<const char16_t* const> tables();

// The statements that create the table of figures and (again) the triggers, for a file.
QStringList fileStatements();
// The same for a server: the table, the trigger functions and the statement triggers (in place
// of the row triggers of earlier versions).
QStringList serverStatements();

// Counts a table afresh: one row of (表名, 行数, 金额, 零头) for "insert or replace" (file)
// or "insert ... on conflict" (server) into 表合计.
QString recountSql(const QString& table, bool server);
// The server's recount of table, after a lock that lets the table's writers in flight finish
// and keeps new ones out until the commit: a writer that does not take the program's own lock
// (another program, an older desk) cannot slip between the count and the figures.
QStringList serverRecount(const QString& table);

// Reads one table's figures (the table name bound to ?).
inline constexpr const char* kReadSql = "select 行数, 金额, 零头 from 表合计 where 表名=?";

// The name of the row that marks a file closed by this program with its figures true: its
// 行数 is the file's change counter at that close.
inline constexpr const char* kClosedMark = "关闭时";

} // namespace kept_figures
} // namespace khgl

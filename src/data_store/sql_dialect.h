#pragma once

#include <QString>

struct sqlite3;

namespace khgl {

// Rewrites the query dialect the pages write into what SQLite parses: "left(" outside string
// literals becomes a call of the quoted function name, since SQLite reads LEFT as a join.
QString rewriteQuery(const QString& sql);

// Rewrites the same query texts for a PostgreSQL server: "?" marks outside string literals
// become $1, $2, ...; "*" of a listing of one of the six tables becomes its columns (the
// server's row key column is not one of them); "x like" becomes a case-blind match on x's
// characters ("like" cannot use the text collation there); last_insert_rowid() becomes
// lastval(); a text column after "order by" sorts by its lower-case characters, as
// compareText orders; a name column compared with "=" (and its operand), tested with
// "in (select name ...)" or grouped goes by its key khgl_own.fold(), so names are equal
// exactly when compareText says so; str() and total() are the program's own (khgl_own).
QString serverQuery(const QString& sql);

// Registers the text collation and the functions left() and str() on a connection. The same
// code, built as the loadable extension khgl_text, gives them to other SQLite programs.
void registerDialect(sqlite3* db);

// The collation's comparison: trailing blanks ignored, letters compared without case.
int compareText(const char* a, int aLength, const char* b, int bLength);

} // namespace khgl

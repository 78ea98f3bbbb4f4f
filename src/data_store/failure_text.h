#pragma once

#include <QString>

struct sqlite3;

namespace khgl {

// Chinese sentences for the usual reasons a file cannot be read or written, each saying what
// the operator can do. The system's own wording follows in brackets for whoever helps them.

// The reason for a failed system call on path (errno value error).
QString fileFailureText(int error, const QString& path = {});

// The reason for SQLite's last failure on db (the engine's text and errno in brackets).
QString engineFailureText(sqlite3* db);

// Why a file at path cannot be opened for writing when the system gave no reason: a
// read-only folder or file, or a folder the program may not enter. Empty when none applies.
QString writeAccessProblem(const QString& path);

// A server's refusal for lack of a right (its primary message, as "permission denied for
// sequence x"), for the statement sql: which right on which object the account lacks.
QString missingRightText(const QString& primary, const QString& sql);

} // namespace khgl

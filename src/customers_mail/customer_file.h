#pragma once

#include <QString>

namespace khgl {

// The description file the customer page writes for each customer: one text file per
// customer name in a directory beside the database. Nothing in the program reads it back.
namespace customer_file {

// The application folder's path text followed directly by "customers" (no separator).
QString directory(const QString& folder);
// A file name for a customer that cannot leave the directory: separators, control
// characters and leading dots are replaced, and an empty result gets a stand-in name.
QString safeBaseName(const QString& customerName);
QString path(const QString& folder, const QString& customerName);

// Creates the directory when needed and rewrites the file whole, atomically, with the text
// followed by CR LF in the locale's encoding. Returns an operator-readable error, or an
// empty text on success.
QString write(const QString& folder, const QString& customerName, const QString& text);

} // namespace customer_file
} // namespace khgl

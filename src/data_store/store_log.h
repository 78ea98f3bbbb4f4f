#pragma once

#include <QLoggingCategory>

namespace khgl {
// The store's diagnostics for the log file: the engine, the file or server, and each failure
// in the engine's own words (never operator text, never a password).
Q_DECLARE_LOGGING_CATEGORY(storeLog)
} // namespace khgl

#pragma once

#include <QLoggingCategory>

namespace khgl {
// The program's start and stop.
inline Q_LOGGING_CATEGORY(shellLog, "khgl.shell")
} // namespace khgl

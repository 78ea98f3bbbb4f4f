#pragma once

#include <QLoggingCategory>

namespace khgl {
// The widget kit's diagnostics: exports that failed, in the library's own words.
inline Q_LOGGING_CATEGORY(widgetsLog, "khgl.widgets")
} // namespace khgl

#pragma once

#include <QLoggingCategory>

namespace khgl {
// The services' diagnostics: failed commands, the mail transport's refusals (codes only).
inline Q_LOGGING_CATEGORY(platformLog, "khgl.platform")
} // namespace khgl

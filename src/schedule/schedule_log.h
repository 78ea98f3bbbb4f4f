#pragma once

#include <QLoggingCategory>

namespace khgl {
// Reminders: what was read from files and could not be used as written.
inline Q_LOGGING_CATEGORY(scheduleLog, "khgl.schedule")
} // namespace khgl

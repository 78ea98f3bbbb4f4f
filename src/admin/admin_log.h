#pragma once

#include <QLoggingCategory>

namespace khgl {
// Administration's diagnostics; backups and restores, by hand or daily, have their own
// category so a supporter can follow them alone. Paths, sizes, times and causes in technical
// form; never operator text.
inline Q_LOGGING_CATEGORY(adminLog, "khgl.admin") inline Q_LOGGING_CATEGORY(backupLog,
                                                                            "khgl.admin.backup")
} // namespace khgl

#pragma once

#include <QLoggingCategory>

namespace khgl {
// Customers and mail: refused saves by column name, how mail runs ended (counts only).
inline Q_LOGGING_CATEGORY(customersLog, "khgl.customers")
} // namespace khgl

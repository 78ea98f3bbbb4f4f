#pragma once

#include <QLoggingCategory>

namespace khgl {
// Purchases, sales and stock: refused saves, by column name (never the value typed).
inline Q_LOGGING_CATEGORY(goodsLog, "khgl.goods")
} // namespace khgl

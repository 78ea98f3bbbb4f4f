#pragma once

#include <QString>

namespace khgl {

// The value of a text's leading numeric part, as the calculator reads its operands: "1.2.3" is
// 1.2, "05" is 5, "12." is 12, "" and "abc" are 0.
double leadingNumber(const QString& text);

} // namespace khgl

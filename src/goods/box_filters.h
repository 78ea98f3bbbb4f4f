#pragma once

class QLineEdit;

namespace khgl::goods {

// Empties a box whose text is not a number; an empty box stays empty.
void keepOnlyNumber(QLineEdit* box);
// Empties a box whose text is not a date.
void keepOnlyDate(QLineEdit* box);

} // namespace khgl::goods

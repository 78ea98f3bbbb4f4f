#pragma once

class QPlainTextEdit;
class QString;

namespace khgl {

// Keeps a multi-line box quick with any text a value may hold (a megabyte on one line).
// Wrapping at word boundaries looks, on every line, for the end of the word being broken:
// over a run of a million characters without a blank that costs the square of its length
// (minutes). Such a run wraps anywhere instead, as a word longer than the line wraps
// anyway; texts without one keep wrapping at word boundaries.
void keepLongLinesQuick(QPlainTextEdit& box);

// Puts text into such a box, choosing how it wraps before the text is laid out.
void setLongText(QPlainTextEdit& box, const QString& text);

} // namespace khgl

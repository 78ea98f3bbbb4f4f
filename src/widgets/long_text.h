#pragma once

#include <QPlainTextEdit>

namespace khgl {

// A multi-line box that stays quick with any text a value may hold (a megabyte on one line).
// Wrapping at word boundaries looks, on every line, for the end of the word being broken:
// over a run of a million characters without a blank that costs the square of its length
// (minutes). Such a run wraps anywhere instead, as a word longer than the line wraps
// anyway; texts without one keep wrapping at word boundaries. The mode is chosen before a
// text is laid out: by setLongText, by a paste, and as typing makes a run long.
class LongTextEdit final : public QPlainTextEdit
{
    Q_OBJECT

public:
    explicit LongTextEdit(QWidget* parent = nullptr);

    // Puts text into the box, laid out once in the mode it needs.
    void setLongText(const QString& text);

protected:
    void insertFromMimeData(const QMimeData* source) override;

private:
    void contentsChange(int from, int added);
};

} // namespace khgl

#include "widgets/long_text.h"

#include <QMimeData>
#include <QTextBlock>
#include <QTextDocument>

namespace khgl {
namespace {

// Beyond this many characters without a blank, a run is broken anywhere: far longer than
// any word, and short enough that looking for its end on each line costs nothing.
constexpr int kLongestWord = 256;

bool hasLongRun(QStringView text)
{
    int run = 0;
    for (const QChar c : text) {
        run = c.isSpace() ? 0 : run + 1;
        if (run > kLongestWord) {
            return true;
        }
    }
    return false;
}

// The text of the blocks a change touched.
QString changedBlocks(const QTextDocument& document, int from, int added)
{
    const QTextBlock last = document.findBlock(from + added);
    QString text;
    for (QTextBlock block = document.findBlock(from); block.isValid(); block = block.next()) {
        text += block.text();
        text += QLatin1Char('\n');
        if (block == last) {
            break;
        }
    }
    return text;
}

} // namespace

LongTextEdit::LongTextEdit(QWidget* parent) : QPlainTextEdit(parent)
{
    // Told before the document lays the change out.
    connect(document(), &QTextDocument::contentsChange, this,
            [this](int from, int, int added) { contentsChange(from, added); });
}

void LongTextEdit::contentsChange(int from, int added)
{
    // Only a change that adds text switches: a text being replaced is first removed, and the
    // box must not go back to word boundaries just before the new text comes.
    if (added == 0) {
        return;
    }
    const bool anywhere = wordWrapMode() == QTextOption::WrapAnywhere;
    if (!anywhere && hasLongRun(changedBlocks(*document(), from, added))) {
        setWordWrapMode(QTextOption::WrapAnywhere);
    } else if (anywhere && document()->characterCount() <= kLongestWord) {
        setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    }
}

void LongTextEdit::setLongText(const QString& text)
{
    // Emptied first: switching the mode lays the text out again, which must be neither the
    // old text in the new mode nor the new one in the old mode.
    clear();
    setWordWrapMode(hasLongRun(text) ? QTextOption::WrapAnywhere
                                     : QTextOption::WrapAtWordBoundaryOrAnywhere);
    setPlainText(text);
}

void LongTextEdit::insertFromMimeData(const QMimeData* source)
{
    // Switched before the pasted text is laid out (the box's own text is laid out again,
    // once).
    if (source != nullptr && wordWrapMode() != QTextOption::WrapAnywhere &&
        hasLongRun(source->text())) {
        setWordWrapMode(QTextOption::WrapAnywhere);
    }
    QPlainTextEdit::insertFromMimeData(source);
}

} // namespace khgl

#include "widgets/long_text.h"

#include <QPlainTextEdit>
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
    const QTextBlock first = document.findBlock(from);
    const QTextBlock last = document.findBlock(from + added);
    QString text;
    for (QTextBlock block = first; block.isValid(); block = block.next()) {
        text += block.text();
        text += QLatin1Char('\n');
        if (block == last) {
            break;
        }
    }
    return text;
}

} // namespace

void keepLongLinesQuick(QPlainTextEdit& box)
{
    QTextDocument* document = box.document();
    // Told before the document lays out what was typed or pasted, so that is laid out once,
    // in the mode it needs. Only a change that adds text switches: a text being replaced is
    // first removed, and the box must not go back to word boundaries just before the new
    // text comes.
    QObject::connect(document, &QTextDocument::contentsChange, &box,
                     [&box, document](int from, int, int added) {
                         if (added == 0) {
                             return;
                         }
                         const bool anywhere = box.wordWrapMode() == QTextOption::WrapAnywhere;
                         if (!anywhere && hasLongRun(changedBlocks(*document, from, added))) {
                             box.setWordWrapMode(QTextOption::WrapAnywhere);
                         } else if (anywhere && document->characterCount() <= kLongestWord) {
                             box.setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
                         }
                     });
}

void setLongText(QPlainTextEdit& box, const QString& text)
{
    // Emptied first: switching the mode lays the text out again, which must not be the old
    // text in the new mode or the new one in the old mode.
    box.clear();
    box.setWordWrapMode(hasLongRun(text) ? QTextOption::WrapAnywhere
                                         : QTextOption::WrapAtWordBoundaryOrAnywhere);
    box.setPlainText(text);
}

} // namespace khgl

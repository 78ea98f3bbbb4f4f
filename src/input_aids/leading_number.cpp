#include "input_aids/leading_number.h"

namespace khgl {

double leadingNumber(const QString& text)
{
    qsizetype i = 0;
    const qsizetype size = text.size();
    while (i < size && text[i].isSpace()) {
        ++i;
    }
    const qsizetype start = i;
    if (i < size && (text[i] == u'+' || text[i] == u'-')) {
        ++i;
    }
    qsizetype digits = 0;
    for (; i < size && text[i].isDigit(); ++i) {
        ++digits;
    }
    if (i < size && text[i] == u'.') {
        for (++i; i < size && text[i].isDigit(); ++i) {
            ++digits;
        }
    }
    if (digits == 0) {
        return 0.0;
    }
    qsizetype end = i;
    if (i < size && (text[i] == u'E' || text[i] == u'e')) {
        qsizetype j = i + 1;
        if (j < size && (text[j] == u'+' || text[j] == u'-')) {
            ++j;
        }
        if (j < size && text[j].isDigit()) {
            while (j < size && text[j].isDigit()) {
                ++j;
            }
            end = j;
        }
    }
    return text.mid(start, end - start).toDouble();
}

} // namespace khgl

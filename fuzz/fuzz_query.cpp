// rewriteQuery and serverQuery (the dialect the pages write, for SQLite and for a server) and
// the text collation's comparison.
#include "data_store/sql_dialect.h"
#include "fuzz_input.h"

#include <QList>
#include <cstring>
#include <string>

using khgl::compareText;
using khgl::fuzz::check;

namespace {

// Whether a word "left" followed by "(" stands outside every string literal.
bool leftCallOutsideLiterals(const QString& sql)
{
    bool inLiteral = false;
    for (qsizetype i = 0; i < sql.size(); ++i) {
        if (sql[i] == u'\'') {
            inLiteral = !inLiteral;
            continue;
        }
        if (inLiteral || (i > 0 && (sql[i - 1].isLetterOrNumber() || sql[i - 1] == u'_'))) {
            continue;
        }
        if (sql.mid(i, 4).compare(QStringLiteral("left"), Qt::CaseInsensitive) != 0) {
            continue;
        }
        qsizetype j = i + 4;
        while (j < sql.size() && sql[j].isSpace()) {
            ++j;
        }
        if (j < sql.size() && sql[j] == u'(') {
            return true;
        }
    }
    return false;
}

void fuzzRewrite(const QString& sql)
{
    const QString out = khgl::rewriteQuery(sql);
    const QList<QStringView> before = QStringView(sql).split(u'\'');
    const QList<QStringView> after = QStringView(out).split(u'\'');
    check(before.size() == after.size(), "as many quotes after as before", sql);
    for (qsizetype i = 1; i < before.size(); i += 2) {
        check(before[i] == after[i], "text inside quotes is never changed", sql);
    }
    check(!leftCallOutsideLiterals(out), "no left( call is left for SQLite to misread", sql);
    check(khgl::rewriteQuery(out) == out, "rewriting twice changes nothing more", sql);

    // The server's dialect: literals untouched, and no "?" left outside them.
    const QString server = khgl::serverQuery(sql);
    const QList<QStringView> mapped = QStringView(server).split(u'\'');
    check(before.size() == mapped.size(), "as many quotes for the server as before", sql);
    for (qsizetype i = 0; i < mapped.size(); ++i) {
        if (i % 2 == 1) {
            check(before[i] == mapped[i], "text inside quotes reaches the server unchanged", sql);
        } else {
            check(!mapped[i].contains(u'?'), "every ? outside quotes becomes $n", sql);
        }
    }
}

int sign(int order)
{
    return order < 0 ? -1 : (order > 0 ? 1 : 0);
}

// Three byte strings, split at NUL bytes, compared pairwise as SQLite would.
void fuzzCompare(const std::uint8_t* data, std::size_t size)
{
    std::string parts[3];
    int part = 0;
    for (std::size_t i = 0; i < size; ++i) {
        if (data[i] == 0 && part < 2) {
            ++part;
        } else {
            parts[part] += static_cast<char>(data[i]);
        }
    }
    const auto compare = [](const std::string& a, const std::string& b) {
        const int order =
            compareText(a.data(), static_cast<int>(a.size()), b.data(), static_cast<int>(b.size()));
        return order;
    };
    const QString shown =
        QString::fromUtf8(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    for (const std::string& a : parts) {
        check(compare(a, a) == 0, "a text equals itself", shown);
        check(compare(a, a + "   ") == 0, "trailing blanks are not significant", shown);
        for (const std::string& b : parts) {
            const int ab = compare(a, b);
            check(ab >= -1 && ab <= 1, "orders are -1, 0 or 1", shown);
            check(ab == -compare(b, a), "swapping the sides reverses the order", shown);
        }
    }
    // SQLite needs a consistent order for its indexes and sorting. Only for valid UTF-8, the
    // one text the program ever writes: invalid bytes all read as U+FFFD, so two different
    // broken texts can compare equal although the bytes between them do not.
    for (const std::string& text : parts) {
        const QByteArray bytes(text.data(), static_cast<qsizetype>(text.size()));
        if (QString::fromUtf8(bytes).toUtf8() != bytes) {
            return;
        }
    }
    for (int i = 0; i < 3; ++i) {
        for (int j = 0; j < 3; ++j) {
            for (int k = 0; k < 3; ++k) {
                const int ij = sign(compare(parts[i], parts[j]));
                const int jk = sign(compare(parts[j], parts[k]));
                if (ij == jk) {
                    check(sign(compare(parts[i], parts[k])) == ij, "the order is transitive",
                          shown);
                }
            }
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzzRewrite(khgl::fuzz::textFrom(data, size));
    fuzzCompare(data, size);
    return 0;
}

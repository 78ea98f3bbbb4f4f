#include "data_store/sql_dialect.h"

#include "data_store/schema.h"
#include "data_store/values.h"

// Built a second time into the loadable extension (sqlite_extension.cpp), where SQLite's
// functions are reached through the table the loading program hands over.
#ifdef KHGL_SQLITE_EXTENSION
#include <sqlite3ext.h>
SQLITE_EXTENSION_INIT3
#else
#include <sqlite3.h>
#endif

#include <QString>
#include <algorithm>
#include <cstring>

namespace khgl {
namespace {

bool isWordChar(QChar c)
{
    return c.isLetterOrNumber() || c == QLatin1Char('_');
}

int trimmedLength(const char* text, int length)
{
    while (length > 0 && text[length - 1] == ' ') {
        --length;
    }
    return length;
}

int collate(void*, int aLength, const void* a, int bLength, const void* b)
{
    return compareText(static_cast<const char*>(a), aLength, static_cast<const char*>(b), bLength);
}

// Advances past one UTF-8 character.
int utf8Step(unsigned char lead)
{
    if (lead < 0x80) {
        return 1;
    }
    if ((lead >> 5) == 0x6) {
        return 2;
    }
    if ((lead >> 4) == 0xe) {
        return 3;
    }
    return 4;
}

void leftFunction(sqlite3_context* context, int, sqlite3_value** args)
{
    if (sqlite3_value_type(args[0]) == SQLITE_NULL || sqlite3_value_type(args[1]) == SQLITE_NULL) {
        sqlite3_result_null(context);
        return;
    }
    const auto* text = sqlite3_value_text(args[0]);
    const int bytes = sqlite3_value_bytes(args[0]);
    const sqlite3_int64 count = std::max<sqlite3_int64>(0, sqlite3_value_int64(args[1]));
    int end = 0;
    for (sqlite3_int64 taken = 0; taken < count && end < bytes; ++taken) {
        end = std::min(bytes, end + utf8Step(text[end]));
    }
    sqlite3_result_text(context, reinterpret_cast<const char*>(text), end, SQLITE_TRANSIENT);
}

// str() of a date: dates are stored as YYYY-MM-DD already; numbers read as plain text.
void strFunction(sqlite3_context* context, int, sqlite3_value** args)
{
    switch (sqlite3_value_type(args[0])) {
    case SQLITE_NULL:
        sqlite3_result_null(context);
        return;
    case SQLITE_INTEGER:
    case SQLITE_FLOAT: {
        const QVariant number = sqlite3_value_type(args[0]) == SQLITE_INTEGER
                                    ? QVariant(static_cast<qlonglong>(sqlite3_value_int64(args[0])))
                                    : QVariant(sqlite3_value_double(args[0]));
        const QByteArray text = displayText(number).toUtf8();
        sqlite3_result_text(context, text.constData(), static_cast<int>(text.size()),
                            SQLITE_TRANSIENT);
        return;
    }
    default:
        sqlite3_result_value(context, args[0]);
    }
}

// day_key() of a date text: the day it names as yyyymmdd, null when it names none.
void dayKeyFunction(sqlite3_context* context, int, sqlite3_value** args)
{
    if (sqlite3_value_type(args[0]) == SQLITE_NULL) {
        sqlite3_result_null(context);
        return;
    }
    const auto* text = reinterpret_cast<const char*>(sqlite3_value_text(args[0]));
    const qint64 key = dayKeyOf(text, sqlite3_value_bytes(args[0]));
    if (key == kNoDayKey) {
        sqlite3_result_null(context);
    } else {
        sqlite3_result_int64(context, key);
    }
}

} // namespace

int compareText(const char* a, int aLength, const char* b, int bLength)
{
    aLength = trimmedLength(a, aLength);
    bLength = trimmedLength(b, bLength);
    const int common = std::min(aLength, bLength);
    for (int i = 0; i < common; ++i) {
        const auto ca = static_cast<unsigned char>(a[i]);
        const auto cb = static_cast<unsigned char>(b[i]);
        if (ca == cb) {
            continue;
        }
        if (ca >= 0x80 || cb >= 0x80) {
            // Letters beyond ASCII: let Qt fold their case.
            const int order = QString::compare(QString::fromUtf8(a, aLength),
                                               QString::fromUtf8(b, bLength), Qt::CaseInsensitive);
            return order < 0 ? -1 : (order > 0 ? 1 : 0);
        }
        const int la = (ca >= 'A' && ca <= 'Z') ? ca + 32 : ca;
        const int lb = (cb >= 'A' && cb <= 'Z') ? cb + 32 : cb;
        if (la != lb) {
            return la < lb ? -1 : 1;
        }
    }
    return aLength == bLength ? 0 : (aLength < bLength ? -1 : 1);
}

QString rewriteQuery(const QString& sql)
{
    QString out;
    out.reserve(sql.size() + 8);
    bool inLiteral = false;
    for (qsizetype i = 0; i < sql.size(); ++i) {
        const QChar c = sql[i];
        if (c == QLatin1Char('\'')) {
            inLiteral = !inLiteral;
        } else if (!inLiteral && (i == 0 || !isWordChar(sql[i - 1])) &&
                   sql.mid(i, 4).compare(QStringLiteral("left"), Qt::CaseInsensitive) == 0) {
            qsizetype j = i + 4;
            while (j < sql.size() && sql[j].isSpace()) {
                ++j;
            }
            if (j < sql.size() && sql[j] == QLatin1Char('(')) {
                out += QStringLiteral("\"left\"(");
                i = j;
                continue;
            }
        }
        out += c;
    }
    return out;
}

namespace {

QString wordAt(const QString& sql, qsizetype i)
{
    qsizetype j = i;
    while (j < sql.size() && isWordChar(sql[j])) {
        ++j;
    }
    return sql.mid(i, j - i);
}

qsizetype skipSpaces(const QString& sql, qsizetype i)
{
    while (i < sql.size() && sql[i].isSpace()) {
        ++i;
    }
    return i;
}

// The word before position i, skipping blanks (empty when a symbol comes first).
QString wordBefore(const QString& sql, qsizetype i)
{
    qsizetype j = i;
    while (j > 0 && sql[j - 1].isSpace()) {
        --j;
    }
    qsizetype start = j;
    while (start > 0 && isWordChar(sql[start - 1])) {
        --start;
    }
    return sql.mid(start, j - start);
}

// The columns "*" stands for in "select * from <table>", or empty text.
QString starColumns(const QString& sql, qsizetype star)
{
    const QString before = wordBefore(sql, star);
    qsizetype j = star;
    while (j > 0 && sql[j - 1].isSpace()) {
        --j;
    }
    if (before.compare(QStringLiteral("select"), Qt::CaseInsensitive) != 0 &&
        !(j > 0 && sql[j - 1] == QLatin1Char(','))) {
        return {};
    }
    qsizetype k = skipSpaces(sql, star + 1);
    if (wordAt(sql, k).compare(QStringLiteral("from"), Qt::CaseInsensitive) != 0) {
        return {};
    }
    k = skipSpaces(sql, k + 4);
    return columnNames(wordAt(sql, k)).join(QStringLiteral(", "));
}

// A column the text collation compares (dates of kind Date compare as plain bytes).
bool isCollatedColumn(const QString& name)
{
    for (const auto& table : allTables()) {
        for (const auto& column : table.columns) {
            if (column.kind != ColumnKind::Number && column.kind != ColumnKind::Money &&
                column.kind != ColumnKind::Integer && column.kind != ColumnKind::Date &&
                name == QString::fromUtf16(column.name)) {
                return true;
            }
        }
    }
    return false;
}

// A name column: compared by the folded key on a server (dates and times are typed by the
// program's own calendar and compare as they are, so their indexes still serve).
bool isNameColumn(const QString& name)
{
    for (const auto& table : allTables()) {
        for (const auto& column : table.columns) {
            if ((column.kind == ColumnKind::Text || column.kind == ColumnKind::LongText) &&
                name == QString::fromUtf16(column.name)) {
                return true;
            }
        }
    }
    return false;
}

QString folded(const QString& operand)
{
    return QStringLiteral("khgl_own.fold(") + operand + QStringLiteral(") collate \"C\"");
}

bool comparedNext(const QString& sql, qsizetype i)
{
    const qsizetype k = skipSpaces(sql, i);
    return k < sql.size() && sql[k] == QLatin1Char('=') &&
           (k + 1 >= sql.size() || sql[k + 1] != QLatin1Char('='));
}

// Where the reader of a query is, for the names it meets.
struct QueryState
{
    int marks = 0;
    int depth = 0;              // parentheses open
    int orderDepth = -1;        // the depth of the "order by" being read, or -1
    int groupDepth = -1;        // the same for "group by"
    int inSelectDepth = -1;     // "name in (select name ...)": the depth of that select list
    bool foldOperand = false;   // the operand after "name =" is folded too
    bool assigning = false;     // between "set" and "where" of an update
    bool literalFolded = false; // inside the folded literal of "name = 'text'"
};

// The column word at i with its table prefix ("m."), which is taken back out of out.
QString takeQualified(const QString& sql, qsizetype i, QString& out)
{
    const QString word = wordAt(sql, i);
    const QString owner = i > 1 && sql[i - 1] == QLatin1Char('.') && isWordChar(sql[i - 2])
                              ? wordBefore(sql, i - 1) + QLatin1Char('.')
                              : QString();
    if (owner.isEmpty() || !out.endsWith(owner)) {
        return word;
    }
    out.chop(owner.size());
    return owner + word;
}

bool inSelectFollows(const QString& sql, qsizetype after)
{
    const qsizetype in = skipSpaces(sql, after);
    if (wordAt(sql, in).compare(QStringLiteral("in"), Qt::CaseInsensitive) != 0) {
        return false;
    }
    const qsizetype open = skipSpaces(sql, in + 2);
    return open < sql.size() && sql[open] == QLatin1Char('(') &&
           wordAt(sql, skipSpaces(sql, open + 1))
                   .compare(QStringLiteral("select"), Qt::CaseInsensitive) == 0;
}

// Rewrites one name column (qualified or not) of a server query where it is compared or
// grouped; false leaves it to the other rules.
bool rewriteName(const QString& sql, qsizetype& i, QString& out, QueryState& state)
{
    const QString word = wordAt(sql, i);
    const qsizetype after = i + word.size();
    if (state.assigning || state.orderDepth >= 0 || !isNameColumn(word)) {
        return false;
    }
    const bool compared = comparedNext(sql, after);
    if (state.groupDepth == state.depth) {
        // Grouped by the column and its key: the rows of one key form one group, and the
        // column itself may still be listed.
        const QString operand = takeQualified(sql, i, out);
        out += operand + QStringLiteral(", ") + folded(operand);
    } else if (state.foldOperand || compared || state.inSelectDepth == state.depth) {
        out += folded(takeQualified(sql, i, out));
        state.foldOperand = compared;
        state.inSelectDepth = -1;
    } else if (inSelectFollows(sql, after)) {
        out += folded(takeQualified(sql, i, out));
        state.inSelectDepth = state.depth + 1;
    } else {
        return false;
    }
    i = after - 1;
    return true;
}

// The program's own functions live in its own schema: other programs' str() or total() in
// the same database stay theirs.
bool isOwnFunction(const QString& sql, const QString& word, qsizetype after)
{
    const qsizetype k = skipSpaces(sql, after);
    return k < sql.size() && sql[k] == QLatin1Char('(') &&
           (word.compare(QStringLiteral("str"), Qt::CaseInsensitive) == 0 ||
            word.compare(QStringLiteral("total"), Qt::CaseInsensitive) == 0 ||
            word.compare(QStringLiteral("day_key"), Qt::CaseInsensitive) == 0);
}

// Rewrites the word starting at i and moves i to its last character.
void rewriteWord(const QString& sql, qsizetype& i, QString& out, QueryState& state)
{
    const QString word = wordAt(sql, i);
    const qsizetype after = i + word.size();
    const auto is = [&](const char* keyword) {
        return word.compare(QLatin1String(keyword), Qt::CaseInsensitive) == 0;
    };
    const bool byNext =
        wordAt(sql, skipSpaces(sql, after)).compare(QStringLiteral("by"), Qt::CaseInsensitive) == 0;
    if (is("like")) {
        out += QStringLiteral(" collate \"C\" ilike");
    } else if (is("last_insert_rowid")) {
        out += QStringLiteral("lastval");
    } else if (isOwnFunction(sql, word, after)) {
        out += QStringLiteral("khgl_own.") + word.toLower();
    } else if (rewriteName(sql, i, out, state)) {
        return;
    } else if (state.orderDepth >= 0 && isCollatedColumn(word)) {
        // Sorted as the file sorts it: letters folded, then by characters (ICU's own order
        // puts punctuation before digits and letters).
        out += QStringLiteral("lower(") + takeQualified(sql, i, out) +
               QStringLiteral("::text collate \"und-x-icu\") collate \"C\"");
    } else {
        if (after >= sql.size() || sql[after] != QLatin1Char('.')) {
            state.foldOperand = false; // "name = f(...)": compared as it is; "m." may follow
        }
        if (is("set") || is("where")) {
            state.assigning = is("set");
        }
        if ((is("order") || is("group")) && byNext) {
            (is("order") ? state.orderDepth : state.groupDepth) = state.depth;
        } else if ((is("having") || is("limit") || is("union")) &&
                   state.groupDepth == state.depth) {
            state.groupDepth = -1;
        }
        if (is("order") && byNext && state.groupDepth == state.depth) {
            state.groupDepth = -1;
        }
        out += word;
    }
    i = after - 1;
}

} // namespace

QString serverQuery(const QString& sql)
{
    QString out;
    out.reserve(sql.size() + 16);
    bool inLiteral = false;
    QueryState state;
    for (qsizetype i = 0; i < sql.size(); ++i) {
        const QChar c = sql[i];
        if (c == QLatin1Char('\'')) {
            if (!inLiteral && state.foldOperand) {
                out += QStringLiteral("khgl_own.fold("); // "name = 'text'"
                state.foldOperand = false;
                state.literalFolded = true;
            }
            inLiteral = !inLiteral;
            out += c;
            const bool ends = !inLiteral && (i + 1 >= sql.size() || sql[i + 1] != c);
            if (ends && state.literalFolded) {
                out += QStringLiteral(") collate \"C\"");
                state.literalFolded = false;
            }
            continue;
        }
        if (inLiteral) {
            out += c;
            continue;
        }
        if (c == QLatin1Char('?')) {
            const QString mark = QLatin1Char('$') + QString::number(++state.marks);
            out += state.foldOperand ? folded(mark) : mark;
            state.foldOperand = false;
            if (i + 1 < sql.size() && isWordChar(sql[i + 1])) {
                out += QLatin1Char(' '); // "?and" must not read as "$1and"
            }
            continue;
        }
        if (c == QLatin1Char('(')) {
            ++state.depth;
        } else if (c == QLatin1Char(')')) {
            --state.depth;
            if (state.depth < state.orderDepth) {
                state.orderDepth = -1;
            }
            if (state.depth < state.groupDepth) {
                state.groupDepth = -1;
            }
        }
        if (c == QLatin1Char('*')) {
            const QString columns = starColumns(sql, i);
            out += columns.isEmpty() ? QString(c) : QLatin1Char(' ') + columns + QLatin1Char(' ');
            continue;
        }
        if (isWordChar(c) && (i == 0 || !isWordChar(sql[i - 1]))) {
            rewriteWord(sql, i, out, state);
            continue;
        }
        out += c;
    }
    return out;
}

void registerDialect(sqlite3* db)
{
    sqlite3_create_collation(db, kTextCollation, SQLITE_UTF8, nullptr, collate);
    sqlite3_create_function(db, "left", 2, SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr,
                            leftFunction, nullptr, nullptr);
    sqlite3_create_function(db, "str", 1, SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr, strFunction,
                            nullptr, nullptr);
    sqlite3_create_function(db, "day_key", 1, SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr,
                            dayKeyFunction, nullptr, nullptr);
}

} // namespace khgl

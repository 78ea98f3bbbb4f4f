#include "widgets/csv_import.h"

#include "data_store/store_error.h"
#include "widgets/csv_export.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>
#include <array>
#include <cerrno>
#include <iconv.h>
#include <optional>

namespace khgl {
namespace {

QString quoted(const QString& name)
{
    return QStringLiteral("“%1”").arg(QDir::toNativeSeparators(name));
}

QString refused(const QString& name, const QString& why)
{
    return QStringLiteral("文件%1%2，没有导入任何记录。").arg(quoted(name), why);
}

QString notText(const QString& name)
{
    return refused(name, QStringLiteral("不是文本（CSV）文件"));
}

// GB18030 through the C library, which refuses a byte sequence that is not GB18030.
std::optional<QString> fromGb18030(const QByteArray& bytes)
{
    iconv_t cd = iconv_open("UTF-8", "GB18030");
    if (cd == reinterpret_cast<iconv_t>(-1)) {
        return std::nullopt;
    }
    QByteArray out(bytes.size() * 2 + 16, Qt::Uninitialized);
    char* in = const_cast<char*>(bytes.constData());
    size_t inLeft = static_cast<size_t>(bytes.size());
    char* to = out.data();
    size_t outLeft = static_cast<size_t>(out.size());
    const size_t done = iconv(cd, &in, &inLeft, &to, &outLeft);
    iconv_close(cd);
    if (done == static_cast<size_t>(-1)) {
        return std::nullopt;
    }
    out.truncate(out.size() - static_cast<qsizetype>(outLeft));
    return QString::fromUtf8(out);
}

QString decoded(const QByteArray& bytes, const QString& name)
{
    if (bytes.contains('\0')) {
        throw StoreError(notText(name));
    }
    QByteArrayView view(bytes);
    if (view.startsWith("\xEF\xBB\xBF")) {
        view = view.sliced(3);
    }
    QStringDecoder utf8(QStringConverter::Utf8, QStringConverter::Flag::Stateless);
    QString text = utf8.decode(view);
    if (utf8.hasError()) {
        const auto gb = fromGb18030(bytes);
        if (!gb) {
            throw StoreError(refused(name, QStringLiteral("既不是 UTF-8 也不是 GB18030 编码")));
        }
        text = *gb;
    }
    for (const QChar c : std::as_const(text)) {
        const char16_t u = c.unicode();
        if ((u < 0x20 && u != u'\t' && u != u'\n' && u != u'\r') || u == 0x7F) {
            throw StoreError(notText(name));
        }
    }
    return text;
}

// The separator the header line uses most, outside quotes; a comma when it names none.
QChar separatorOf(const QString& text)
{
    std::array<int, 3> counts{};
    const std::array<QChar, 3> separators{u',', u';', u'\t'};
    bool quotedPart = false;
    for (const QChar c : text) {
        if (c == u'"') {
            quotedPart = !quotedPart;
        } else if (!quotedPart && (c == u'\n' || c == u'\r')) {
            break;
        } else if (!quotedPart) {
            for (size_t i = 0; i < separators.size(); ++i) {
                counts[i] += c == separators[i] ? 1 : 0;
            }
        }
    }
    size_t best = 0;
    for (size_t i = 1; i < counts.size(); ++i) {
        if (counts[i] > counts[best]) {
            best = i;
        }
    }
    return separators[best];
}

// RFC 4180 fields and records; a quote inside an unquoted field is taken as it is, and text
// after a closing quote is added to the field, as spreadsheet programs read such files.
class Reader final
{
public:
    Reader(const QString& text, const QString& name)
        : m_text(text), m_name(name), m_separator(separatorOf(text))
    {
    }

    CsvTable read()
    {
        CsvTable table;
        QStringList row;
        int start = 0;
        while (next(row, start)) {
            if (row.size() == 1 && row.front().isEmpty()) {
                continue;
            }
            if (table.header.isEmpty()) {
                table.header = row;
                continue;
            }
            table.rows.push_back(row);
            table.lines.push_back(start);
        }
        if (table.header.isEmpty()) {
            throw StoreError(refused(m_name, QStringLiteral("是空的")));
        }
        return table;
    }

private:
    bool next(QStringList& row, int& startLine)
    {
        row.clear();
        if (m_at >= m_text.size()) {
            return false;
        }
        startLine = m_line;
        QString field;
        bool inQuotes = false;
        bool wasQuoted = false;
        const qsizetype n = m_text.size();
        while (m_at < n) {
            const QChar c = m_text.at(m_at++);
            if (inQuotes) {
                if (c == u'"') {
                    if (m_at < n && m_text.at(m_at) == u'"') {
                        ++m_at;
                        add(field, c);
                    } else {
                        inQuotes = false;
                    }
                } else {
                    m_line += c == u'\n' ? 1 : 0;
                    add(field, c);
                }
            } else if (c == u'"' && field.isEmpty() && !wasQuoted) {
                inQuotes = true;
                wasQuoted = true;
            } else if (c == m_separator) {
                row.append(field);
                field.clear();
                wasQuoted = false;
            } else if (c == u'\r' || c == u'\n') {
                if (c == u'\r' && m_at < n && m_text.at(m_at) == u'\n') {
                    ++m_at;
                }
                ++m_line;
                row.append(field);
                return true;
            } else {
                add(field, c);
            }
        }
        if (inQuotes) {
            throw StoreError(
                refused(m_name, QStringLiteral("第 %1 行的引号没有配对").arg(startLine)));
        }
        row.append(field);
        return true;
    }

    void add(QString& field, QChar c) const
    {
        if (field.size() >= kCsvImportMaxField) {
            throw StoreError(refused(m_name, QStringLiteral("第 %1 行有一格超过 %2 个字")
                                                 .arg(m_line)
                                                 .arg(kMaxStoredCharacters)));
        }
        field.append(c);
    }

    const QString& m_text;
    const QString& m_name;
    const QChar m_separator;
    qsizetype m_at = 0;
    int m_line = 1;
};

} // namespace

CsvTable parseCsv(const QByteArray& bytes, const QString& name)
{
    if (bytes.size() > kCsvImportMaxBytes) {
        throw StoreError(refused(name, QStringLiteral("超过 %1 MB").arg(kCsvImportMaxBytes >> 20)));
    }
    const QString text = decoded(bytes, name);
    CsvTable table = Reader(text, name).read();
    for (QString& header : table.header) {
        header = header.trimmed();
    }
    return table;
}

CsvTable readCsvFile(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        throw StoreError(
            QStringLiteral("无法打开文件%1：%2").arg(quoted(path), file.errorString()));
    }
    // The size first: a huge file is refused before it is read.
    if (file.size() > kCsvImportMaxBytes) {
        throw StoreError(refused(path, QStringLiteral("超过 %1 MB").arg(kCsvImportMaxBytes >> 20)));
    }
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        throw StoreError(
            QStringLiteral("读取文件%1失败：%2").arg(quoted(path), file.errorString()));
    }
    return parseCsv(bytes, path);
}

QString unguardedCsvText(const QString& text)
{
    if (!text.startsWith(u'\'')) {
        return text;
    }
    const QString rest = text.mid(1);
    return needsFormulaGuard(rest) ? rest : text;
}

} // namespace khgl

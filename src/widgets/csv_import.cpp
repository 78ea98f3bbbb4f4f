#include "widgets/csv_import.h"

#include "data_store/store_error.h"
#include "widgets/csv_export.h"

#include <QDir>
#include <QFile>
#include <QStringDecoder>
#include <array>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <iconv.h>
#include <sys/stat.h>
#include <unistd.h>

namespace khgl {
namespace {

// Steps over the whole text go this far at a time between progress reports.
constexpr qsizetype kStep = qsizetype{1} << 20;
// No character takes more bytes than this in either encoding: a field longer in bytes is
// refused before it is decoded.
constexpr qsizetype kMaxFieldBytes = 4 * kCsvImportMaxField;

QString quoted(const QString& name)
{
    return QStringLiteral("“%1”").arg(QDir::toNativeSeparators(name));
}

QString refused(const QString& name, const QString& why)
{
    return QStringLiteral("文件%1%2，没有导入任何记录。").arg(quoted(name), why);
}

StoreError notText(const QString& name)
{
    return StoreError(refused(name, QStringLiteral("不是文本（CSV）文件")));
}

StoreError tooLarge(const QString& name)
{
    return StoreError(refused(name, QStringLiteral("超过 %1 MB").arg(kCsvImportMaxBytes >> 20)));
}

void report(const ImportProgress& progress, qint64 done, qint64 total)
{
    if (progress && !progress(done, total)) {
        throw ImportCancelled();
    }
}

bool isControl(char c)
{
    const auto u = static_cast<unsigned char>(c);
    return (u < 0x20 && u != '\t' && u != '\n' && u != '\r') || u == 0x7F;
}

// Decoded a piece at a time, each ending before a lead byte, so no piece splits a character.
bool isUtf8(QByteArrayView bytes, const ImportProgress& progress)
{
    qsizetype at = 0;
    while (at < bytes.size()) {
        qsizetype end = std::min(bytes.size(), at + kStep);
        for (int back = 0; back < 3 && end < bytes.size() && end > at + 1 &&
                           (static_cast<unsigned char>(bytes[end]) & 0xC0) == 0x80;
             ++back) {
            --end;
        }
        QStringDecoder utf8(QStringConverter::Utf8, QStringConverter::Flag::Stateless);
        const QString piece = utf8.decode(bytes.sliced(at, end - at));
        if (utf8.hasError()) {
            return false;
        }
        at = end;
        report(progress, at, bytes.size());
    }
    return true;
}

// GB18030 through the C library, which refuses a byte sequence that is not GB18030.
bool isGb18030(QByteArrayView bytes, const ImportProgress& progress)
{
    iconv_t cd = iconv_open("UTF-8", "GB18030");
    if (cd == reinterpret_cast<iconv_t>(-1)) {
        return false;
    }
    QByteArray out(2 * kStep + 16, Qt::Uninitialized);
    qsizetype at = 0;
    bool valid = true;
    while (valid && at < bytes.size()) {
        const qsizetype piece = std::min(bytes.size() - at, kStep);
        char* in = const_cast<char*>(bytes.data() + at);
        size_t inLeft = static_cast<size_t>(piece);
        char* to = out.data();
        size_t outLeft = static_cast<size_t>(out.size());
        const bool last = at + piece == bytes.size();
        // A character cut at the end of a piece is read again with the next one.
        if (iconv(cd, &in, &inLeft, &to, &outLeft) == static_cast<size_t>(-1)) {
            valid = errno == EINVAL && !last && inLeft < static_cast<size_t>(piece);
        }
        at = in - bytes.data();
        report(progress, at, bytes.size());
    }
    iconv_close(cd);
    return valid;
}

// The separator the header line uses most, outside quotes; a comma when it names none.
char separatorOf(QByteArrayView text)
{
    std::array<int, 3> counts{};
    const std::array<char, 3> separators{',', ';', '\t'};
    bool quotedPart = false;
    for (const char c : text) {
        if (c == '"') {
            quotedPart = !quotedPart;
        } else if (!quotedPart && (c == '\n' || c == '\r')) {
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

// What the operator counts: a character outside the BMP is one, not two UTF-16 units.
class Descriptor final
{
public:
    explicit Descriptor(int fd) : m_fd(fd) {}
    ~Descriptor() { ::close(m_fd); }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int fd() const { return m_fd; }

private:
    int m_fd;
};

StoreError readFailure(const QString& path)
{
    return StoreError(QStringLiteral("读取文件%1失败：%2")
                          .arg(quoted(path), QString::fromLocal8Bit(std::strerror(errno))));
}

} // namespace

CsvText csvText(QByteArray bytes, const QString& name, const ImportProgress& progress)
{
    if (bytes.size() > kCsvImportMaxBytes) {
        throw tooLarge(name);
    }
    if (std::memchr(bytes.constData(), 0, static_cast<size_t>(bytes.size())) != nullptr) {
        throw notText(name);
    }
    CsvText text;
    const QByteArrayView view(bytes);
    text.start = view.startsWith("\xEF\xBB\xBF") ? 3 : 0;
    if (!isUtf8(view.sliced(text.start), progress)) {
        if (!isGb18030(view, progress)) {
            throw StoreError(refused(name, QStringLiteral("既不是 UTF-8 也不是 GB18030 编码")));
        }
        text.gb18030 = true;
        text.start = 0;
    }
    text.separator = separatorOf(view.sliced(text.start));
    text.bytes = std::move(bytes);
    text.name = name;
    return text;
}

QByteArray readCsvBytes(const QString& path, const ImportProgress& progress)
{
    // Without O_NONBLOCK opening a pipe waits for a writer that may never come.
    const int fd =
        ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        throw StoreError(QStringLiteral("无法打开文件%1：%2")
                             .arg(quoted(path), QString::fromLocal8Bit(std::strerror(errno))));
    }
    const Descriptor file(fd);
    struct stat status
    {
    };
    if (::fstat(fd, &status) != 0) {
        throw readFailure(path);
    }
    if (!S_ISREG(status.st_mode)) {
        throw StoreError(refused(path, QStringLiteral("不是普通文件")));
    }
    // The size first: a huge file is refused before it is read.
    if (status.st_size > kCsvImportMaxBytes) {
        throw tooLarge(path);
    }
    // One byte beyond the limit tells a file that grew since.
    QByteArray bytes(std::min<qint64>(status.st_size + 1, kCsvImportMaxBytes + 1),
                     Qt::Uninitialized);
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t got = ::read(fd, bytes.data() + done,
                                   static_cast<size_t>(std::min(bytes.size() - done, kStep)));
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got < 0) {
            throw readFailure(path);
        }
        if (got == 0) {
            break;
        }
        done += got;
        report(progress, done, status.st_size);
    }
    if (done > kCsvImportMaxBytes) {
        throw tooLarge(path);
    }
    bytes.truncate(done);
    return bytes;
}

CsvReader::CsvReader(const CsvText& text) : m_text(text), m_at(text.start)
{
    if (m_text.gb18030) {
        iconv_t cd = iconv_open("UTF-8", "GB18030");
        m_gb18030 = cd == reinterpret_cast<iconv_t>(-1) ? nullptr : cd;
    }
}

CsvReader::~CsvReader()
{
    if (m_gb18030 != nullptr) {
        iconv_close(static_cast<iconv_t>(m_gb18030));
    }
}

void CsvReader::seek(qsizetype position, int line)
{
    m_at = position;
    m_line = line;
}

QStringList CsvReader::header()
{
    QStringList names;
    int line = 0;
    if (!next(names, line)) {
        throw StoreError(refused(m_text.name, QStringLiteral("是空的")));
    }
    for (QString& name : names) {
        name = name.trimmed();
    }
    return names;
}

bool CsvReader::next(QStringList& row, int& line)
{
    while (m_at < m_text.bytes.size()) {
        line = m_line;
        readRow(row);
        if (row.size() != 1 || !row.front().isEmpty()) {
            return true;
        }
    }
    return false;
}

void CsvReader::readRow(QStringList& row)
{
    row.clear();
    m_field.clear();
    const char* bytes = m_text.bytes.constData();
    const qsizetype n = m_text.bytes.size();
    const int startLine = m_line;
    bool inQuotes = false;
    bool wasQuoted = false;
    while (m_at < n) {
        const char c = bytes[m_at++];
        if (inQuotes) {
            if (c == '"') {
                if (m_at < n && bytes[m_at] == '"') {
                    ++m_at;
                    add(c);
                } else {
                    inQuotes = false;
                }
            } else {
                m_line += c == '\n' ? 1 : 0;
                add(c);
            }
        } else if (c == '"' && m_field.isEmpty() && !wasQuoted) {
            inQuotes = true;
            wasQuoted = true;
        } else if (c == m_text.separator) {
            endField(row);
            wasQuoted = false;
        } else if (c == '\r' || c == '\n') {
            if (c == '\r' && m_at < n && bytes[m_at] == '\n') {
                ++m_at;
            }
            endField(row);
            ++m_line;
            return;
        } else {
            add(c);
        }
    }
    if (inQuotes) {
        throw StoreError(
            refused(m_text.name, QStringLiteral("第 %1 行的引号没有配对").arg(startLine)));
    }
    endField(row);
}

void CsvReader::add(char c)
{
    if (isControl(c)) {
        throw notText(m_text.name);
    }
    if (m_field.size() >= kMaxFieldBytes) {
        throw StoreError(refused(
            m_text.name,
            QStringLiteral("第 %1 行有一格超过 %2 个字").arg(m_line).arg(kCsvImportMaxField)));
    }
    m_field.append(c);
}

void CsvReader::endField(QStringList& row)
{
    QString text = decoded();
    if (characterCount(text) > kCsvImportMaxField) {
        throw StoreError(refused(
            m_text.name,
            QStringLiteral("第 %1 行有一格超过 %2 个字").arg(m_line).arg(kCsvImportMaxField)));
    }
    row.append(std::move(text));
    m_field.clear();
}

QString CsvReader::decoded() const
{
    if (!m_text.gb18030) {
        return QString::fromUtf8(m_field);
    }
    if (m_gb18030 == nullptr) {
        throw StoreError(refused(m_text.name, QStringLiteral("既不是 UTF-8 也不是 GB18030 编码")));
    }
    auto* cd = static_cast<iconv_t>(m_gb18030);
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    QByteArray out(m_field.size() * 2 + 16, Qt::Uninitialized);
    char* in = const_cast<char*>(m_field.constData());
    size_t inLeft = static_cast<size_t>(m_field.size());
    char* to = out.data();
    size_t outLeft = static_cast<size_t>(out.size());
    // The whole text was read as GB18030 already; a field is a run of its characters.
    iconv(cd, &in, &inLeft, &to, &outLeft);
    out.truncate(out.size() - static_cast<qsizetype>(outLeft));
    return QString::fromUtf8(out);
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

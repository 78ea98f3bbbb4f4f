#include "widgets/csv_export.h"

#include "data_store/store_error.h"
#include "widgets/record_grid.h"

#include <QSaveFile>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <iconv.h>
#include <memory>
#include <optional>

namespace khgl {
namespace {

constexpr size_t kChunkBytes = 1 << 20;
constexpr int kProgressRows = 1 << 16;

bool isPlainNumber(QStringView text)
{
    qsizetype i = (text.front() == u'-' || text.front() == u'+') ? 1 : 0;
    bool digits = false;
    bool point = false;
    for (; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c >= u'0' && c <= u'9') {
            digits = true;
        } else if (c == u'.' && !point) {
            point = true;
        } else {
            return false;
        }
    }
    return digits;
}

// Most cells start with none of the bytes a guarded text can start with (a blank, a sign, or
// the first byte of a full-width sign or space): those are decided without decoding.
bool looksLikeFormula(std::string_view text)
{
    if (text.empty()) {
        return false;
    }
    switch (static_cast<unsigned char>(text.front())) {
    case ' ':
    case '\t':
    case '\r':
    case '\n':
    case '=':
    case '+':
    case '-':
    case '@':
    case 0xE3:
    case 0xEF:
        break;
    default:
        return false;
    }
    // A plain number is short: a longer text is decided on its beginning, marked as cut.
    constexpr size_t kHead = 256;
    QString head =
        QString::fromUtf8(text.data(), static_cast<qsizetype>(std::min(text.size(), kHead)));
    if (text.size() > kHead) {
        head += u'x';
    }
    return needsFormulaGuard(head);
}

// The most bytes writeField can write for this text: every quote doubled, two quotes around
// and the apostrophe.
size_t fieldBound(std::string_view text)
{
    return text.size() * 2 + 3;
}

// Nonzero when one of the eight bytes of v is c.
constexpr std::uint64_t kOnes = 0x0101010101010101U;
constexpr std::uint64_t hasByte(std::uint64_t v, unsigned char c)
{
    const std::uint64_t x = v ^ (kOnes * c);
    return (x - kOnes) & ~x & (kOnes * 0x80U);
}

template <typename Word> Word load(const char* at)
{
    Word word;
    std::memcpy(&word, at, sizeof word);
    return word;
}

template <typename Word> void store(char* at, Word word)
{
    std::memcpy(at, &word, sizeof word);
}

// Nonzero when v holds a byte that needs quotes (comma, quote, line break).
constexpr std::uint64_t special(std::uint64_t v)
{
    return hasByte(v, ',') | hasByte(v, '"') | hasByte(v, '\n') | hasByte(v, '\r');
}

// Copies text to out and tells whether it holds a byte that needs quotes. Whole words at a
// time, the last one overlapping the one before, so no byte loop: this copy is most of the
// export's own work and most cells are short.
bool copyFindingQuoted(char* out, std::string_view text)
{
    const char* in = text.data();
    const size_t n = text.size();
    std::uint64_t found = 0;
    if (n >= 8) {
        for (size_t i = 0; i + 8 < n; i += 8) {
            const auto word = load<std::uint64_t>(in + i);
            store(out + i, word);
            found |= special(word);
        }
        const auto last = load<std::uint64_t>(in + n - 8);
        store(out + n - 8, last);
        found |= special(last);
    } else if (n >= 4) {
        const auto first = load<std::uint32_t>(in);
        const auto last = load<std::uint32_t>(in + n - 4);
        store(out, first);
        store(out + n - 4, last);
        found = special(first | std::uint64_t{last} << 32);
    } else if (n >= 2) {
        const auto first = load<std::uint16_t>(in);
        const auto last = load<std::uint16_t>(in + n - 2);
        store(out, first);
        store(out + n - 2, last);
        found = special(first | std::uint64_t{last} << 16);
    } else if (n == 1) {
        *out = *in;
        found = special(static_cast<unsigned char>(*in));
    }
    return found != 0;
}

// Writes one field at out (room for fieldBound bytes) and returns the end.
char* writeField(char* out, std::string_view text)
{
    const bool formula = looksLikeFormula(text);
    char* const start = out;
    if (formula) {
        *out++ = '\'';
    }
    // Copied as it is first: quotes are rare.
    if (!copyFindingQuoted(out, text)) {
        return out + text.size();
    }
    out = start;
    *out++ = '"';
    if (formula) {
        *out++ = '\'';
    }
    for (const char c : text) {
        if (c == '"') {
            *out++ = '"';
        }
        *out++ = c;
    }
    *out++ = '"';
    return out;
}

// UTF-8 to GB18030 through the C library, which covers all of Unicode.
class Gb18030Encoder final
{
public:
    Gb18030Encoder() : m_cd(iconv_open("GB18030", "UTF-8"))
    {
        if (m_cd == reinterpret_cast<iconv_t>(-1)) {
            throw StoreError(QStringLiteral("本机不支持 GB18030 编码，请选择 UTF-8 保存。"));
        }
    }
    ~Gb18030Encoder() { iconv_close(m_cd); }
    Gb18030Encoder(const Gb18030Encoder&) = delete;
    Gb18030Encoder& operator=(const Gb18030Encoder&) = delete;

    std::string_view encode(std::string_view utf8)
    {
        // GB18030 takes at most 4 bytes for a character UTF-8 writes in at least 1. The
        // buffer only grows, so it is zeroed once, not for every piece.
        if (m_out.size() < utf8.size() * 4 + 16) {
            m_out.resize(utf8.size() * 4 + 16);
        }
        char* in = const_cast<char*>(utf8.data());
        size_t inLeft = utf8.size();
        char* out = m_out.data();
        size_t outLeft = m_out.size();
        if (iconv(m_cd, &in, &inLeft, &out, &outLeft) == static_cast<size_t>(-1)) {
            throw StoreError(QStringLiteral("表格中有无法转换为 GB18030 的文字，文件没有写入。"));
        }
        return {m_out.data(), m_out.size() - outLeft};
    }

private:
    iconv_t m_cd;
    std::string m_out;
};

// Collects the export in one large piece, filled in place (no zeroing, no growth per row),
// and writes it to the file whenever it is full.
class PieceWriter final
{
public:
    PieceWriter(QSaveFile& file, const QString& path, Gb18030Encoder* gb)
        : m_file(file), m_path(path), m_gb(gb)
    {
    }
    PieceWriter(const PieceWriter&) = delete;
    PieceWriter& operator=(const PieceWriter&) = delete;

    // Room for bound more bytes after the used ones; hands the piece over first when it has
    // not that much left, and grows it for a row longer than a piece.
    char* room(size_t bound)
    {
        if (m_piece.capacity - used < bound) {
            flush();
            if (m_piece.capacity < bound) {
                m_piece = Piece(bound);
            }
        }
        return m_piece.data.get() + used;
    }

    // Writes the used bytes to the file.
    void flush()
    {
        const std::string_view utf8(m_piece.data.get(), used);
        const std::string_view bytes = m_gb ? m_gb->encode(utf8) : utf8;
        if (m_file.write(bytes.data(), static_cast<qint64>(bytes.size())) !=
            static_cast<qint64>(bytes.size())) {
            throw StoreError(
                QStringLiteral("写入文件“%1”失败：%2").arg(m_path, m_file.errorString()));
        }
        used = 0;
    }

    size_t used = 0;

private:
    struct Piece
    {
        explicit Piece(size_t bytes)
            : data(std::make_unique_for_overwrite<char[]>(bytes)), capacity(bytes)
        {
        }
        std::unique_ptr<char[]> data;
        size_t capacity;
    };

    QSaveFile& m_file;
    const QString& m_path;
    Gb18030Encoder* m_gb;
    Piece m_piece{kChunkBytes * 2};
};

} // namespace

bool needsFormulaGuard(QStringView text)
{
    // Blanks before the sign do not stop a spreadsheet, nor does the full-width form of it.
    qsizetype i = 0;
    while (i < text.size() && (text[i] == u' ' || text[i] == u'\t' || text[i] == u'\r' ||
                               text[i] == u'\n' || text[i] == u'\u3000')) {
        ++i;
    }
    if (i == text.size()) {
        return false;
    }
    switch (text[i].unicode()) {
    case u'=':
    case u'@':
    case u'\uFF1D':
    case u'\uFF0B':
    case u'\uFF0D':
    case u'\uFF20':
        return true;
    case u'+':
    case u'-':
        return !isPlainNumber(text.mid(i));
    default:
        return false;
    }
}

bool isFormulaLike(std::string_view utf8)
{
    return looksLikeFormula(utf8);
}

void appendCsvField(std::string& line, std::string_view utf8)
{
    const size_t start = line.size();
    line.resize(start + fieldBound(utf8));
    char* end = writeField(line.data() + start, utf8);
    line.resize(static_cast<size_t>(end - line.data()));
}

bool writeGridCsv(const RecordGrid& grid, const QString& path, CsvEncoding encoding,
                  const CsvProgress& progress)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
        throw StoreError(QStringLiteral("无法写入文件“%1”：%2").arg(path, file.errorString()));
    }
    std::optional<Gb18030Encoder> gb;
    if (encoding == CsvEncoding::Gb18030) {
        gb.emplace();
    }
    PieceWriter writer(file, path, gb ? &*gb : nullptr);
    if (encoding == CsvEncoding::Utf8WithBom) {
        std::memcpy(writer.room(3), "\xEF\xBB\xBF", 3);
        writer.used = 3;
    }
    const int cols = grid.cols();
    std::string header;
    for (int col = 1; col < cols; ++col) {
        if (col > 1) {
            header += ',';
        }
        appendCsvField(header, grid.text(0, col).toStdString());
    }
    header += "\r\n";
    std::memcpy(writer.room(header.size()), header.data(), header.size());
    writer.used += header.size();
    const int rows = grid.rows();
    bool cancelled = false;
    // Streamed from the grid's source: a long listing is read, not held.
    grid.visitRows([&](int row, const std::string* cells) {
        size_t bound = 2;
        for (int col = 1; col < cols; ++col) {
            bound += fieldBound(cells[col]) + 1;
        }
        char* const start = writer.room(bound);
        char* out = start;
        for (int col = 1; col < cols; ++col) {
            if (col > 1) {
                *out++ = ',';
            }
            out = writeField(out, cells[col]);
        }
        *out++ = '\r';
        *out++ = '\n';
        writer.used += static_cast<size_t>(out - start);
        if (writer.used >= kChunkBytes) {
            writer.flush();
        }
        if (progress && row % kProgressRows == 0 && !progress(row, rows - 1)) {
            cancelled = true;
        }
        return !cancelled;
    });
    if (cancelled) {
        file.cancelWriting();
        return false;
    }
    writer.flush();
    if (!file.commit()) {
        throw StoreError(QStringLiteral("写入文件“%1”失败：%2").arg(path, file.errorString()));
    }
    return true;
}

} // namespace khgl

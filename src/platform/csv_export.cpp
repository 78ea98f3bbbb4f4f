#include "platform/csv_export.h"

#include "data_store/store_error.h"
#include "platform/record_grid.h"

#include <QSaveFile>
#include <array>
#include <cerrno>
#include <cstring>
#include <iconv.h>
#include <optional>

namespace khgl {
namespace {

constexpr size_t kChunkBytes = 1 << 20;
constexpr int kProgressRows = 1 << 16;

bool isPlainNumber(std::string_view text)
{
    size_t i = (text.front() == '-' || text.front() == '+') ? 1 : 0;
    bool digits = false;
    bool point = false;
    for (; i < text.size(); ++i) {
        const char c = text[i];
        if (c >= '0' && c <= '9') {
            digits = true;
        } else if (c == '.' && !point) {
            point = true;
        } else {
            return false;
        }
    }
    return digits;
}

constexpr std::array<bool, 256> kQuoted = [] {
    std::array<bool, 256> quoted{};
    for (const unsigned char c : {',', '"', '\n', '\r'}) {
        quoted[c] = true;
    }
    return quoted;
}();

bool needsQuotes(std::string_view text)
{
    for (const char c : text) {
        if (kQuoted[static_cast<unsigned char>(c)]) {
            return true;
        }
    }
    return false;
}

bool looksLikeFormula(std::string_view text)
{
    if (text.empty()) {
        return false;
    }
    const char c = text.front();
    return (c == '=' || c == '+' || c == '-' || c == '@') && !isPlainNumber(text);
}

// The most bytes writeField can write for this text: every quote doubled, two quotes around
// and the apostrophe.
size_t fieldBound(std::string_view text)
{
    return text.size() * 2 + 3;
}

// Writes one field at out (room for fieldBound bytes) and returns the end.
char* writeField(char* out, std::string_view text)
{
    const bool formula = looksLikeFormula(text);
    if (!needsQuotes(text)) {
        if (formula) {
            *out++ = '\'';
        }
        std::memcpy(out, text.data(), text.size());
        return out + text.size();
    }
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

    const std::string& encode(const std::string& utf8)
    {
        // GB18030 takes at most 4 bytes for a character UTF-8 writes in at least 1.
        m_out.resize(utf8.size() * 4 + 16);
        char* in = const_cast<char*>(utf8.data());
        size_t inLeft = utf8.size();
        char* out = m_out.data();
        size_t outLeft = m_out.size();
        if (iconv(m_cd, &in, &inLeft, &out, &outLeft) == static_cast<size_t>(-1)) {
            throw StoreError(QStringLiteral("表格中有无法转换为 GB18030 的文字，文件没有写入。"));
        }
        m_out.resize(m_out.size() - outLeft);
        return m_out;
    }

private:
    iconv_t m_cd;
    std::string m_out;
};

} // namespace

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
    std::string buffer;
    buffer.reserve(kChunkBytes + 4096);
    if (encoding == CsvEncoding::Utf8WithBom) {
        buffer += "\xEF\xBB\xBF";
    }
    const auto flush = [&] {
        const std::string& bytes = gb ? gb->encode(buffer) : buffer;
        if (file.write(bytes.data(), static_cast<qint64>(bytes.size())) !=
            static_cast<qint64>(bytes.size())) {
            throw StoreError(QStringLiteral("写入文件“%1”失败：%2").arg(path, file.errorString()));
        }
        buffer.clear();
    };
    const int cols = grid.cols();
    for (int col = 1; col < cols; ++col) {
        if (col > 1) {
            buffer += ',';
        }
        appendCsvField(buffer, grid.text(0, col).toStdString());
    }
    buffer += "\r\n";
    const int rows = grid.rows();
    bool cancelled = false;
    // Streamed from the grid's source: a long listing is read, not held.
    grid.visitRows([&](int row, const std::string* cells) {
        size_t bound = 2;
        for (int col = 1; col < cols; ++col) {
            bound += fieldBound(cells[col]) + 1;
        }
        const size_t start = buffer.size();
        buffer.resize(start + bound);
        char* out = buffer.data() + start;
        for (int col = 1; col < cols; ++col) {
            if (col > 1) {
                *out++ = ',';
            }
            out = writeField(out, cells[col]);
        }
        *out++ = '\r';
        *out++ = '\n';
        buffer.resize(static_cast<size_t>(out - buffer.data()));
        if (buffer.size() >= kChunkBytes) {
            flush();
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
    flush();
    if (!file.commit()) {
        throw StoreError(QStringLiteral("写入文件“%1”失败：%2").arg(path, file.errorString()));
    }
    return true;
}

} // namespace khgl

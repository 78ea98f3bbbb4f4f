#include "widgets/xlsx_export.h"

#include "data_store/replaced_file.h"
#include "data_store/store_error.h"
#include "widgets/record_grid.h"
#include "widgets/widgets_log.h"

#include <QDate>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <optional>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <xlsxwriter.h>

namespace khgl {
namespace {

constexpr int kProgressRows = 1 << 16;
constexpr size_t kMaxCellCharacters = 32767;
constexpr int kMaxDigits = 15; // what a double keeps exactly
constexpr int kTwipsPerPixel = 15;

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

// A decimal a spreadsheet shows back exactly as it is written: no leading zero (a code such
// as 007 stays a text), no exponent, at most 15 digits.
bool isExactNumber(std::string_view text)
{
    size_t i = text.starts_with('-') ? 1 : 0;
    const size_t first = i;
    int digits = 0;
    while (i < text.size() && isDigit(text[i])) {
        ++i;
        ++digits;
    }
    if (digits == 0 || (text[first] == '0' && digits > 1)) {
        return false;
    }
    if (i < text.size() && text[i] == '.') {
        ++i;
        const size_t fraction = i;
        while (i < text.size() && isDigit(text[i])) {
            ++i;
            ++digits;
        }
        if (i == fraction) {
            return false;
        }
    }
    return i == text.size() && digits <= kMaxDigits;
}

// A date as the program writes it: 2026-03-05 (as date columns read back) or 2026-3-5 (as the
// calendar writes it); padded tells which, so the cell shows the same text.
struct CellDate
{
    lxw_datetime value;
    bool padded;
};

// The number the digits from at make, -1 when there are none; moves at past them and
// counts them.
int digitsAt(std::string_view text, size_t& at, size_t& count)
{
    int value = 0;
    const size_t start = at;
    while (at < text.size() && isDigit(text[at])) {
        value = value * 10 + (text[at] - '0');
        ++at;
    }
    count = at - start;
    return count == 0 ? -1 : value;
}

// By hand: this runs for every cell of a million-row listing.
std::optional<CellDate> dateIn(std::string_view text)
{
    if (text.size() < 8 || text.size() > 10) {
        return std::nullopt;
    }
    size_t at = 0;
    size_t yearDigits = 0;
    size_t monthDigits = 0;
    size_t dayDigits = 0;
    const int year = digitsAt(text, at, yearDigits);
    if (yearDigits != 4 || at >= text.size() || text[at++] != '-') {
        return std::nullopt;
    }
    const int month = digitsAt(text, at, monthDigits);
    if (at >= text.size() || text[at++] != '-') {
        return std::nullopt;
    }
    const int day = digitsAt(text, at, dayDigits);
    if (at != text.size() || year < 1900 || !QDate::isValid(year, month, day)) {
        return std::nullopt;
    }
    // Only the two forms: 2026-03-5 or 2026-010-5 stays a text.
    const bool padded = monthDigits == 2 && dayDigits == 2;
    const bool plain = monthDigits == (month < 10 ? 1U : 2U) && dayDigits == (day < 10 ? 1U : 2U);
    if (!padded && !plain) {
        return std::nullopt;
    }
    return CellDate{{year, month, day, 0, 0, 0.0}, padded};
}

// The first n characters of a UTF-8 text.
std::string_view firstCharacters(std::string_view text, size_t n)
{
    size_t count = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        if ((static_cast<unsigned char>(text[i]) & 0xC0U) != 0x80U) {
            if (count == n) {
                return text.substr(0, i);
            }
            ++count;
        }
    }
    return text;
}

// Sheet names hold at most 31 characters and none of []:*?/\.
QString sheetNameFrom(QString name)
{
    for (const QChar c : {u'[', u']', u':', u'*', u'?', u'/', u'\\'}) {
        name.replace(c, u'_');
    }
    name = name.left(31);
    return name.isEmpty() ? QStringLiteral("Sheet1") : name;
}

class Writer final
{
public:
    Writer(const QString& target, const QString& sheetName) : m_target(target)
    {
        openTemporary();
        lxw_workbook_options options{};
        options.constant_memory = LXW_TRUE;
        options.use_zip64 = LXW_TRUE;
        m_book = workbook_new_opt(QFile::encodeName(m_bookPath).constData(), &options);
        if (!m_book) {
            dropTemporary();
            throw StoreError(QStringLiteral("无法写入文件“%1”：内存不足。").arg(display()));
        }
        m_sheet = workbook_add_worksheet(m_book, sheetNameFrom(sheetName).toUtf8().constData());
        m_bold = workbook_add_format(m_book);
        format_set_bold(m_bold);
        m_date = workbook_add_format(m_book);
        format_set_num_format(m_date, "yyyy-mm-dd");
        m_shortDate = workbook_add_format(m_book);
        format_set_num_format(m_shortDate, "yyyy-m-d");
    }

    ~Writer()
    {
        if (m_book) {
            workbook_close(m_book);
        }
        dropTemporary();
    }

    Writer(const Writer&) = delete;
    Writer& operator=(const Writer&) = delete;

    lxw_worksheet* sheet() { return m_sheet; }

    void header(int col, const std::string& text)
    {
        check(
            worksheet_write_string(m_sheet, 0, static_cast<lxw_col_t>(col), text.c_str(), m_bold));
    }

    void cell(lxw_row_t row, lxw_col_t col, const std::string& text)
    {
        if (text.empty()) {
            return;
        }
        if (!isFormulaLike(text)) {
            if (isExactNumber(text)) {
                check(worksheet_write_number(m_sheet, row, col, std::strtod(text.c_str(), nullptr),
                                             nullptr));
                return;
            }
            if (auto date = dateIn(text)) {
                check(worksheet_write_datetime(m_sheet, row, col, &date->value,
                                               date->padded ? m_date : m_shortDate));
                return;
            }
        }
        const std::string_view kept = firstCharacters(text, kMaxCellCharacters);
        if (kept.size() < text.size()) {
            ++cut;
            m_piece.assign(kept);
            check(worksheet_write_string(m_sheet, row, col, m_piece.c_str(), nullptr));
            return;
        }
        check(worksheet_write_string(m_sheet, row, col, text.c_str(), nullptr));
    }

    // Closes the workbook and puts it in place of the target.
    void commit()
    {
        const lxw_error closed = workbook_close(m_book);
        m_book = nullptr;
        if (closed != LXW_NO_ERROR) {
            qCWarning(widgetsLog) << "workbook_close:" << lxw_strerror(closed);
            throw StoreError(QStringLiteral("写入文件“%1”失败：%2")
                                 .arg(display(), QString::fromUtf8(lxw_strerror(closed))));
        }
        // The temporary file was made for the owner alone; the finished list is handed on like
        // any file the user saves.
        const mode_t mask = ::umask(0);
        ::umask(mask);
        ::fchmod(m_fd, 0666 & ~mask);
        ::fsync(m_fd);
        putInPlace();
    }

    int cut = 0;

private:
    QString display() const { return QDir::toNativeSeparators(m_target); }

    [[noreturn]] void failed(const char* what, int error) const
    {
        qCWarning(widgetsLog) << what << std::strerror(error);
        throw StoreError(QStringLiteral("写入文件“%1”失败：%2")
                             .arg(display(), QString::fromLocal8Bit(std::strerror(error))));
    }

    // The workbook is written into a file without a name in the target's folder, which the
    // system frees when the program ends: an export killed halfway leaves nothing behind. A
    // file system without such files gets a named one with the program's temporary ending.
    void openTemporary()
    {
        const QByteArray folder = QFile::encodeName(QFileInfo(m_target).absolutePath());
        m_fd = ::open(folder.constData(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
        const QString unnamed = QStringLiteral("/proc/self/fd/%1").arg(m_fd);
        if (m_fd >= 0 && ::access(QFile::encodeName(unnamed).constData(), W_OK) == 0) {
            m_bookPath = unnamed;
            return;
        }
        if (m_fd >= 0) {
            ::close(m_fd);
        }
        m_named = newTemporaryBeside(m_target);
        m_bookPath = m_named;
        m_fd = ::open(QFile::encodeName(m_named).constData(), O_RDWR | O_CLOEXEC);
        if (m_fd < 0) {
            const int error = errno;
            dropTemporary();
            failed("open temporary:", error);
        }
    }

    // Gives the finished workbook the target's name in one step.
    void putInPlace()
    {
        const QByteArray target = QFile::encodeName(m_target);
        if (m_named.isEmpty()) {
            // A name first (a link cannot replace a file), then the rename over the target.
            m_named = newTemporaryBeside(m_target);
            const QByteArray named = QFile::encodeName(m_named);
            ::unlink(named.constData());
            if (::linkat(AT_FDCWD, QFile::encodeName(m_bookPath).constData(), AT_FDCWD,
                         named.constData(), AT_SYMLINK_FOLLOW) != 0) {
                const int error = errno;
                m_named.clear();
                failed("link workbook:", error);
            }
        }
        if (::rename(QFile::encodeName(m_named).constData(), target.constData()) != 0) {
            failed("rename workbook:", errno);
        }
        m_named.clear();
    }

    void dropTemporary()
    {
        if (!m_named.isEmpty()) {
            QFile::remove(m_named);
            m_named.clear();
        }
        if (m_fd >= 0) {
            ::close(m_fd);
            m_fd = -1;
        }
    }

    void check(lxw_error error)
    {
        if (error != LXW_NO_ERROR) {
            qCWarning(widgetsLog) << "worksheet write:" << lxw_strerror(error);
            throw StoreError(QStringLiteral("写入文件“%1”失败：%2")
                                 .arg(display(), QString::fromUtf8(lxw_strerror(error))));
        }
    }

    QString m_target;
    QString m_bookPath; // where the workbook is written: the unnamed file or m_named
    QString m_named;    // the temporary's name, while it has one
    int m_fd = -1;
    lxw_workbook* m_book = nullptr;
    lxw_worksheet* m_sheet = nullptr;
    lxw_format* m_bold = nullptr;
    lxw_format* m_date = nullptr;
    lxw_format* m_shortDate = nullptr;
    std::string m_piece;
};

} // namespace

bool writeGridXlsx(const RecordGrid& grid, const QString& path, const QString& sheetName,
                   const CsvProgress& progress, int* cutCells)
{
    const int rows = grid.rows();
    if (rows > static_cast<int>(LXW_ROW_MAX)) {
        throw StoreError(
            QStringLiteral("表格有 %1 行，超过了 Excel 文件的上限 %2 行，请导出为 CSV。")
                .arg(rows - 1)
                .arg(LXW_ROW_MAX - 1));
    }
    Writer writer(path, sheetName);
    const int cols = grid.cols();
    for (int col = 1; col < cols; ++col) {
        const auto c = static_cast<lxw_col_t>(col - 1);
        worksheet_set_column_pixels(writer.sheet(), c, c, grid.colWidth(col) / kTwipsPerPixel,
                                    nullptr);
        writer.header(col - 1, grid.text(0, col).toStdString());
    }
    worksheet_freeze_panes(writer.sheet(), 1, 0);
    bool cancelled = false;
    grid.visitRows([&](int row, const std::string* cells) {
        for (int col = 1; col < cols; ++col) {
            writer.cell(static_cast<lxw_row_t>(row), static_cast<lxw_col_t>(col - 1), cells[col]);
        }
        if (progress && row % kProgressRows == 0 && !progress(row, rows - 1)) {
            cancelled = true;
        }
        return !cancelled;
    });
    if (cancelled) {
        return false;
    }
    writer.commit();
    if (cutCells) {
        *cutCells = writer.cut;
    }
    return true;
}

} // namespace khgl

#include "widgets/grid_print.h"

#include <QFont>
#include <QFontMetricsF>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QTextLayout>
#include <algorithm>
#include <numeric>

namespace khgl {
namespace {

constexpr qreal kBodyPoints = 9;
constexpr qreal kTitlePoints = 14;
constexpr qreal kPaddingPoints = 2.5;
// Past this a cell's text is cut on paper: a page holds a few thousand characters at most.
constexpr qsizetype kPrintedChars = 1500;
// A long text asks for at most this share of the portrait width when the orientation is
// chosen; beyond it the text wraps.
constexpr qreal kLongTextShare = 0.3;

QFont bodyFont()
{
    QFont font(QStringLiteral("WenQuanYi Micro Hei"));
    font.setPointSizeF(kBodyPoints);
    return font;
}

QFont boldFont(qreal points)
{
    QFont font = bodyFont();
    font.setPointSizeF(points);
    font.setBold(true);
    return font;
}

QString printedText(const QString& text)
{
    QString shown = text.size() > kPrintedChars ? text.left(kPrintedChars) + QChar(0x2026) : text;
    // QTextLayout breaks lines only at the Unicode line separator.
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    shown.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    shown.replace(QLatin1Char('\n'), QChar::LineSeparator);
    return shown;
}

// Lays text out in lines of at most width; returns the height. Draws it at origin when a
// painter is given.
qreal layOutText(const QString& text, const QFont& font, const QPaintDevice& device, qreal width,
                 QPainter* painter = nullptr, QPointF origin = {})
{
    QTextLayout layout(printedText(text), font, &device);
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout.setTextOption(option);
    layout.beginLayout();
    qreal height = 0;
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setLineWidth(width);
        line.setPosition(QPointF(0, height));
        height += line.height();
    }
    layout.endLayout();
    if (painter != nullptr) {
        layout.draw(painter, origin);
    }
    return std::max(height, QFontMetricsF(font, &device).height());
}

// The width a text takes without wrapping: its longest line.
qreal naturalWidth(const QString& text, const QFontMetricsF& metrics)
{
    qreal widest = 0;
    for (const QString& line : printedText(text).split(QChar::LineSeparator)) {
        widest = std::max(widest, metrics.horizontalAdvance(line));
    }
    return widest;
}

// Sizes, in device pixels, that the whole print shares.
struct Measures
{
    explicit Measures(const QPagedPaintDevice& device)
        : pixelsPerPoint(device.logicalDpiY() / 72.0), padding(kPaddingPoints * pixelsPerPoint),
          body(bodyFont()), header(boldFont(kBodyPoints)), title(boldFont(kTitlePoints))
    {
    }
    qreal pixelsPerPoint;
    qreal padding;
    QFont body;
    QFont header;
    QFont title;
};

std::vector<qreal> naturalWidths(const QPagedPaintDevice& device, const PrintedTable& table,
                                 const Measures& measures)
{
    const QFontMetricsF bodyMetrics(measures.body, &device);
    const QFontMetricsF headerMetrics(measures.header, &device);
    std::vector<qreal> widths(static_cast<size_t>(table.header.size()), 0);
    for (size_t col = 0; col < widths.size(); ++col) {
        widths[col] = naturalWidth(table.header[static_cast<qsizetype>(col)], headerMetrics);
    }
    for (const QStringList& row : table.rows) {
        for (size_t col = 0; col < widths.size() && col < static_cast<size_t>(row.size()); ++col) {
            widths[col] =
                std::max(widths[col], naturalWidth(row[static_cast<qsizetype>(col)], bodyMetrics));
        }
    }
    for (qreal& width : widths) {
        width += 2 * measures.padding + 1;
    }
    return widths;
}

// Columns that fit keep their natural width and share what the page has left in proportion;
// otherwise the narrow ones keep theirs and the wide ones share the rest equally.
std::vector<qreal> columnWidths(std::vector<qreal> natural, qreal available)
{
    const qreal sum = std::accumulate(natural.begin(), natural.end(), qreal(0));
    if (natural.empty() || sum <= available) {
        const qreal stretch = sum > 0 ? available / sum : 1;
        for (qreal& width : natural) {
            width *= stretch;
        }
        return natural;
    }
    std::vector<qreal> widths(natural.size(), 0);
    std::vector<size_t> open(natural.size());
    std::iota(open.begin(), open.end(), size_t(0));
    qreal left = available;
    for (;;) {
        const qreal share = left / static_cast<qreal>(open.size());
        const auto wide = std::stable_partition(open.begin(), open.end(),
                                                [&](size_t col) { return natural[col] <= share; });
        if (wide == open.begin()) {
            for (const size_t col : open) {
                widths[col] = share;
            }
            return widths;
        }
        for (auto it = open.begin(); it != wide; ++it) {
            widths[*it] = natural[*it];
            left -= natural[*it];
        }
        open.erase(open.begin(), wide);
        if (open.empty()) {
            return widths;
        }
    }
}

qreal rowHeight(const QPagedPaintDevice& device, const QStringList& cells, const QFont& font,
                const std::vector<qreal>& widths, qreal padding)
{
    qreal height = 0;
    for (size_t col = 0; col < widths.size() && col < static_cast<size_t>(cells.size()); ++col) {
        height = std::max(height, layOutText(cells[static_cast<qsizetype>(col)], font, device,
                                             widths[col] - 2 * padding));
    }
    return std::max(height, QFontMetricsF(font, &device).height()) + 2 * padding;
}

class TablePainter final
{
public:
    TablePainter(QPagedPaintDevice& device, const PrintedTable& table)
        : m_device(device), m_table(table), m_measures(device),
          m_page(device.pageLayout().paintRectPixels(device.logicalDpiX()))
    {
        m_widths = columnWidths(naturalWidths(device, table, m_measures), m_page.width());
        m_headerHeight =
            rowHeight(device, table.header, m_measures.header, m_widths, m_measures.padding);
        m_footHeight = QFontMetricsF(m_measures.body, &device).height() * 2;
        m_titleHeight = layOutText(table.title, m_measures.title, device, m_page.width()) +
                        4 * m_measures.pixelsPerPoint;
        m_totalHeight = table.total.isEmpty()
                            ? 0
                            : layOutText(table.total, m_measures.body, device, m_page.width()) +
                                  4 * m_measures.pixelsPerPoint;
        m_rowHeights.reserve(table.rows.size());
        const qreal tallest = bodyHeight() - m_headerHeight - m_titleHeight;
        for (const QStringList& row : table.rows) {
            m_rowHeights.push_back(std::min(
                tallest, rowHeight(device, row, m_measures.body, m_widths, m_measures.padding)));
        }
        paginate();
    }

    void paint()
    {
        QPainter painter(&m_device);
        const int pages = static_cast<int>(m_pageStarts.size());
        for (int page = 0; page < pages; ++page) {
            if (page > 0) {
                m_device.newPage();
            }
            qreal y = 0;
            if (page == 0) {
                layOutText(m_table.title, m_measures.title, m_device, m_page.width(), &painter,
                           QPointF(0, 0));
                y = m_titleHeight;
            }
            const size_t first = m_pageStarts[static_cast<size_t>(page)];
            const size_t end = page + 1 < pages ? m_pageStarts[static_cast<size_t>(page) + 1]
                                                : m_table.rows.size();
            if (first < end || m_table.rows.empty()) {
                paintRow(painter, m_table.header, m_measures.header, y, m_headerHeight, true);
                y += m_headerHeight;
            }
            for (size_t row = first; row < end; ++row) {
                paintRow(painter, m_table.rows[row], m_measures.body, y, m_rowHeights[row], false);
                y += m_rowHeights[row];
            }
            if (page + 1 == pages && !m_table.total.isEmpty()) {
                layOutText(m_table.total, m_measures.body, m_device, m_page.width(), &painter,
                           QPointF(0, m_totalOnNewPage ? 0 : y + 4 * m_measures.pixelsPerPoint));
            }
            paintFoot(painter, page + 1, pages);
        }
    }

private:
    qreal bodyHeight() const { return m_page.height() - m_footHeight; }

    // Where each page's rows begin; a row that does not fit below the last goes whole to the
    // next page, after the repeated header.
    void paginate()
    {
        m_pageStarts = {0};
        qreal y = m_titleHeight + m_headerHeight;
        for (size_t row = 0; row < m_rowHeights.size(); ++row) {
            if (y + m_rowHeights[row] > bodyHeight() && row > m_pageStarts.back()) {
                m_pageStarts.push_back(row);
                y = m_headerHeight;
            }
            y += m_rowHeights[row];
        }
        if (m_totalHeight > 0 && y + m_totalHeight > bodyHeight()) {
            m_pageStarts.push_back(m_rowHeights.size());
            m_totalOnNewPage = true;
        }
    }

    void paintRow(QPainter& painter, const QStringList& cells, const QFont& font, qreal y,
                  qreal height, bool header)
    {
        QPen pen(Qt::black);
        pen.setWidthF(0.5 * m_measures.pixelsPerPoint);
        painter.setPen(pen);
        qreal x = 0;
        for (size_t col = 0; col < m_widths.size(); ++col) {
            const QRectF cell(x, y, m_widths[col], height);
            if (header) {
                painter.fillRect(cell, QColor(235, 235, 235));
            }
            painter.drawRect(cell);
            painter.save();
            painter.setClipRect(cell);
            layOutText(cells.value(static_cast<qsizetype>(col)), font, m_device,
                       m_widths[col] - 2 * m_measures.padding, &painter,
                       cell.topLeft() + QPointF(m_measures.padding, m_measures.padding));
            painter.restore();
            x += m_widths[col];
        }
    }

    void paintFoot(QPainter& painter, int page, int pages)
    {
        painter.setFont(m_measures.body);
        const QRectF foot(0, m_page.height() - m_footHeight / 2, m_page.width(), m_footHeight / 2);
        painter.drawText(foot, Qt::AlignCenter,
                         QStringLiteral("第 %1 页，共 %2 页").arg(page).arg(pages));
    }

    QPagedPaintDevice& m_device;
    const PrintedTable& m_table;
    Measures m_measures;
    QRectF m_page;
    std::vector<qreal> m_widths;
    std::vector<qreal> m_rowHeights;
    std::vector<size_t> m_pageStarts;
    qreal m_headerHeight = 0;
    qreal m_footHeight = 0;
    qreal m_titleHeight = 0;
    qreal m_totalHeight = 0;
    bool m_totalOnNewPage = false;
};

} // namespace

void choosePrintOrientation(QPagedPaintDevice& device, const PrintedTable& table)
{
    QPageLayout portrait = device.pageLayout();
    portrait.setOrientation(QPageLayout::Portrait);
    const qreal width = portrait.paintRectPixels(device.logicalDpiX()).width();
    const Measures measures(device);
    qreal wanted = 0;
    for (const qreal natural : naturalWidths(device, table, measures)) {
        wanted += std::min(natural, width * kLongTextShare);
    }
    device.setPageOrientation(wanted > width ? QPageLayout::Landscape : QPageLayout::Portrait);
}

void printTable(QPagedPaintDevice& device, const PrintedTable& table)
{
    TablePainter(device, table).paint();
}

} // namespace khgl

#include "widgets/record_grid.h"

#include "widgets/screen_fit.h"

#include <QApplication>
#include <QBrush>
#include <QCoreApplication>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace khgl {
namespace {

constexpr int kTwipsPerPixel = 15;

int toPixels(int twips)
{
    return std::max(0, screen_fit::scaled(twips / kTwipsPerPixel));
}

// A cell shows, and its tooltip holds, at most this many bytes of its text: a description
// may run to megabytes, and laying all of it out would take the program down. The whole
// text stays in the cell for reading, copying and saving.
constexpr size_t kShownBytes = 3000;
constexpr size_t kTipBytes = 6000;

QString shownText(const std::string& text, size_t limit)
{
    if (text.size() <= limit) {
        return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
    }
    size_t end = limit;
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0U) == 0x80U) {
        --end; // not inside a character
    }
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(end)) + QChar(0x2026);
}

} // namespace

int GridModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : m_count;
}

int GridModel::columnCount(const QModelIndex& parent) const
{
    // Grid column 0 is the vertical header, so it stays put when the columns scroll.
    return parent.isValid() ? 0 : m_rows.cols() - 1;
}

int GridModel::fullCount() const
{
    return std::min(RecordGrid::kWindowRows, m_rows.rows() - m_top);
}

int GridModel::maxTop() const
{
    return std::max(0, m_rows.rows() - RecordGrid::kWindowRows);
}

int GridModel::modelRow(int dataRow) const
{
    const int at = dataRow - m_top;
    return at >= 0 && at < m_count ? at : -1;
}

void GridModel::refit()
{
    m_top = std::clamp(m_top, 0, maxTop());
    m_count = fullCount();
}

void GridModel::setTop(int top)
{
    top = std::clamp(top, 0, maxTop());
    if (top == m_top) {
        return;
    }
    m_top = top;
    if (m_count > 0 && m_rows.cols() > 1) {
        Q_EMIT dataChanged(index(0, 0), index(m_count - 1, m_rows.cols() - 2));
    }
    if (m_count > 0) {
        Q_EMIT headerDataChanged(Qt::Vertical, 0, m_count - 1);
    }
}

QVariant GridModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= m_count || index.column() + 1 >= m_rows.cols()) {
        return {};
    }
    const int dataRow = m_top + index.row();
    if (role == Qt::ToolTipRole && m_rowTip) {
        if (QString tip = m_rowTip(dataRow + 1); !tip.isEmpty()) {
            return tip;
        }
    }
    if (role == Qt::DisplayRole || role == Qt::ToolTipRole) {
        const std::string& text = m_rows.cell(dataRow, index.column() + 1);
        if (role == Qt::ToolTipRole && text.size() < 40) {
            return {};
        }
        return shownText(text, role == Qt::ToolTipRole ? kTipBytes : kShownBytes);
    }
    if (role == Qt::EditRole) {
        const std::string& text = m_rows.cell(dataRow, index.column() + 1);
        return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
    }
    if (role == Qt::ForegroundRole && m_marker && m_marker(dataRow + 1)) {
        return QBrush(Qt::red);
    }
    return {};
}

QVariant GridModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole) {
        return {};
    }
    if (orientation == Qt::Horizontal) {
        return section + 1 < m_headers.size() ? m_headers[section + 1] : QString();
    }
    if (section < m_count) {
        const std::string& text = m_rows.cell(m_top + section, 0);
        return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
    }
    return {};
}

Qt::ItemFlags GridModel::flags(const QModelIndex& index) const
{
    if (!index.isValid()) {
        return Qt::NoItemFlags;
    }
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable;
}

void GridModel::resize(int dataRows, int cols, bool announce)
{
    dataRows = std::max(0, dataRows);
    cols = std::max(1, cols);
    // A new column count, or a window at the end of a listing that shrinks under it, changes
    // every row shown.
    const bool reset =
        cols != m_rows.cols() || m_top > std::max(0, dataRows - RecordGrid::kWindowRows);
    if (reset) {
        if (announce) {
            beginResetModel();
        }
        m_rows.resize(dataRows, cols);
        m_headers.resize(m_rows.cols());
        refit();
        if (announce) {
            endResetModel();
        }
        return;
    }
    const int before = m_count;
    const int after = std::min(RecordGrid::kWindowRows, dataRows - m_top);
    if (announce && after > before) {
        beginInsertRows({}, before, after - 1);
    } else if (announce && after < before) {
        beginRemoveRows({}, after, before - 1);
    }
    m_rows.resize(dataRows, cols);
    m_count = after;
    if (announce && after > before) {
        endInsertRows();
    } else if (announce && after < before) {
        endRemoveRows();
    }
}

void GridModel::removeRow(int dataRow, bool announce)
{
    const int at = modelRow(dataRow);
    if (at < 0) {
        // Outside the window: rows above it move the window up with them.
        m_rows.removeRow(dataRow);
        m_top -= dataRow < m_top ? 1 : 0;
        return;
    }
    if (announce) {
        beginRemoveRows({}, at, at);
    }
    m_rows.removeRow(dataRow);
    --m_count;
    if (announce) {
        endRemoveRows();
    }
    // The window fills up again from below, or at the listing's end from above.
    const bool fromAbove = m_count == fullCount() && m_count < RecordGrid::kWindowRows && m_top > 0;
    const int first = fromAbove ? 0 : m_count;
    const int last = fromAbove ? 0 : fullCount() - 1;
    if (last < first) {
        return;
    }
    if (announce) {
        beginInsertRows({}, first, last);
    }
    m_top -= fromAbove ? 1 : 0;
    m_count += last - first + 1;
    if (announce) {
        endInsertRows();
    }
}

void GridModel::clearAll()
{
    m_rows.clear();
    for (auto& header : m_headers) {
        header.clear();
    }
}

RecordGrid::RecordGrid(QWidget* parent)
    : QTableView(parent), m_model(new GridModel(this)), m_bar(new QScrollBar(Qt::Vertical))
{
    setModel(m_model);
    verticalHeader()->setDefaultSectionSize(20);
    verticalHeader()->setFixedWidth(screen_fit::scaled(20));
    verticalHeader()->setHighlightSections(false);
    verticalHeader()->setSectionsClickable(false);
    setCornerButtonEnabled(false);
    verticalHeader()->setMinimumSectionSize(4);
    horizontalHeader()->setHighlightSections(false);
    horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    horizontalHeader()->setMinimumSectionSize(4);
    setSelectionBehavior(QAbstractItemView::SelectItems);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setWordWrap(false);
    // The arrow keys move between cells; Tab goes on to the page's next control, so the
    // keyboard is never caught in the grid.
    setTabKeyNavigation(false);
    // The window's scroll value counts rows, as the listing's bar does.
    setVerticalScrollMode(QAbstractItemView::ScrollPerItem);
    m_bar->setObjectName(QStringLiteral("ListingBar"));
    addScrollBarWidget(m_bar, Qt::AlignTop);
    m_bar->hide();
    m_model->resize(1, 2, false);
    m_row = 1;
    m_col = 1;
    connect(this, &QTableView::clicked, this, &RecordGrid::onClicked);
    connect(this, &QTableView::doubleClicked, this, &RecordGrid::onDoubleClicked);
    connect(verticalScrollBar(), &QScrollBar::valueChanged, this, &RecordGrid::onViewScrolled);
    connect(verticalScrollBar(), &QScrollBar::rangeChanged, this, &RecordGrid::syncBar);
    connect(m_bar, &QScrollBar::valueChanged, this, &RecordGrid::onBarMoved);
}

void RecordGrid::setRowMarker(std::function<bool(int row)> marker)
{
    m_model->m_marker = std::move(marker);
    viewport()->update();
}

void RecordGrid::setRowToolTip(std::function<QString(int row)> tip)
{
    m_model->m_rowTip = std::move(tip);
}

RecordGrid::~RecordGrid() = default;

int RecordGrid::rows() const
{
    return m_model->m_rows.rows() + 1;
}

void RecordGrid::setRows(int rows)
{
    m_model->resize(std::max(1, rows) - 1, m_model->m_rows.cols(), m_batchDepth == 0);
    followView();
    m_row = std::min(m_row, this->rows() - 1);
    updateWindowed();
}

int RecordGrid::cols() const
{
    return m_model->m_rows.cols();
}

void RecordGrid::setCols(int cols)
{
    m_model->resize(m_model->m_rows.rows(), cols, m_batchDepth == 0);
    m_col = std::min(m_col, this->cols() - 1);
    updateWindowed();
}

void RecordGrid::setRow(int row)
{
    m_row = std::clamp(row, 0, rows() - 1);
    syncCurrent();
}

void RecordGrid::setCol(int col)
{
    m_col = std::clamp(col, 0, cols() - 1);
    syncCurrent();
}

void RecordGrid::syncCurrent()
{
    // Column 0 is the row header: the highlight then stands on the row's first data cell.
    if (m_batchDepth == 0 && m_row >= 1 && cols() > 1) {
        const bool moved = bringIntoWindow(m_row - 1);
        const int col = std::max(m_col, 1);
        const QModelIndex index = m_model->index(m_model->modelRow(m_row - 1), col - 1);
        if (currentIndex() != index) {
            const int keptCol = m_col;
            setCurrentIndex(index);
            m_col = keptCol;
        } else if (moved) {
            scrollTo(index);
        }
    }
}

// Every move of the view's current cell (keys, Tab, drag, click, a call) moves the grid's
// current row with it, so commands act on the row the operator sees highlighted.
void RecordGrid::currentChanged(const QModelIndex& current, const QModelIndex& previous)
{
    if (current.isValid() && m_batchDepth == 0 && !m_shifting) {
        m_row = top() + current.row() + 1;
        m_col = current.column() + 1;
    }
    // The view scrolls to the new current cell; the window follows once that is done.
    ++m_settling;
    QTableView::currentChanged(current, previous);
    --m_settling;
    if (m_settling == 0 && !m_shifting) {
        onViewScrolled(verticalScrollBar()->value());
    }
}

// Rows removed under the highlight move it; the move may be announced before the rows go,
// numbered as they were, so the grid reads where the highlight stands afterwards.
void RecordGrid::followView()
{
    const QModelIndex current = currentIndex();
    if (current.isValid() && m_batchDepth == 0) {
        m_row = top() + current.row() + 1;
        m_col = current.column() + 1;
    }
}

QString RecordGrid::text(int row, int col) const
{
    if (col < 0 || col >= cols() || row < 0 || row >= rows()) {
        return {};
    }
    if (row == 0) {
        return m_model->m_headers.value(col);
    }
    const std::string& text = m_model->m_rows.cell(row - 1, col);
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

qsizetype RecordGrid::textBytes(int row, int col) const
{
    if (col < 0 || col >= cols() || row < 1 || row >= rows()) {
        return text(row, col).toUtf8().size();
    }
    return static_cast<qsizetype>(m_model->m_rows.cell(row - 1, col).size());
}

void RecordGrid::setText(int row, int col, const QString& text)
{
    const QByteArray bytes = text.toUtf8();
    setText(row, col, bytes.constData(), static_cast<int>(bytes.size()));
}

void RecordGrid::setText(int row, int col, const char* utf8, int length)
{
    if (col < 0 || col >= cols() || row < 0 || row >= rows()) {
        return;
    }
    if (row == 0) {
        m_model->m_headers[col] = QString::fromUtf8(utf8, length);
        if (m_batchDepth == 0 && col >= 1) {
            Q_EMIT m_model->headerDataChanged(Qt::Horizontal, col - 1, col - 1);
        }
        return;
    }
    m_model->m_rows.cell(row - 1, col).assign(utf8, static_cast<size_t>(length));
    const int at = m_model->modelRow(row - 1);
    if (m_batchDepth != 0 || at < 0) {
        return;
    }
    if (col == 0) {
        Q_EMIT m_model->headerDataChanged(Qt::Vertical, at, at);
    } else {
        const QModelIndex index = m_model->index(at, col - 1);
        Q_EMIT m_model->dataChanged(index, index, {Qt::DisplayRole});
    }
}

std::string_view RecordGrid::cellBytes(int row, int col) const
{
    if (col < 0 || col >= cols() || row < 1 || row >= rows()) {
        return {};
    }
    return m_model->m_rows.cell(row - 1, col);
}

const std::string* RecordGrid::rowCells(int row) const
{
    if (row < 1 || row >= rows()) {
        return nullptr;
    }
    return m_model->m_rows.rowCells(row - 1);
}

void RecordGrid::showSource(std::unique_ptr<RowSource> source)
{
    {
        Batch batch(*this);
        m_model->m_rows.attach(std::move(source));
        m_model->m_top = 0;
        if (m_model->m_rows.rows() == 0) {
            // Nothing listed: one blank row that names no record.
            m_model->m_rows.detach(0);
            m_model->m_rows.resize(1, m_model->m_rows.cols());
        }
        // The listing ends on its last row, as the current row.
        m_row = m_model->m_rows.rows();
    }
}

void RecordGrid::keyboardSearch(const QString& search)
{
    if (hasSource()) {
        return;
    }
    if (windowed()) {
        searchHeldRows(search);
    } else {
        QTableView::keyboardSearch(search);
    }
}

// The view would search only its window. Keys typed within the input interval add up; one
// key typed again steps to its next match; the search wraps, in the current column.
void RecordGrid::searchHeldRows(const QString& search)
{
    if (search.isEmpty()) {
        m_typed.clear();
        return;
    }
    const bool goingOn =
        m_typedClock.isValid() && m_typedClock.elapsed() <= QApplication::keyboardInputInterval();
    m_typed = goingOn ? m_typed + search : search;
    m_typedClock.start();
    const bool oneKey = std::all_of(m_typed.cbegin(), m_typed.cend(),
                                    [&](QChar c) { return c == m_typed.front(); });
    const QString wanted = oneKey ? m_typed.left(1) : m_typed;
    const int dataRows = rows() - 1;
    const int col = std::max(m_col, 1);
    const int from = std::max(oneKey ? m_row + 1 : m_row, 1) - 1;
    for (int i = 0; i < dataRows; ++i) {
        const int row = 1 + (from + i) % dataRows;
        if (text(row, col).startsWith(wanted, Qt::CaseInsensitive)) {
            setRow(row);
            return;
        }
    }
}

bool RecordGrid::hasSource() const
{
    return m_model->m_rows.hasSource();
}

void RecordGrid::visitRows(
    const std::function<bool(int row, const std::string* cells)>& visit) const
{
    m_model->m_rows.visit(visit);
}

void RecordGrid::setBlockSize(int rows, int blocks)
{
    m_model->m_rows.setBlockSize(rows, blocks);
}

void RecordGrid::clearTexts()
{
    m_model->clearAll();
    const int shown = m_model->m_count;
    if (m_batchDepth == 0 && shown > 0 && cols() > 1) {
        Q_EMIT m_model->dataChanged(m_model->index(0, 0), m_model->index(shown - 1, cols() - 2));
        Q_EMIT m_model->headerDataChanged(Qt::Horizontal, 0, cols() - 2);
        Q_EMIT m_model->headerDataChanged(Qt::Vertical, 0, shown - 1);
    }
}

qint64 RecordGrid::rowKey(int row) const
{
    if (row < 1 || row >= rows()) {
        return -1;
    }
    return m_model->m_rows.key(row - 1);
}

void RecordGrid::setRowKey(int row, qint64 key)
{
    if (row >= 1 && row < rows()) {
        m_model->m_rows.setKey(row - 1, key);
    }
}

void RecordGrid::refit(double ratio)
{
    const auto by = [ratio](int pixels) { return std::max(4, int(std::lround(pixels * ratio))); };
    verticalHeader()->setFixedWidth(by(verticalHeader()->width()));
    if (QHeaderView* header = horizontalHeader();
        header->minimumHeight() == header->maximumHeight()) {
        header->setFixedHeight(by(header->height()));
    }
    for (int col = 0; col < m_model->columnCount(); ++col) {
        setColumnWidth(col, by(columnWidth(col)));
    }
    for (int at = 0; at < m_model->rowCount(); ++at) {
        QTableView::setRowHeight(at, by(QTableView::rowHeight(at)));
    }
}

int RecordGrid::colWidth(int col) const
{
    if (col == 0) {
        return screen_fit::unscaled(verticalHeader()->width()) * kTwipsPerPixel;
    }
    return screen_fit::unscaled(columnWidth(col - 1)) * kTwipsPerPixel;
}

void RecordGrid::setColWidth(int col, int twips)
{
    if (col == 0) {
        verticalHeader()->setFixedWidth(std::max(4, toPixels(twips)));
        return;
    }
    setColumnWidth(col - 1, toPixels(twips));
}

int RecordGrid::rowHeight(int row) const
{
    if (row == 0) {
        return screen_fit::unscaled(horizontalHeader()->height()) * kTwipsPerPixel;
    }
    // A row outside the window has the height rows are given.
    const int at = m_model->modelRow(row - 1);
    const int pixels = at >= 0 ? QTableView::rowHeight(at) : verticalHeader()->defaultSectionSize();
    return screen_fit::unscaled(pixels) * kTwipsPerPixel;
}

void RecordGrid::setRowHeight(int row, int twips)
{
    if (row == 0) {
        horizontalHeader()->setFixedHeight(std::max(toPixels(twips), screen_fit::scaled(20)));
    } else if (const int at = m_model->modelRow(row - 1); at >= 0) {
        QTableView::setRowHeight(at, std::max(toPixels(twips), screen_fit::scaled(20)));
    }
}

void RecordGrid::removeItem(int row)
{
    if (row < 1 || row >= rows()) {
        return;
    }
    if (row == m_row && m_batchDepth == 0) {
        bringIntoWindow(row - 1); // the highlight moves to a row beside it, shown
    }
    // A highlight outside the window is not the view's current cell: it moves up by itself.
    const bool unseen = windowed() && !currentIndex().isValid();
    m_model->removeRow(row - 1, m_batchDepth == 0);
    followView();
    if (unseen && row <= m_row) {
        m_row = std::max(1, m_row - 1);
    }
    m_row = std::min(m_row, rows() - 1);
    updateWindowed();
}

QModelIndex RecordGrid::cellIndex(int row, int col)
{
    if (row < 1 || row >= rows() || col < 1 || col >= cols()) {
        return {};
    }
    if (m_model->modelRow(row - 1) < 0) {
        bringIntoWindow(row - 1);
    }
    return m_model->index(m_model->modelRow(row - 1), col - 1);
}

QRect RecordGrid::cellRect(int row, int col) const
{
    const int at = row >= 1 && col >= 1 && col < cols() ? m_model->modelRow(row - 1) : -1;
    return at < 0 ? QRect() : visualRect(m_model->index(at, col - 1));
}

void RecordGrid::onClicked(const QModelIndex& index)
{
    m_row = top() + index.row() + 1;
    m_col = index.column() + 1;
    Q_EMIT cellClicked(m_row, m_col);
}

void RecordGrid::onDoubleClicked(const QModelIndex& index)
{
    m_row = top() + index.row() + 1;
    m_col = index.column() + 1;
    Q_EMIT cellDoubleClicked(m_row, m_col);
}

int RecordGrid::top() const
{
    return m_model->m_top;
}

bool RecordGrid::windowed() const
{
    return m_model->m_rows.rows() > kWindowRows;
}

// Rows kept in the window beyond the shown ones before it moves: a page, so Page Up and Page
// Down find their row inside it.
int RecordGrid::room() const
{
    const int page = verticalScrollBar()->pageStep();
    return std::max(1, std::min(page + 2, (kWindowRows - page) / 3));
}

void RecordGrid::placeWindow(int top, int firstShown)
{
    m_shifting = true;
    m_model->setTop(top);
    mirrorCurrent();
    verticalScrollBar()->setValue(firstShown - this->top());
    m_shifting = false;
    syncBar();
}

bool RecordGrid::bringIntoWindow(int dataRow)
{
    if (!windowed()) {
        return false;
    }
    const int at = dataRow - top();
    const bool roomAbove = at >= room() || top() == 0;
    const bool roomBelow = at < kWindowRows - room() || top() == m_model->maxTop();
    if (at >= 0 && at < m_model->m_count && roomAbove && roomBelow) {
        return false;
    }
    placeWindow(dataRow - kWindowRows / 2, top() + verticalScrollBar()->value());
    return true;
}

// The view's current cell and selection on the highlighted row wherever the window shows it,
// none while it is outside; the view does not scroll for it.
void RecordGrid::mirrorCurrent()
{
    const int at = m_row >= 1 && cols() > 1 ? m_model->modelRow(m_row - 1) : -1;
    const bool scrolls = hasAutoScroll();
    setAutoScroll(false);
    if (at >= 0) {
        selectionModel()->setCurrentIndex(m_model->index(at, std::max(m_col, 1) - 1),
                                          QItemSelectionModel::ClearAndSelect);
    } else {
        selectionModel()->clearSelection();
        selectionModel()->clearCurrentIndex();
    }
    setAutoScroll(scrolls);
}

// The listing shown from data row first on: the window moves when the shown rows come near
// its edge.
void RecordGrid::showFrom(int first)
{
    const QScrollBar* view = verticalScrollBar();
    const int at = first - top();
    const bool early = at < room() && top() > 0;
    const bool late = at > view->maximum() - room() && top() < m_model->maxTop();
    if (early || late) {
        placeWindow(first - (kWindowRows - view->pageStep()) / 2, first);
        return;
    }
    if (at != view->value()) {
        m_shifting = true;
        verticalScrollBar()->setValue(at);
        m_shifting = false;
    }
    syncBar();
}

void RecordGrid::onViewScrolled(int value)
{
    if (m_shifting || !windowed()) {
        return;
    }
    if (m_settling > 0) {
        syncBar();
        return;
    }
    showFrom(top() + value);
}

void RecordGrid::onBarMoved(int value)
{
    if (!m_shifting && windowed()) {
        showFrom(value);
    }
}

void RecordGrid::syncBar()
{
    if (!windowed()) {
        return;
    }
    const QScrollBar* view = verticalScrollBar();
    const QSignalBlocker blocker(m_bar);
    m_bar->setRange(0, m_model->maxTop() + view->maximum());
    m_bar->setPageStep(view->pageStep());
    m_bar->setSingleStep(1);
    m_bar->setValue(top() + view->value());
}

// A listing longer than the window scrolls with the bar over the whole listing, in place of
// the view's own.
void RecordGrid::updateWindowed()
{
    const bool on = windowed();
    if (on == !m_bar->isHidden()) {
        syncBar();
        return;
    }
    if (on) {
        m_viewBarPolicy = verticalScrollBarPolicy();
        setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
        verticalScrollBar()->hide();
        m_bar->show();
    } else {
        m_bar->hide();
        verticalScrollBar()->show();
        setVerticalScrollBarPolicy(m_viewBarPolicy);
    }
    syncBar();
}

void RecordGrid::scrollToTop()
{
    if (windowed()) {
        placeWindow(0, 0);
    }
    QTableView::scrollToTop();
}

void RecordGrid::scrollToBottom()
{
    if (windowed()) {
        placeWindow(m_model->maxTop(), m_model->maxTop() + kWindowRows);
    }
    QTableView::scrollToBottom();
}

QModelIndex RecordGrid::moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers)
{
    if (windowed() && m_row >= 1) {
        const bool home = action == MoveHome;
        if ((home || action == MoveEnd) && modifiers.testFlag(Qt::ControlModifier)) {
            // The listing's first or last row, in its first or last column.
            placeWindow(home ? 0 : m_model->maxTop(), top() + verticalScrollBar()->value());
            return m_model->index(home ? 0 : m_model->m_count - 1,
                                  home ? 0 : m_model->columnCount() - 1);
        }
        bringIntoWindow(m_row - 1);
    }
    return QTableView::moveCursor(action, modifiers);
}

void RecordGrid::wheelEvent(QWheelEvent* event)
{
    const QPoint delta = event->angleDelta();
    if (windowed() && std::abs(delta.x()) <= std::abs(delta.y())) {
        QCoreApplication::sendEvent(m_bar, event);
        return;
    }
    QTableView::wheelEvent(event);
}

RecordGrid::Batch::Batch(RecordGrid& grid) : m_grid(grid)
{
    if (m_grid.m_batchDepth++ == 0) {
        m_grid.m_model->beginResetModel();
    }
}

RecordGrid::Batch::~Batch()
{
    if (--m_grid.m_batchDepth == 0) {
        m_grid.m_model->refit();
        m_grid.m_model->endResetModel();
        m_grid.updateWindowed();
        m_grid.syncCurrent();
    }
}

} // namespace khgl

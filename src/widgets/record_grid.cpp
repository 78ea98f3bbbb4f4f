#include "widgets/record_grid.h"

#include "widgets/screen_fit.h"

#include <QBrush>
#include <QHeaderView>
#include <algorithm>
#include <exception>

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
    return parent.isValid() ? 0 : m_dataRows;
}

int GridModel::columnCount(const QModelIndex& parent) const
{
    // Grid column 0 is the vertical header, so it stays put when the columns scroll.
    return parent.isValid() ? 0 : m_cols - 1;
}

namespace {

// A cleared listing: as many rows, all blank.
class BlankRows final : public RowSource
{
public:
    explicit BlankRows(int rows) : m_rows(rows) {}
    int count() override { return m_rows; }
    int fetch(int first, int n, int, std::vector<std::string>&, std::vector<qint64>&) override
    {
        return std::max(0, std::min(n, m_rows - first));
    }
    void removed(int) override { --m_rows; }

private:
    int m_rows;
};

} // namespace

const GridModel::Block* GridModel::block(int index) const
{
    if (const auto found = m_blocks.find(index); found != m_blocks.end()) {
        found->second.used = ++m_clock;
        return &found->second;
    }
    const int first = index * m_blockRows;
    const int n = std::min(m_blockRows, m_sourceRows - first);
    if (n <= 0) {
        return nullptr;
    }
    Block fetched;
    fetched.cells.resize(static_cast<size_t>(n) * static_cast<size_t>(m_cols));
    fetched.keys.assign(static_cast<size_t>(n), -1);
    try {
        m_source->fetch(first, n, m_cols, fetched.cells, fetched.keys);
    } catch (const std::exception&) {
        // Shown blank for now (a paint cannot report it); the next showing asks again.
        return nullptr;
    }
    while (static_cast<int>(m_blocks.size()) >= std::max(1, m_maxBlocks)) {
        auto oldest = m_blocks.begin();
        for (auto it = m_blocks.begin(); it != m_blocks.end(); ++it) {
            if (it->second.used < oldest->second.used) {
                oldest = it;
            }
        }
        m_blocks.erase(oldest);
    }
    fetched.used = ++m_clock;
    return &m_blocks.emplace(index, std::move(fetched)).first->second;
}

GridModel::EditedRow& GridModel::editedRow(int dataRow)
{
    const int row = dataRow;
    if (const auto found = m_edited.find(row); found != m_edited.end()) {
        return found->second;
    }
    EditedRow edited;
    edited.cells.resize(static_cast<size_t>(m_cols));
    if (const Block* fetched = block(row / m_blockRows)) {
        const size_t at = static_cast<size_t>(row % m_blockRows);
        if (at < fetched->keys.size()) {
            std::copy_n(fetched->cells.begin() + static_cast<std::ptrdiff_t>(at * m_cols), m_cols,
                        edited.cells.begin());
            edited.key = fetched->keys[at];
        }
    }
    return m_edited.emplace(row, std::move(edited)).first->second;
}

const std::string* GridModel::rowCells(int dataRow) const
{
    static const std::vector<std::string> blank(64);
    if (dataRow >= m_sourceRows) {
        return &m_cells[static_cast<size_t>(dataRow - m_sourceRows) * static_cast<size_t>(m_cols)];
    }
    const int row = dataRow;
    if (!m_edited.empty()) {
        if (const auto found = m_edited.find(row); found != m_edited.end()) {
            return found->second.cells.data();
        }
    }
    const Block* fetched = block(row / m_blockRows);
    const size_t at = static_cast<size_t>(row % m_blockRows);
    if (fetched == nullptr || at >= fetched->keys.size() || m_cols > 64) {
        return blank.data();
    }
    return &fetched->cells[at * static_cast<size_t>(m_cols)];
}

const std::string& GridModel::cell(int dataRow, int col) const
{
    return rowCells(dataRow)[col];
}

std::string& GridModel::cell(int dataRow, int col)
{
    if (dataRow >= m_sourceRows) {
        return m_cells[static_cast<size_t>(dataRow - m_sourceRows) * static_cast<size_t>(m_cols) +
                       static_cast<size_t>(col)];
    }
    return editedRow(dataRow).cells[static_cast<size_t>(col)];
}

qint64 GridModel::key(int dataRow) const
{
    if (dataRow >= m_sourceRows) {
        return m_keys[static_cast<size_t>(dataRow - m_sourceRows)];
    }
    const int row = dataRow;
    if (const auto found = m_edited.find(row); found != m_edited.end()) {
        return found->second.key;
    }
    const Block* fetched = block(row / m_blockRows);
    const size_t at = static_cast<size_t>(row % m_blockRows);
    return fetched != nullptr && at < fetched->keys.size() ? fetched->keys[at] : -1;
}

void GridModel::setKey(int dataRow, qint64 key)
{
    if (dataRow >= m_sourceRows) {
        m_keys[static_cast<size_t>(dataRow - m_sourceRows)] = key;
    } else {
        editedRow(dataRow).key = key;
    }
}

void GridModel::attach(std::unique_ptr<RowSource> source)
{
    const int count = std::max(0, source->count());
    m_source = std::move(source);
    m_sourceRows = count;
    m_dataRows = count;
    m_cells.clear();
    m_keys.clear();
    m_edited.clear();
    m_blocks.clear();
}

// Back to rows held here: the first keepRows rows (at most the listing's) as shown now.
void GridModel::detach(int keepRows)
{
    keepRows = std::clamp(keepRows, 0, m_sourceRows);
    std::vector<std::string> cells(static_cast<size_t>(keepRows) * static_cast<size_t>(m_cols));
    std::vector<qint64> keys(static_cast<size_t>(keepRows), -1);
    for (int r = 0; r < keepRows; ++r) {
        const std::string* row = rowCells(r);
        std::copy_n(row, m_cols,
                    cells.begin() +
                        static_cast<std::ptrdiff_t>(r) * static_cast<std::ptrdiff_t>(m_cols));
        keys[static_cast<size_t>(r)] = key(r);
    }
    m_cells = std::move(cells);
    m_keys = std::move(keys);
    m_source.reset();
    m_sourceRows = 0;
    m_dataRows = keepRows;
    m_edited.clear();
    m_blocks.clear();
}

void GridModel::removeRow(int dataRow)
{
    if (dataRow >= m_sourceRows) {
        const auto at = static_cast<std::ptrdiff_t>(dataRow - m_sourceRows);
        const auto begin = m_cells.begin() + at * static_cast<std::ptrdiff_t>(m_cols);
        m_cells.erase(begin, begin + m_cols);
        m_keys.erase(m_keys.begin() + at);
    } else {
        m_source->removed(dataRow);
        std::unordered_map<int, EditedRow> edited;
        for (auto& [row, cells] : m_edited) {
            if (row != dataRow) {
                edited.emplace(row < dataRow ? row : row - 1, std::move(cells));
            }
        }
        m_edited = std::move(edited);
        // Blocks from the removed row on now hold other rows.
        std::erase_if(m_blocks, [this, dataRow](const auto& entry) {
            return (entry.first + 1) * m_blockRows > dataRow;
        });
        --m_sourceRows;
    }
    --m_dataRows;
}

void GridModel::clearAll()
{
    for (auto& text : m_cells) {
        text.clear();
    }
    for (auto& header : m_headers) {
        header.clear();
    }
    if (m_source) {
        std::vector<std::string> held = std::move(m_cells);
        std::vector<qint64> keys = std::move(m_keys);
        const int dataRows = m_dataRows;
        attach(std::make_unique<BlankRows>(m_sourceRows));
        m_cells = std::move(held);
        m_keys = std::move(keys);
        m_dataRows = dataRows;
    }
}

void GridModel::visit(const std::function<bool(int row, const std::string* cells)>& visit) const
{
    if (!m_source) {
        for (int r = 0; r < m_dataRows; ++r) {
            if (!visit(r + 1, &m_cells[static_cast<size_t>(r) * static_cast<size_t>(m_cols)])) {
                return;
            }
        }
        return;
    }
    // Read in large blocks of their own, so the blocks kept for the view stay as they are.
    constexpr int kChunk = 4096;
    const int total = m_sourceRows;
    std::vector<std::string> cells;
    std::vector<qint64> keys;
    for (int first = 0; first < total; first += kChunk) {
        const int n = std::min(kChunk, total - first);
        cells.assign(static_cast<size_t>(n) * static_cast<size_t>(m_cols), std::string());
        keys.assign(static_cast<size_t>(n), -1);
        m_source->fetch(first, n, m_cols, cells, keys);
        for (int i = 0; i < n; ++i) {
            const int row = first + i;
            const std::string* texts = &cells[static_cast<size_t>(i) * static_cast<size_t>(m_cols)];
            if (const auto found = m_edited.find(row); found != m_edited.end()) {
                texts = found->second.cells.data();
            }
            if (!visit(row + 1, texts)) {
                return;
            }
        }
    }
    for (int r = 0; r < heldRows(); ++r) {
        if (!visit(m_sourceRows + r + 1,
                   &m_cells[static_cast<size_t>(r) * static_cast<size_t>(m_cols)])) {
            return;
        }
    }
}

QVariant GridModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= m_dataRows || index.column() + 1 >= m_cols) {
        return {};
    }
    if (role == Qt::ToolTipRole && m_rowTip) {
        if (QString tip = m_rowTip(index.row() + 1); !tip.isEmpty()) {
            return tip;
        }
    }
    if (role == Qt::DisplayRole || role == Qt::ToolTipRole) {
        const std::string& text = cell(index.row(), index.column() + 1);
        if (role == Qt::ToolTipRole && text.size() < 40) {
            return {};
        }
        return shownText(text, role == Qt::ToolTipRole ? kTipBytes : kShownBytes);
    }
    if (role == Qt::EditRole) {
        const std::string& text = cell(index.row(), index.column() + 1);
        return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
    }
    if (role == Qt::ForegroundRole && m_marker && m_marker(index.row() + 1)) {
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
    if (section < m_dataRows) {
        const std::string& text = cell(section, 0);
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
    if (cols != m_cols) {
        if (announce) {
            beginResetModel();
        }
        if (dataRows < m_sourceRows) {
            detach(dataRows);
        }
        const int held = heldRows();
        const int keepHeld = std::min(dataRows - m_sourceRows, held);
        std::vector<std::string> cells(static_cast<size_t>(dataRows - m_sourceRows) *
                                       static_cast<size_t>(cols));
        const int keepCols = std::min(cols, m_cols);
        for (int r = 0; r < keepHeld; ++r) {
            for (int c = 0; c < keepCols; ++c) {
                cells[static_cast<size_t>(r) * static_cast<size_t>(cols) + static_cast<size_t>(c)] =
                    std::move(m_cells[static_cast<size_t>(r) * static_cast<size_t>(m_cols) +
                                      static_cast<size_t>(c)]);
            }
        }
        m_cells = std::move(cells);
        for (auto& [row, edited] : m_edited) {
            edited.cells.resize(static_cast<size_t>(cols));
        }
        m_blocks.clear();
        m_cols = cols;
        m_headers.resize(cols);
        m_dataRows = dataRows;
        m_keys.resize(static_cast<size_t>(dataRows - m_sourceRows), -1);
        if (announce) {
            endResetModel();
        }
        return;
    }
    if (dataRows > m_dataRows) {
        if (announce) {
            beginInsertRows({}, m_dataRows, dataRows - 1);
        }
        m_cells.resize(static_cast<size_t>(dataRows - m_sourceRows) * static_cast<size_t>(m_cols));
        m_keys.resize(static_cast<size_t>(dataRows - m_sourceRows), -1);
        m_dataRows = dataRows;
        if (announce) {
            endInsertRows();
        }
    } else if (dataRows < m_dataRows) {
        if (announce) {
            beginRemoveRows({}, dataRows, m_dataRows - 1);
        }
        if (dataRows < m_sourceRows) {
            detach(dataRows);
        } else {
            m_cells.resize(static_cast<size_t>(dataRows - m_sourceRows) *
                           static_cast<size_t>(m_cols));
            m_keys.resize(static_cast<size_t>(dataRows - m_sourceRows));
            m_dataRows = dataRows;
        }
        if (announce) {
            endRemoveRows();
        }
    }
}

RecordGrid::RecordGrid(QWidget* parent) : QTableView(parent), m_model(new GridModel(this))
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
    m_model->resize(1, 2, false);
    m_row = 1;
    m_col = 1;
    connect(this, &QTableView::clicked, this, &RecordGrid::onClicked);
    connect(this, &QTableView::doubleClicked, this, &RecordGrid::onDoubleClicked);
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
    return m_model->m_dataRows + 1;
}

void RecordGrid::setRows(int rows)
{
    m_model->resize(std::max(1, rows) - 1, m_model->m_cols, m_batchDepth == 0);
    followView();
    m_row = std::min(m_row, this->rows() - 1);
}

int RecordGrid::cols() const
{
    return m_model->m_cols;
}

void RecordGrid::setCols(int cols)
{
    m_model->resize(m_model->m_dataRows, cols, m_batchDepth == 0);
    m_col = std::min(m_col, this->cols() - 1);
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
        const int col = std::max(m_col, 1);
        const QModelIndex index = m_model->index(m_row - 1, col - 1);
        if (currentIndex() != index) {
            const int keptCol = m_col;
            setCurrentIndex(index);
            m_col = keptCol;
        }
    }
}

// Every move of the view's current cell (keys, Tab, drag, click, a call) moves the grid's
// current row with it, so commands act on the row the operator sees highlighted.
void RecordGrid::currentChanged(const QModelIndex& current, const QModelIndex& previous)
{
    QTableView::currentChanged(current, previous);
    if (current.isValid() && m_batchDepth == 0) {
        m_row = current.row() + 1;
        m_col = current.column() + 1;
    }
}

// Rows removed under the highlight move it; the move may be announced before the rows go,
// numbered as they were, so the grid reads where the highlight stands afterwards.
void RecordGrid::followView()
{
    const QModelIndex current = currentIndex();
    if (current.isValid() && m_batchDepth == 0) {
        m_row = current.row() + 1;
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
    const std::string& text = m_model->cell(row - 1, col);
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

qsizetype RecordGrid::textBytes(int row, int col) const
{
    if (col < 0 || col >= cols() || row < 1 || row >= rows()) {
        return text(row, col).toUtf8().size();
    }
    return static_cast<qsizetype>(m_model->cell(row - 1, col).size());
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
    m_model->cell(row - 1, col).assign(utf8, static_cast<size_t>(length));
    if (m_batchDepth != 0) {
        return;
    }
    if (col == 0) {
        Q_EMIT m_model->headerDataChanged(Qt::Vertical, row - 1, row - 1);
    } else {
        const QModelIndex index = m_model->index(row - 1, col - 1);
        Q_EMIT m_model->dataChanged(index, index, {Qt::DisplayRole});
    }
}

std::string_view RecordGrid::cellBytes(int row, int col) const
{
    if (col < 0 || col >= cols() || row < 1 || row >= rows()) {
        return {};
    }
    return m_model->cell(row - 1, col);
}

const std::string* RecordGrid::rowCells(int row) const
{
    if (row < 1 || row >= rows()) {
        return nullptr;
    }
    return m_model->rowCells(row - 1);
}

void RecordGrid::showSource(std::unique_ptr<RowSource> source)
{
    {
        Batch batch(*this);
        m_model->attach(std::move(source));
        if (m_model->m_dataRows == 0) {
            // Nothing listed: one blank row that names no record.
            m_model->detach(0);
            m_model->resize(1, m_model->m_cols, false);
        }
        // The listing ends on its last row, as the current row.
        m_row = m_model->m_dataRows;
    }
}

void RecordGrid::keyboardSearch(const QString& search)
{
    if (!hasSource()) {
        QTableView::keyboardSearch(search);
    }
}

bool RecordGrid::hasSource() const
{
    return m_model->m_source != nullptr;
}

void RecordGrid::visitRows(
    const std::function<bool(int row, const std::string* cells)>& visit) const
{
    m_model->visit(visit);
}

void RecordGrid::setBlockSize(int rows, int blocks)
{
    m_model->m_blockRows = std::max(1, rows);
    m_model->m_maxBlocks = std::max(1, blocks);
    m_model->m_blocks.clear();
}

void RecordGrid::clearTexts()
{
    m_model->clearAll();
    if (m_batchDepth == 0 && m_model->m_dataRows > 0 && cols() > 1) {
        Q_EMIT m_model->dataChanged(m_model->index(0, 0),
                                    m_model->index(m_model->m_dataRows - 1, cols() - 2));
        Q_EMIT m_model->headerDataChanged(Qt::Horizontal, 0, cols() - 2);
        Q_EMIT m_model->headerDataChanged(Qt::Vertical, 0, m_model->m_dataRows - 1);
    }
}

qint64 RecordGrid::rowKey(int row) const
{
    if (row < 1 || row >= rows()) {
        return -1;
    }
    return m_model->key(row - 1);
}

void RecordGrid::setRowKey(int row, qint64 key)
{
    if (row >= 1 && row < rows()) {
        m_model->setKey(row - 1, key);
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
    return screen_fit::unscaled(QTableView::rowHeight(row - 1)) * kTwipsPerPixel;
}

void RecordGrid::setRowHeight(int row, int twips)
{
    if (row == 0) {
        horizontalHeader()->setFixedHeight(std::max(toPixels(twips), screen_fit::scaled(20)));
    } else if (row < rows()) {
        QTableView::setRowHeight(row - 1, std::max(toPixels(twips), screen_fit::scaled(20)));
    }
}

void RecordGrid::removeItem(int row)
{
    if (row < 1 || row >= rows()) {
        return;
    }
    const int dataRow = row - 1;
    if (m_batchDepth == 0) {
        m_model->beginRemoveRows({}, dataRow, dataRow);
    }
    m_model->removeRow(dataRow);
    if (m_batchDepth == 0) {
        m_model->endRemoveRows();
    }
    followView();
    m_row = std::min(m_row, rows() - 1);
}

QModelIndex RecordGrid::cellIndex(int row, int col) const
{
    if (row < 1 || row >= rows() || col < 1 || col >= cols()) {
        return {};
    }
    return m_model->index(row - 1, col - 1);
}

QRect RecordGrid::cellRect(int row, int col) const
{
    return visualRect(cellIndex(row, col));
}

void RecordGrid::onClicked(const QModelIndex& index)
{
    m_row = index.row() + 1;
    m_col = index.column() + 1;
    Q_EMIT cellClicked(m_row, m_col);
}

void RecordGrid::onDoubleClicked(const QModelIndex& index)
{
    m_row = index.row() + 1;
    m_col = index.column() + 1;
    Q_EMIT cellDoubleClicked(m_row, m_col);
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
        m_grid.m_model->endResetModel();
        m_grid.syncCurrent();
    }
}

} // namespace khgl

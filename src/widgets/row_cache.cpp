#include "widgets/row_cache.h"

#include <algorithm>
#include <exception>

namespace khgl {
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

RowCache::RowCache() = default;
RowCache::~RowCache() = default;

const RowCache::Block* RowCache::block(int index) const
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

RowCache::EditedRow& RowCache::editedRow(int row)
{
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

const std::string* RowCache::rowCells(int row) const
{
    static const std::vector<std::string> blank(64);
    if (row >= m_sourceRows) {
        return &m_cells[static_cast<size_t>(row - m_sourceRows) * static_cast<size_t>(m_cols)];
    }
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

const std::string& RowCache::cell(int row, int col) const
{
    return rowCells(row)[col];
}

std::string& RowCache::cell(int row, int col)
{
    if (row >= m_sourceRows) {
        return m_cells[static_cast<size_t>(row - m_sourceRows) * static_cast<size_t>(m_cols) +
                       static_cast<size_t>(col)];
    }
    return editedRow(row).cells[static_cast<size_t>(col)];
}

qint64 RowCache::key(int row) const
{
    if (row >= m_sourceRows) {
        return m_keys[static_cast<size_t>(row - m_sourceRows)];
    }
    if (const auto found = m_edited.find(row); found != m_edited.end()) {
        return found->second.key;
    }
    const Block* fetched = block(row / m_blockRows);
    const size_t at = static_cast<size_t>(row % m_blockRows);
    return fetched != nullptr && at < fetched->keys.size() ? fetched->keys[at] : -1;
}

void RowCache::setKey(int row, qint64 key)
{
    if (row >= m_sourceRows) {
        m_keys[static_cast<size_t>(row - m_sourceRows)] = key;
    } else {
        editedRow(row).key = key;
    }
}

void RowCache::attach(std::unique_ptr<RowSource> source)
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

void RowCache::detach(int keepRows)
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

void RowCache::removeRow(int row)
{
    if (row >= m_sourceRows) {
        const auto at = static_cast<std::ptrdiff_t>(row - m_sourceRows);
        const auto begin = m_cells.begin() + at * static_cast<std::ptrdiff_t>(m_cols);
        m_cells.erase(begin, begin + m_cols);
        m_keys.erase(m_keys.begin() + at);
    } else {
        m_source->removed(row);
        std::unordered_map<int, EditedRow> edited;
        for (auto& [at, cells] : m_edited) {
            if (at != row) {
                edited.emplace(at < row ? at : at - 1, std::move(cells));
            }
        }
        m_edited = std::move(edited);
        // Blocks from the removed row on now hold other rows.
        std::erase_if(m_blocks, [this, row](const auto& entry) {
            return (entry.first + 1) * m_blockRows > row;
        });
        --m_sourceRows;
    }
    --m_dataRows;
}

void RowCache::clear()
{
    for (auto& text : m_cells) {
        text.clear();
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

void RowCache::setBlockSize(int rows, int blocks)
{
    m_blockRows = std::max(1, rows);
    m_maxBlocks = std::max(1, blocks);
    m_blocks.clear();
}

void RowCache::visit(const std::function<bool(int row, const std::string* cells)>& visit) const
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

void RowCache::resizeCols(int rows, int cols)
{
    if (rows < m_sourceRows) {
        detach(rows);
    }
    const int keepHeld = std::min(rows - m_sourceRows, heldRows());
    std::vector<std::string> cells(static_cast<size_t>(rows - m_sourceRows) *
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
    m_dataRows = rows;
    m_keys.resize(static_cast<size_t>(rows - m_sourceRows), -1);
}

void RowCache::resize(int rows, int cols)
{
    rows = std::max(0, rows);
    cols = std::max(1, cols);
    if (cols != m_cols) {
        resizeCols(rows, cols);
    } else if (rows < m_sourceRows) {
        detach(rows);
    } else if (rows != m_dataRows) {
        m_cells.resize(static_cast<size_t>(rows - m_sourceRows) * static_cast<size_t>(m_cols));
        m_keys.resize(static_cast<size_t>(rows - m_sourceRows), -1);
        m_dataRows = rows;
    }
}

} // namespace khgl

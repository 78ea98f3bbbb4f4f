#include "widgets/paged_rows.h"

#include <algorithm>
#include <string>

namespace khgl {

PagedRows::PagedRows(std::unique_ptr<KeysetPages> pages, int firstCol, bool numbered,
                     ValueText valueText)
    : m_pages(std::move(pages)), m_firstCol(firstCol), m_numbered(numbered), m_valueText(valueText)
{
}

int PagedRows::fetch(int first, int n, int cols, std::vector<std::string>& cells,
                     std::vector<qint64>& keys)
{
    const RecordSet set = m_pages->rows(first, n);
    const int shown = std::min(set.fieldCount(), cols - m_firstCol);
    const int rows = std::min(n, set.recordCount());
    for (int r = 0; r < rows; ++r) {
        std::string* row = &cells[static_cast<size_t>(r) * static_cast<size_t>(cols)];
        if (m_numbered && m_firstCol - 1 < cols) {
            row[m_firstCol - 1] = std::to_string(first + r + 1);
        }
        for (int c = 0; c < shown; ++c) {
            std::string& cell = row[c + m_firstCol];
            int length = 0;
            if (const char* text = set.rawText(r, c, &length)) {
                cell.assign(text, static_cast<size_t>(length));
            } else {
                m_valueText(cell, set.valueAt(r, c));
            }
        }
        keys[static_cast<size_t>(r)] = set.rowKeyAt(r);
    }
    return rows;
}

} // namespace khgl

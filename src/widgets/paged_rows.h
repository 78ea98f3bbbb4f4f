#pragma once

#include "data_store/keyset_pages.h"
#include "widgets/row_cache.h"

#include <memory>

namespace khgl {

// A listing read a block at a time, shown in a record grid: its columns from grid column
// firstCol on; when numbered, the column before holds the row's number (1, 2, ...). Text cells
// are copied as stored; valueText writes every other value as the page shows it.
class PagedRows final : public RowSource
{
public:
    using ValueText = void (*)(std::string& out, const QVariant& value);

    PagedRows(std::unique_ptr<KeysetPages> pages, int firstCol, bool numbered, ValueText valueText);

    int count() override { return m_pages->count(); }
    int fetch(int first, int n, int cols, std::vector<std::string>& cells,
              std::vector<qint64>& keys) override;
    void removed(int row) override { m_pages->removed(row); }

private:
    std::unique_ptr<KeysetPages> m_pages;
    int m_firstCol;
    bool m_numbered;
    ValueText m_valueText;
};

} // namespace khgl

#include "goods/goods_grid.h"

#include "data_store/record_set.h"
#include "data_store/schema.h"
#include "data_store/values.h"
#include "goods/amount_text.h"
#include "widgets/paged_rows.h"
#include "widgets/record_grid.h"

#include <charconv>
#include <vector>

namespace khgl::goods {
namespace {

void writeNumber(RecordGrid& grid, int row, int col, const QVariant& value)
{
    std::string text;
    numberText(text, value);
    if (!text.empty()) {
        grid.setText(row, col, text.data(), static_cast<int>(text.size()));
    }
}

} // namespace

void resetGrid(RecordGrid& grid)
{
    RecordGrid::Batch batch(grid);
    grid.setRows(2);
    for (int col = 1; col < grid.cols(); ++col) {
        grid.setText(1, col, QString());
    }
    grid.setRowKey(1, -1);
    grid.setRow(1);
}

QStringList shownColumns()
{
    return columnNames(QStringLiteral("进货表")).first(6);
}

void listRecords(RecordGrid& grid, const RecordSet& set, const QStringList& names)
{
    const int count = set.recordCount();
    if (count == 0) {
        return;
    }
    // By name: a column another tool added to the file neither shows nor shifts the others.
    std::vector<int> fields;
    for (const QString& name : names) {
        if (static_cast<int>(fields.size()) < grid.cols() - 2) {
            fields.push_back(set.fieldIndex(name));
        }
    }
    const int columns = static_cast<int>(fields.size());
    {
        RecordGrid::Batch batch(grid);
        grid.setRows(count + 1);
        char position[16];
        for (int r = 0; r < count; ++r) {
            const int row = r + 1;
            const auto end = std::to_chars(position, position + sizeof position, row).ptr;
            grid.setText(row, 1, position, static_cast<int>(end - position));
            for (int c = 0; c < columns; ++c) {
                const int field = fields[static_cast<size_t>(c)];
                if (field < 0) {
                    continue;
                }
                int length = 0;
                if (const char* text = set.rawText(r, field, &length)) {
                    if (length > 0) {
                        grid.setText(row, c + 2, text, length);
                    }
                } else {
                    writeNumber(grid, row, c + 2, set.valueAt(r, field));
                }
            }
            grid.setRowKey(row, set.rowKeyAt(r));
        }
        // The listing ends on its last row, as the current row.
        grid.setRow(count);
    }
    grid.scrollToTop();
}

int listPages(RecordGrid& grid, std::unique_ptr<KeysetPages> pages)
{
    const int count = pages->count();
    if (count == 0) {
        return 0;
    }
    grid.showSource(std::make_unique<PagedRows>(std::move(pages), 2, true, &numberText));
    grid.scrollToTop();
    return count;
}

void setUpEntryGrid(RecordGrid& grid, const QStringList& headers, int lastWidth)
{
    grid.setCols(8);
    grid.setRowHeight(0, 300);
    grid.setColWidth(0, 300);
    for (int col = 1; col <= 6; ++col) {
        grid.setColWidth(col, 1200);
    }
    grid.setColWidth(7, lastWidth);
    for (int col = 1; col < 8 && col - 1 < headers.size(); ++col) {
        grid.setText(0, col, headers[col - 1]);
    }
}

void showEntry(RecordGrid& grid, int row, const GoodsEntry& entry)
{
    const QStringList texts{entry.name,   entry.price, entry.quantity,
                            entry.amount, entry.date,  entry.remark};
    for (int col = 2; col - 2 < texts.size() && col < grid.cols(); ++col) {
        grid.setText(row, col, texts[col - 2]);
    }
}

void showSavedRow(RecordGrid& grid, const SavedRecord& saved, const GoodsEntry& entry)
{
    int row = 1;
    if (grid.rows() != 2 || !grid.text(1, 2).isEmpty()) {
        grid.setRows(grid.rows() + 1);
        row = grid.rows() - 1;
    }
    grid.setText(row, 1, QString::number(saved.count));
    showEntry(grid, row, entry);
    grid.setRowKey(row, saved.key);
    // The saved row becomes current: a delete right after a save removes what was saved.
    grid.setRow(row);
}

QList<std::pair<QString, QString>> shownTexts(const RecordGrid& grid, int row)
{
    QList<std::pair<QString, QString>> shown;
    const QStringList names = shownColumns();
    for (int c = 0; c < names.size(); ++c) {
        shown.append({names[c], grid.text(row, c + 2)});
    }
    return shown;
}

} // namespace khgl::goods

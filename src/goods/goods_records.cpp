#include "goods/goods_records.h"

#include "data_store/data_store.h"
#include "data_store/store_error.h"
#include "data_store/values.h"
#include "goods/goods_grid.h"
#include "platform/record_grid.h"

#include <QStringList>

namespace khgl::goods {
namespace {

QVariant numberValue(const QString& column, const QString& text)
{
    const auto number = parseNumber(text);
    if (!number) {
        throw StoreError(QStringLiteral("“%1”须是数字，“%2”不是数字，数据没有写入。")
                             .arg(column, text.left(50)));
    }
    return *number;
}

} // namespace

SavedRecord appendRecord(DataStore& store, const QString& table, const GoodsEntry& entry)
{
    SavedRecord saved;
    // Counting and appending in one transaction keeps 区别 equal to the count it reports;
    // counting instead of reading the whole table keeps a save quick on a long table.
    store.transaction([&] {
        const RecordSet count =
            store.select(QStringLiteral("select count(*) as 记录数 from ") + table);
        saved.count = static_cast<int>(count.valueAt(0, 0).toLongLong()) + 1;
        store.execute(QStringLiteral("insert into ") + table +
                          QStringLiteral(" (名称, 单价, 数量, 总金额, 日期, 备注, 区别) "
                                         "values (?, ?, ?, ?, ?, ?, ?)"),
                      {entry.name, numberValue(QStringLiteral("单价"), entry.price),
                       numberValue(QStringLiteral("数量"), entry.quantity),
                       numberValue(QStringLiteral("总金额"), entry.amount), entry.date,
                       entry.remark, saved.count});
        const RecordSet key = store.select(QStringLiteral("select last_insert_rowid() as 键"));
        saved.key = key.valueAt(0, 0).toLongLong();
    });
    return saved;
}

void showSavedRow(RecordGrid& grid, const SavedRecord& saved, const GoodsEntry& entry)
{
    int row = 1;
    if (grid.rows() != 2 || !grid.text(1, 2).isEmpty()) {
        grid.setRows(grid.rows() + 1);
        row = grid.rows() - 1;
    }
    const QStringList texts{QString::number(saved.count),
                            entry.name,
                            entry.price,
                            entry.quantity,
                            entry.amount,
                            entry.date,
                            entry.remark};
    for (int col = 1; col <= texts.size() && col < grid.cols(); ++col) {
        grid.setText(row, col, texts[col - 1]);
    }
    grid.setRowKey(row, saved.key);
    // The saved row becomes current: a delete right after a save removes what was saved.
    grid.setRow(row);
}

void removeShownRecord(DataStore& store, const QString& table, const RecordGrid& grid, int row)
{
    QList<std::pair<QString, QString>> shown;
    const QStringList names = shownColumns();
    for (int c = 0; c < names.size(); ++c) {
        shown.append({names[c], grid.text(row, c + 2)});
    }
    store.deleteShownRecord(table, grid.rowKey(row), shown);
}

} // namespace khgl::goods

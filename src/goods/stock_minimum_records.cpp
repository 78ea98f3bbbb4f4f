#include "goods/stock_minimum_records.h"

#include "data_store/data_store.h"
#include "data_store/store_error.h"
#include "data_store/values.h"
#include "goods/goods_log.h"

namespace khgl::goods {
namespace {

const QString kAll = QStringLiteral("select 名称, 下限 from 库存下限");
const QString kRemove = QStringLiteral("delete from 库存下限 where 名称=?");
const QString kWrite = QStringLiteral("insert into 库存下限 (名称, 下限) values (?, ?)");
// Few products have a minimum; each one's sums come from the (名称, 数量) indexes, so the
// desktop does not sum the whole sales table at every login.
const QString kLow = QStringLiteral(
    "select m.名称 from 库存下限 m where exists (select 1 from 进货表 where 名称=m.名称) and "
    "(select total(数量) from 进货表 where 名称=m.名称) - "
    "(select total(数量) from 销售表 where 名称=m.名称) <= m.下限 order by m.名称");

} // namespace

QHash<QString, QString> stockMinimums(DataStore& store)
{
    RecordSet set = store.select(kAll);
    QHash<QString, QString> minimums;
    for (set.moveFirst(); !set.eof(); set.moveNext()) {
        minimums.insert(set.text(0), set.text(1));
    }
    return minimums;
}

void setStockMinimum(DataStore& store, const QString& name, const QString& minimum)
{
    // The same rule as the six tables: a name no restore would take is never written.
    requireStorable(QStringLiteral("商品名称"), name);
    if (minimum.trimmed().isEmpty()) {
        store.execute(kRemove, {name});
        return;
    }
    const auto number = parseNumber(minimum);
    if (!number) {
        qCInfo(goodsLog) << "save refused: the stock minimum is not a number";
        throw StoreError(
            QStringLiteral("“下限”须是数字，“%1”不是数字，数据没有写入。").arg(minimum.left(50)));
    }
    // Replacing as delete and insert reads alike on SQLite and on a server.
    store.transaction([&] {
        store.execute(kRemove, {name});
        store.execute(kWrite, {name, *number});
    });
}

QStringList lowStockNames(DataStore& store)
{
    RecordSet set = store.select(kLow);
    QStringList names;
    for (set.moveFirst(); !set.eof(); set.moveNext()) {
        names << set.text(0);
    }
    return names;
}

} // namespace khgl::goods

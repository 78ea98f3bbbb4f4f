#include "goods/goods_records.h"

#include "data_store/data_store.h"
#include "data_store/schema.h"
#include "data_store/store_error.h"
#include "data_store/values.h"
#include "goods/goods_log.h"

#include <algorithm>
#include <cmath>

namespace khgl::goods {
namespace {

// The total texts of each table.
struct TableQueries
{
    QString total;
    QString productTotal;
};

const TableQueries& queries(GoodsTable table)
{
    static const TableQueries purchases{
        QStringLiteral("select sum(总金额) as 金额 from 进货表"),
        QStringLiteral("select sum (总金额) as 金额 from 进货表 where 名称=?"),
    };
    static const TableQueries sales{
        QStringLiteral("select sum(总金额) as 金额 from 销售表"),
        QStringLiteral("select sum (总金额) as 金额 from 销售表 where 名称=?"),
    };
    return table == GoodsTable::Purchases ? purchases : sales;
}

QVariant numberValue(const QString& column, const QString& text)
{
    const auto number = parseNumber(text);
    if (!number) {
        qCInfo(goodsLog).noquote() << "save refused: not a number in" << column;
        throw StoreError(QStringLiteral("“%1”须是数字，“%2”不是数字，数据没有写入。")
                             .arg(column, text.left(50)));
    }
    return *number;
}

// The texts an entry writes as they are, by the boxes they come from.
void requireStorableTexts(const GoodsEntry& entry)
{
    requireStorable(QStringLiteral("商品名称"), entry.name);
    requireStorable(QStringLiteral("日期"), entry.date);
    requireStorable(QStringLiteral("备注"), entry.remark);
}

// The rows dated as a query's date names: every form of that day (through the index on
// 日期); a text that names no day finds only rows holding that very text.
std::pair<QString, QVariantList> dateMatch(const QString& date)
{
    const auto day = parseDate(date);
    if (!day) {
        return {QStringLiteral("日期=?"), {date}};
    }
    return {dayFormsMatch(QStringLiteral("日期")), dayFormParams(*day)};
}

std::optional<double> amount(const RecordSet& set)
{
    return sumOf(set, QStringLiteral("金额"));
}

qint64 rowCount(DataStore& store, const QString& table)
{
    if (const auto figures = store.keptFigures(table)) {
        return figures->rows;
    }
    return store.select(QStringLiteral("select count(*) as 记录数 from ") + table)
        .valueAt(0, 0)
        .toLongLong();
}

} // namespace

QString tableName(GoodsTable table)
{
    return table == GoodsTable::Purchases ? QStringLiteral("进货表") : QStringLiteral("销售表");
}

SavedRecord appendRecord(DataStore& store, GoodsTable table, const GoodsEntry& entry)
{
    const QString name = tableName(table);
    SavedRecord saved;
    // Counting and appending in one transaction keeps 区别 equal to the count it reports;
    // counting instead of reading the whole table keeps a save quick on a long table.
    requireStorableTexts(entry);
    store.transaction([&] {
        saved.count = static_cast<int>(rowCount(store, name)) + 1;
        store.execute(QStringLiteral("insert into ") + name +
                          QStringLiteral(" (名称, 单价, 数量, 总金额, 日期, 备注, 区别) "
                                         "values (?, ?, ?, ?, ?, ?, ?)"),
                      {entry.name, numberValue(QStringLiteral("单价"), entry.price),
                       numberValue(QStringLiteral("数量"), entry.quantity),
                       numberValue(QStringLiteral("总金额"), entry.amount),
                       storedDateText(entry.date), entry.remark, saved.count});
        const RecordSet key = store.select(QStringLiteral("select last_insert_rowid() as 键"));
        saved.key = key.valueAt(0, 0).toLongLong();
    });
    return saved;
}

QString entryRefusal(const GoodsEntry& entry, const QString& dateCaption)
{
    for (const QString* text :
         {&entry.date, &entry.name, &entry.price, &entry.quantity, &entry.amount}) {
        if (text->isEmpty()) {
            qCInfo(goodsLog) << "save refused: a box is empty";
            return QStringLiteral("商品信息不能有空白项。");
        }
    }
    if (!parseDate(entry.date)) {
        // No date query would ever find a record under a date like 2026/13/40.
        qCInfo(goodsLog).noquote() << "save refused: not a date in" << dateCaption;
        return QStringLiteral("“%1”不是日期（如 2026-3-5），记录没有保存。").arg(dateCaption);
    }
    return {};
}

QString amountMismatch(const QString& price, const QString& quantity, const QString& amount)
{
    const auto unit = parseNumber(price);
    const auto count = parseNumber(quantity);
    const auto total = parseNumber(amount);
    if (!unit || !count || !total) {
        return {};
    }
    const double product = unit->toDouble() * count->toDouble();
    const double difference = total->toDouble() - product;
    // A cent, with room for the binary fractions of decimal prices.
    if (std::abs(difference) <= 0.01 + 1e-9 * std::max(1.0, std::abs(product))) {
        return {};
    }
    return QStringLiteral("提醒：数量 × 单价 = %1，与金额相差 %2 元，请核对（记录仍可保存）。")
        .arg(moneyFixed(product), moneyFixed(difference));
}

namespace {

// The columns the entry panel edits, in the order of GoodsEntry.
QStringList entryColumns()
{
    return {QStringLiteral("名称"),   QStringLiteral("单价"), QStringLiteral("数量"),
            QStringLiteral("总金额"), QStringLiteral("日期"), QStringLiteral("备注")};
}

} // namespace

std::optional<ReadEntry> readEntry(DataStore& store, GoodsTable table, qint64 key)
{
    auto read = store.readRecord(tableName(table), key, entryColumns());
    if (!read) {
        return std::nullopt;
    }
    const QStringList texts = read->texts();
    return ReadEntry{*read, {texts[0], texts[1], texts[2], texts[3], texts[4], texts[5]}};
}

void updateEntry(DataStore& store, GoodsTable table, const DataStore::ReadRecord& read,
                 const GoodsEntry& entry)
{
    const QStringList columns = entryColumns();
    requireStorableTexts(entry);
    store.updateReadRecord(tableName(table), read,
                           {{columns[0], entry.name},
                            {columns[1], numberValue(columns[1], entry.price)},
                            {columns[2], numberValue(columns[2], entry.quantity)},
                            {columns[3], numberValue(columns[3], entry.amount)},
                            {columns[4], storedDateText(entry.date)},
                            {columns[5], entry.remark}});
}

void appendRecords(DataStore& store, GoodsTable table, const std::vector<GoodsEntry>& entries)
{
    appendRecords(store, table, feedOf(entries));
}

void appendRecords(DataStore& store, GoodsTable table,
                   const std::function<bool(GoodsEntry& entry)>& next)
{
    // Rows go to the engine this many at a time, prepared once per batch.
    constexpr size_t kBatch = 4096;
    const QString name = tableName(table);
    const QString insert = QStringLiteral("insert into ") + name +
                           QStringLiteral(" (名称, 单价, 数量, 总金额, 日期, 备注, 区别) "
                                          "values (?, ?, ?, ?, ?, ?, ?)");
    store.bulkTransaction({name}, [&] {
        const RecordSet count =
            store.select(QStringLiteral("select count(*) as 记录数 from ") + name);
        qint64 number = count.valueAt(0, 0).toLongLong();
        std::vector<QVariantList> rows;
        rows.reserve(kBatch);
        GoodsEntry entry;
        bool more = true;
        while (more) {
            more = next(entry);
            if (more) {
                requireStorableTexts(entry);
                rows.push_back({entry.name, numberValue(QStringLiteral("单价"), entry.price),
                                numberValue(QStringLiteral("数量"), entry.quantity),
                                numberValue(QStringLiteral("总金额"), entry.amount),
                                storedDateText(entry.date), entry.remark, ++number});
            }
            if (rows.size() == kBatch || (!more && !rows.empty())) {
                store.executeEach(insert, rows);
                rows.clear();
            }
        }
    });
}

namespace {

// A CSV file into a goods table, checked as the entry panel checks its boxes.
class GoodsImporter final : public GridImporter
{
public:
    GoodsImporter(DataStore& store, GoodsTable table, QStringList headers)
        : m_store(store), m_table(table), m_headers(std::move(headers))
    {
    }

    // 编号, then the boxes' columns; every box but 备注 must be filled.
    std::vector<ImportColumn> columns() const override
    {
        std::vector<ImportColumn> columns{{m_headers[0], false, false}};
        for (qsizetype c = 1; c < m_headers.size(); ++c) {
            columns.push_back({m_headers[c], c < m_headers.size() - 1, true});
        }
        return columns;
    }

    QStringList check(const QStringList& row) const override
    {
        QStringList problems;
        for (int c : {kPrice, kQuantity, kAmount}) {
            import_check::number(problems, m_headers[c], row[c]);
        }
        import_check::date(problems, m_headers[kDate], row[kDate]);
        return problems;
    }

    void write(const ImportFeed& feed) override
    {
        QStringList row;
        appendRecords(m_store, m_table, [&](GoodsEntry& entry) {
            if (!feed(row)) {
                return false;
            }
            // An empty remark is saved as the entry panel saves it.
            entry = {
                row[kName],     row[kPrice],
                row[kQuantity], row[kAmount],
                row[kDate],     row[kRemark].isEmpty() ? QStringLiteral("备注内容") : row[kRemark]};
            return true;
        });
    }

    DataStore& store() const override { return m_store; }

private:
    enum Column
    {
        kName = 1,
        kPrice,
        kQuantity,
        kAmount,
        kDate,
        kRemark
    };

    DataStore& m_store;
    GoodsTable m_table;
    QStringList m_headers;
};

} // namespace

std::unique_ptr<GridImporter> importer(DataStore& store, GoodsTable table,
                                       const QStringList& headers)
{
    return std::make_unique<GoodsImporter>(store, table, headers);
}

void removeRecord(DataStore& store, GoodsTable table, qint64 key,
                  const QList<std::pair<QString, QString>>& shown)
{
    store.deleteShownRecord(tableName(table), key, shown);
}

namespace {

std::unique_ptr<KeysetPages> pages(DataStore& store, GoodsTable table, const QString& where,
                                   const QVariantList& params)
{
    return std::make_unique<KeysetPages>(
        store,
        KeysetQuery{tableName(table), columnNames(tableName(table)).first(6), where, params});
}

} // namespace

std::unique_ptr<KeysetPages> listingPages(DataStore& store, GoodsTable table)
{
    return pages(store, table, {}, {});
}

std::unique_ptr<KeysetPages> productPages(DataStore& store, GoodsTable table, const QString& name)
{
    return pages(store, table, QStringLiteral("名称=?"), {name});
}

std::unique_ptr<KeysetPages> datePages(DataStore& store, GoodsTable table, const QString& date)
{
    const auto [where, params] = dateMatch(date);
    return pages(store, table, where, params);
}

std::unique_ptr<KeysetPages> productOnDatePages(DataStore& store, GoodsTable table,
                                                const QString& name, const QString& date)
{
    auto [where, params] = dateMatch(date);
    params << name;
    return pages(store, table, where + QStringLiteral(" and 名称=?"), params);
}

std::optional<double> tableTotal(DataStore& store, GoodsTable table)
{
    if (const auto figures = store.keptFigures(tableName(table))) {
        return figures->rows == 0 ? std::nullopt : std::optional<double>(figures->total());
    }
    return amount(store.select(queries(table).total));
}

std::optional<double> productTotal(DataStore& store, GoodsTable table, const QString& name)
{
    return amount(store.select(queries(table).productTotal, {name}));
}

std::optional<double> dateTotal(DataStore& store, GoodsTable table, const QString& date)
{
    const auto [where, params] = dateMatch(date);
    return amount(store.select(QStringLiteral("select sum(总金额)as 金额 from ") +
                                   tableName(table) + QStringLiteral(" where ") + where,
                               params));
}

RecordSet purchasedQuantities(DataStore& store)
{
    return store.select(
        QStringLiteral("select 名称,sum(数量) as 总数量 from 进货表 group by 名称 order by 名称"));
}

RecordSet purchasedQuantityOf(DataStore& store, const QString& name)
{
    return store.select(
        QStringLiteral("select 名称,sum(数量) as 总数量 from 进货表 where 名称=? group by 名称"),
        {name});
}

std::vector<QVariant> soldQuantities(DataStore& store, const QStringList& names)
{
    std::vector<QVariant> sold(static_cast<size_t>(names.size()));
    // One query per product, all in one transaction: the file is locked and checked once
    // instead of ten thousand times.
    store.transaction([&] {
        for (qsizetype i = 0; i < names.size(); ++i) {
            if (names[i].isEmpty()) {
                continue;
            }
            const RecordSet rows = store.select(
                QStringLiteral("select sum(数量) as 总数量 from 销售表 where 名称 =?"), {names[i]});
            if (rows.recordCount() > 0) {
                sold[static_cast<size_t>(i)] = rows.valueAt(0, 0);
            }
        }
    });
    return sold;
}

RecordSet soldOfPurchased(DataStore& store, const QString& name)
{
    return store.select(
        QStringLiteral(
            "select sum(数量) as 总数量 from 销售表 where 名称 in(select 名称 from 进货表 "
            "where 名称=? group by 名称) group by 名称 order by 名称"),
        {name});
}

std::optional<double> sumOf(const RecordSet& set, const QString& column)
{
    if (set.recordCount() == 0) {
        return std::nullopt;
    }
    const QVariant value = set.valueAt(0, set.fieldIndex(column));
    if (value.isNull() || (value.typeId() == QMetaType::QString && value.toString().isEmpty())) {
        return std::nullopt;
    }
    if (value.typeId() == QMetaType::QString) {
        const auto number = parseNumber(value.toString());
        return number ? std::optional<double>(number->toDouble()) : std::nullopt;
    }
    return value.toDouble();
}

QString withRowKey(const QString& query)
{
    const QString select = QStringLiteral("select");
    Q_ASSERT(query.startsWith(select, Qt::CaseInsensitive));
    QString rest = query.mid(select.size());
    while (rest.startsWith(QLatin1Char(' '))) {
        rest.remove(0, 1);
    }
    return select + QStringLiteral(" rowid,") + rest;
}

} // namespace khgl::goods

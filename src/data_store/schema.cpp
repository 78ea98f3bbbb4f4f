#include "data_store/schema.h"

#include <QStringList>
#include <array>

namespace khgl {
namespace {

using K = ColumnKind;

constexpr std::array<ColumnSpec, 13> kCustomers{{
    {u"客户名", K::Text},
    {u"邮寄地址", K::Text},
    {u"电子邮箱", K::Text},
    {u"购买日期", K::Date},
    {u"商品名称", K::Text},
    {u"商品单价", K::Number},
    {u"商品数量", K::Number},
    {u"收取金额", K::Money},
    {u"商品简述", K::Text},
    {u"客户简述", K::Text},
    {u"其他", K::Text},
    {u"区别", K::Integer},
    {u"附加信息", K::LongText},
}};

constexpr std::array<ColumnSpec, 7> kGoods{{
    {u"名称", K::Text},
    {u"单价", K::Number},
    {u"数量", K::Number},
    {u"总金额", K::Money},
    {u"日期", K::DateText},
    {u"备注", K::Text},
    {u"区别", K::Integer},
}};

constexpr std::array<ColumnSpec, 7> kReminders{{
    {u"编号", K::Integer},
    {u"设置时间", K::Date},
    {u"提醒日期", K::DateText},
    {u"提醒时间", K::TimeText},
    {u"提醒内容", K::LongText},
    {u"提醒音乐", K::Text},
    {u"区别", K::Integer},
}};

constexpr std::array<ColumnSpec, 5> kUsers{{
    {u"用户名", K::Text},
    {u"用户密码", K::Text},
    {u"问题", K::Text},
    {u"答案", K::Text},
    {u"区别", K::Integer},
}};

constexpr std::array<ColumnSpec, 2> kLogin{{
    {u"用户名", K::Text},
    {u"密码", K::Text},
}};

const std::array<TableSpec, 6> kTables{{
    {u"客户表", kCustomers},
    {u"进货表", kGoods},
    {u"销售表", kGoods},
    {u"提醒表", kReminders},
    {u"用户表", kUsers},
    {u"登录表", kLogin},
}};

const std::array<OwnTableSpec, 1> kOwnTables{{
    // One minimum per product name, matched like the names of 进货表 and 销售表.
    {u"库存下限",
     u"create table if not exists 库存下限 (名称 text collate KHGL_TEXT primary key "
     u"not null, 下限 numeric not null)",
     u"名称, 下限"},
}};

// One list for every index the store keeps; append new ones here.
constexpr std::array<const char16_t*, 3> kIndexes{{
    // The stock listing sums 数量 per product: (名称, 数量) answers it from the index alone.
    u"create index if not exists 进货表_名称 on 进货表 (名称, 数量)",
    u"create index if not exists 销售表_名称 on 销售表 (名称, 数量)",
    // The alarm looks up today's reminders every second.
    u"create index if not exists 提醒表_提醒日期 on 提醒表 (提醒日期)",
}};

QString columnType(ColumnKind kind)
{
    switch (kind) {
    case K::Number:
    case K::Money:
        return QStringLiteral("numeric");
    case K::Integer:
        return QStringLiteral("integer");
    case K::Date:
        return QStringLiteral("text");
    case K::Text:
    case K::LongText:
    case K::DateText:
    case K::TimeText:
        break;
    }
    return QStringLiteral("text collate ") + QLatin1String(kTextCollation);
}

} // namespace

std::span<const TableSpec> allTables()
{
    return kTables;
}

std::span<const OwnTableSpec> ownTables()
{
    return kOwnTables;
}

std::span<const char16_t* const> indexStatements()
{
    return kIndexes;
}

const TableSpec* findTable(const QString& name)
{
    for (const auto& table : kTables) {
        if (name == QString::fromUtf16(table.name)) {
            return &table;
        }
    }
    return nullptr;
}

const ColumnSpec* findColumn(const TableSpec& table, const QString& column)
{
    for (const auto& candidate : table.columns) {
        if (column == QString::fromUtf16(candidate.name)) {
            return &candidate;
        }
    }
    return nullptr;
}

QStringList columnNames(const QString& table)
{
    QStringList names;
    if (const TableSpec* definition = findTable(table)) {
        for (const auto& column : definition->columns) {
            names << QString::fromUtf16(column.name);
        }
    }
    return names;
}

QString createTableSql(const TableSpec& table)
{
    QStringList columns;
    for (const auto& column : table.columns) {
        columns << QString::fromUtf16(column.name) + QLatin1Char(' ') + columnType(column.kind);
    }
    return QStringLiteral("create table ") + QString::fromUtf16(table.name) + QStringLiteral(" (") +
           columns.join(QStringLiteral(", ")) + QStringLiteral(")");
}

} // namespace khgl

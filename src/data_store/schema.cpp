#include "data_store/schema.h"

#include <QStringList>
#include <array>

namespace khgl {
namespace {

using K = ColumnKind;

constexpr std::array<ColumnDef, 13> kCustomers{{
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

constexpr std::array<ColumnDef, 7> kGoods{{
    {u"名称", K::Text},
    {u"单价", K::Number},
    {u"数量", K::Number},
    {u"总金额", K::Money},
    {u"日期", K::DateText},
    {u"备注", K::Text},
    {u"区别", K::Integer},
}};

constexpr std::array<ColumnDef, 7> kReminders{{
    {u"编号", K::Integer},
    {u"设置时间", K::Date},
    {u"提醒日期", K::DateText},
    {u"提醒时间", K::TimeText},
    {u"提醒内容", K::LongText},
    {u"提醒音乐", K::Text},
    {u"区别", K::Integer},
}};

constexpr std::array<ColumnDef, 5> kUsers{{
    {u"用户名", K::Text},
    {u"用户密码", K::Text},
    {u"问题", K::Text},
    {u"答案", K::Text},
    {u"区别", K::Integer},
}};

constexpr std::array<ColumnDef, 2> kLogin{{
    {u"用户名", K::Text},
    {u"密码", K::Text},
}};

const std::array<TableDef, 6> kTables{{
    {u"客户表", kCustomers},
    {u"进货表", kGoods},
    {u"销售表", kGoods},
    {u"提醒表", kReminders},
    {u"用户表", kUsers},
    {u"登录表", kLogin},
}};

const std::array<OwnTableDef, 1> kOwnTables{{
    // One minimum per product name, matched like the names of 进货表 and 销售表.
    {u"库存下限",
     u"create table if not exists 库存下限 (名称 text collate KHGL_TEXT primary key "
     u"not null, 下限 numeric not null)",
     u"名称, 下限"},
}};

// One list for every index the store keeps; append new ones here.
constexpr std::array<const char16_t*, 6> kIndexes{{
    // The stock listing sums 数量 per product: (名称, 数量) answers it from the index alone.
    u"create index if not exists 进货表_名称 on 进货表 (名称, 数量)",
    u"create index if not exists 销售表_名称 on 销售表 (名称, 数量)",
    // The goods pages list and sum one date's records, a block at a time in entry order.
    u"create index if not exists 进货表_日期 on 进货表 (日期)",
    u"create index if not exists 销售表_日期 on 销售表 (日期)",
    // The alarm looks up today's reminders every second.
    u"create index if not exists 提醒表_提醒日期 on 提醒表 (提醒日期)",
    // A customer is looked up by name, and the page counts the table on every listing: the
    // narrow name index answers both without reading the wide rows.
    u"create index if not exists 客户表_客户名 on 客户表 (客户名)",
}};

// On a server, names are found by their key (khgl_own.fold): a hash of it, so a name of any
// length is indexed; one stock minimum per key.
constexpr std::array<const char16_t*, 7> kServerIndexes{{
    u"create index if not exists 进货表_名称键 on 进货表 using hash "
    u"((khgl_own.fold(名称) collate \"C\"))",
    u"create index if not exists 销售表_名称键 on 销售表 using hash "
    u"((khgl_own.fold(名称) collate \"C\"))",
    u"create index if not exists 进货表_日期 on 进货表 (日期)",
    u"create index if not exists 销售表_日期 on 销售表 (日期)",
    u"create index if not exists 提醒表_提醒日期 on 提醒表 (提醒日期)",
    u"create index if not exists 客户表_客户名键 on 客户表 using hash "
    u"((khgl_own.fold(客户名) collate \"C\"))",
    u"create unique index if not exists 库存下限_名称键 on 库存下限 (md5(khgl_own.fold(名称)))",
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

// On a server: text is "bpchar" (character without a length: values keep what was typed,
// trailing blanks are not significant in comparisons) under an ICU collation that ignores
// case; dates compare as the bytes they are, like SQLite's plain text.
QString serverColumnType(ColumnKind kind)
{
    switch (kind) {
    case K::Number:
    case K::Money:
        return QStringLiteral("numeric");
    case K::Integer:
        return QStringLiteral("bigint");
    case K::Date:
        return QStringLiteral("text collate \"C\"");
    case K::Text:
    case K::LongText:
    case K::DateText:
    case K::TimeText:
        break;
    }
    return QStringLiteral("bpchar collate ") + QLatin1String(kTextCollation);
}

// A date text's form as date_text.h reads it, with the day checked against its month
// (29 February passes here): year of 1 to 4 digits other than 0, then "-", "/" or "." twice,
// or 年, 月 and 日.
QString serverDayPattern()
{
    const QString year =
        QStringLiteral("([1-9][0-9]{0,3}|0[1-9][0-9]{0,2}|00[1-9][0-9]?|000[1-9])");
    const auto monthDay = [](const QString& separator) {
        return QStringLiteral("((0?[13578]|1[02])%1(0?[1-9]|[12][0-9]|3[01])|(0?[469]|11)%1"
                              "(0?[1-9]|[12][0-9]|30)|0?2%1(0?[1-9]|[12][0-9]))")
            .arg(separator);
    };
    return QLatin1Char('^') + year + QStringLiteral("(-") + monthDay(QStringLiteral("-")) +
           QStringLiteral("|/") + monthDay(QStringLiteral("/")) + QStringLiteral("|\\.") +
           monthDay(QStringLiteral("\\.")) + QStringLiteral("|年") +
           monthDay(QStringLiteral("月")) + QStringLiteral("日)$");
}

} // namespace

QStringList serverFunctionStatements()
{
    return {
        // The program's own functions, in a schema of its own: another application's str()
        // or total() in the same database is not touched. Not named "khgl": a login of that
        // name would find its own schema first ("$user") and put new tables there.
        QStringLiteral("create schema if not exists khgl_own"),
        // str(): numbers as plain text without trailing zeros; text as it is.
        QStringLiteral("create or replace function khgl_own.str(numeric) returns text language sql "
                       "immutable as 'select trim_scale($1)::text'"),
        QStringLiteral("create or replace function khgl_own.str(text) returns text language sql "
                       "immutable as 'select $1'"),
        // SQLite's total(): a sum that is 0 over no rows.
        QStringLiteral("create or replace aggregate khgl_own.total(numeric) (sfunc = numeric_add, "
                       "stype = numeric, initcond = '0')"),
        // The key names are compared by, as the file compares them: trailing blanks dropped
        // (also from a bound text, which is no bpchar), letters in lower case, every other
        // character as it is.
        QStringLiteral("create or replace function khgl_own.fold(text) returns text language sql "
                       "immutable strict parallel safe as "
                       "'select lower(rtrim($1, '' '') collate \"und-x-icu\")'"),
        // day_key(): the day a date text names as yyyymmdd, null when it names none; the
        // rule of date_text.h (2026-3-5, 2026-03-05, 2026/3/5, 2026.3.5, 2026年3月5日). The
        // pattern checks the form and the day of the month, day_parts() reads the numbers and
        // refuses 29 February outside leap years. Plain expressions the planner inlines; the
        // queries still call it once per distinct text, not once per row.
        QStringLiteral(
            "create or replace function khgl_own.day_parts(text, boolean) returns integer "
            "language sql immutable parallel safe as 'select case when not $2 then null when "
            "($1 like ''%-2-29'' or $1 like ''%-02-29'') and not (split_part($1, ''-'', 1)::int "
            "% 4 = 0 and (split_part($1, ''-'', 1)::int % 100 <> 0 or split_part($1, ''-'', "
            "1)::int % 400 = 0)) then null else split_part($1, ''-'', 1)::int * 10000 + "
            "split_part($1, ''-'', 2)::int * 100 + split_part($1, ''-'', 3)::int end'"),
        QStringLiteral("create or replace function khgl_own.day_key(text) returns integer "
                       "language sql immutable parallel safe as 'select "
                       "khgl_own.day_parts(translate(btrim($1 collate \"C\", '' \t\r\n''), "
                       "''/.年月日'', ''----''), btrim($1 collate \"C\", '' \t\r\n'') ~ ''") +
            serverDayPattern() + QStringLiteral("'')'"),
    };
}

QStringList serverUpgradeStatements()
{
    // Databases made before names were looked up by their key: the full-text indexes refused
    // long names, the primary key merged names that differ in width.
    QStringList statements = serverFunctionStatements();
    statements << QStringLiteral("drop index if exists 进货表_名称")
               << QStringLiteral("drop index if exists 销售表_名称")
               << QStringLiteral("drop index if exists 客户表_客户名")
               << QStringLiteral("alter table if exists 库存下限 drop constraint if exists "
                                 "库存下限_pkey");
    for (const auto& table : kOwnTables) {
        statements << serverCreateSql(table);
    }
    for (const char16_t* sql : kServerIndexes) {
        statements << QString::fromUtf16(sql);
    }
    return statements;
}

QStringList serverSchemaStatements()
{
    QStringList statements{
        // Letters without case (level 2), for sorting; equality and grouping go by the key
        // khgl_own.fold(). Only trailing blanks are dropped, by the columns' type bpchar.
        QStringLiteral("create collation if not exists khgl_text (provider = icu, locale = "
                       "'und-u-ks-level2', deterministic = false)"),
    };
    statements << serverFunctionStatements();
    for (const auto& table : kTables) {
        QStringList columns{QStringLiteral("rowid bigint generated by default as identity "
                                           "primary key")};
        for (const auto& column : table.columns) {
            columns << QString::fromUtf16(column.name) + QLatin1Char(' ') +
                           serverColumnType(column.kind);
        }
        statements << QStringLiteral("create table ") + QString::fromUtf16(table.name) +
                          QStringLiteral(" (") + columns.join(QStringLiteral(", ")) +
                          QStringLiteral(")");
    }
    for (const auto& table : kOwnTables) {
        statements << serverCreateSql(table);
    }
    for (const char16_t* sql : kServerIndexes) {
        statements << QString::fromUtf16(sql);
    }
    return statements;
}

std::span<const TableDef> allTables()
{
    return kTables;
}

std::span<const OwnTableDef> ownTables()
{
    return kOwnTables;
}

QString serverCreateSql(const OwnTableDef& table)
{
    // The key's unique index stands for the primary key (see kServerIndexes).
    const QString text = QStringLiteral("text collate ") + QLatin1String(kTextCollation);
    return QString::fromUtf16(table.createSql)
        .replace(text, serverColumnType(ColumnKind::Text), Qt::CaseInsensitive)
        .replace(QStringLiteral(" primary key"), QString(), Qt::CaseInsensitive);
}

std::span<const char16_t* const> indexStatements()
{
    return kIndexes;
}

const TableDef* findTable(const QString& name)
{
    for (const auto& table : kTables) {
        if (name == QString::fromUtf16(table.name)) {
            return &table;
        }
    }
    return nullptr;
}

const ColumnDef* findColumn(const TableDef& table, const QString& column)
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
    if (const TableDef* definition = findTable(table)) {
        for (const auto& column : definition->columns) {
            names << QString::fromUtf16(column.name);
        }
    }
    return names;
}

QString createTableSql(const TableDef& table)
{
    QStringList columns;
    for (const auto& column : table.columns) {
        columns << QString::fromUtf16(column.name) + QLatin1Char(' ') + columnType(column.kind);
    }
    return QStringLiteral("create table ") + QString::fromUtf16(table.name) + QStringLiteral(" (") +
           columns.join(QStringLiteral(", ")) + QStringLiteral(")");
}

} // namespace khgl

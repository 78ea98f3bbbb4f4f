#include "data_store/kept_figures.h"

#include <array>

namespace khgl::kept_figures {
namespace {

constexpr std::array<const char16_t*, 3> kTables{{u"进货表", u"销售表", u"客户表"}};

bool hasAmount(const QString& table)
{
    return table != QStringLiteral("客户表");
}

// A value of 总金额 in whole ten-thousandths, and what it holds beyond them; 0 for null.
QString fileUnits(const QString& value)
{
    return QStringLiteral("coalesce(cast(round(%1*10000) as integer), 0)").arg(value);
}

QString fileRest(const QString& value)
{
    return QStringLiteral("coalesce(%1-cast(round(%1*10000) as integer)/10000.0, 0)").arg(value);
}

QString serverUnits(const QString& value)
{
    return QStringLiteral("coalesce(round(%1*10000)::bigint, 0)").arg(value);
}

QString serverRest(const QString& value)
{
    return QStringLiteral("coalesce(%1-round(%1*10000)/10000, 0)").arg(value);
}

// The statement trigger function of a table: the rows of the transition tables counted and
// summed, the differences added to the table's figures (nothing written when there are none).
QString serverFunction(const QString& name, bool amount)
{
    const QString value = QStringLiteral("总金额");
    const QString sums = amount ? QStringLiteral("coalesce(sum(%1), 0), coalesce(sum(%2), 0)")
                                      .arg(serverUnits(value), serverRest(value))
                                : QStringLiteral("0, 0");
    return QStringLiteral(
               "create or replace function %1() returns trigger language plpgsql "
               "set search_path from current as $f$ declare "
               "n bigint := 0; u numeric := 0; r numeric := 0; "
               "n0 bigint; u0 numeric; r0 numeric; begin "
               "if tg_op <> 'DELETE' then select count(*), %2 into n, u, r from 新行; end if; "
               "if tg_op <> 'INSERT' then select count(*), %2 into n0, u0, r0 from 旧行; "
               "n := n - n0; u := u - u0; r := r - r0; end if; "
               "if n <> 0 or u <> 0 or r <> 0 then update 表合计 set 行数=行数+n, 金额=金额+u, "
               "零头=零头+r where 表名=tg_table_name; end if; "
               "return null; end $f$")
        .arg(name, sums);
}

QString fileTrigger(const QString& table, const QString& suffix, const QString& event,
                    const QString& set)
{
    return QStringLiteral("create trigger 表合计_%1_%2 after %3 on %1 begin update 表合计 set %4 "
                          "where 表名='%1'; end")
        .arg(table, suffix, event, set);
}

} // namespace

std::span<const char16_t* const> tables()
{
    return kTables;
}

QStringList fileStatements()
{
    QStringList statements{
        QStringLiteral("create table if not exists 表合计 (表名 text primary key not null, "
                       "行数 integer not null, 金额 integer not null, 零头 real not null)"),
    };
    for (const char16_t* name : kTables) {
        const QString table = QString::fromUtf16(name);
        for (const char* suffix : {"增", "删", "改"}) {
            statements << QStringLiteral("drop trigger if exists 表合计_%1_%2")
                              .arg(table, QString::fromUtf8(suffix));
        }
        QString added = QStringLiteral("行数=行数+1");
        QString removed = QStringLiteral("行数=行数-1");
        if (hasAmount(table)) {
            const QString oldValue = QStringLiteral("old.总金额");
            const QString newValue = QStringLiteral("new.总金额");
            added += QStringLiteral(", 金额=金额+%1, 零头=零头+%2")
                         .arg(fileUnits(newValue), fileRest(newValue));
            removed += QStringLiteral(", 金额=金额-%1, 零头=零头-%2")
                           .arg(fileUnits(oldValue), fileRest(oldValue));
            statements << fileTrigger(table, QStringLiteral("改"),
                                      QStringLiteral("update of 总金额"),
                                      QStringLiteral("金额=金额-%1+%2, 零头=零头-%3+%4")
                                          .arg(fileUnits(oldValue), fileUnits(newValue),
                                               fileRest(oldValue), fileRest(newValue)));
        }
        statements << fileTrigger(table, QStringLiteral("增"), QStringLiteral("insert"), added)
                   << fileTrigger(table, QStringLiteral("删"), QStringLiteral("delete"), removed);
    }
    return statements;
}

QStringList serverStatements()
{
    QStringList statements{
        QStringLiteral("create table if not exists 表合计 (表名 text primary key, "
                       "行数 bigint not null, 金额 bigint not null, 零头 numeric not null)"),
        serverFunction(QStringLiteral("表合计_金额变化"), true),
        serverFunction(QStringLiteral("表合计_行数变化"), false),
        // truncate fires no trigger of insert or delete.
        QStringLiteral("create or replace function 表合计_清空() returns trigger language plpgsql "
                       "set search_path from current as $f$ begin "
                       "update 表合计 set 行数=0, 金额=0, 零头=0 where 表名=tg_table_name; "
                       "return null; end $f$"),
    };
    // Statement triggers: a statement over many rows updates the figures once, as a row trigger
    // per row would add a version of the one figures row per row. A table may have a
    // transition table for one event per trigger only, and none on an update of one column.
    // A restore or a long import sets khgl.bulk: the triggers stand aside and it counts the
    // figures once at its end.
    const QString skip =
        QStringLiteral(" for each statement when (current_setting('khgl.bulk', true) is distinct "
                       "from 'on') execute function ");
    for (const char16_t* name : kTables) {
        const QString table = QString::fromUtf16(name);
        const QString function = hasAmount(table) ? QStringLiteral("表合计_金额变化()")
                                                  : QStringLiteral("表合计_行数变化()");
        statements << QStringLiteral("drop trigger if exists 表合计_记 on %1").arg(table)
                   << QStringLiteral("create or replace trigger 表合计_增 after insert on %1 "
                                     "referencing new table as 新行")
                              .arg(table) +
                          skip + function
                   << QStringLiteral("create or replace trigger 表合计_删 after delete on %1 "
                                     "referencing old table as 旧行")
                              .arg(table) +
                          skip + function;
        if (hasAmount(table)) {
            statements << QStringLiteral("create or replace trigger 表合计_改 after update on %1 "
                                         "referencing old table as 旧行 new table as 新行")
                                  .arg(table) +
                              skip + function;
        }
        statements << QStringLiteral("create or replace trigger 表合计_清空 after truncate on %1 "
                                     "for each statement execute function 表合计_清空()")
                          .arg(table);
    }
    // The row triggers' functions of earlier versions (their triggers dropped above).
    statements << QStringLiteral("drop function if exists 表合计_金额()")
               << QStringLiteral("drop function if exists 表合计_行数()");
    return statements;
}

QString recountSql(const QString& table, bool server)
{
    const QString value = QStringLiteral("总金额");
    QString sums = QStringLiteral("0, 0");
    if (hasAmount(table)) {
        sums = server ? QStringLiteral("coalesce(sum(%1), 0), coalesce(sum(%2), 0)")
                            .arg(serverUnits(value), serverRest(value))
                      : QStringLiteral("coalesce(sum(%1), 0), total(%2)")
                            .arg(fileUnits(value), fileRest(value));
    }
    const QString select = QStringLiteral("select '%1', count(*), %2 from %1").arg(table, sums);
    if (server) {
        return QStringLiteral("insert into 表合计 (表名, 行数, 金额, 零头) ") + select +
               QStringLiteral(" on conflict (表名) do update set 行数=excluded.行数, "
                              "金额=excluded.金额, 零头=excluded.零头");
    }
    return QStringLiteral("insert or replace into 表合计 (表名, 行数, 金额, 零头) ") + select;
}

QStringList serverRecount(const QString& table)
{
    return {QStringLiteral("lock table %1 in share mode").arg(table), recountSql(table, true)};
}

} // namespace khgl::kept_figures

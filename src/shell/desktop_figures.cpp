#include "shell/desktop_figures.h"

#include "data_store/data_store.h"
#include "data_store/date_text.h"

namespace khgl::desktop_figures {

QString monthSalesText(DataStore& store, const QDate& day)
{
    // A sale counts in the month its date names, in whichever form it was written.
    const QDate first(day.year(), day.month(), 1);
    const QVariantList range{dayKey(first), dayKey(first.addMonths(1).addDays(-1))};
    // The file reads each row's date in place; a server adds up each distinct date text
    // first and applies its rule to those few.
    const QString sql =
        store.streamsRows()
            ? QStringLiteral("select sum(总金额)as 总金额 from 销售表 where ") +
                  dayKeySql(QStringLiteral("日期")) + QStringLiteral(" between ? and ?")
            : QStringLiteral("with 日 as materialized (select 日期 as d, sum(总金额) as s from "
                             "销售表 group by 日期) select sum(s)as 总金额 from 日 where ") +
                  dayKeySql(QStringLiteral("d")) + QStringLiteral(" between ? and ?");
    RecordSet set = store.select(sql, range);
    const bool hasValue = !set.eof() && !set.isEmpty(0);
    return hasValue ? set.text(0) : QStringLiteral("0");
}

} // namespace khgl::desktop_figures

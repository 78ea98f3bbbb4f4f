#include "shell/desktop_figures.h"

#include "data_store/data_store.h"
#include "data_store/date_text.h"

namespace khgl::desktop_figures {

QString monthSalesText(DataStore& store, const QDate& day)
{
    // A sale counts in the month its date names, in whichever form it was written. The rule
    // is applied to each distinct date text once, and the rows are found through the index.
    const QDate first(day.year(), day.month(), 1);
    RecordSet set = store.select(
        QStringLiteral("with 日 as materialized (select 日期 as d from 销售表 group by 日期) "
                       "select sum(总金额)as 总金额 from 销售表 where 日期 in (select d from 日 "
                       "where ") +
            dayKeySql(QStringLiteral("d")) + QStringLiteral(" between ? and ?)"),
        {dayKey(first), dayKey(first.addMonths(1).addDays(-1))});
    const bool hasValue = !set.eof() && !set.isEmpty(0);
    return hasValue ? set.text(0) : QStringLiteral("0");
}

} // namespace khgl::desktop_figures

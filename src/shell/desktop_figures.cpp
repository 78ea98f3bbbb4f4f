#include "shell/desktop_figures.h"

#include "data_store/data_store.h"

namespace khgl::desktop_figures {

QString monthSalesText(DataStore& store, const QDate& day)
{
    // A sale counts in the month its date names, written with or without leading zeros
    // (2026-3-5, 2026-03-05); the "-" after the month keeps October out of January.
    const QString year = QString::number(day.year()) + QLatin1Char('-');
    const QString month = QString::number(day.month());
    RecordSet set = store.select(
        QStringLiteral("select sum(总金额)as 总金额 from 销售表 where 日期 like ? or 日期 like ?"),
        {QString(year + month + QStringLiteral("-%")),
         QString(year + month.rightJustified(2, QLatin1Char('0')) + QStringLiteral("-%"))});
    const bool hasValue = !set.eof() && !set.isEmpty(0);
    return hasValue ? set.text(0) : QStringLiteral("0");
}

} // namespace khgl::desktop_figures

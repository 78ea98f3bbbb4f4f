#include "shell/desktop_figures.h"

#include "data_store/data_store.h"
#include "data_store/values.h"

namespace khgl::desktop_figures {

QString monthSalesText(DataStore& store, const QDate& day)
{
    const QString prefix = monthPrefix(day);
    // A six-character prefix of months 1 to 9 also begins the dates of October to
    // December, so those months also need the "-" that follows the month.
    RecordSet set =
        day.month() >= 10
            ? store.select(
                  QStringLiteral("select sum(总金额)as 总金额 from 销售表 where left(日期,7) = ?"),
                  {prefix})
            : store.select(QStringLiteral("select sum(总金额)as 总金额 from 销售表 "
                                          "where left(日期,6) = ? and substr(日期,7,1) = '-'"),
                           {prefix});
    const bool hasValue = !set.eof() && !set.isEmpty(0);
    return hasValue ? set.text(0) : QStringLiteral("0");
}

} // namespace khgl::desktop_figures

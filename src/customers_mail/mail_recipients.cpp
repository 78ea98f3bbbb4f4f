#include "customers_mail/mail_recipients.h"

#include "data_store/data_store.h"

namespace khgl::mail_recipients {

RecordSet all(DataStore& store)
{
    return store.select(
        QStringLiteral("select 客户名,电子邮箱 from 客户表 group by 客户名,电子邮箱 "
                       "order by 客户名,电子邮箱"));
}

RecordSet boughtBetween(DataStore& store, const QVariantList& range)
{
    return store.select(
        QStringLiteral("select 客户名,电子邮箱 from 客户表 where 购买日期  between ? and ?  "
                       "group by 客户名,电子邮箱 order by 客户名,电子邮箱"),
        range);
}

RecordSet boughtProduct(DataStore& store, const QString& product)
{
    // The blank after the name is the query's own; the comparison ignores trailing blanks.
    return store.select(
        QStringLiteral("select 客户名,电子邮箱 from 客户表 where 商品名称= ? order by rowid"),
        {QString(product + QLatin1Char(' '))});
}

RecordSet boughtProductBetween(DataStore& store, const QVariantList& range, const QString& product)
{
    QVariantList params = range;
    params.append(product);
    return store.select(
        QStringLiteral("SELECT 客户名,电子邮箱 from 客户表 where 购买日期 between ? and ? and "
                       "商品名称=?group by 客户名,电子邮箱 order by 客户名,电子邮箱"),
        params);
}

} // namespace khgl::mail_recipients

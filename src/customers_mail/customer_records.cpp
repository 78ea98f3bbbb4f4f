#include "customers_mail/customer_records.h"

#include "data_store/data_store.h"

namespace khgl::customer_records {
namespace {

const QString kTable = QStringLiteral("客户表");

} // namespace

RecordSet all(DataStore& store)
{
    return store.select(kTable);
}

RecordSet ofName(DataStore& store, const QString& name)
{
    // The blank before the closing quote stays; trailing blanks do not count in names.
    return store.selectKeyed(
        QStringLiteral("select rowid, * from 客户表 where 客户名= ? order by rowid"),
        {QString(name + QStringLiteral(" "))});
}

RecordSet extraInformation(DataStore& store, const QString& name, const QString& mail)
{
    return store.select(
        QStringLiteral("select 附加信息 from 客户表 where 客户名=?and 电子邮箱=? order by rowid"),
        {name, mail});
}

RecordSet appender(DataStore& store)
{
    return store.appendTo(kTable);
}

void remove(DataStore& store, qint64 key, const QList<std::pair<QString, QString>>& shown)
{
    store.deleteShownRecord(kTable, key, shown);
}

QString countText(DataStore& store)
{
    const RecordSet set = store.select(QStringLiteral("select count(*) from 客户表"));
    return set.text(0);
}

} // namespace khgl::customer_records

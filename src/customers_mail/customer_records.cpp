#include "customers_mail/customer_records.h"

#include "data_store/data_store.h"
#include "data_store/schema.h"

namespace khgl::customer_records {
namespace {

const QString kTable = QStringLiteral("客户表");

} // namespace

std::unique_ptr<KeysetPages> allPages(DataStore& store)
{
    return std::make_unique<KeysetPages>(
        store, KeysetQuery{kTable, columnNames(kTable).first(11), {}, {}});
}

std::unique_ptr<KeysetPages> namePages(DataStore& store, const QString& name)
{
    // The blank before the closing quote stays; trailing blanks do not count in names.
    return std::make_unique<KeysetPages>(store, KeysetQuery{kTable,
                                                            columnNames(kTable).first(11),
                                                            QStringLiteral("客户名= ?"),
                                                            {QString(name + QStringLiteral(" "))}});
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
    if (const auto figures = store.keptFigures(kTable)) {
        return QString::number(figures->rows);
    }
    const RecordSet set = store.select(QStringLiteral("select count(*) from 客户表"));
    return set.text(0);
}

} // namespace khgl::customer_records

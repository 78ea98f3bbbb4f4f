#include "customers_mail/customer_records.h"

#include "data_store/data_store.h"
#include "data_store/schema.h"

#include <QLocale>
#include <QRegularExpression>

namespace khgl::customer_records {
namespace {

const QString kTable = QStringLiteral("客户表");

bool isNumberColumn(ColumnKind kind)
{
    return kind == ColumnKind::Number || kind == ColumnKind::Money || kind == ColumnKind::Integer;
}

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
    // A saved row shows its numbers as typed; compare them as they were written.
    QList<std::pair<QString, QString>> asWritten = shown;
    const TableSpec& table = *findTable(kTable);
    for (auto& [name, text] : asWritten) {
        const ColumnSpec* column = findColumn(table, name);
        if (column != nullptr && isNumberColumn(column->kind) && isNumberEntry(text)) {
            text = storedNumber(text);
        }
    }
    store.deleteShownRecord(kTable, key, asWritten);
}

bool isNumberEntry(const QString& text)
{
    // A whole number or nothing: a lone sign, a lone point or an exponent without digits is no
    // number, so the box empties at once, as the other number boxes do, and never reaches the
    // store half typed.
    const QLocale locale = QLocale::system();
    const QRegularExpression pattern(
        QStringLiteral(R"(^[+-]?(\d(\d|%1)*(%2\d*)?|%2\d+)([eE][+-]?\d+)?$)")
            .arg(QRegularExpression::escape(locale.groupSeparator()),
                 QRegularExpression::escape(locale.decimalPoint())));
    if (text.isEmpty()) {
        return true;
    }
    return pattern.match(text.trimmed()).hasMatch();
}

QString storedNumber(const QString& text)
{
    const QLocale locale = QLocale::system();
    QString number = text.trimmed();
    number.remove(locale.groupSeparator());
    number.replace(locale.decimalPoint(), QStringLiteral("."));
    return number;
}

QString countText(DataStore& store)
{
    const RecordSet set = store.select(QStringLiteral("select count(*) from 客户表"));
    return set.text(0);
}

} // namespace khgl::customer_records

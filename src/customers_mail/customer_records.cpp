#include "customers_mail/customer_records.h"

#include "customers_mail/customers_log.h"
#include "data_store/data_store.h"
#include "data_store/schema.h"
#include "data_store/store_error.h"
#include "data_store/values.h"

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

void requery(DataStore& store)
{
    store.countRows(kTable);
}

qint64 appendRecord(DataStore& store, const QStringList& texts, const QString& extra,
                    Numbering numbering)
{
    const QStringList names = columnNames(kTable).first(11);
    qint64 key = 0;
    store.transaction([&] {
        QList<std::pair<QString, QVariant>> values;
        for (qsizetype c = 0; c < names.size() && c < texts.size(); ++c) {
            if (!texts[c].isEmpty()) {
                values.append({names[c], texts[c]});
            }
        }
        values.append({QStringLiteral("区别"),
                       store.countRows(kTable) + 1 + (numbering == Numbering::OneBeyond ? 1 : 0)});
        if (!extra.isEmpty()) {
            values.append({QStringLiteral("附加信息"), extra});
        }
        key = store.insertRow(kTable, values);
    });
    return key;
}

namespace {

// The columns the entry window edits: the eleven the grid shows, then 附加信息.
QStringList entryColumns()
{
    return columnNames(kTable).first(11) << QStringLiteral("附加信息");
}

} // namespace

std::optional<ReadEntry> readEntry(DataStore& store, qint64 key)
{
    auto read = store.readRecord(kTable, key, entryColumns());
    if (!read) {
        return std::nullopt;
    }
    const QStringList texts = read->texts();
    return ReadEntry{*read, texts};
}

void updateEntry(DataStore& store, const DataStore::ReadRecord& read, const QStringList& texts)
{
    const QStringList names = entryColumns();
    QList<std::pair<QString, QVariant>> values;
    for (qsizetype c = 0; c < names.size() && c < texts.size(); ++c) {
        // An emptied box empties its column, as an empty box leaves it unset in a new record.
        values.append({names[c], texts[c].isEmpty() ? QVariant() : QVariant(texts[c])});
    }
    store.updateReadRecord(kTable, read, values);
}

void appendRows(DataStore& store, const std::vector<QStringList>& rows)
{
    appendRows(store, feedOf(rows));
}

void appendRows(DataStore& store, const std::function<bool(QStringList& row)>& next)
{
    const QStringList names = columnNames(kTable).first(11);
    const QStringList numbers{QStringLiteral("商品单价"), QStringLiteral("商品数量"),
                              QStringLiteral("收取金额")};
    store.bulkTransaction({kTable}, [&] {
        qint64 count = store.countRows(kTable);
        QStringList row;
        while (next(row)) {
            QList<std::pair<QString, QVariant>> values;
            for (qsizetype c = 0; c < names.size() && c < row.size(); ++c) {
                if (row[c].isEmpty()) {
                    continue;
                }
                if (!numbers.contains(names[c])) {
                    values.append({names[c], row[c]});
                } else if (const auto number = parseNumber(row[c])) {
                    values.append({names[c], *number});
                } else {
                    qCInfo(customersLog).noquote() << "import refused: not a number in" << names[c];
                    throw StoreError(QStringLiteral("“%1”须是数字，“%2”不是数字，数据没有写入。")
                                         .arg(names[c], row[c].left(50)));
                }
            }
            values.append({QStringLiteral("区别"), ++count});
            store.insertRow(kTable, values);
        }
    });
}

namespace {

// A CSV file into 客户表, checked as the entry window checks its boxes.
class CustomerImporter final : public GridImporter
{
public:
    CustomerImporter(DataStore& store, QStringList headers)
        : m_store(store), m_headers(std::move(headers))
    {
    }

    std::vector<ImportColumn> columns() const override
    {
        std::vector<ImportColumn> columns;
        for (const QString& header : m_headers) {
            columns.push_back({header, columns.empty(), true});
        }
        return columns;
    }

    QStringList check(const QStringList& row) const override
    {
        // Names, e-mail addresses and product names hold at most 48 characters.
        constexpr qsizetype kMaxCharacters = 48;
        QStringList problems;
        for (const qsizetype c : {0, 2, 4}) {
            import_check::length(problems, m_headers[c], row[c], kMaxCharacters);
        }
        import_check::date(problems, m_headers[3], row[3]);
        for (const qsizetype c : {5, 6, 7}) {
            import_check::number(problems, m_headers[c], row[c]);
        }
        return problems;
    }

    void write(const ImportFeed& feed) override { appendRows(m_store, feed); }

    DataStore& store() const override { return m_store; }

private:
    DataStore& m_store;
    QStringList m_headers;
};

} // namespace

std::unique_ptr<GridImporter> importer(DataStore& store, const QStringList& headers)
{
    return std::make_unique<CustomerImporter>(store, headers);
}

void remove(DataStore& store, qint64 key, const QList<std::pair<QString, QString>>& shown)
{
    // A saved row shows its numbers and its purchase date as typed; compare them as they were
    // written.
    QList<std::pair<QString, QString>> asWritten = shown;
    const TableDef& table = *findTable(kTable);
    for (auto& [name, text] : asWritten) {
        const ColumnDef* column = findColumn(table, name);
        if (column != nullptr && isNumberColumn(column->kind) && isNumberEntry(text)) {
            text = storedNumber(text);
        } else if (column != nullptr && column->kind == ColumnKind::Date) {
            if (const auto date = parseDate(text)) {
                text = isoDateText(*date);
            }
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
    if (const auto figures = store.keptFigures(kTable)) {
        return QString::number(figures->rows);
    }
    const RecordSet set = store.select(QStringLiteral("select count(*) from 客户表"));
    return set.text(0);
}

} // namespace khgl::customer_records

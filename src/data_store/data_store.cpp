#include "data_store/data_store.h"

#include "data_store/schema.h"
#include "data_store/store_error.h"
#include "data_store/store_hold.h"
#include "data_store/store_log.h"
#include "data_store/values.h"

#include <QFileInfo>
#include <algorithm>
#include <atomic>
#include <cmath>
#include <thread>

namespace khgl {
namespace {

// The code a busy refusal carries, as SQLite names a file another program holds.
constexpr int kBusyCode = 5;

// Whether a stored value still reads as the text a grid shows for it.
bool showsAs(const ColumnDef& column, const QVariant& stored, const QString& shown)
{
    const QString text = displayText(stored);
    if (text == shown) {
        return true;
    }
    if (text.isEmpty() || shown.isEmpty()) {
        return false;
    }
    switch (column.kind) {
    case ColumnKind::Number:
    case ColumnKind::Money:
    case ColumnKind::Integer: {
        const auto a = parseNumber(text);
        const auto b = parseNumber(shown);
        if (!a || !b) {
            return false;
        }
        const double x = a->toDouble();
        const double y = b->toDouble();
        return std::abs(x - y) <= 1e-9 * std::max({1.0, std::abs(x), std::abs(y)});
    }
    case ColumnKind::Date:
    case ColumnKind::DateText: {
        // A date typed 2026/3/5 is stored as 2026-3-5: the same day.
        const auto a = parseDate(text);
        return a && a == parseDate(shown);
    }
    case ColumnKind::Text:
    case ColumnKind::LongText:
    case ColumnKind::TimeText:
        break;
    }
    return false;
}

QVariant convertForColumn(const ColumnDef& column, const QVariant& value)
{
    if (value.isNull()) {
        return {};
    }
    const bool isText = value.typeId() == QMetaType::QString;
    const QString name = QString::fromUtf16(column.name);
    switch (column.kind) {
    case ColumnKind::Number:
    case ColumnKind::Money:
    case ColumnKind::Integer: {
        if (!isText) {
            return value;
        }
        if (value.toString().trimmed().isEmpty()) {
            return {};
        }
        const auto number = parseNumber(value.toString());
        if (!number ||
            (column.kind == ColumnKind::Integer && number->typeId() != QMetaType::LongLong)) {
            throw StoreError(QStringLiteral("“%1”须是数字，“%2”不是数字，数据没有写入。")
                                 .arg(name, value.toString().left(50)));
        }
        return *number;
    }
    case ColumnKind::Date: {
        if (value.typeId() == QMetaType::QDate) {
            return isoDateText(value.toDate());
        }
        if (value.toString().trimmed().isEmpty()) {
            return {};
        }
        const auto date = parseDate(value.toString());
        if (!date) {
            throw StoreError(
                QStringLiteral("“%1”须是日期（如 2024-5-6），“%2”不是日期，数据没有写入。")
                    .arg(name, value.toString().left(50)));
        }
        return isoDateText(*date);
    }
    case ColumnKind::DateText:
        // Every form of a day is stored as the calendar writes it; other text as typed.
        return storedDateText(value.toString());
    case ColumnKind::Text:
    case ColumnKind::LongText:
    case ColumnKind::TimeText:
        break;
    }
    return value.toString();
}

// The program's table of that name and the named column of it; a name the program does not
// know is refused (no text of a caller ever reaches the SQL as a name).
const TableDef& knownTable(const QString& table)
{
    const TableDef* definition = findTable(table.trimmed());
    if (definition == nullptr) {
        throw StoreError(QStringLiteral("没有“%1”这个表。").arg(table));
    }
    return *definition;
}

const ColumnDef& knownColumn(const TableDef& table, const QString& name)
{
    const ColumnDef* column = findColumn(table, name);
    if (column == nullptr) {
        throw StoreError(
            QStringLiteral("%1中没有“%2”一项。").arg(QString::fromUtf16(table.name), name));
    }
    return *column;
}

// What a typed value is written as, after the one size rule (naming the box it came from).
QVariant storableValue(const ColumnDef& column, const QString& name, const QVariant& value)
{
    if (value.typeId() == QMetaType::QString) {
        requireStorable(name, value.toString());
    }
    return convertForColumn(column, value);
}

// At most one store is held at a time (the windows' one, during a backup or restore); the
// worker's own store asks from its thread.
std::atomic<const DataStore*> g_held{nullptr};
std::atomic<std::thread::id> g_heldUser{};

std::function<void()>& busyWaitHook()
{
    static std::function<void()> hook;
    return hook;
}

} // namespace

void setStoreHeld(const DataStore& store, bool held)
{
    g_heldUser = std::thread::id();
    g_held = held ? &store : nullptr;
}

void useHeldStore()
{
    g_heldUser = std::this_thread::get_id();
}

bool isStoreHeld(const DataStore& store)
{
    return g_held.load() == &store && g_heldUser.load() != std::this_thread::get_id();
}

DataStore::DataStore(StoreAddress address) : m_address(std::move(address)) {}

DataStore::~DataStore() = default;

void DataStore::setBusyWaitHook(std::function<void()> hook)
{
    busyWaitHook() = std::move(hook);
}

bool DataStore::waitOnce()
{
    if (m_waiting) {
        return false;
    }
    if (const auto& hook = busyWaitHook()) {
        // The store refuses work handed to it meanwhile (see refuseWhileBusy).
        m_waiting = true;
        hook();
        m_waiting = false;
    }
    return true;
}

QString DataStore::busyText()
{
    return QStringLiteral("数据文件正被其他程序使用，请关闭那个程序或稍后再试。");
}

void DataStore::refuseWhileBusy() const
{
    // Held first: the thread the store is lent to may be inside a wait meanwhile.
    if (isStoreHeld(*this)) {
        throw StoreError(heldStoreText(), kBusyCode);
    }
    if (m_waiting) {
        // Reached from an event handled while a statement waits for the file.
        throw StoreError(busyText(), kBusyCode);
    }
}

// The folder exactly as given: every file of the program is found under the same path.
QString DataStore::databasePath(const QString& folder)
{
    QString path = folder;
    if (!path.endsWith(QLatin1Char('/'))) {
        path += QLatin1Char('/');
    }
    return path + fileName();
}

QString DataStore::resolvedPath(const QString& path)
{
    const QFileInfo info(path);
    if (!info.isSymLink()) {
        return path;
    }
    if (info.exists()) {
        return info.canonicalFilePath();
    }
    return info.symLinkTarget();
}

RecordSet DataStore::select(const QString& source, const QVariantList& params)
{
    ensureOpen();
    const TableDef* table = params.isEmpty() ? findTable(source.trimmed()) : nullptr;
    if (table == nullptr) {
        return fetch(dialect(source), params, false);
    }
    // Columns by name: a column another tool added to the file neither shows nor shifts.
    QStringList columns;
    for (const auto& column : table->columns) {
        columns << QString::fromUtf16(column.name);
    }
    return fetch(QStringLiteral("select rowid, ") + columns.join(QStringLiteral(", ")) +
                     QStringLiteral(" from ") + QString::fromUtf16(table->name) +
                     QStringLiteral(" order by rowid"),
                 params, true);
}

RecordSet DataStore::selectKeyed(const QString& sql, const QVariantList& params)
{
    ensureOpen();
    return fetch(dialect(sql), params, true);
}

qint64 DataStore::insertRow(const QString& table, const QList<std::pair<QString, QVariant>>& values)
{
    ensureOpen();
    const TableDef* definition = &knownTable(table);
    QStringList names;
    QVariantList converted;
    for (const auto& [name, value] : values) {
        names << name;
        converted << storableValue(knownColumn(*definition, name), name, value);
    }
    const QString into = QStringLiteral("insert into ") + QString::fromUtf16(definition->name);
    QStringList marks;
    marks.fill(QStringLiteral("?"), names.size());
    if (names.isEmpty()) {
        return insertStatement(into + QStringLiteral(" default values"), converted);
    }
    return insertStatement(into + QStringLiteral(" (") + names.join(QStringLiteral(", ")) +
                               QStringLiteral(") values (") + marks.join(QStringLiteral(", ")) +
                               QStringLiteral(")"),
                           converted);
}

std::optional<kept_figures::Figures> DataStore::keptFigures(const QString& table)
{
    ensureOpen();
    if (!m_figuresKept) {
        return std::nullopt;
    }
    const RecordSet set = select(QString::fromUtf8(kept_figures::kReadSql), {table});
    if (set.recordCount() == 0) {
        return std::nullopt;
    }
    return kept_figures::Figures{set.valueAt(0, 0).toLongLong(), set.valueAt(0, 1).toLongLong(),
                                 set.valueAt(0, 2).toDouble()};
}

qint64 DataStore::countRows(const QString& table)
{
    const TableDef* definition = &knownTable(table);
    if (const auto figures = keptFigures(table.trimmed())) {
        return figures->rows;
    }
    return select(QStringLiteral("select count(*) from ") + QString::fromUtf16(definition->name))
        .valueAt(0, 0)
        .toLongLong();
}

QStringList DataStore::ReadRecord::texts() const
{
    QStringList all;
    for (const auto& [column, value] : values) {
        all << displayText(value);
    }
    return all;
}

std::optional<DataStore::ReadRecord> DataStore::readRecord(const QString& table, qint64 key,
                                                           const QStringList& columns)
{
    const TableDef& definition = knownTable(table);
    for (const QString& name : columns) {
        knownColumn(definition, name);
    }
    const RecordSet read =
        select(QStringLiteral("select ") + columns.join(QStringLiteral(", ")) +
                   QStringLiteral(" from ") + table + QStringLiteral(" where rowid=?"),
               {key});
    if (read.recordCount() == 0) {
        return std::nullopt;
    }
    ReadRecord record{key, {}};
    for (int i = 0; i < columns.size(); ++i) {
        record.values.append({columns[i], read.valueAt(0, i)});
    }
    return record;
}

void DataStore::updateReadRecord(const QString& table, const ReadRecord& read,
                                 const QList<std::pair<QString, QVariant>>& values)
{
    const TableDef& definition = knownTable(table);
    QStringList sets;
    QVariantList params;
    for (const auto& [name, value] : values) {
        sets << name + QStringLiteral("=?");
        params << storableValue(knownColumn(definition, name), name, value);
    }
    QStringList columns;
    for (const auto& [name, value] : read.values) {
        columns << name;
    }
    params << read.key;
    // The check and the write in one transaction: transactions that write run one at a time
    // on either engine, so nothing can come between them.
    transaction([&] {
        const auto now = readRecord(table, read.key, columns);
        if (!now) {
            qCInfo(storeLog).noquote()
                << "change refused: record" << read.key << "of" << table << "was deleted meanwhile";
            throw StoreError(recordGoneText());
        }
        for (int i = 0; i < columns.size(); ++i) {
            const QVariant& before = read.values[i].second;
            const QVariant& after = now->values[i].second;
            if (before.isNull() != after.isNull() || displayText(before) != displayText(after)) {
                qCInfo(storeLog).noquote() << "change refused: record" << read.key << "of" << table
                                           << "was changed meanwhile in" << columns[i];
                throw StoreError(recordChangedMeanwhileText());
            }
        }
        if (!sets.isEmpty()) {
            execute(QStringLiteral("update ") + table + QStringLiteral(" set ") +
                        sets.join(QStringLiteral(", ")) + QStringLiteral(" where rowid=?"),
                    params);
        }
    });
}

void DataStore::deleteShownRecord(const QString& table, qint64 key,
                                  const QList<std::pair<QString, QString>>& shown)
{
    const TableDef* definition = &knownTable(table);
    QStringList names;
    for (const auto& [name, text] : shown) {
        knownColumn(*definition, name);
        names << name;
    }
    transaction([&] {
        // One transaction: no other program can change the row between the check and the
        // delete.
        const RecordSet read =
            select(QStringLiteral("select ") +
                       (names.isEmpty() ? QStringLiteral("1") : names.join(QStringLiteral(", "))) +
                       QStringLiteral(" from ") + table + QStringLiteral(" where rowid=?"),
                   {key});
        if (read.recordCount() == 0) {
            throw StoreError(recordChangedText());
        }
        for (int i = 0; i < shown.size(); ++i) {
            if (!showsAs(*findColumn(*definition, names[i]), read.valueAt(0, i), shown[i].second)) {
                throw StoreError(recordChangedText());
            }
        }
        execute(QStringLiteral("delete from ") + table + QStringLiteral(" where rowid=?"), {key});
    });
}

} // namespace khgl

#include "data_store/data_store.h"

#include "data_store/schema.h"
#include "data_store/sql_dialect.h"
#include "data_store/statement.h"
#include "data_store/store_error.h"
#include "data_store/values.h"

#include <sqlite3.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <bit>
#include <fcntl.h>
#include <unistd.h>

namespace khgl {
namespace {

QString quoted(const QString& path)
{
    return QStringLiteral("“%1”").arg(QDir::toNativeSeparators(path));
}

sqlite3* openConnection(const QString& path, int flags)
{
    sqlite3* db = nullptr;
    const int rc = sqlite3_open_v2(QFile::encodeName(path).constData(), &db,
                                   flags | SQLITE_OPEN_NOMUTEX, nullptr);
    if (rc != SQLITE_OK) {
        const QString message =
            db ? storeMessage(db, QStringLiteral("无法打开数据文件") + quoted(path))
               : QStringLiteral("无法打开数据文件") + quoted(path);
        sqlite3_close(db);
        throw StoreError(message);
    }
    sqlite3_extended_result_codes(db, 1);
    sqlite3_busy_timeout(db, 3000);
    registerDialect(db);
    return db;
}

void runPlain(sqlite3* db, const QString& sql)
{
    Statement statement(db, sql);
    statement.run();
}

void createOwnTables(sqlite3* db)
{
    for (const auto& table : ownTables()) {
        runPlain(db, QString::fromUtf16(table.createSql));
    }
}

void createIndexes(sqlite3* db)
{
    for (const char16_t* sql : indexStatements()) {
        runPlain(db, QString::fromUtf16(sql));
    }
}

// Throws unless the connection holds the six tables of this program.
void verifySchema(sqlite3* db, const QString& path)
{
    Statement id(db, QStringLiteral("pragma application_id"));
    const qlonglong applicationId = id.step() ? id.value(0).toLongLong() : 0;
    if (applicationId != 0 && applicationId != kApplicationId) {
        throw StoreError(QStringLiteral("%1不是本系统的数据文件。").arg(quoted(path)));
    }
    for (const auto& table : allTables()) {
        Statement find(db, QStringLiteral("select count(*) from sqlite_master where type='table' "
                                          "and name=?"));
        find.bind(1, QString::fromUtf16(table.name));
        if (!find.step() || find.value(0).toInt() != 1) {
            throw StoreError(QStringLiteral("%1不是本系统的数据文件（缺少%2）。")
                                 .arg(quoted(path), QString::fromUtf16(table.name)));
        }
    }
}

// Throws unless every table has this program's columns, in table order.
void verifyColumns(sqlite3* db, const QString& path)
{
    for (const auto& table : allTables()) {
        const QString name = QString::fromUtf16(table.name);
        Statement info(db, QStringLiteral("select name from pragma_table_info(?)"));
        info.bind(1, name);
        QStringList found;
        while (info.step()) {
            found << info.value(0).toString();
        }
        QStringList expected;
        for (const auto& column : table.columns) {
            expected << QString::fromUtf16(column.name);
        }
        if (found != expected) {
            throw StoreError(
                QStringLiteral("%1不是本系统的数据文件（%2的列不同）。").arg(quoted(path), name));
        }
    }
}

QVariant convertForColumn(const ColumnSpec& column, const QVariant& value)
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
    case ColumnKind::Text:
    case ColumnKind::LongText:
    case ColumnKind::DateText:
    case ColumnKind::TimeText:
        break;
    }
    return value.toString();
}

} // namespace

DataStore::DataStore(QString folder) : m_folder(std::move(folder)) {}

DataStore::~DataStore()
{
    close();
}

QString DataStore::databasePath(const QString& folder)
{
    QString path = folder.trimmed();
    if (!path.endsWith(QLatin1Char('/'))) {
        path += QLatin1Char('/');
    }
    return path + fileName();
}

bool DataStore::fileExists() const
{
    return QFileInfo::exists(filePath());
}

void DataStore::create()
{
    close();
    const QString path = filePath();
    const int fd = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_CREAT | O_EXCL, 0600);
    if (fd < 0) {
        throw StoreError(QStringLiteral("无法新建数据文件%1：%2")
                             .arg(quoted(path), QString::fromLocal8Bit(strerror(errno))));
    }
    ::close(fd);
    try {
        m_db = openConnection(path, SQLITE_OPEN_READWRITE);
        runPlain(m_db, QStringLiteral("pragma journal_mode=DELETE"));
        runPlain(m_db, QStringLiteral("pragma synchronous=FULL"));
        transaction([this] {
            runPlain(m_db, QStringLiteral("pragma application_id=%1").arg(kApplicationId));
            runPlain(m_db, QStringLiteral("pragma user_version=1"));
            for (const auto& table : allTables()) {
                runPlain(m_db, createTableSql(table));
            }
            createOwnTables(m_db);
            createIndexes(m_db);
        });
    } catch (...) {
        close();
        QFile::remove(path);
        throw;
    }
}

void DataStore::open()
{
    if (m_db) {
        return;
    }
    const QString path = filePath();
    if (!QFileInfo::exists(path)) {
        throw StoreError(QStringLiteral("数据文件%1不存在。").arg(quoted(path)));
    }
    m_db = openConnection(path, SQLITE_OPEN_READWRITE);
    try {
        runPlain(m_db, QStringLiteral("pragma journal_mode=DELETE"));
        runPlain(m_db, QStringLiteral("pragma synchronous=FULL"));
        verifySchema(m_db, path);
    } catch (const StoreError& error) {
        close();
        if (error.message().contains(QDir::toNativeSeparators(path))) {
            throw;
        }
        throw StoreError(
            QStringLiteral("无法打开数据文件%1。\n%2").arg(quoted(path), error.message()));
    }
    try {
        createOwnTables(m_db);
    } catch (const StoreError&) {
        // A file that cannot take them (read-only) still serves everything else; the features
        // that need them report their own failure when used.
    }
    try {
        createIndexes(m_db);
    } catch (const StoreError&) {
        // Indexes only make listings faster; a file that cannot take them still works.
    }
}

void DataStore::close()
{
    if (m_db) {
        sqlite3_close_v2(m_db);
        m_db = nullptr;
    }
}

sqlite3* DataStore::handle()
{
    ensureOpen();
    return m_db;
}

void DataStore::ensureOpen()
{
    // A file removed underneath would swallow every later write unseen.
    if (m_db && !fileExists()) {
        close();
        throw StoreError(
            QStringLiteral("数据文件%1不见了，数据没有写入。").arg(quoted(filePath())));
    }
    open();
}

RecordSet DataStore::select(const QString& source, const QVariantList& params)
{
    ensureOpen();
    RecordSet set;
    set.m_store = this;
    set.m_source = source;
    set.m_params = params;
    set.m_table = params.isEmpty() ? findTable(source.trimmed()) : nullptr;
    fill(set);
    return set;
}

RecordSet DataStore::selectKeyed(const QString& sql, const QVariantList& params)
{
    ensureOpen();
    RecordSet set;
    set.m_store = this;
    set.m_source = sql;
    set.m_params = params;
    set.m_keyed = true;
    fill(set);
    return set;
}

RecordSet DataStore::appendTo(const QString& table)
{
    ensureOpen();
    RecordSet set;
    set.m_store = this;
    set.m_table = findTable(table.trimmed());
    if (set.m_table == nullptr) {
        throw StoreError(QStringLiteral("没有“%1”这个表。").arg(table));
    }
    for (const auto& column : set.m_table->columns) {
        set.m_names << QString::fromUtf16(column.name);
    }
    Statement count(m_db, QStringLiteral("select count(*) from ") + table.trimmed());
    set.m_unlistedRows = count.step() ? count.value(0).toInt() : 0;
    // Refreshing lists the table as a plain select would.
    set.m_source = table.trimmed();
    return set;
}

void DataStore::fill(RecordSet& set)
{
    const QString sql = set.m_table ? QStringLiteral("select rowid, * from ") +
                                          QString::fromUtf16(set.m_table->name) +
                                          QStringLiteral(" order by rowid")
                                    : rewriteQuery(set.m_source);
    Statement statement(m_db, sql);
    statement.bindAll(set.m_params);
    const bool keyed = set.m_table || set.m_keyed;
    const int first = keyed ? 1 : 0;
    const int columns = statement.columnCount() - first;
    for (int c = 0; c < columns; ++c) {
        set.m_names << statement.columnName(c + first);
    }
    sqlite3_stmt* stmt = statement.handle();
    while (statement.step()) {
        if (keyed) {
            set.m_keys.push_back(sqlite3_column_int64(stmt, 0));
        }
        for (int c = 0; c < columns; ++c) {
            RecordSet::Cell cell;
            const int index = c + first;
            switch (sqlite3_column_type(stmt, index)) {
            case SQLITE_INTEGER:
                cell.type = RecordSet::CellType::Integer;
                cell.payload = sqlite3_column_int64(stmt, index);
                break;
            case SQLITE_FLOAT:
                cell.type = RecordSet::CellType::Real;
                cell.payload = std::bit_cast<std::int64_t>(sqlite3_column_double(stmt, index));
                break;
            case SQLITE_NULL:
                break;
            default: {
                const auto* text = sqlite3_column_text(stmt, index);
                const int bytes = sqlite3_column_bytes(stmt, index);
                cell.type = RecordSet::CellType::Text;
                cell.payload = static_cast<std::int64_t>(set.m_text.size());
                cell.length = static_cast<std::uint32_t>(bytes);
                set.m_text.append(reinterpret_cast<const char*>(text), static_cast<size_t>(bytes));
            }
            }
            set.m_cells.push_back(cell);
        }
        ++set.m_rowCount;
    }
    set.m_position = 0;
}

void DataStore::insert(RecordSet& set, int row)
{
    ensureOpen();
    QStringList names;
    QVariantList values;
    for (int c = 0; c < set.fieldCount(); ++c) {
        if (!set.m_assigned[static_cast<size_t>(c)]) {
            continue;
        }
        const ColumnSpec* column = findColumn(*set.m_table, set.m_names[c]);
        const QVariant converted = convertForColumn(*column, set.valueAt(row, c));
        set.storeCell(set.cell(row, c), converted);
        names << set.m_names[c];
        values << converted;
    }
    const QString table = QString::fromUtf16(set.m_table->name);
    QString sql;
    if (names.isEmpty()) {
        sql = QStringLiteral("insert into ") + table + QStringLiteral(" default values");
    } else {
        QStringList marks;
        marks.fill(QStringLiteral("?"), names.size());
        sql = QStringLiteral("insert into ") + table + QStringLiteral(" (") +
              names.join(QStringLiteral(", ")) + QStringLiteral(") values (") +
              marks.join(QStringLiteral(", ")) + QStringLiteral(")");
    }
    Statement statement(m_db, sql);
    statement.bindAll(values);
    statement.run();
    set.m_keys[static_cast<size_t>(row)] = sqlite3_last_insert_rowid(m_db);
}

void DataStore::remove(RecordSet& set, qint64 key)
{
    ensureOpen();
    Statement statement(m_db, QStringLiteral("delete from ") +
                                  QString::fromUtf16(set.m_table->name) +
                                  QStringLiteral(" where rowid=?"));
    statement.bind(1, key);
    statement.run();
}

void DataStore::execute(const QString& sql, const QVariantList& params)
{
    ensureOpen();
    Statement statement(m_db, rewriteQuery(sql));
    statement.bindAll(params);
    statement.run();
}

void DataStore::transaction(const std::function<void()>& work)
{
    ensureOpen();
    if (sqlite3_get_autocommit(m_db) == 0) {
        work(); // already inside one
        return;
    }
    runPlain(m_db, QStringLiteral("begin immediate"));
    try {
        work();
        runPlain(m_db, QStringLiteral("commit"));
    } catch (...) {
        sqlite3_exec(m_db, "rollback", nullptr, nullptr, nullptr);
        throw;
    }
}

void DataStore::checkDatabaseFile(const QString& path)
{
    sqlite3* db = openConnection(path, SQLITE_OPEN_READONLY);
    try {
        Statement check(db, QStringLiteral("pragma quick_check"));
        if (!check.step() || check.value(0).toString() != QStringLiteral("ok")) {
            throw StoreError(QStringLiteral("%1已损坏。").arg(quoted(path)));
        }
        verifySchema(db, path);
        verifyColumns(db, path);
    } catch (...) {
        sqlite3_close_v2(db);
        throw;
    }
    sqlite3_close_v2(db);
}

} // namespace khgl

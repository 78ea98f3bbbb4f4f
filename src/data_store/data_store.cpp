#include "data_store/data_store.h"

#include "data_store/failure_text.h"
#include "data_store/schema.h"
#include "data_store/server_connection.h"
#include "data_store/sql_dialect.h"
#include "data_store/statement.h"
#include "data_store/store_error.h"
#include "data_store/store_hold.h"
#include "data_store/values.h"

#include <sqlite3.h>

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QThread>
#include <algorithm>
#include <atomic>
#include <bit>
#include <cerrno>
#include <cmath>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace khgl {
namespace {

QString quoted(const QString& path)
{
    return QStringLiteral("“%1”").arg(QDir::toNativeSeparators(path));
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

// The file's change counter, which every writer of the file moves on with each transaction
// it commits; -1 when it cannot be read. Read through SQLite's own handle: another handle
// on the file, once closed, would drop the locks SQLite holds on it.
qint64 changeCounter(sqlite3* db)
{
    sqlite3_file* file = nullptr;
    if (sqlite3_file_control(db, "main", SQLITE_FCNTL_FILE_POINTER, &file) != SQLITE_OK ||
        file == nullptr || file->pMethods == nullptr) {
        return -1;
    }
    unsigned char bytes[4] = {};
    if (file->pMethods->xRead(file, bytes, 4, 24) != SQLITE_OK) {
        return -1;
    }
    return (qint64{bytes[0]} << 24) | (qint64{bytes[1]} << 16) | (qint64{bytes[2]} << 8) |
           qint64{bytes[3]};
}

QString busyText()
{
    return QStringLiteral("数据文件正被其他程序使用，请关闭那个程序或稍后再试。");
}

QString danglingLinkText(const QString& path)
{
    return QStringLiteral("数据文件%1是一个链接，它指向的%2不存在。请找回链接指向的文件，"
                          "或删除这个链接（程序会新建数据文件）。")
        .arg(quoted(path), quoted(QFileInfo(path).symLinkTarget()));
}

// A rollback journal or write-ahead log left without its database (a crash mid-save, then the
// file moved away) would be played into a new file of the same name and bring back pieces of
// the old shop. Each is renamed aside with the time and kept; returns the new names.
QStringList setAsideOrphanLogs(const QStringList& databases)
{
    QStringList setAside;
    const QString stamp = QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    for (const QString& database : databases) {
        for (const char* suffix : {"-journal", "-wal", "-shm"}) {
            const QString log = database + QLatin1String(suffix);
            if (!QFileInfo(log).isFile()) {
                continue;
            }
            QString aside = QStringLiteral("%1.%2.stale").arg(log, stamp);
            for (int n = 2; QFileInfo::exists(aside); ++n) {
                aside = QStringLiteral("%1.%2-%3.stale").arg(log, stamp).arg(n);
            }
            if (::rename(QFile::encodeName(log).constData(),
                         QFile::encodeName(aside).constData()) != 0) {
                throw StoreError(QStringLiteral("无法新建数据文件：旧的日志文件%1无法移开：%2")
                                     .arg(quoted(log), fileFailureText(errno, log)));
            }
            qWarning("Set aside %s, left without its database, as %s", qUtf8Printable(log),
                     qUtf8Printable(aside));
            setAside << aside;
        }
    }
    return setAside;
}

// Whether a stored value still reads as the text a grid shows for it.
bool showsAs(const ColumnSpec& column, const QVariant& stored, const QString& shown)
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
    case ColumnKind::Date: {
        const auto a = parseDate(text);
        return a && a == parseDate(shown);
    }
    case ColumnKind::Text:
    case ColumnKind::LongText:
    case ColumnKind::DateText:
    case ColumnKind::TimeText:
        break;
    }
    return false;
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

// At most one store is held at a time (the windows' one, during a backup or restore); the
// worker's own store asks from its thread.
std::atomic<const DataStore*> g_held{nullptr};

} // namespace

void setStoreHeld(const DataStore& store, bool held)
{
    g_held = held ? &store : nullptr;
}

bool isStoreHeld(const DataStore& store)
{
    return g_held.load() == &store;
}

DataStore::DataStore(QString folder, QString server)
    : m_folder(std::move(folder)), m_serverAddress(std::move(server).trimmed())
{
    if (!m_serverAddress.isEmpty()) {
        m_server = std::make_unique<ServerConnection>(m_serverAddress, m_folder);
    }
}

DataStore::~DataStore()
{
    close();
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

bool DataStore::fileExists() const
{
    if (m_server) {
        return true; // the server says what it holds when opened
    }
    const QFileInfo info(filePath());
    return info.exists() && (!info.isFile() || info.size() > 0);
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

sqlite3* DataStore::openConnection(const QString& path, int flags)
{
    sqlite3* db = nullptr;
    const int rc = sqlite3_open_v2(QFile::encodeName(path).constData(), &db,
                                   flags | SQLITE_OPEN_NOMUTEX, nullptr);
    if (rc != SQLITE_OK) {
        const QString reason = db ? engineFailureText(db) : fileFailureText(ENOMEM, path);
        const int code = db ? sqlite3_extended_errcode(db) & 0xff : rc;
        sqlite3_close(db);
        throw StoreError(QStringLiteral("无法打开数据文件%1：%2").arg(quoted(path), reason), code);
    }
    sqlite3_extended_result_codes(db, 1);
    sqlite3_busy_timeout(db, kBusyWaitMs);
    registerDialect(db);
    return db;
}

void DataStore::writeSchema(sqlite3* db)
{
    runPlain(db, QStringLiteral("begin immediate"));
    try {
        runPlain(db, QStringLiteral("pragma application_id=%1").arg(kApplicationId));
        runPlain(db, QStringLiteral("pragma user_version=1"));
        for (const auto& table : allTables()) {
            runPlain(db, createTableSql(table));
        }
        createOwnTables(db);
        createIndexes(db);
        runPlain(db, QStringLiteral("commit"));
    } catch (...) {
        sqlite3_exec(db, "rollback", nullptr, nullptr, nullptr);
        throw;
    }
}

void DataStore::validateTables(sqlite3* db, const QString& path)
{
    Statement id(db, QStringLiteral("pragma application_id"));
    const qlonglong applicationId = id.step() ? id.value(0).toLongLong() : 0;
    if (applicationId != 0 && applicationId != kApplicationId) {
        throw StoreError(QStringLiteral("%1不是本系统的数据文件。").arg(quoted(path)));
    }
    for (const auto& table : allTables()) {
        const QString name = QString::fromUtf16(table.name);
        Statement find(db, QStringLiteral("select count(*) from sqlite_master where type='table' "
                                          "and name=?"));
        find.bind(1, name);
        if (!find.step() || find.value(0).toInt() != 1) {
            throw StoreError(
                QStringLiteral("%1不是本系统的数据文件（缺少%2）。").arg(quoted(path), name));
        }
        Statement info(db, QStringLiteral("select name from pragma_table_info(?)"));
        info.bind(1, name);
        QStringList found;
        while (info.step()) {
            found << info.value(0).toString();
        }
        for (const auto& column : table.columns) {
            const QString wanted = QString::fromUtf16(column.name);
            if (!found.contains(wanted)) {
                throw StoreError(QStringLiteral("%1不能使用：%2缺少“%3”一列。请换用本系统的"
                                                "数据文件或备份。")
                                     .arg(quoted(path), name, wanted));
            }
        }
    }
}

QStringList DataStore::create()
{
    if (m_server) {
        createOnServer();
        return {};
    }
    close();
    const QString path = filePath();
    const QFileInfo info(path);
    if (info.isSymLink() && !info.exists()) {
        throw StoreError(danglingLinkText(path));
    }
    if (info.exists() && !info.isFile()) {
        throw StoreError(QStringLiteral("无法新建数据文件%1：这个名字已被一个文件夹占用，"
                                        "请移走它后再试。")
                             .arg(quoted(path)));
    }
    if (fileExists()) {
        throw StoreError(QStringLiteral("数据文件%1已经存在，没有新建。").arg(quoted(path)));
    }
    // Built beside the file that will hold the data (a symlink keeps pointing at it).
    const QString target = resolvedPath(path);
    const QString folder = QFileInfo(target).absolutePath();
    for (const QString& stale :
         QDir(folder).entryList({fileName() + QStringLiteral(".new-*")}, QDir::Files)) {
        QFile::remove(QDir(folder).filePath(stale)); // left by an interrupted first start
    }
    QByteArray name = QFile::encodeName(target + QStringLiteral(".new-XXXXXX"));
    const int fd = ::mkostemp(name.data(), O_CLOEXEC);
    if (fd < 0) {
        throw StoreError(QStringLiteral("无法新建数据文件%1：%2")
                             .arg(quoted(path), fileFailureText(errno, target)));
    }
    ::fchmod(fd, 0600);
    ::close(fd);
    const QString temporary = QFile::decodeName(name);
    sqlite3* db = nullptr;
    QStringList setAside;
    try {
        db = openConnection(temporary, SQLITE_OPEN_READWRITE);
        runPlain(db, QStringLiteral("pragma journal_mode=DELETE"));
        runPlain(db, QStringLiteral("pragma synchronous=FULL"));
        writeSchema(db);
        sqlite3_close_v2(db);
        db = nullptr;
        setAside =
            setAsideOrphanLogs(target == path ? QStringList{path} : QStringList{path, target});
        if (::rename(name.constData(), QFile::encodeName(target).constData()) != 0) {
            throw StoreError(QStringLiteral("无法新建数据文件%1：%2")
                                 .arg(quoted(path), fileFailureText(errno, target)));
        }
        const int dir = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY);
        if (dir >= 0) {
            ::fsync(dir);
            ::close(dir);
        }
    } catch (...) {
        sqlite3_close_v2(db);
        QFile::remove(temporary);
        throw;
    }
    open();
    return setAside;
}

void DataStore::open()
{
    if (isStoreHeld(*this)) {
        throw StoreError(heldStoreText(), SQLITE_BUSY);
    }
    if (m_server) {
        openServer();
        return;
    }
    if (m_db) {
        return;
    }
    const QString path = filePath();
    const QFileInfo info(path);
    if (!info.exists()) {
        if (info.isSymLink()) {
            throw StoreError(danglingLinkText(path));
        }
        throw StoreError(QStringLiteral("数据文件%1不存在。").arg(quoted(path)));
    }
    m_db = openConnection(path, SQLITE_OPEN_READWRITE);
    try {
        runPlain(m_db, QStringLiteral("pragma journal_mode=DELETE"));
        runPlain(m_db, QStringLiteral("pragma synchronous=FULL"));
        validateTables(m_db, path);
    } catch (const StoreError& error) {
        close();
        if (error.message().contains(QDir::toNativeSeparators(path))) {
            throw;
        }
        throw StoreError(
            QStringLiteral("无法打开数据文件%1。\n%2").arg(quoted(path), error.message()),
            error.code());
    }
    // A statement meeting another program's lock waits with the windows still painting.
    sqlite3_busy_handler(m_db, &DataStore::waitWhileBusy, this);
    try {
        createOwnTables(m_db);
    } catch (const StoreError&) {
        // A file that cannot take them (read only) still serves everything else; the features
        // that need them report their own failure when used.
    }
    try {
        createIndexes(m_db);
    } catch (const StoreError&) {
        // Indexes only make listings faster; a file that cannot take them still works.
    }
    if (m_copyOnly) {
        return;
    }
    try {
        prepareFigures();
    } catch (const StoreError&) {
        // The pages count and sum themselves then.
    }
}

void DataStore::prepareFigures()
{
    m_figuresKept = false;
    // "insert or replace" then removes a row through the delete trigger too.
    runPlain(m_db, QStringLiteral("pragma recursive_triggers=1"));
    runPlain(m_db, QStringLiteral("begin immediate"));
    try {
        const qint64 counter = changeCounter(m_db);
        for (const QString& sql : kept_figures::fileStatements()) {
            runPlain(m_db, sql);
        }
        const QString read = QString::fromUtf8(kept_figures::kReadSql);
        const QString mark = QString::fromUtf8(kept_figures::kClosedMark);
        // Unless this program closed the file last and nothing wrote to it since, another
        // program may have changed the tables without the triggers: count them afresh.
        Statement closed(m_db, read);
        closed.bind(1, mark);
        const bool trusted =
            counter >= 0 && closed.step() && closed.value(0).toLongLong() == counter;
        for (const char16_t* name : kept_figures::tables()) {
            const QString table = QString::fromUtf16(name);
            Statement held(m_db, read);
            held.bind(1, table);
            if (!trusted || !held.step()) {
                runPlain(m_db, kept_figures::recountSql(table, false));
            }
        }
        // Open, the file may be changed by anything; the mark returns at a clean close.
        Statement unmark(m_db, QStringLiteral("delete from 表合计 where 表名=?"));
        unmark.bind(1, mark);
        unmark.run();
        runPlain(m_db, QStringLiteral("commit"));
    } catch (...) {
        sqlite3_exec(m_db, "rollback", nullptr, nullptr, nullptr);
        throw;
    }
    m_figuresKept = true;
}

void DataStore::markFiguresClosed()
{
    // Closing never waits for another program: without the mark the next open recounts.
    sqlite3_busy_handler(m_db, nullptr, nullptr);
    if (sqlite3_get_autocommit(m_db) == 0 ||
        sqlite3_exec(m_db, "begin immediate", nullptr, nullptr, nullptr) != SQLITE_OK) {
        return;
    }
    try {
        Statement triggers(m_db, QStringLiteral("select count(*) from sqlite_master where "
                                                "type='trigger' and name like '表合计!_%' "
                                                "escape '!'"));
        if (triggers.step() && triggers.value(0).toInt() == 8) {
            // This commit moves the counter on by one.
            Statement mark(m_db, QStringLiteral("insert or replace into 表合计 (表名, 行数, 金额, "
                                                "零头) values (?, ?, 0, 0)"));
            mark.bind(1, QString::fromUtf8(kept_figures::kClosedMark));
            mark.bind(2, (changeCounter(m_db) + 1) & 0xffffffff);
            mark.run();
            runPlain(m_db, QStringLiteral("commit"));
            return;
        }
    } catch (const StoreError&) {
        // The file is left without the mark.
    }
    sqlite3_exec(m_db, "rollback", nullptr, nullptr, nullptr);
}

int DataStore::waitWhileBusy(void* store, int attempt)
{
    auto* self = static_cast<DataStore*>(store);
    if (attempt == 0) {
        self->m_waitClock.start();
    }
    if (self->m_waitClock.elapsed() >= kBusyWaitMs) {
        return 0;
    }
    const QCoreApplication* app = QCoreApplication::instance();
    if (app != nullptr && QThread::currentThread() == app->thread() && !self->m_waiting) {
        // Paint and timers go on; typing and clicks wait until the statement is done.
        // The store refuses work handed to it meanwhile (see ensureOpen).
        self->m_waiting = true;
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents, 10);
        self->m_waiting = false;
    }
    QThread::msleep(10);
    return 1;
}

bool DataStore::isOpen() const
{
    return m_db != nullptr || (m_server && m_server->isOpen());
}

void DataStore::close()
{
    if (m_server) {
        m_server->close();
    }
    if (m_db) {
        // A file removed underneath is not written to again.
        if (m_figuresKept && QFileInfo::exists(filePath())) {
            markFiguresClosed();
        }
        sqlite3_close_v2(m_db);
        m_db = nullptr;
    }
    m_figuresKept = false;
}

sqlite3* DataStore::handle()
{
    if (m_server) {
        throw StoreError(QStringLiteral("这项操作只能用于单机的数据文件。"));
    }
    ensureOpen();
    return m_db;
}

void DataStore::ensureOpen()
{
    if (m_waiting) {
        // Reached from an event handled while a statement waits for the file.
        throw StoreError(busyText(), SQLITE_BUSY);
    }
    if (isStoreHeld(*this)) {
        throw StoreError(heldStoreText(), SQLITE_BUSY);
    }
    // A file removed underneath would swallow every later write unseen.
    if (!m_server && m_db && !QFileInfo::exists(filePath())) {
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

void DataStore::scanKeys(const QString& sql, const QVariantList& params,
                         const std::function<bool(qint64)>& visit)
{
    ensureOpen();
    if (m_server) {
        scanServerKeys(serverQuery(sql), params, visit);
        return;
    }
    Statement statement(m_db, sql);
    statement.bindAll(params);
    sqlite3_stmt* stmt = statement.handle();
    while (statement.step()) {
        if (!visit(sqlite3_column_int64(stmt, 0))) {
            break;
        }
    }
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
    if (const auto figures = keptFigures(table.trimmed())) {
        set.m_unlistedRows = static_cast<int>(figures->rows);
    } else if (m_server) {
        set.m_unlistedRows = static_cast<int>(
            m_server->run(QStringLiteral("select count(*) from ") + table.trimmed())
                .value(0, 0)
                .toLongLong());
    } else {
        Statement count(m_db, QStringLiteral("select count(*) from ") + table.trimmed());
        set.m_unlistedRows = count.step() ? count.value(0).toInt() : 0;
    }
    // Refreshing lists the table as a plain select would.
    set.m_source = table.trimmed();
    return set;
}

void DataStore::fill(RecordSet& set)
{
    QString sql;
    if (set.m_table) {
        // Columns by name: a column another tool added to the file neither shows nor shifts.
        QStringList columns;
        for (const auto& column : set.m_table->columns) {
            columns << QString::fromUtf16(column.name);
        }
        sql = QStringLiteral("select rowid, ") + columns.join(QStringLiteral(", ")) +
              QStringLiteral(" from ") + QString::fromUtf16(set.m_table->name) +
              QStringLiteral(" order by rowid");
    } else {
        sql = m_server ? serverQuery(set.m_source) : rewriteQuery(set.m_source);
    }
    if (m_server) {
        fillFromServer(set, sql);
        return;
    }
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
    if (m_server) {
        set.m_keys[static_cast<size_t>(row)] = insertOnServer(sql, values);
        return;
    }
    Statement statement(m_db, sql);
    statement.bindAll(values);
    statement.run();
    set.m_keys[static_cast<size_t>(row)] = sqlite3_last_insert_rowid(m_db);
}

void DataStore::remove(RecordSet& set, qint64 key)
{
    ensureOpen();
    if (m_server) {
        m_server->run(QStringLiteral("delete from ") + QString::fromUtf16(set.m_table->name) +
                          QStringLiteral(" where rowid=$1"),
                      {key});
        return;
    }
    Statement statement(m_db, QStringLiteral("delete from ") +
                                  QString::fromUtf16(set.m_table->name) +
                                  QStringLiteral(" where rowid=?"));
    statement.bind(1, key);
    statement.run();
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

void DataStore::emptyTable(const QString& table)
{
    if (findTable(table) == nullptr) {
        throw StoreError(QStringLiteral("没有“%1”这个表。").arg(table));
    }
    const QString remove = QStringLiteral("delete from ") + table;
    ensureOpen();
    const auto kept = kept_figures::tables();
    const bool counted = std::any_of(kept.begin(), kept.end(), [&](const char16_t* name) {
        return table == QString::fromUtf16(name);
    });
    if (m_server || !m_figuresKept || !counted) {
        execute(remove);
        return;
    }
    transaction([&] {
        // Without a delete trigger the engine drops the rows wholesale.
        runPlain(m_db, QStringLiteral("drop trigger if exists 表合计_%1_删").arg(table));
        runPlain(m_db, remove);
        runPlain(m_db, kept_figures::recountSql(table, false));
        for (const QString& sql : kept_figures::fileStatements()) {
            runPlain(m_db, sql);
        }
    });
}

void DataStore::execute(const QString& sql, const QVariantList& params)
{
    ensureOpen();
    if (m_server) {
        if (sql.trimmed().startsWith(QStringLiteral("pragma"), Qt::CaseInsensitive)) {
            return; // settings of SQLite's file; the server has its own
        }
        m_server->run(serverQuery(sql), params);
        return;
    }
    Statement statement(m_db, rewriteQuery(sql));
    statement.bindAll(params);
    statement.run();
}

void DataStore::executeEach(const QString& sql, const std::vector<QVariantList>& rows)
{
    ensureOpen();
    if (m_server) {
        const QString query = serverQuery(sql);
        for (const QVariantList& params : rows) {
            m_server->run(query, params);
        }
        return;
    }
    Statement statement(m_db, rewriteQuery(sql));
    for (const QVariantList& params : rows) {
        statement.bindAll(params);
        statement.run();
        sqlite3_reset(statement.handle());
    }
}

void DataStore::transaction(const std::function<void()>& work)
{
    ensureOpen();
    if (m_server) {
        serverTransaction(work);
        return;
    }
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

void DataStore::deleteShownRecord(const QString& table, qint64 key,
                                  const QList<std::pair<QString, QString>>& shown)
{
    const TableSpec* definition = findTable(table);
    if (definition == nullptr) {
        throw StoreError(QStringLiteral("没有“%1”这个表。").arg(table));
    }
    QStringList names;
    for (const auto& [name, text] : shown) {
        if (findColumn(*definition, name) == nullptr) {
            throw StoreError(QStringLiteral("%1中没有“%2”一项。").arg(table, name));
        }
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

void DataStore::scan(const QString& sql, const RowVisitor& visit)
{
    ensureOpen();
    if (m_server) {
        scanServer(serverQuery(sql), visit);
        return;
    }
    Statement rows(m_db, rewriteQuery(sql));
    sqlite3_stmt* stmt = rows.handle();
    const bool withNumber = rows.columnCount() > 1;
    while (rows.step()) {
        visit(reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0)),
              sqlite3_column_bytes(stmt, 0), withNumber ? sqlite3_column_double(stmt, 1) : 0.0);
    }
}

void DataStore::scanCells(const QString& sql, const QVariantList& params,
                          const CellRowVisitor& visit)
{
    ensureOpen();
    if (m_server) {
        scanServerCells(serverQuery(sql), params, visit);
        return;
    }
    Statement rows(m_db, rewriteQuery(sql));
    rows.bindAll(params);
    sqlite3_stmt* stmt = rows.handle();
    std::vector<ScanCell> cells(static_cast<std::size_t>(rows.columnCount()));
    while (rows.step()) {
        for (std::size_t c = 0; c < cells.size(); ++c) {
            const int column = static_cast<int>(c);
            const int type = sqlite3_column_type(stmt, column);
            ScanCell& cell = cells[c];
            cell.isNumber = type == SQLITE_INTEGER || type == SQLITE_FLOAT;
            cell.number = cell.isNumber ? sqlite3_column_double(stmt, column) : 0.0;
            cell.text = type == SQLITE_TEXT || type == SQLITE_BLOB
                            ? reinterpret_cast<const char*>(sqlite3_column_text(stmt, column))
                            : nullptr;
            cell.length = cell.text != nullptr ? sqlite3_column_bytes(stmt, column) : 0;
        }
        visit(cells.data());
    }
}

QString DataStore::configuredServer(const QString& folder)
{
    QFile file(QDir(folder).filePath(serverConfigName()));
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        return {};
    }
    while (!file.atEnd()) {
        const QString line = QString::fromUtf8(file.readLine()).trimmed();
        if (!line.isEmpty() && !line.startsWith(QLatin1Char('#'))) {
            return line;
        }
    }
    return {};
}

void DataStore::checkDatabaseFile(const QString& path)
{
    sqlite3* db = openConnection(path, SQLITE_OPEN_READONLY);
    try {
        Statement check(db, QStringLiteral("pragma quick_check"));
        if (!check.step() || check.value(0).toString() != QStringLiteral("ok")) {
            throw StoreError(QStringLiteral("%1已损坏。").arg(quoted(path)));
        }
        validateTables(db, path);
    } catch (...) {
        sqlite3_close_v2(db);
        throw;
    }
    sqlite3_close_v2(db);
}

} // namespace khgl

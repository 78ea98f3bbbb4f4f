#include "data_store/statement.h"

#include "data_store/failure_text.h"
#include "data_store/store_error.h"
#include "data_store/values.h"

#include <sqlite3.h>

namespace khgl {

Connection::~Connection()
{
    sqlite3_close_v2(db);
}

QString storeMessage(sqlite3* db, const QString& what)
{
    return what + QStringLiteral("：") + engineFailureText(db);
}

void throwStoreError(sqlite3* db, const QString& what)
{
    throw StoreError(storeMessage(db, what), sqlite3_extended_errcode(db) & 0xff);
}

bool StoreError::isBusy() const
{
    return m_code == SQLITE_BUSY || m_code == SQLITE_LOCKED || m_code == kServerBusy;
}

Statement::Statement(sqlite3* db, const QString& sql) : m_db(db)
{
    const QByteArray text = sql.toUtf8();
    if (sqlite3_prepare_v2(db, text.constData(), static_cast<int>(text.size()), &m_stmt, nullptr) !=
        SQLITE_OK) {
        sqlite3_finalize(m_stmt);
        m_stmt = nullptr;
        throwStoreError(db, QStringLiteral("查询无法执行"));
    }
}

Statement::~Statement()
{
    sqlite3_finalize(m_stmt);
}

void Statement::bind(int index, const QVariant& value)
{
    int rc = SQLITE_OK;
    if (value.isNull()) {
        rc = sqlite3_bind_null(m_stmt, index);
    } else {
        switch (value.typeId()) {
        case QMetaType::Int:
        case QMetaType::LongLong:
        case QMetaType::UInt:
        case QMetaType::Short:
        case QMetaType::Bool:
            rc = sqlite3_bind_int64(m_stmt, index, value.toLongLong());
            break;
        case QMetaType::Double:
        case QMetaType::Float:
            rc = sqlite3_bind_double(m_stmt, index, value.toDouble());
            break;
        default: {
            const QByteArray text = storedText(value);
            rc = sqlite3_bind_text64(m_stmt, index, text.constData(),
                                     static_cast<sqlite3_uint64>(text.size()), SQLITE_TRANSIENT,
                                     SQLITE_UTF8);
        }
        }
    }
    if (rc != SQLITE_OK) {
        throwStoreError(m_db, QStringLiteral("查询参数无效"));
    }
}

void Statement::bindAll(const QVariantList& values)
{
    if (values.size() != sqlite3_bind_parameter_count(m_stmt)) {
        throw StoreError(QStringLiteral("查询无法执行：参数个数不符。"));
    }
    for (int i = 0; i < values.size(); ++i) {
        bind(i + 1, values[i]);
    }
}

bool Statement::step()
{
    const int rc = sqlite3_step(m_stmt);
    if (rc == SQLITE_ROW) {
        return true;
    }
    if (rc == SQLITE_DONE) {
        return false;
    }
    throwStoreError(m_db, QStringLiteral("数据操作失败"));
}

void Statement::run()
{
    while (step()) {
    }
}

int Statement::columnCount() const
{
    return sqlite3_column_count(m_stmt);
}

QString Statement::columnName(int column) const
{
    return QString::fromUtf8(sqlite3_column_name(m_stmt, column));
}

QVariant Statement::value(int column) const
{
    switch (sqlite3_column_type(m_stmt, column)) {
    case SQLITE_INTEGER:
        return QVariant(static_cast<qlonglong>(sqlite3_column_int64(m_stmt, column)));
    case SQLITE_FLOAT:
        return QVariant(sqlite3_column_double(m_stmt, column));
    case SQLITE_NULL:
        return {};
    default:
        return QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(m_stmt, column)),
                                 sqlite3_column_bytes(m_stmt, column));
    }
}

} // namespace khgl

#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QtGlobal>
#include <unordered_map>

namespace khgl {

// The pages of a database file as the engine would read them, read without the engine: for a
// file in write-ahead-log mode, a page that a committed transaction of its -wal holds comes
// from there. Through the engine, a reader would parse the whole schema before anything else
// and, in that mode, leave a -shm (and a -wal) beside the file.
class DatabasePages final
{
public:
    explicit DatabasePages(const QString& path);

    // False when the file is no database (the engine's own checks then say why).
    bool isDatabase() const { return m_pageSize > 0; }
    qint64 pageCount() const { return m_pageCount; }
    // The file's header asks for write-ahead logging, or a -wal lies beside it.
    bool logged() const { return m_logged; }
    // The -wal holds committed transactions not yet written into the file.
    bool hasLoggedPages() const { return !m_fromLog.empty(); }
    // The page numbered from 1; empty when it cannot be read.
    QByteArray page(quint32 number);
    // Writes into target (an existing empty file) the database as it reads: the file with
    // the log's committed pages in it, in rollback mode, so the engine reads it with no log
    // beside it. Throws StoreError.
    void writeMerged(const QString& target);

private:
    void readLog(const QString& path);

    QFile m_file;
    QFile m_log;
    qint64 m_pageSize = 0;
    qint64 m_pageCount = 0;
    bool m_logged = false;
    // Page number to the offset of its newest committed content in the -wal.
    std::unordered_map<quint32, qint64> m_fromLog;
};

} // namespace khgl

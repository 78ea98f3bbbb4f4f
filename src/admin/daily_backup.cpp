#include "admin/daily_backup.h"

#include "admin/admin_log.h"
#include "admin/backup_history.h"
#include "admin/database_copy.h"
#include "data_store/data_store.h"
#include "data_store/server_backup.h"
#include "data_store/store_error.h"

#include <QDir>
#include <QFileInfo>
#include <QThread>
#include <exception>

namespace khgl {

DailyBackup::DailyBackup(const StoreAddress& address, QObject* parent)
    : QObject(parent), m_address(address)
{
}

DailyBackup::~DailyBackup()
{
    if (m_thread) {
        m_thread->wait();
        delete m_thread;
    }
}

bool DailyBackup::isRunning() const
{
    return m_thread != nullptr;
}

bool DailyBackup::startIfDue(const QDateTime& now)
{
    if (m_thread) {
        return false;
    }
    // Only a backup counts: a safety copy holds the data as it was before a restore or a
    // clearing, not today's.
    if (BackupHistory(m_address.folder).hasBackupOn(now.date())) {
        return false;
    }
    auto outcome = std::make_shared<Outcome>();
    m_outcome = outcome;
    m_thread = QThread::create([address = m_address, now, outcome] {
        try {
            const auto copying = wholeFileWork();
            // Its own connection: the windows' one stays with the main thread.
            const auto store = openStore(address);
            store->copyOnly();
            store->open();
            BackupHistory history(address.folder);
            const auto make = [&] {
                outcome->path = history.add(*store, now);
                outcome->notice = history.clockNotice(now);
            };
            if (!store->sharedByDesks()) {
                make();
            } else if (const auto other = server_backup::onceADay(*store, now.date(), make)) {
                // One backup a day for the whole shop: the other desks' would copy the same.
                outcome->elsewhere = server_backup::madeElsewhereText(*other);
            }
        } catch (const StoreError& error) {
            outcome->error = error.message();
            outcome->cause = QStringLiteral("engine code %1").arg(error.code());
        } catch (const std::exception& error) {
            outcome->error = QString::fromLocal8Bit(error.what());
            outcome->cause = outcome->error;
        }
    });
    connect(m_thread, &QThread::finished, this, &DailyBackup::finish);
    qCInfo(backupLog) << "daily backup started";
    setStatus(QStringLiteral("正在自动备份今天的数据……"), false);
    m_thread->start(QThread::LowPriority);
    return true;
}

void DailyBackup::finish()
{
    m_thread->wait();
    delete m_thread;
    m_thread = nullptr;
    const Outcome outcome = *m_outcome;
    if (!outcome.elsewhere.isEmpty()) {
        qCInfo(backupLog) << "daily backup left to another desk of the shop";
        setStatus(outcome.elsewhere, true);
        return;
    }
    if (outcome.error.isEmpty()) {
        qCInfo(backupLog).noquote() << "daily backup written:" << outcome.path;
        QString text = QStringLiteral("今天的自动备份已完成：%1")
                           .arg(QDir::toNativeSeparators(QFileInfo(outcome.path).fileName()));
        if (!outcome.notice.isEmpty()) {
            text += QLatin1Char('\n') + outcome.notice;
        }
        setStatus(text, true);
        return;
    }
    qCWarning(backupLog).noquote() << "daily backup failed:" << outcome.cause;
    setStatus(QStringLiteral("今天的自动备份没有完成：") + outcome.error, true);
    Q_EMIT failed(outcome.error);
}

void DailyBackup::setStatus(const QString& text, bool finished)
{
    m_status = text;
    Q_EMIT statusChanged(text, finished);
}

} // namespace khgl

#pragma once

#include "data_store/store_address.h"

#include <QDateTime>
#include <QObject>
#include <QString>
#include <memory>

class QThread;

namespace khgl {

// The backup made by itself once a day: on the first login of a day whose history holds no
// backup of that day yet, a checked backup is added to the history on a thread of its own,
// through a connection of its own, so the windows go on working meanwhile. A shop on a server
// gets one such backup a day, made by whichever desk comes first.
class DailyBackup final : public QObject
{
    Q_OBJECT

public:
    // address: where the windows' store keeps the data; the backup opens its own store there.
    explicit DailyBackup(const StoreAddress& address, QObject* parent = nullptr);
    // Waits for a backup under way: the file is never left half written.
    ~DailyBackup() override;

    // Starts the backup when none of the history is from today's date; false when none is
    // due or one is already under way.
    bool startIfDue(const QDateTime& now);
    bool isRunning() const;
    QString status() const { return m_status; }

Q_SIGNALS:
    // The text for the backup page; finished when the backup has ended either way.
    void statusChanged(const QString& text, bool finished);
    void failed(const QString& message);

private:
    struct Outcome
    {
        QString path;
        QString error;
        QString cause;     // the error in technical form, for the log
        QString notice;    // the history's word on a wrong clock
        QString elsewhere; // a server shop's backup of the day made at another desk
    };
    void finish();
    void setStatus(const QString& text, bool finished);

    StoreAddress m_address;
    QThread* m_thread = nullptr;
    std::shared_ptr<Outcome> m_outcome;
    QString m_status;
};

} // namespace khgl

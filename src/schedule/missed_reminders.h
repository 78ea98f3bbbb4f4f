#pragma once

#include <QDateTime>
#include <QString>
#include <optional>
#include <vector>

namespace khgl {

class DataStore;

// The moment the program last ran on a data folder, kept in a small file beside khgl.dll (not
// in the shop's tables, so a restore or a clearing does not move it). It is rewritten once a
// minute while the program runs, so after a crash it is at most a minute old.
class LastRunStamp final
{
public:
    explicit LastRunStamp(const QString& folder);

    static QString fileName() { return QStringLiteral("khgl-last-run.txt"); }
    QString path() const { return m_path; }

    // Empty when the file is missing (the first start on this folder). A file that holds no
    // time gives the time it was last written.
    std::optional<QDateTime> read() const;
    // How far back the reminders are listed when the last run lies ahead of now: the clock
    // was wrong then or is now, and the real last run is not known.
    static constexpr int kDaysListedAfterClockChange = 7;
    // Replaces the file in one step. False when it could not be written: a stale stamp only
    // means some reminders are listed again, so the caller goes on.
    bool write(const QDateTime& when);
    // Writes when now lies in another minute than the last write.
    void touch(const QDateTime& now);

private:
    QString m_path;
    QDateTime m_written;
};

// One reminder that fell due while the program was closed.
struct MissedReminder
{
    QDateTime due;
    QString date; // as stored
    QString time; // as stored, empty when the reminder has no time
    QString content;
};

// Reads a stored time text (9时5分, also 09时05分 and trailing blanks) into a time of day.
std::optional<QTime> parseTimeText(const QString& text);

// Reminders whose date and time lie after the minute of since and before the minute of now
// (that minute still rings the alarm), oldest first. A reminder without a readable time counts
// as due at the start of its day; one without a readable date is never listed. Looks at most a
// year back.
std::vector<MissedReminder> missedReminders(DataStore& store, const QDateTime& since,
                                            const QDateTime& now);

} // namespace khgl

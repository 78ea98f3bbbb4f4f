#pragma once

#include "data_store/data_store.h"
#include "data_store/record_set.h"
#include "widgets/grid_import.h"

#include <QDate>
#include <QDateTime>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace khgl {

class Clock;
class DataStore;

// The records of 提醒表. No widgets here: the schedule page, the alarm check and the desktop
// put what these return on screen.
namespace reminder_records {

struct NewReminder
{
    QDate setOn;     // 设置时间
    QString date;    // 提醒日期, as typed
    QString time;    // 提醒时间; empty leaves it unset
    QString content; // 提醒内容
    QString music;   // 提醒音乐; empty leaves it unset
};

struct DueReminder
{
    QString content;
    QString music;
};

// Every reminder.
RecordSet all(DataStore& store);
// The reminders dated this day, in any form the date was typed or imported in (date_text.h).
RecordSet on(DataStore& store, const QDate& day);
bool anyOn(DataStore& store, const QDate& day);
// The 提醒内容 of those reminders.
QStringList contentsOn(DataStore& store, const QDate& day);
// Appends one reminder at once; returns its number (编号 and 区别) and, when asked, its key.
int append(DataStore& store, const NewReminder& reminder, qint64* key = nullptr);
// One reminder as the schedule page's boxes show it, read by its key for a change (setOn is
// its 设置时间); nothing when it is no longer there.
struct ReadEntry
{
    DataStore::ReadRecord read;
    NewReminder reminder;
};
std::optional<ReadEntry> readEntry(DataStore& store, qint64 key);
// Rewrites 提醒日期, 提醒时间, 提醒内容 and 提醒音乐 of the reminder read before (an empty time
// or music empties its column; 编号, 设置时间 and 区别 unchanged) in one transaction; a reminder
// changed or deleted meanwhile is left as it is and a StoreError says so.
void updateEntry(DataStore& store, const DataStore::ReadRecord& read, const NewReminder& reminder);
// Appends many reminders in one transaction, all or none, numbered as saves one after the
// other number them.
void appendAll(DataStore& store, const std::vector<NewReminder>& reminders);
// The same for reminders handed over one at a time by next (false after the last); next
// throws to stop, nothing written.
void appendAll(DataStore& store, const std::function<bool(NewReminder& reminder)>& next);
// Brings CSV rows into 提醒表 through appendAll: the columns by the grid's headers (编号,
// 设置日期, 提醒日期, 提醒时间, 日程安排, 提醒音乐; date and content required), checked as the
// page checks its boxes, the content at most contentLimit characters.
std::unique_ptr<GridImporter> importer(DataStore& store, const Clock& clock,
                                       const QStringList& headers, qsizetype contentLimit);
// The first reminder dated today (in any form) whose time is this minute.
std::optional<DueReminder> dueAt(DataStore& store, const QDateTime& now);

} // namespace reminder_records
} // namespace khgl

#include "schedule/reminder_records.h"

#include "data_store/data_store.h"
#include "data_store/values.h"

namespace khgl::reminder_records {

RecordSet all(DataStore& store)
{
    return store.select(QStringLiteral("提醒表"));
}

RecordSet on(DataStore& store, const QDate& day)
{
    // The blank before the closing quote is not significant: text compares without it.
    return store.select(QStringLiteral("select*from 提醒表 where 提醒日期=? order by rowid"),
                        {QString(dateText(day) + QStringLiteral(" "))});
}

bool anyOn(DataStore& store, const QDate& day)
{
    const RecordSet rows = store.select(
        QStringLiteral("select 提醒日期 from 提醒表 where 提醒日期=?"), {dateText(day)});
    return rows.recordCount() > 0;
}

QStringList contentsOn(DataStore& store, const QDate& day)
{
    // The day's date in each form it may have been typed in: 2026-3-5, 2026-03-05 and the
    // mixed ones.
    const QString year = QString::number(day.year()) + QLatin1Char('-');
    const QString month = QString::number(day.month());
    const QString date = QString::number(day.day());
    const QString month2 = month.rightJustified(2, QLatin1Char('0'));
    const QString date2 = date.rightJustified(2, QLatin1Char('0'));
    RecordSet set = store.select(
        QStringLiteral("select 提醒内容 from 提醒表 where 提醒日期 in (?, ?, ?, ?) order by rowid"),
        {QString(year + month + QLatin1Char('-') + date),
         QString(year + month2 + QLatin1Char('-') + date2),
         QString(year + month + QLatin1Char('-') + date2),
         QString(year + month2 + QLatin1Char('-') + date)});
    QStringList contents;
    for (set.moveFirst(); !set.eof(); set.moveNext()) {
        contents << set.text(0);
    }
    return contents;
}

int append(DataStore& store, const NewReminder& reminder)
{
    int number = 0;
    store.transaction([&] {
        RecordSet reminders = store.appendTo(QStringLiteral("提醒表"));
        reminders.addNew();
        number = reminders.recordCount();
        reminders.setValue(QStringLiteral("编号"), number);
        reminders.setValue(QStringLiteral("设置时间"), reminder.setOn);
        reminders.setValue(QStringLiteral("提醒日期"), reminder.date);
        if (!reminder.time.isEmpty()) {
            reminders.setValue(QStringLiteral("提醒时间"), reminder.time);
        }
        reminders.setValue(QStringLiteral("提醒内容"), reminder.content);
        if (!reminder.music.isEmpty()) {
            reminders.setValue(QStringLiteral("提醒音乐"), reminder.music);
        }
        reminders.setValue(QStringLiteral("区别"), number);
        reminders.update();
    });
    return number;
}

std::optional<DueReminder> dueAt(DataStore& store, const QDateTime& now)
{
    // The blank after the time is not significant: text compares without it.
    RecordSet rows = store.select(
        QStringLiteral("select 提醒内容,提醒音乐,提醒时间 from 提醒表 where 提醒日期=? and "
                       "提醒时间=? order by rowid"),
        {dateText(now.date()), QString(timeText(now.time()) + QStringLiteral(" "))});
    if (rows.recordCount() == 0) {
        return std::nullopt;
    }
    rows.moveFirst();
    return DueReminder{rows.text(0), rows.text(1)};
}

} // namespace khgl::reminder_records

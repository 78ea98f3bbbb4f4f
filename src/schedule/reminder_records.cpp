#include "schedule/reminder_records.h"

#include "data_store/data_store.h"
#include "data_store/values.h"
#include "platform/clock.h"

#include <QRegularExpression>

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

namespace {

const QString kReminders = QStringLiteral("提醒表");

// Writes the reminder numbered number (编号 and 区别 both).
int addTo(DataStore& store, int number, const NewReminder& reminder)
{
    QList<std::pair<QString, QVariant>> values{{QStringLiteral("编号"), number},
                                               {QStringLiteral("设置时间"), reminder.setOn},
                                               {QStringLiteral("提醒日期"), reminder.date}};
    if (!reminder.time.isEmpty()) {
        values.append({QStringLiteral("提醒时间"), reminder.time});
    }
    values.append({QStringLiteral("提醒内容"), reminder.content});
    if (!reminder.music.isEmpty()) {
        values.append({QStringLiteral("提醒音乐"), reminder.music});
    }
    values.append({QStringLiteral("区别"), number});
    store.insertRow(kReminders, values);
    return number;
}

} // namespace

int append(DataStore& store, const NewReminder& reminder)
{
    int number = 0;
    store.transaction([&] {
        number = addTo(store, static_cast<int>(store.countRows(kReminders)) + 1, reminder);
    });
    return number;
}

void appendAll(DataStore& store, const std::vector<NewReminder>& reminders)
{
    appendAll(store, feedOf(reminders));
}

void appendAll(DataStore& store, const std::function<bool(NewReminder& reminder)>& next)
{
    store.transaction([&] {
        int count = static_cast<int>(store.countRows(kReminders));
        NewReminder reminder;
        while (next(reminder)) {
            addTo(store, ++count, reminder);
        }
    });
}

namespace {

// A CSV file into 提醒表, checked as the schedule page checks its boxes. 编号 is counted
// anew; a row without a setting date is set today.
class ReminderImporter final : public GridImporter
{
public:
    ReminderImporter(DataStore& store, const Clock& clock, QStringList headers,
                     qsizetype contentLimit)
        : m_store(store), m_clock(clock), m_headers(std::move(headers)),
          m_contentLimit(contentLimit)
    {
    }

    std::vector<ImportColumn> columns() const override
    {
        std::vector<ImportColumn> columns;
        for (qsizetype c = 0; c < m_headers.size(); ++c) {
            columns.push_back({m_headers[c], c == kDate || c == kContent, c != 0});
        }
        return columns;
    }

    QStringList check(const QStringList& row) const override
    {
        static const QRegularExpression time(QStringLiteral(R"(^([01]?\d|2[0-3])时[0-5]?\d分$)"));
        QStringList problems;
        import_check::date(problems, m_headers[kSetOn], row[kSetOn]);
        import_check::date(problems, m_headers[kDate], row[kDate]);
        if (!row[kTime].isEmpty() && !time.match(row[kTime]).hasMatch()) {
            problems << QStringLiteral("“%1”不是“时分”形式的时间").arg(m_headers[kTime]);
        }
        import_check::length(problems, m_headers[kContent], row[kContent], m_contentLimit);
        return problems;
    }

    void write(const ImportFeed& feed) override
    {
        QStringList row;
        appendAll(m_store, [&](NewReminder& reminder) {
            if (!feed(row)) {
                return false;
            }
            reminder = {parseDate(row[kSetOn]).value_or(m_clock.today()), row[kDate], row[kTime],
                        row[kContent], row[kMusic]};
            return true;
        });
    }

    DataStore& store() const override { return m_store; }

private:
    enum Column
    {
        kSetOn = 1,
        kDate,
        kTime,
        kContent,
        kMusic
    };

    DataStore& m_store;
    const Clock& m_clock;
    QStringList m_headers;
    qsizetype m_contentLimit;
};

} // namespace

std::unique_ptr<GridImporter> importer(DataStore& store, const Clock& clock,
                                       const QStringList& headers, qsizetype contentLimit)
{
    return std::make_unique<ReminderImporter>(store, clock, headers, contentLimit);
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

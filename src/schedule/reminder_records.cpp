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
    // Keyed: each listed row can name its reminder for a change.
    return store.selectKeyed(QStringLiteral("select rowid,*from 提醒表 where ") +
                                 dayFormsMatch(QStringLiteral("提醒日期")) +
                                 QStringLiteral(" order by rowid"),
                             dayFormParams(day));
}

bool anyOn(DataStore& store, const QDate& day)
{
    const RecordSet rows =
        store.select(QStringLiteral("select 提醒日期 from 提醒表 where ") +
                         dayFormsMatch(QStringLiteral("提醒日期")) + QStringLiteral(" limit 1"),
                     dayFormParams(day));
    return rows.recordCount() > 0;
}

QStringList contentsOn(DataStore& store, const QDate& day)
{
    RecordSet set = store.select(QStringLiteral("select 提醒内容 from 提醒表 where ") +
                                     dayFormsMatch(QStringLiteral("提醒日期")) +
                                     QStringLiteral(" order by rowid"),
                                 dayFormParams(day));
    QStringList contents;
    for (set.moveFirst(); !set.eof(); set.moveNext()) {
        contents << set.text(0);
    }
    return contents;
}

namespace {

const QString kReminders = QStringLiteral("提醒表");

// Writes the reminder numbered number (编号 and 区别 both); returns its key.
qint64 addTo(DataStore& store, int number, const NewReminder& reminder)
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
    return store.insertRow(kReminders, values);
}

// The columns the schedule page's boxes edit.
QStringList entryColumns()
{
    return {QStringLiteral("设置时间"), QStringLiteral("提醒日期"), QStringLiteral("提醒时间"),
            QStringLiteral("提醒内容"), QStringLiteral("提醒音乐")};
}

} // namespace

int append(DataStore& store, const NewReminder& reminder, qint64* key)
{
    int number = 0;
    store.transaction([&] {
        number = static_cast<int>(store.countRows(kReminders)) + 1;
        const qint64 added = addTo(store, number, reminder);
        if (key != nullptr) {
            *key = added;
        }
    });
    return number;
}

std::optional<ReadEntry> readEntry(DataStore& store, qint64 key)
{
    auto read = store.readRecord(kReminders, key, entryColumns());
    if (!read) {
        return std::nullopt;
    }
    const QStringList texts = read->texts();
    return ReadEntry{
        *read, {parseDate(texts[0]).value_or(QDate()), texts[1], texts[2], texts[3], texts[4]}};
}

void updateEntry(DataStore& store, const DataStore::ReadRecord& read, const NewReminder& reminder)
{
    const auto orNull = [](const QString& text) {
        return text.isEmpty() ? QVariant() : QVariant(text);
    };
    const QStringList columns = entryColumns();
    store.updateReadRecord(kReminders, read,
                           {{columns[1], reminder.date},
                            {columns[2], orNull(reminder.time)},
                            {columns[3], reminder.content},
                            {columns[4], orNull(reminder.music)}});
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
    QVariantList params = dayFormParams(now.date());
    params << QString(timeText(now.time()) + QStringLiteral(" "));
    RecordSet rows =
        store.select(QStringLiteral("select 提醒内容,提醒音乐,提醒时间 from 提醒表 where ") +
                         dayFormsMatch(QStringLiteral("提醒日期")) +
                         QStringLiteral(" and 提醒时间=? order by rowid"),
                     params);
    if (rows.recordCount() == 0) {
        return std::nullopt;
    }
    rows.moveFirst();
    return DueReminder{rows.text(0), rows.text(1)};
}

} // namespace khgl::reminder_records

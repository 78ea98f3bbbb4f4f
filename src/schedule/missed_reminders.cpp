#include "schedule/missed_reminders.h"

#include "data_store/data_store.h"
#include "data_store/replaced_file.h"
#include "data_store/values.h"
#include "schedule/schedule_log.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QSaveFile>
#include <QSet>
#include <algorithm>

namespace khgl {
namespace {

constexpr int kLookBackDays = 366;

QDateTime minuteOf(const QDateTime& when)
{
    return QDateTime(when.date(), QTime(when.time().hour(), when.time().minute()));
}

} // namespace

LastRunStamp::LastRunStamp(const QString& folder) : m_path(QDir(folder).filePath(fileName())) {}

std::optional<QDateTime> LastRunStamp::read() const
{
    QFile file(m_path);
    if (!file.open(QIODevice::ReadOnly)) {
        return std::nullopt;
    }
    const QByteArray content = file.read(64);
    const QDateTime when =
        QDateTime::fromString(QString::fromLatin1(content).trimmed(), Qt::ISODate);
    if (when.isValid()) {
        return when;
    }
    // Damaged: the file is written once a minute while the program runs, so the time it was
    // last written still says when that was.
    const QDateTime written = file.fileTime(QFileDevice::FileModificationTime);
    qCWarning(scheduleLog).noquote()
        << QStringLiteral("%1 holds no time (\"%2\"); the time it was written stands in")
               .arg(m_path, QString::fromLatin1(content.toPercentEncoding(" :-")));
    if (!written.isValid()) {
        return std::nullopt;
    }
    return written;
}

bool LastRunStamp::write(const QDateTime& when)
{
    QSaveFile file(m_path);
    if (!file.open(QIODevice::WriteOnly)) {
        return false;
    }
    file.write(when.toString(Qt::ISODate).toLatin1() + '\n');
    if (!commitWhole(file)) {
        // The old stamp stays whole: a disk that is full now loses one minute, not the stamp.
        qCWarning(scheduleLog).noquote() << "last-run stamp not written:" << file.errorString();
        return false;
    }
    m_written = when;
    return true;
}

void LastRunStamp::touch(const QDateTime& now)
{
    if (m_written.isValid() && minuteOf(m_written) == minuteOf(now)) {
        return;
    }
    write(now);
}

std::optional<QTime> parseTimeText(const QString& text)
{
    static const QRegularExpression pattern(
        QStringLiteral(R"(^\s*([0-9]{1,2})\s*时\s*([0-9]{1,2})\s*分\s*$)"));
    const auto match = pattern.match(text);
    if (!match.hasMatch()) {
        return std::nullopt;
    }
    const QTime time(match.captured(1).toInt(), match.captured(2).toInt());
    if (!time.isValid()) {
        return std::nullopt;
    }
    return time;
}

std::vector<MissedReminder> missedReminders(DataStore& store, const QDateTime& since,
                                            const QDateTime& now)
{
    std::vector<MissedReminder> missed;
    const QDateTime after = minuteOf(since);
    const QDateTime before = minuteOf(now);
    if (after >= before) {
        return missed; // the clock went back, or no whole minute has passed
    }
    QDate first = after.date();
    first = std::max(first, before.date().addDays(-kLookBackDays));
    // Every form each day may have been typed or picked in: the index on 提醒日期 finds them
    // directly.
    QSet<QString> forms;
    for (QDate day = first; day <= before.date(); day = day.addDays(1)) {
        for (const QString& form : dayForms(day)) {
            forms.insert(form);
        }
    }
    QVariantList params;
    QStringList marks;
    for (const QString& form : forms) {
        params << form;
        marks << QStringLiteral("?");
    }
    RecordSet rows = store.select(
        QStringLiteral("select 提醒日期,提醒时间,提醒内容 from 提醒表 where 提醒日期 in (%1) "
                       "order by rowid")
            .arg(marks.join(QLatin1Char(','))),
        params);
    for (rows.moveFirst(); !rows.eof(); rows.moveNext()) {
        const auto date = parseDate(rows.text(0));
        if (!date) {
            continue;
        }
        const QString timeText = rows.text(1);
        const QDateTime due(*date, parseTimeText(timeText).value_or(QTime(0, 0)));
        if (due > after && due < before) {
            missed.push_back({due, rows.text(0), timeText, rows.text(2)});
        }
    }
    std::stable_sort(
        missed.begin(), missed.end(),
        [](const MissedReminder& a, const MissedReminder& b) { return a.due < b.due; });
    return missed;
}

} // namespace khgl

#pragma once

#include <QDate>
#include <QString>
#include <QStringList>
#include <QVariantList>
#include <optional>

namespace khgl {

// The one rule for date texts. A date may be written 2026-3-5 (as the calendar writes it),
// 2026-03-05, 2026/3/5, 2026.3.5 or 2026年3月5日, with blanks around it; each names the same
// day, wherever dates are compared, listed or added up. The program writes the calendar's
// form.

// The day a date text names; nothing for a text that names no day (2026-2-30, 明天).
std::optional<QDate> parseDate(const QString& text);
// The key yyyymmdd of the day a stored date text (UTF-8) names, kNoDayKey when it names none.
// For long scans: reads the bytes in place.
constexpr qint64 kNoDayKey = -1;
qint64 dayKeyOf(const char* text, qsizetype length);
qint64 dayKey(const QDate& date);

// 2026-3-5: year-month-day without leading zeros, as the calendar writes it.
QString dateText(const QDate& date);
// 2026-03-05: the form date columns read back as.
QString isoDateText(const QDate& date);
// 2026-3: the month prefix used by month filters.
QString monthPrefix(const QDate& date);

// A typed or imported date in the calendar's form; nothing when the text names no day.
std::optional<QString> typedDate(const QString& text);
// The text to store for a date text: the calendar's form when it names a day, else as it is.
QString storedDateText(const QString& text);

// Every text a day may be stored as (kDayFormCount of them, repeats included), to find its
// rows through an index on the column: bind them to dayFormsMatch(column).
constexpr int kDayFormCount = 16;
QStringList dayForms(const QDate& day);
// "column in (?, ...)", one mark per text of dayForms.
QString dayFormsMatch(const QString& column);
// The texts of dayForms as the parameters of dayFormsMatch.
QVariantList dayFormParams(const QDate& day);
// The SQL function giving the key (as dayKeyOf, null for no day) of a date column, on
// either engine: "day_key(column)".
QString dayKeySql(const QString& column);

} // namespace khgl

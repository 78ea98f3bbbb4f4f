#include "data_store/date_text.h"

#include <cstring>
#include <string_view>

namespace khgl {
namespace {

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

// Reads one date text from its bytes: year, then either one separator (-, / or .) repeated
// between month and day, or 年, 月 and 日.
class DayReader
{
public:
    DayReader(const char* text, qsizetype length) : m_text(text), m_end(length)
    {
        while (m_at < m_end && isBlank(m_text[m_at])) {
            ++m_at;
        }
        while (m_end > m_at && isBlank(m_text[m_end - 1])) {
            --m_end;
        }
    }

    qint64 key()
    {
        int year = 0;
        int month = 0;
        int day = 0;
        if (!number(4, year)) {
            return kNoDayKey;
        }
        bool read = false;
        if (word("年")) {
            read = number(2, month) && word("月") && number(2, day) && word("日");
        } else if (m_at < m_end && std::strchr("-/.", m_text[m_at]) != nullptr) {
            const char separator = m_text[m_at++];
            read =
                number(2, month) && m_at < m_end && m_text[m_at++] == separator && number(2, day);
        }
        if (!read || m_at != m_end || !QDate::isValid(year, month, day)) {
            return kNoDayKey;
        }
        return year * 10000LL + month * 100LL + day;
    }

private:
    // One to `most` digits, not followed by another digit.
    bool number(int most, int& value)
    {
        const qsizetype start = m_at;
        value = 0;
        while (m_at < m_end && m_at - start < most && isDigit(m_text[m_at])) {
            value = value * 10 + (m_text[m_at++] - '0');
        }
        return m_at > start && (m_at == m_end || !isDigit(m_text[m_at]));
    }

    bool word(std::string_view utf8)
    {
        const auto size = static_cast<qsizetype>(utf8.size());
        if (m_end - m_at < size || std::memcmp(m_text + m_at, utf8.data(), utf8.size()) != 0) {
            return false;
        }
        m_at += size;
        return true;
    }

    const char* m_text;
    qsizetype m_at = 0;
    qsizetype m_end;
};

} // namespace

qint64 dayKeyOf(const char* text, qsizetype length)
{
    return text == nullptr ? kNoDayKey : DayReader(text, length).key();
}

qint64 dayKey(const QDate& date)
{
    return date.year() * 10000LL + date.month() * 100LL + date.day();
}

std::optional<QDate> parseDate(const QString& text)
{
    // A date is short: a long text (a paste) is none, without converting all of it.
    constexpr qsizetype kLongest = 64;
    QStringView view(text);
    const auto blank = [](QChar c) { return c.unicode() < 0x80 && isBlank(char(c.unicode())); };
    while (!view.isEmpty() && blank(view.front())) {
        view = view.mid(1);
    }
    while (!view.isEmpty() && blank(view.back())) {
        view.chop(1);
    }
    if (view.size() > kLongest) {
        return std::nullopt;
    }
    const QByteArray utf8 = view.toUtf8();
    const qint64 key = dayKeyOf(utf8.constData(), utf8.size());
    if (key == kNoDayKey) {
        return std::nullopt;
    }
    return QDate(static_cast<int>(key / 10000), static_cast<int>(key / 100 % 100),
                 static_cast<int>(key % 100));
}

QString dateText(const QDate& date)
{
    return QStringLiteral("%1-%2-%3").arg(date.year()).arg(date.month()).arg(date.day());
}

QString isoDateText(const QDate& date)
{
    return QStringLiteral("%1-%2-%3")
        .arg(date.year(), 4, 10, QLatin1Char('0'))
        .arg(date.month(), 2, 10, QLatin1Char('0'))
        .arg(date.day(), 2, 10, QLatin1Char('0'));
}

QString monthPrefix(const QDate& date)
{
    return QStringLiteral("%1-%2").arg(date.year()).arg(date.month());
}

std::optional<QString> typedDate(const QString& text)
{
    const auto date = parseDate(text);
    return date ? std::optional<QString>(dateText(*date)) : std::nullopt;
}

QString storedDateText(const QString& text)
{
    return typedDate(text).value_or(text);
}

QStringList dayForms(const QDate& day)
{
    const QString year = QString::number(day.year());
    const QString months[] = {QString::number(day.month()),
                              QStringLiteral("%1").arg(day.month(), 2, 10, QLatin1Char('0'))};
    const QString days[] = {QString::number(day.day()),
                            QStringLiteral("%1").arg(day.day(), 2, 10, QLatin1Char('0'))};
    QStringList forms;
    forms.reserve(kDayFormCount);
    for (const QString& month : months) {
        for (const QString& date : days) {
            for (const char16_t separator : {u'-', u'/', u'.'}) {
                forms << year + separator + month + separator + date;
            }
            forms << year + u'年' + month + u'月' + date + u'日';
        }
    }
    return forms;
}

QVariantList dayFormParams(const QDate& day)
{
    QVariantList params;
    for (const QString& form : dayForms(day)) {
        params << form;
    }
    return params;
}

QString dayFormsMatch(const QString& column)
{
    QStringList marks;
    marks.fill(QStringLiteral("?"), kDayFormCount);
    return column + QStringLiteral(" in (") + marks.join(QStringLiteral(", ")) + QLatin1Char(')');
}

QString dayKeySql(const QString& column)
{
    return QStringLiteral("day_key(") + column + QLatin1Char(')');
}

} // namespace khgl

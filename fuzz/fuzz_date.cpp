// parseDate: what a date box accepts, and the calendar's own texts read back.
#include "data_store/values.h"
#include "fuzz_input.h"

#include <cstdio>

using khgl::parseDate;
using khgl::fuzz::check;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QString text = khgl::fuzz::textFrom(data, size);
    const std::optional<QDate> date = parseDate(text);

    const std::optional<QDate> padded =
        parseDate(QStringLiteral("  ") + text + QStringLiteral(" \t"));
    check(date == padded, "blanks around a date change nothing", text);

    if (date) {
        check(date->isValid(), "a valid date", text);
        // The form date columns read back as gives the same date.
        check(parseDate(khgl::isoDateText(*date)) == date, "round trip through 2026-03-05", text);
        if (date->year() >= 1000) {
            check(parseDate(khgl::dateText(*date)) == date, "round trip through 2026-3-5", text);
        }
        // The numbers typed are the date's numbers.
        const QByteArray ascii = text.trimmed().toLatin1();
        int year = 0;
        int month = 0;
        int day = 0;
        if (text.trimmed().size() == ascii.size() &&
            std::sscanf(ascii.constData(), "%d%*c%d%*c%d", &year, &month, &day) == 3) {
            check(QDate(year, month, day) == *date, "the typed year, month and day", text);
        }
    }

    // Every date the calendar can write reads back: a day number from the input's first bytes.
    if (size >= 3) {
        const int offset = data[0] | (data[1] << 8) | ((data[2] & 0x3f) << 16);
        const QDate day =
            QDate(1000, 1, 1).addDays(offset % QDate(1000, 1, 1).daysTo(QDate(9999, 12, 31)));
        const QString written = khgl::dateText(day);
        check(parseDate(written) == day, "the calendar's text reads back", written);
        check(parseDate(QString(written).replace(QLatin1Char('-'), QLatin1Char('/'))) == day,
              "slashes read like dashes", written);
        check(parseDate(khgl::isoDateText(day)) == day, "zero-padded text reads back", written);
    }
    return 0;
}

// parseNumber: what a number or money box accepts.
#include "data_store/values.h"
#include "fuzz_input.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <string>

using khgl::parseNumber;
using khgl::fuzz::check;

namespace {

// The same value; "12." reads as a double and its text "12" as an integer, which SQLite
// compares as equal.
bool sameNumber(const QVariant& a, const QVariant& b)
{
    if (a.typeId() == QMetaType::LongLong && b.typeId() == QMetaType::LongLong) {
        return a.toLongLong() == b.toLongLong();
    }
    return a.toDouble() == b.toDouble();
}

bool isAscii(const QString& text)
{
    for (const QChar c : text) {
        if (c.unicode() >= 0x80) {
            return false;
        }
    }
    return true;
}

// Only what a plain decimal number is made of, so the C library reads the same language.
bool plainDecimalCharacters(const std::string& text)
{
    for (const char c : text) {
        if (std::string_view("0123456789.eE+-").find(c) == std::string_view::npos) {
            return false;
        }
    }
    return !text.empty();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QString text = khgl::fuzz::textFrom(data, size);
    const std::optional<QVariant> number = parseNumber(text);

    // Blanks around the number never change what it reads as.
    const std::optional<QVariant> padded =
        parseNumber(QStringLiteral(" ") + text + QStringLiteral("\t "));
    check(number.has_value() == padded.has_value() && (!number || sameNumber(*number, *padded)),
          "blanks around a number change nothing", text);

    if (number) {
        const bool integer = number->typeId() == QMetaType::LongLong;
        check(integer || number->typeId() == QMetaType::Double, "an integer or a double", text);
        // What a column stores reads back as the same number.
        const QString written = integer ? QString::number(number->toLongLong())
                                        : QString::number(number->toDouble(), 'g', 17);
        check(std::isfinite(number->toDouble()), "never infinite or NaN", text);
        const std::optional<QVariant> again = parseNumber(written);
        check(again.has_value() && sameNumber(*number, *again), "round trip through text", text);
    }

    // The C library as a second reader of plain ASCII decimals.
    if (!isAscii(text)) {
        return 0;
    }
    const std::string trimmed = text.trimmed().toStdString();
    if (!plainDecimalCharacters(trimmed)) {
        return 0;
    }
    errno = 0;
    char* end = nullptr;
    const double reference = std::strtod(trimmed.c_str(), &end);
    const bool whole = end == trimmed.c_str() + trimmed.size();
    if (errno == ERANGE) {
        return 0; // out of double's range: refusing it or not are both sound
    }
    check(number.has_value() == whole, "accepts exactly what strtod reads whole", text);
    if (number && number->typeId() == QMetaType::LongLong) {
        errno = 0;
        const long long referenceInteger = std::strtoll(trimmed.c_str(), &end, 10);
        check(errno == 0 && referenceInteger == number->toLongLong(), "integer value", text);
    } else if (number) {
        check(reference == number->toDouble(), "decimal value", text);
    }
    return 0;
}

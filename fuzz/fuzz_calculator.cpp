// The calculator's reading of an operand's leading numeric part.
#include "fuzz_input.h"
#include "input_aids/leading_number.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>

using khgl::leadingNumber;
using khgl::fuzz::check;

namespace {

bool same(double a, double b)
{
    return a == b || (std::isnan(a) && std::isnan(b));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QString text = khgl::fuzz::textFrom(data, size);
    const double value = leadingNumber(text);

    check(!std::isnan(value), "never NaN", text);
    // Only the leading part counts: what follows a character no number has is ignored.
    check(same(leadingNumber(text + QStringLiteral("x7")), value), "trailing text is ignored",
          text);
    check(same(leadingNumber(QStringLiteral(" ") + text), value), "leading blanks are skipped",
          text);
    if (!text.isEmpty() && !text[0].isSpace() && text[0] != u'+' && text[0] != u'-') {
        check(same(leadingNumber(QStringLiteral("-") + text), -value), "a minus sign negates",
              text);
    }

    // The C library reads the same leading part of plain ASCII text. Hexadecimal, "inf" and
    // "nan", which strtod also reads, are not the calculator's.
    for (const QChar c : text) {
        if (c.unicode() == 0 || c.unicode() >= 0x80 || QStringLiteral("xXiInN").contains(c)) {
            return 0;
        }
    }
    const QByteArray ascii = text.toLatin1();
    errno = 0;
    char* end = nullptr;
    const double reference = std::strtod(ascii.constData(), &end);
    if (errno == ERANGE) {
        return 0;
    }
    check(same(value, end == ascii.constData() ? 0.0 : reference), "strtod's value", text);
    return 0;
}

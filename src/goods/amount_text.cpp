#include "goods/amount_text.h"

#include "data_store/values.h"

#include <QRegularExpression>
#include <charconv>
#include <cmath>

namespace khgl::goods {

QString cellText(const QVariant& value)
{
    return displayText(value);
}

void numberText(std::string& out, const QVariant& value)
{
    char buffer[40];
    std::to_chars_result result{buffer, {}};
    if (value.typeId() == QMetaType::LongLong) {
        result = std::to_chars(buffer, buffer + sizeof buffer, value.toLongLong());
    } else if (value.typeId() == QMetaType::Double) {
        const double real = value.toDouble();
        if (std::abs(real) < 1e15 && real == std::trunc(real)) {
            result = std::to_chars(buffer, buffer + sizeof buffer, static_cast<qint64>(real));
        } else {
            result =
                std::to_chars(buffer, buffer + sizeof buffer, real, std::chars_format::general, 15);
        }
    } else {
        out = cellText(value).toStdString();
        return;
    }
    out.assign(buffer, static_cast<size_t>(result.ptr - buffer));
}

double leadingNumber(const QString& text)
{
    static const QRegularExpression number(
        QStringLiteral(R"(^\s*[+-]?(\d+\.?\d*|\.\d+)([eE][+-]?\d+)?)"));
    const auto match = number.match(text);
    return match.hasMatch() ? match.captured(0).trimmed().toDouble() : 0.0;
}

QString plainNumber(double value)
{
    return displayText(QVariant(value));
}

} // namespace khgl::goods

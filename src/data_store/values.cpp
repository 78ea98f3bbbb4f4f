#include "data_store/values.h"

#include "data_store/store_error.h"
#include "data_store/store_log.h"

#include <QRegularExpression>
#include <cmath>
#include <limits>

namespace khgl {

std::optional<QVariant> parseNumber(const QString& text)
{
    // Possessive quantifiers: a long run of digits that is no number (a pasted text) is
    // refused at once instead of being tried at every split between two digit runs.
    static const QRegularExpression pattern(
        QStringLiteral(R"(^\s*+([+-]?)(\d++(?:\.\d*+)?|\.\d++)([eE][+-]?\d++)?\s*+$)"));
    const auto match = pattern.match(text);
    if (!match.hasMatch()) {
        return std::nullopt;
    }
    const QString trimmed = text.trimmed();
    const bool whole = !trimmed.contains(QLatin1Char('.')) && match.captured(3).isEmpty();
    if (whole) {
        bool ok = false;
        const qlonglong integer = trimmed.toLongLong(&ok);
        if (ok) {
            return QVariant(integer);
        }
    }
    bool ok = false;
    const double real = trimmed.toDouble(&ok);
    if (!ok || !std::isfinite(real)) {
        return std::nullopt;
    }
    return QVariant(real);
}

QString timeText(const QTime& time)
{
    return QStringLiteral("%1时%2分").arg(time.hour()).arg(time.minute());
}

QString displayText(const QVariant& value)
{
    if (value.isNull()) {
        return {};
    }
    if (value.typeId() == QMetaType::Double) {
        const double real = value.toDouble();
        if (std::abs(real) < 1e15 && real == std::trunc(real)) {
            return QString::number(static_cast<qlonglong>(real));
        }
        return QString::number(real, 'g', 15);
    }
    return value.toString();
}

QString nulRefusedText()
{
    return QStringLiteral("文字中有空字符（U+0000），不能保存。数据没有写入，请删去它后再试。");
}

qsizetype characterCount(QStringView text)
{
    qsizetype pairs = 0;
    for (qsizetype i = 1; i < text.size(); ++i) {
        pairs += text[i].isLowSurrogate() && text[i - 1].isHighSurrogate() ? 1 : 0;
    }
    return text.size() - pairs;
}

QString tooLongText(const QString& box)
{
    return QStringLiteral("“%1”超过 %2 个字").arg(box).arg(kMaxStoredCharacters);
}

namespace {

QString refusedText(const QString& problem)
{
    return problem + QStringLiteral("，不能保存。数据没有写入，请删短后再试。");
}

// Counts UTF-8 text in code points: every byte that does not continue a sequence.
qsizetype utf8CharacterCount(const QByteArray& text)
{
    qsizetype count = 0;
    for (const char c : text) {
        count += (static_cast<unsigned char>(c) & 0xC0) != 0x80 ? 1 : 0;
    }
    return count;
}

} // namespace

void requireStorable(const QString& box, QStringView text)
{
    // Fewer UTF-16 units than the limit cannot be more characters: no count needed.
    if (text.size() > kMaxStoredCharacters && characterCount(text) > kMaxStoredCharacters) {
        qCInfo(storeLog).noquote()
            << "write refused: a text of" << characterCount(text) << "characters for" << box;
        throw StoreError(refusedText(tooLongText(box)));
    }
    if (text.contains(QChar(0))) {
        throw StoreError(QStringLiteral("“%1”").arg(box) + nulRefusedText());
    }
}

QByteArray storedText(const QVariant& value)
{
    QByteArray text = value.toString().toUtf8();
    if (text.contains('\0')) {
        throw StoreError(nulRefusedText());
    }
    // What no window lets through: a text the restore would refuse is never written.
    if (text.size() > kMaxStoredCharacters && utf8CharacterCount(text) > kMaxStoredCharacters) {
        throw StoreError(refusedText(QStringLiteral("文字超过 %1 个字").arg(kMaxStoredCharacters)));
    }
    return text;
}

QString moneyFixed(double value)
{
    return QString::number(value, 'f', 2);
}

QString moneyHashes(double value)
{
    QString text = moneyFixed(value);
    // "##" prints no digit before the point when the whole part is zero.
    if (text.startsWith(QStringLiteral("0."))) {
        text.remove(0, 1);
    } else if (text.startsWith(QStringLiteral("-0."))) {
        text.remove(1, 1);
    }
    return text;
}

} // namespace khgl

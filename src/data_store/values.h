#pragma once

#include "data_store/date_text.h"

#include <QDate>
#include <QString>
#include <QTime>
#include <QVariant>
#include <optional>

namespace khgl {

// Reads decimal text the way number and money columns accept it: optional blanks around an
// optional sign, digits, an optional fraction and exponent. Anything else is no number.
std::optional<QVariant> parseNumber(const QString& text);

// 9时5分: hour and minute without leading zeros.
QString timeText(const QTime& time);

// The longest text any value may hold, in characters as the operator counts them (an emoji
// or a rare ideograph outside the BMP counts once). At 4 UTF-8 bytes each it still fits
// kMaxStoredBytes, the most a restore takes in one value, so whatever is written restores.
constexpr qsizetype kMaxStoredCharacters = 1024 * 1024;
constexpr qsizetype kMaxStoredBytes = 4 * kMaxStoredCharacters;

// Characters as the operator counts them: Unicode code points, not UTF-16 units.
qsizetype characterCount(QStringView text);

// Why a text holding U+0000 is refused: no store keeps it the same.
QString nulRefusedText();

// "“box”超过 N 个字": the short form for a list of problems.
QString tooLongText(const QString& box);

// Throws StoreError naming the box when text is longer than kMaxStoredCharacters or holds
// U+0000; every write checks its texts so before it writes anything.
void requireStorable(const QString& box, QStringView text);

// The UTF-8 text a value is stored as. A text holding U+0000 or longer than
// kMaxStoredCharacters is refused (StoreError), on either engine: a server cannot hold
// U+0000, the file would cut it off at that point, and a longer text would not restore.
QByteArray storedText(const QVariant& value);

// A stored value as plain text: null is empty, numbers without a trailing ".0".
QString displayText(const QVariant& value);

// Money patterns: "0.00" (page totals) and "##.00" (query totals, 0.5 shows ".50").
QString moneyFixed(double value);
QString moneyHashes(double value);

} // namespace khgl

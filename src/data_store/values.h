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

// Why a text holding U+0000 is refused: no store keeps it the same.
QString nulRefusedText();

// The UTF-8 text a value is stored as. A text holding U+0000 is refused (StoreError), on
// either engine: a server cannot hold it, and the file would cut it off at that point.
QByteArray storedText(const QVariant& value);

// A stored value as plain text: null is empty, numbers without a trailing ".0".
QString displayText(const QVariant& value);

// Money patterns: "0.00" (page totals) and "##.00" (query totals, 0.5 shows ".50").
QString moneyFixed(double value);
QString moneyHashes(double value);

} // namespace khgl

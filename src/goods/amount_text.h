#pragma once

#include <QString>
#include <QVariant>
#include <string>

namespace khgl::goods {

// A stored value as the grid and the boxes show it (3.0 as "3", null as "").
QString cellText(const QVariant& value);

// The same for a listing's cells, written into out without going through QString: listings
// are long.
void numberText(std::string& out, const QVariant& value);

// The leading number of a text, as the stock difference reads its cells; "" counts as 0.
double leadingNumber(const QString& text);

// Plain decimal text without fixed decimals: 7, 2.5, -2.
QString plainNumber(double value);

} // namespace khgl::goods

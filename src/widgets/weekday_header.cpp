#include "widgets/weekday_header.h"

#include <QPainter>

namespace khgl {

void WeekdayHeader::paintEvent(QPaintEvent*)
{
    const QStringList names = text().split(QLatin1Char(' '), Qt::SkipEmptyParts);
    if (names.isEmpty()) {
        return;
    }
    QPainter painter(this);
    painter.setPen(palette().color(foregroundRole()));
    const qreal column = static_cast<qreal>(width()) / static_cast<qreal>(names.size());
    for (qsizetype i = 0; i < names.size(); ++i) {
        const QRectF cell(column * static_cast<qreal>(i), 0, column, height());
        painter.drawText(cell, Qt::AlignCenter, names.at(i));
    }
}

} // namespace khgl

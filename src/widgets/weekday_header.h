#pragma once

#include <QLabel>

namespace khgl {

// The weekday header of a calendar: its text names the seven days Sunday first, separated
// by blanks of any width; each name is drawn centred over its column of the cells below.
class WeekdayHeader final : public QLabel
{
    Q_OBJECT

public:
    using QLabel::QLabel;

protected:
    void paintEvent(QPaintEvent* event) override;
};

} // namespace khgl

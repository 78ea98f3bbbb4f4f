#pragma once

#include "platform/hover.h"

#include <QString>

class QLabel;
class QWidget;

namespace khgl {

struct AppContext;
class ClickLineEdit;
class RecordGrid;
class RecordSet;

// What the two goods query windows share: command pictures shown the other way round from
// the main window, date boxes that open the calendar below them, and the listing of what a
// query found in the goods page's grid.
class GoodsQuery final
{
public:
    GoodsQuery(AppContext& context, QWidget& window, RecordGrid& grid);

    // A command whose picture shows hovered until the pointer is over it.
    void addCommand(QWidget* area, QWidget* label, QLabel* image, qint16* flag);
    void showNormal(QLabel* image) const;
    // Registers the box under its target code; a click opens the calendar gapTwips below it.
    void addDateBox(qint16 target, ClickLineEdit* box, int gapTwips);
    // Lists what was found in the grid (also nothing, when listWhenNone) and says missing
    // when nothing was found. Returns whether anything was found.
    bool list(const RecordSet& found, const QString& missing, bool listWhenNone);

private:
    AppContext& m_context;
    QWidget& m_window;
    RecordGrid& m_grid;
    HoverCommands m_hover;
};

} // namespace khgl

#pragma once

#include "goods/goods_records.h"
#include "widgets/hover.h"

#include <QString>
#include <array>
#include <functional>
#include <memory>

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

    // A command whose picture shows hovered until the pointer is over it; the window's
    // commands keep their own hover flags, by number.
    void addCommand(QWidget* area, QWidget* label, QLabel* image, size_t flag);
    void showNormal(QLabel* image) const;
    // Registers the box under its target code; a click opens the calendar gapTwips below it.
    void addDateBox(qint16 target, ClickLineEdit* box, int gapTwips);
    // Lists what was found in the grid (also nothing, when listWhenNone) and says missing
    // when nothing was found. Returns whether anything was found.
    bool list(std::unique_ptr<KeysetPages> found, const QString& missing, bool listWhenNone);

    struct DateQuery
    {
        goods::GoodsTable table;
        QString noDate;      // said when the box is empty
        bool noDateIsPrompt; // said as the "提示" information, else as a plain message
        QString missing;     // said when nothing was found
        bool listWhenNone;
    };
    // Lists the records of the date typed in the box, under the guard; then runs
    // afterwards with the date, also under the guard.
    void queryDate(const QString& date, const DateQuery& query,
                   const std::function<void(const QString&)>& afterwards = {});

private:
    AppContext& m_context;
    QWidget& m_window;
    RecordGrid& m_grid;
    HoverCommands m_hover;
    std::array<qint16, 2> m_flags{};
};

} // namespace khgl

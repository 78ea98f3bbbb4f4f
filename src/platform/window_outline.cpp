#include "platform/window_outline.h"

namespace khgl {

QPolygon windowOutline(int w, int h)
{
    return QPolygon({{0, 5},
                     {1, 4},
                     {1, 3},
                     {2, 2},
                     {3, 1},
                     {4, 1},
                     {5, 0},
                     {w - 5, 0},
                     {w - 4, 1},
                     {w - 3, 1},
                     {w - 2, 2},
                     {w - 1, 3},
                     {w - 1, 4},
                     {w, 5},
                     {w, h},
                     {0, h}});
}

QRegion windowOutlineRegion(int w, int h)
{
    return QRegion(windowOutline(w, h), Qt::OddEvenFill);
}

} // namespace khgl

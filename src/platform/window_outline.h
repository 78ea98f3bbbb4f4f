#pragma once

#include <QPolygon>
#include <QRegion>

namespace khgl {

// The main window's outline: a rectangle whose two top corners are cut into small steps.
// Sixteen points for a window of w × h pixels.
QPolygon windowOutline(int w, int h);
// The region the window keeps (alternate fill, as the outline is drawn).
QRegion windowOutlineRegion(int w, int h);

} // namespace khgl

#pragma once

#include <QList>
#include <QString>
#include <functional>

class QWidget;

namespace khgl::view_zoom {

// The zoom levels the operator steps through, in percent of the design's size.
inline const QList<int> kLevels{100, 125, 150, 175, 200};

// The zoom this desk chose, in percent; 100 when never chosen.
int kept(const QString& folder);
// Draws every window at the zoom (as far as the screen holds it) and keeps it for this desk.
// A desk file that cannot be written only forgets the choice.
void choose(const QString& folder, int percent);
// The level steps away from the current zoom, within the levels.
int stepped(int steps);
// The current zoom in percent.
int current();

// Ctrl+= (or Ctrl++) and Ctrl+- step the zoom, Ctrl+0 goes back to 100 %, from any window of
// the program; changed runs after each change.
void addKeys(QWidget* window, const QString& folder, std::function<void()> changed);

} // namespace khgl::view_zoom

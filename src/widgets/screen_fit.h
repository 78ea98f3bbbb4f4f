#pragma once

#include <QRect>
#include <QSize>

class QWidget;

namespace khgl::screen_fit {

// The windows are designed for a main window of this size (in pixels at the desktop's scale).
inline constexpr QSize kDesign{960, 630};

// The factor every window is drawn at: 1 where the design fits the available screen area,
// otherwise the largest factor that fits it, so the whole program keeps its proportions.
double factorFor(QSize available, QSize design = kDesign);
// The factor for the primary screen, read once per run.
double factor();

// Design pixels to drawn pixels, and back.
int scaled(int pixels);
QPoint scaled(QPoint point);
QRect scaled(const QRect& rect);
int unscaled(int pixels);

// Draws a window of the design at the factor: its size, the places and sizes of its controls,
// their fonts (style-sheet font sizes included). Each window once, right after its form is set
// up; a factor of 1 changes nothing.
void fitWindow(QWidget* window);
// Fits the window, then fixes its size: no resizing and no maximise button.
void fitFixedWindow(QWidget* window);

// Centres a window on the available area of its screen, wholly inside it.
void placeOnScreen(QWidget* window);

} // namespace khgl::screen_fit

#pragma once

#include <QRect>
#include <QSize>

class QWidget;

namespace khgl::screen_fit {

// The windows are designed for a main window of this size (in pixels at the desktop's scale).
inline constexpr QSize kDesign{960, 630};
// The operator's view zoom: the design's size up to twice it.
inline constexpr double kMinZoom = 1.0;
inline constexpr double kMaxZoom = 2.0;

// The factor every window is drawn at: the zoom where the zoomed design fits the available
// screen area, otherwise the largest factor that fits it, so the whole program keeps its
// proportions.
double factorFor(QSize available, QSize design = kDesign, double zoom = kMinZoom);
// The factor for the primary screen at the current zoom.
double factor();
double zoom();
// Sets the zoom (kept within kMinZoom..kMaxZoom) and draws every fitted window again at the
// new factor, from its design, wholly on its screen.
void setZoom(double zoom);

// Design pixels to drawn pixels, and back.
int scaled(int pixels);
QPoint scaled(QPoint point);
QRect scaled(const QRect& rect);
int unscaled(int pixels);

// Draws a window of the design at the factor: its size, the places and sizes of its controls,
// their fonts (style-sheet font sizes included). Each window once, right after its form is set
// up: the design is kept with each control, so a new zoom draws it again from there.
void fitWindow(QWidget* window);
// Fits the window, then fixes its size: no resizing and no maximise button.
void fitFixedWindow(QWidget* window);

// A control that keeps sizes of its own in drawn pixels (a grid's column widths) and follows
// a new factor itself; ratio is the new factor over the old one.
class Refits
{
public:
    virtual void refit(double ratio) = 0;

protected:
    Refits() = default;
    ~Refits() = default;
    Refits(const Refits&) = default;
    Refits& operator=(const Refits&) = default;
};

// Centres a window on the available area of its screen, wholly inside it.
void placeOnScreen(QWidget* window);
// Moves a window wholly into the available area of its screen, first making a resizable one
// smaller when it is larger than that area; a window already inside stays where it is. Every
// window of the program does this whenever it is shown, once any window has been fitted.
void keepOnScreen(QWidget* window);

} // namespace khgl::screen_fit

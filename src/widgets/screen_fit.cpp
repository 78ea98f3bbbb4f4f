#include "widgets/screen_fit.h"

#include <QFont>
#include <QGuiApplication>
#include <QLayout>
#include <QRegularExpression>
#include <QScreen>
#include <QWidget>
#include <algorithm>
#include <cmath>

namespace khgl::screen_fit {
namespace {

const char* const kFittedProperty = "khglFitted";

int round(double value)
{
    return static_cast<int>(std::lround(value));
}

// A size limit of the design; the "no limit" values stay as they are.
int scaledLimit(int pixels)
{
    return pixels >= QWIDGETSIZE_MAX ? pixels : scaled(pixels);
}

void scaleFont(QWidget* widget, double k)
{
    QFont font = widget->font();
    if (font.pointSizeF() > 0) {
        font.setPointSizeF(font.pointSizeF() * k);
    } else if (font.pixelSize() > 0) {
        font.setPixelSize(std::max(1, round(font.pixelSize() * k)));
    }
    widget->setFont(font);
}

void scaleStyleSheetFonts(QWidget* widget, double k)
{
    QString sheet = widget->styleSheet();
    if (!sheet.contains(QStringLiteral("font-size"))) {
        return;
    }
    static const QRegularExpression size(QStringLiteral(R"(font-size:\s*(\d+)px)"));
    QString fitted;
    qsizetype at = 0;
    for (auto it = size.globalMatch(sheet); it.hasNext();) {
        const QRegularExpressionMatch match = it.next();
        fitted += sheet.mid(at, match.capturedStart() - at);
        fitted += QStringLiteral("font-size: %1px")
                      .arg(std::max(1, round(match.captured(1).toInt() * k)));
        at = match.capturedEnd();
    }
    fitted += sheet.mid(at);
    widget->setStyleSheet(fitted);
}

void scaleLimits(QWidget* widget)
{
    const QSize minimum = widget->minimumSize();
    const QSize maximum = widget->maximumSize();
    widget->setMinimumSize(scaled(minimum.width()), scaled(minimum.height()));
    widget->setMaximumSize(scaledLimit(maximum.width()), scaledLimit(maximum.height()));
}

} // namespace

double factorFor(QSize available, QSize design)
{
    if (available.isEmpty() || design.isEmpty()) {
        return 1.0;
    }
    return std::min({1.0, double(available.width()) / design.width(),
                     double(available.height()) / design.height()});
}

double factor()
{
    static const double k = [] {
        const QScreen* screen = QGuiApplication::primaryScreen();
        return screen != nullptr ? factorFor(screen->availableGeometry().size()) : 1.0;
    }();
    return k;
}

int scaled(int pixels)
{
    return round(pixels * factor());
}

QPoint scaled(QPoint point)
{
    return {scaled(point.x()), scaled(point.y())};
}

QRect scaled(const QRect& rect)
{
    // Edges are scaled, not sizes, so neighbouring controls stay flush.
    const int left = scaled(rect.left());
    const int top = scaled(rect.top());
    return {left, top, scaled(rect.left() + rect.width()) - left,
            scaled(rect.top() + rect.height()) - top};
}

int unscaled(int pixels)
{
    return round(pixels / factor());
}

void fitWindow(QWidget* window)
{
    const double k = factor();
    if (k >= 1.0 || window->property(kFittedProperty).toBool()) {
        return;
    }
    window->setProperty(kFittedProperty, true);
    const QSize size = window->size();
    scaleFont(window, k);
    scaleStyleSheetFonts(window, k);
    scaleLimits(window);
    for (QWidget* child : window->findChildren<QWidget*>()) {
        if (child->window() != window) {
            continue; // a window of its own is fitted by its own class
        }
        if (child->testAttribute(Qt::WA_SetFont) &&
            (child->font().resolveMask() & QFont::SizeResolved) != 0) {
            scaleFont(child, k);
        }
        scaleStyleSheetFonts(child, k);
        scaleLimits(child);
        const QWidget* parent = child->parentWidget();
        if (parent->layout() == nullptr || parent->layout()->indexOf(child) < 0) {
            child->setGeometry(scaled(child->geometry()));
        }
    }
    if (window->layout() == nullptr) {
        window->resize(scaled(size.width()), scaled(size.height()));
    }
}

void fitFixedWindow(QWidget* window)
{
    fitWindow(window);
    window->setFixedSize(window->size());
    if (window->windowFlags().testFlag(Qt::FramelessWindowHint)) {
        return; // draws its own title bar
    }
    Qt::WindowFlags flags = window->windowFlags() | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                            Qt::WindowCloseButtonHint;
    if (window->windowType() == Qt::Window) {
        flags |= Qt::WindowMinimizeButtonHint;
    }
    window->setWindowFlags(flags & ~Qt::WindowMaximizeButtonHint);
}

void placeOnScreen(QWidget* window)
{
    const QScreen* screen = window->screen();
    if (screen == nullptr) {
        return;
    }
    const QRect room = screen->availableGeometry();
    QRect frame(QPoint(), window->frameGeometry().size());
    frame.moveCenter(room.center());
    const int left =
        std::max(room.left(), std::min(frame.left(), room.right() + 1 - frame.width()));
    const int top = std::max(room.top(), std::min(frame.top(), room.bottom() + 1 - frame.height()));
    window->move(left, top);
}

} // namespace khgl::screen_fit

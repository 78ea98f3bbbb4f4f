#include "widgets/screen_fit.h"

#include <QApplication>
#include <QFont>
#include <QLayout>
#include <QRegularExpression>
#include <QScreen>
#include <QWidget>
#include <algorithm>
#include <cmath>

namespace khgl::screen_fit {
namespace {

// On a window: the factor it is drawn at, and whether its size is fixed.
const char* const kFittedAt = "khglFittedAt";
const char* const kFixedSize = "khglFixedSize";
const char* const kDesignSize = "khglDesignSize";
// On a window or a control: what the design gives it, and what the fitting last gave it (a
// control the program has moved or restyled since keeps the program's choice, rescaled).
const char* const kDesignPointSize = "khglDesignPointSize";
const char* const kDesignPixelSize = "khglDesignPixelSize";
const char* const kDesignSheet = "khglDesignSheet";
const char* const kFittedSheet = "khglFittedSheet";
const char* const kDesignMinimum = "khglDesignMinimum";
const char* const kDesignMaximum = "khglDesignMaximum";
const char* const kDesignRect = "khglDesignRect";
const char* const kFittedRect = "khglFittedRect";

double g_zoom = kMinZoom;
double g_factor = 0; // read from the screen when first needed

int round(double value)
{
    return static_cast<int>(std::lround(value));
}

int scaledBy(int pixels, double k)
{
    return round(pixels * k);
}

// A size limit of the design; the "no limit" values stay as they are.
int limitBy(int pixels, double k)
{
    return pixels >= QWIDGETSIZE_MAX ? pixels : scaledBy(pixels, k);
}

QSize sizeBy(QSize size, double k)
{
    return {limitBy(size.width(), k), limitBy(size.height(), k)};
}

// Edges are scaled, not sizes, so neighbouring controls stay flush.
QRect rectBy(const QRect& rect, double k)
{
    const int left = scaledBy(rect.left(), k);
    const int top = scaledBy(rect.top(), k);
    return {left, top, scaledBy(rect.left() + rect.width(), k) - left,
            scaledBy(rect.top() + rect.height(), k) - top};
}

QString sheetBy(const QString& sheet, double k)
{
    static const QRegularExpression size(QStringLiteral(R"(font-size:\s*(\d+)px)"));
    QString fitted;
    qsizetype at = 0;
    for (auto it = size.globalMatch(sheet); it.hasNext();) {
        const QRegularExpressionMatch match = it.next();
        fitted += sheet.mid(at, match.capturedStart() - at);
        fitted += QStringLiteral("font-size: %1px")
                      .arg(std::max(1, scaledBy(match.captured(1).toInt(), k)));
        at = match.capturedEnd();
    }
    fitted += sheet.mid(at);
    return fitted;
}

// A control its parent's layout does not place.
bool placedByHand(const QWidget* child)
{
    const QWidget* parent = child->parentWidget();
    return parent == nullptr || parent->layout() == nullptr || parent->layout()->indexOf(child) < 0;
}

void recordDesign(QWidget* widget, bool window)
{
    const QFont font = widget->font();
    if (window || (widget->testAttribute(Qt::WA_SetFont) &&
                   (font.resolveMask() & QFont::SizeResolved) != 0)) {
        if (font.pointSizeF() > 0) {
            widget->setProperty(kDesignPointSize, font.pointSizeF());
        } else if (font.pixelSize() > 0) {
            widget->setProperty(kDesignPixelSize, font.pixelSize());
        }
    }
    const QString sheet = widget->styleSheet();
    if (sheet.contains(QStringLiteral("font-size"))) {
        widget->setProperty(kDesignSheet, sheet);
        widget->setProperty(kFittedSheet, sheet);
    }
    if (!widget->minimumSize().isNull()) {
        widget->setProperty(kDesignMinimum, widget->minimumSize());
    }
    if (widget->maximumSize() != QSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX)) {
        widget->setProperty(kDesignMaximum, widget->maximumSize());
    }
    if (window) {
        widget->setProperty(kDesignSize, widget->size());
    } else if (placedByHand(widget)) {
        widget->setProperty(kDesignRect, widget->geometry());
        widget->setProperty(kFittedRect, widget->geometry());
    }
}

void applyFont(QWidget* widget, double k)
{
    const QVariant point = widget->property(kDesignPointSize);
    const QVariant pixel = widget->property(kDesignPixelSize);
    if (!point.isValid() && !pixel.isValid()) {
        return;
    }
    QFont font = widget->font();
    if (point.isValid()) {
        font.setPointSizeF(point.toDouble() * k);
    } else {
        font.setPixelSize(std::max(1, scaledBy(pixel.toInt(), k)));
    }
    widget->setFont(font);
}

void applySheet(QWidget* widget, double k)
{
    const QVariant design = widget->property(kDesignSheet);
    if (!design.isValid() || widget->styleSheet() != widget->property(kFittedSheet).toString()) {
        return; // none of the design's, or one the program set since
    }
    const QString fitted = sheetBy(design.toString(), k);
    if (fitted != widget->styleSheet()) {
        widget->setStyleSheet(fitted);
    }
    widget->setProperty(kFittedSheet, fitted);
}

void applyLimits(QWidget* widget, double k)
{
    if (const QVariant minimum = widget->property(kDesignMinimum); minimum.isValid()) {
        widget->setMinimumSize(sizeBy(minimum.toSize(), k));
    }
    if (const QVariant maximum = widget->property(kDesignMaximum); maximum.isValid()) {
        widget->setMaximumSize(sizeBy(maximum.toSize(), k));
    }
}

void applyGeometry(QWidget* child, double k, double ratio)
{
    const QVariant design = child->property(kDesignRect);
    if (!design.isValid() || !placedByHand(child)) {
        return;
    }
    // Where the program has moved a control since, it keeps that place, drawn at the new size.
    const QRect now = child->geometry();
    const QRect fitted = now == child->property(kFittedRect).toRect() ? rectBy(design.toRect(), k)
                                                                      : rectBy(now, ratio);
    child->setGeometry(fitted);
    child->setProperty(kFittedRect, fitted);
}

// Draws a fitted window again at factor k from the design its controls keep. On the first fit
// the controls that keep sizes of their own made them under the factor already.
void refit(QWidget* window, double k, bool first = false)
{
    const double was = window->property(kFittedAt).toDouble();
    if (was <= 0 || qFuzzyCompare(was, k)) {
        return;
    }
    const double ratio = k / was;
    applyFont(window, k);
    applySheet(window, k);
    applyLimits(window, k);
    for (QWidget* child : window->findChildren<QWidget*>()) {
        if (child->window() != window) {
            continue; // a window of its own is fitted by its own class
        }
        applyFont(child, k);
        applySheet(child, k);
        applyLimits(child, k);
        applyGeometry(child, k, ratio);
        if (auto* own = dynamic_cast<Refits*>(child); own != nullptr && !first) {
            own->refit(ratio);
        }
    }
    const QSize size = sizeBy(window->property(kDesignSize).toSize(), k);
    if (window->property(kFixedSize).toBool()) {
        window->setFixedSize(size);
    } else {
        window->resize(size);
    }
    window->setProperty(kFittedAt, k);
}

// Every window of the program, whenever it is shown, lies wholly on its screen.
class ScreenKeeper final : public QObject
{
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Show && watched->isWidgetType()) {
            auto* widget = static_cast<QWidget*>(watched);
            if (widget->isWindow()) {
                keepOnScreen(widget);
            }
        }
        return false;
    }
};

void keepWindowsOnScreen()
{
    static QObject* keeper = nullptr;
    if (keeper == nullptr && QCoreApplication::instance() != nullptr) {
        keeper = new ScreenKeeper(QCoreApplication::instance());
        QCoreApplication::instance()->installEventFilter(keeper);
    }
}

} // namespace

double factorFor(QSize available, QSize design, double zoom)
{
    if (available.isEmpty() || design.isEmpty()) {
        return zoom;
    }
    return std::min({zoom, double(available.width()) / design.width(),
                     double(available.height()) / design.height()});
}

double factor()
{
    if (g_factor <= 0) {
        const QScreen* screen = QGuiApplication::primaryScreen();
        g_factor = screen != nullptr
                       ? factorFor(screen->availableGeometry().size(), kDesign, g_zoom)
                       : g_zoom;
    }
    return g_factor;
}

double zoom()
{
    return g_zoom;
}

void setZoom(double zoom)
{
    g_zoom = std::clamp(zoom, kMinZoom, kMaxZoom);
    g_factor = 0;
    const double k = factor();
    for (QWidget* window : QApplication::topLevelWidgets()) {
        if (window->property(kFittedAt).isValid()) {
            refit(window, k);
            if (window->isVisible()) {
                keepOnScreen(window);
            }
        }
    }
}

int scaled(int pixels)
{
    return scaledBy(pixels, factor());
}

QPoint scaled(QPoint point)
{
    return {scaled(point.x()), scaled(point.y())};
}

QRect scaled(const QRect& rect)
{
    return rectBy(rect, factor());
}

int unscaled(int pixels)
{
    return round(pixels / factor());
}

void fitWindow(QWidget* window)
{
    keepWindowsOnScreen();
    if (window->property(kFittedAt).isValid()) {
        return;
    }
    // The design as the form set it up, kept for every later zoom.
    recordDesign(window, true);
    for (QWidget* child : window->findChildren<QWidget*>()) {
        if (child->window() == window) {
            recordDesign(child, false);
        }
    }
    window->setProperty(kFittedAt, 1.0);
    refit(window, factor(), true);
}

void fitFixedWindow(QWidget* window)
{
    fitWindow(window);
    window->setFixedSize(window->size());
    window->setProperty(kFixedSize, true);
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

void keepOnScreen(QWidget* window)
{
    const Qt::WindowType type = window->windowType();
    if (type == Qt::Popup || type == Qt::ToolTip || type == Qt::Desktop ||
        type == Qt::SplashScreen) {
        return; // placed by the toolkit
    }
    const QScreen* screen = window->screen();
    if (screen == nullptr) {
        return;
    }
    const QRect room = screen->availableGeometry();
    QRect frame = window->frameGeometry();
    if ((frame.width() > room.width() || frame.height() > room.height()) &&
        window->minimumSize() != window->maximumSize()) {
        const QSize margins = frame.size() - window->size();
        window->resize((room.size() - margins).boundedTo(window->size()));
        frame = window->frameGeometry();
    }
    const int left = std::clamp(frame.left(), room.left(),
                                std::max(room.left(), room.right() + 1 - frame.width()));
    const int top = std::clamp(frame.top(), room.top(),
                               std::max(room.top(), room.bottom() + 1 - frame.height()));
    if (left != frame.left() || top != frame.top()) {
        window->move(left, top);
    }
}

} // namespace khgl::screen_fit

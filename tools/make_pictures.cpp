// Writes the background, button and tray pictures the windows load, and the application icon
// at the sizes of the desktop's icon theme.
// Usage: make_pictures <output folder>
// All files hold PNG data except the tray icon, which is ICO when Qt can write it. The
// application icons go to icons/khgl-<size>.png under the output folder: the tray's leaf,
// drawn again at each size rather than scaled from 32 pixels.
#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QImageWriter>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <cstdio>

namespace {

QImage blank(int w, int h)
{
    QImage img(w, h, QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::transparent);
    return img;
}

void vband(QPainter &p, const QRectF &r, const QColor &top, const QColor &bottom)
{
    QLinearGradient g(r.topLeft(), r.bottomLeft());
    g.setColorAt(0, top);
    g.setColorAt(1, bottom);
    p.fillRect(r, g);
}

// A soft diagonal sheen so the bands do not look flat.
void sheen(QPainter &p, const QRectF &r, int alpha)
{
    QLinearGradient g(r.topLeft(), r.topRight());
    g.setColorAt(0, QColor(255, 255, 255, 0));
    g.setColorAt(0.55, QColor(255, 255, 255, alpha));
    g.setColorAt(1, QColor(255, 255, 255, 0));
    p.fillRect(r, g);
}

QImage loginBackground()
{
    QImage img = blank(440, 300);
    QPainter p(&img);
    vband(p, QRectF(0, 0, 440, 90), QColor("#163a5f"), QColor("#2a5f8f"));
    sheen(p, QRectF(0, 0, 440, 90), 28);
    p.fillRect(QRectF(0, 90, 440, 3), QColor("#3fa9d8"));
    vband(p, QRectF(0, 93, 440, 207), QColor("#f4f7fa"), QColor("#e3eaf1"));
    p.setPen(QColor("#9fb3c6"));
    p.drawRect(QRectF(0.5, 0.5, 439, 299));
    return img;
}

QImage mainBackground()
{
    QImage img = blank(960, 630);
    QPainter p(&img);
    vband(p, QRectF(0, 0, 960, 630), QColor("#eef2f6"), QColor("#e2e9f0"));
    vband(p, QRectF(0, 0, 960, 40), QColor("#1b2a3a"), QColor("#24384d"));
    vband(p, QRectF(0, 40, 960, 16), QColor("#dfe7ef"), QColor("#eef2f6"));
    vband(p, QRectF(0, 56, 960, 56), QColor("#2f6fa8"), QColor("#1f5588"));
    sheen(p, QRectF(0, 56, 960, 56), 30);
    p.fillRect(QRectF(0, 56, 960, 1), QColor(255, 255, 255, 60));
    p.fillRect(QRectF(0, 111, 960, 2), QColor("#3fa9d8"));
    // Content area: a near-white sheet with a faint outline behind the page frames.
    QRectF sheet(16, 120, 928, 500);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QColor("#c9d5e1"));
    p.setBrush(QColor("#fbfcfd"));
    p.drawRoundedRect(sheet.adjusted(0.5, 0.5, -0.5, -0.5), 6, 6);
    p.setRenderHint(QPainter::Antialiasing, false);
    p.setPen(QColor("#0f1b27"));
    p.setBrush(Qt::NoBrush);
    p.drawRect(0, 0, 959, 629);
    return img;
}

QImage navHighlight()
{
    QImage img = blank(88, 40);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    QRectF r(2.5, 4.5, 83, 31);
    QLinearGradient g(r.topLeft(), r.bottomLeft());
    g.setColorAt(0, QColor("#f5a03a"));
    g.setColorAt(1, QColor("#d9731a"));
    p.setPen(QPen(QColor("#ffc680"), 1));
    p.setBrush(g);
    p.drawRoundedRect(r, 8, 8);
    QLinearGradient gloss(r.topLeft(), QPointF(r.left(), r.center().y()));
    gloss.setColorAt(0, QColor(255, 255, 255, 70));
    gloss.setColorAt(1, QColor(255, 255, 255, 0));
    p.setPen(Qt::NoPen);
    p.setBrush(gloss);
    p.drawRoundedRect(r.adjusted(1, 1, -1, -r.height() / 2), 7, 7);
    return img;
}

QImage button(int w, int h, bool hover)
{
    QImage img = blank(w, h);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    QRectF r(0.5, 0.5, w - 1, h - 1);
    QLinearGradient g(r.topLeft(), r.bottomLeft());
    g.setColorAt(0, hover ? QColor("#4a94d4") : QColor("#2f6fa8"));
    g.setColorAt(1, hover ? QColor("#2a6fae") : QColor("#1b4c7c"));
    p.setPen(QPen(hover ? QColor("#a8d4f5") : QColor("#6a9ccb"), 1));
    p.setBrush(g);
    const qreal radius = h / 6.0;
    p.drawRoundedRect(r, radius, radius);
    QLinearGradient gloss(0, 1, 0, h / 2.0);
    gloss.setColorAt(0, QColor(255, 255, 255, hover ? 80 : 50));
    gloss.setColorAt(1, QColor(255, 255, 255, 0));
    p.setPen(Qt::NoPen);
    p.setBrush(gloss);
    p.drawRoundedRect(QRectF(1.5, 1.5, w - 3, h / 2.0), radius - 1, radius - 1);
    return img;
}

// The leaf is drawn on a 32-unit square and scaled to size pixels.
QImage leaf(int size = 32)
{
    QImage img = blank(size, size);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 32.0, size / 32.0);
    // Leaf blade: two curves from the stem end (lower left) to the tip (upper right).
    const QPointF base(7, 25), tip(28, 4);
    QPainterPath blade(base);
    blade.cubicTo(QPointF(2, 12), QPointF(14, 3), tip);
    blade.cubicTo(QPointF(27, 17), QPointF(18, 29), base);
    QLinearGradient g(QPointF(8, 6), QPointF(24, 26));
    g.setColorAt(0, QColor("#8fdc5a"));
    g.setColorAt(1, QColor("#2e8b2e"));
    p.setPen(QPen(QColor("#1e5e1e"), 1.2));
    p.setBrush(g);
    p.drawPath(blade);
    // Midrib and veins.
    p.setPen(QPen(QColor(235, 255, 220, 200), 1.1, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(base, QPointF(25, 7));
    p.setPen(QPen(QColor(235, 255, 220, 140), 0.8, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(12, 19), QPointF(9, 14));
    p.drawLine(QPointF(16, 15), QPointF(13, 9));
    p.drawLine(QPointF(12, 19), QPointF(18, 21));
    p.drawLine(QPointF(16, 15), QPointF(22, 16));
    // Stem.
    p.setPen(QPen(QColor("#5a3d1e"), 2, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(base, QPointF(3, 29));
    return img;
}

bool save(const QImage &img, const QString &path, const char *format)
{
    QImageWriter writer(path, format);
    if (writer.write(img))
        return true;
    std::fprintf(stderr, "cannot write %s: %s\n", qPrintable(path), qPrintable(writer.errorString()));
    return false;
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s <output folder>\n", argv[0]);
        return 2;
    }
    QDir dir(QString::fromLocal8Bit(argv[1]));
    if (!dir.mkpath(QStringLiteral(".")))
        return 1;
    const char *iconFormat =
        QImageWriter::supportedImageFormats().contains("ico") ? "ico" : "png";
    bool ok = save(loginBackground(), dir.filePath("dl.dll"), "png")
        && save(mainBackground(), dir.filePath("skin.dll"), "png")
        && save(navHighlight(), dir.filePath("11.dll"), "png")
        && save(button(132, 40, false), dir.filePath("1.dll"), "png")
        && save(button(132, 40, true), dir.filePath("2.dll"), "png")
        && save(button(100, 32, false), dir.filePath("333.dll"), "png")
        && save(button(100, 32, true), dir.filePath("33.dll"), "png")
        && save(leaf(), dir.filePath(QStringLiteral("叶子.ico")), iconFormat);
    const QDir icons(dir.filePath(QStringLiteral("icons")));
    ok = ok && icons.mkpath(QStringLiteral("."));
    for (const int size : {16, 22, 24, 32, 48, 64, 128, 256}) {
        ok = ok && save(leaf(size), icons.filePath(QStringLiteral("khgl-%1.png").arg(size)), "png");
    }
    std::printf("tray icon format: %s\n", iconFormat);
    return ok ? 0 : 1;
}

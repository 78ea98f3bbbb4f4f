#include "platform/pictures.h"

#include <QLabel>
#include <QPalette>
#include <QWidget>

namespace khgl {

QString Pictures::path(const QString& name) const
{
    QString folder = m_folder;
    if (!folder.endsWith(QLatin1Char('/'))) {
        folder += QLatin1Char('/');
    }
    return folder + name;
}

QPixmap Pictures::load(const QString& name) const
{
    // The files carry image data under a ".dll" name: let Qt sniff the format.
    QPixmap pixmap;
    pixmap.load(path(name));
    return pixmap;
}

void Pictures::show(QLabel* image, const QString& name) const
{
    const QPixmap pixmap = load(name);
    if (pixmap.isNull()) {
        clear(image);
        return;
    }
    image->setScaledContents(true);
    image->setPixmap(pixmap);
}

void Pictures::clear(QLabel* image)
{
    image->clear();
}

void Pictures::setBackground(QWidget* widget, const QString& name) const
{
    const QPixmap pixmap = load(name);
    if (pixmap.isNull()) {
        return;
    }
    QPalette palette = widget->palette();
    palette.setBrush(
        widget->backgroundRole(),
        QBrush(pixmap.scaled(widget->size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation)));
    widget->setPalette(palette);
    widget->setAutoFillBackground(true);
}

} // namespace khgl

#include "platform/pictures.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QPalette>
#include <QWidget>

namespace khgl {

namespace {

// Joins with "/", adding none when the folder already ends with one.
QString joined(QString folder, const QString& name)
{
    if (!folder.endsWith(QLatin1Char('/'))) {
        folder += QLatin1Char('/');
    }
    return folder + name;
}

} // namespace

QString Pictures::installedFolder()
{
    const QDir executableFolder(QCoreApplication::applicationDirPath());
    const QString shared = executableFolder.filePath(QStringLiteral("../share/khgl"));
    if (QFileInfo(shared).isDir()) {
        return QDir::cleanPath(shared);
    }
    return executableFolder.path();
}

QString Pictures::path(const QString& name) const
{
    const QString own = joined(m_folder, name);
    if (m_fallbackFolder.isEmpty() || QFileInfo::exists(own)) {
        return own;
    }
    return joined(m_fallbackFolder, name);
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

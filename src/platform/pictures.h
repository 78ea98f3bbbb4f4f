#pragma once

#include <QPixmap>
#include <QString>

class QLabel;
class QWidget;

namespace khgl {

// Picture files found by name: in the data folder when it holds them (a portable folder, or
// an operator's own skin), otherwise in the folder the program was installed or built with.
// A missing or unreadable picture only changes the look: the image is cleared and nothing is
// reported.
class Pictures final
{
public:
    explicit Pictures(QString folder, QString fallbackFolder = {})
        : m_folder(std::move(folder)), m_fallbackFolder(std::move(fallbackFolder))
    {
    }

    // Where the program's own pictures are: share/khgl/ beside the executable's bin/ when
    // installed (any prefix), otherwise the executable's folder, where the build copies them.
    static QString installedFolder();

    QPixmap load(const QString& name) const;
    QString path(const QString& name) const;
    // Loads the picture into an image label, or clears it when the file is missing.
    void show(QLabel* image, const QString& name) const;
    static void clear(QLabel* image);
    // The window background, stretched to the widget.
    void setBackground(QWidget* widget, const QString& name) const;

    // The picture names the windows use.
    static QString highlight() { return QStringLiteral("11.dll"); }
    static QString largeNormal() { return QStringLiteral("1.dll"); }
    static QString largeHover() { return QStringLiteral("2.dll"); }
    static QString smallNormal() { return QStringLiteral("333.dll"); }
    static QString smallHover() { return QStringLiteral("33.dll"); }
    static QString mainBackground() { return QStringLiteral("skin.dll"); }
    static QString loginBackground() { return QStringLiteral("dl.dll"); }
    static QString trayIcon() { return QStringLiteral("叶子.ico"); }

private:
    QString m_folder;
    QString m_fallbackFolder;
};

} // namespace khgl

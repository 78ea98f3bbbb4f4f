#include "shell/application.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QFileInfo>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("khgl"));
    QApplication::setApplicationDisplayName(QStringLiteral("栎川电子商务管理系统"));
    QApplication::setApplicationVersion(QStringLiteral(KHGL_VERSION));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("栎川电子商务管理系统1.0版"));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption folderOption(
        QStringLiteral("folder"),
        QStringLiteral("Application folder holding khgl.dll and the pictures "
                       "(default: the folder of the executable)."),
        QStringLiteral("DIR"));
    parser.addOption(folderOption);
    parser.process(app);

    QString folder = QApplication::applicationDirPath();
    if (parser.isSet(folderOption)) {
        folder = QFileInfo(parser.value(folderOption)).absoluteFilePath();
        if (!QFileInfo(folder).isDir()) {
            qCritical("No such folder: %s", qUtf8Printable(folder));
            return 2;
        }
    }
    return khgl::runApplication(QDir::cleanPath(folder));
}

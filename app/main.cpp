#include "shell/application.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QFileInfo>

namespace {

// Reads the options without a display, so --help and --version work anywhere.
// Returns the application folder, or an empty text when it does not exist.
QString applicationFolder(int& argc, char* argv[])
{
    QCoreApplication core(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("khgl"));
    QCoreApplication::setApplicationVersion(QStringLiteral(KHGL_VERSION));

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
    parser.process(core);

    if (!parser.isSet(folderOption)) {
        return QCoreApplication::applicationDirPath();
    }
    const QString folder = QFileInfo(parser.value(folderOption)).absoluteFilePath();
    if (!QFileInfo(folder).isDir()) {
        qCritical("No such folder: %s", qUtf8Printable(folder));
        return {};
    }
    return QDir::cleanPath(folder);
}

} // namespace

int main(int argc, char* argv[])
{
    const QString folder = applicationFolder(argc, argv);
    if (folder.isEmpty()) {
        return 2;
    }
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("khgl"));
    QApplication::setApplicationDisplayName(QStringLiteral("栎川电子商务管理系统"));
    QApplication::setApplicationVersion(QStringLiteral(KHGL_VERSION));
    return khgl::runApplication(folder);
}

#include "data_store/data_store.h"
#include "platform/dialogs.h"
#include "platform/pictures.h"
#include "shell/application.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QFileInfo>
#include <QIcon>
#include <QStandardPaths>

namespace {

// The folder the program uses when no --folder is given: the executable's own folder when it
// holds khgl.dll (a portable copy, or a build folder already in use), otherwise the per-user
// data folder (~/.local/share/khgl/).
QString defaultFolder()
{
    const QString executableFolder = QCoreApplication::applicationDirPath();
    if (QFileInfo::exists(khgl::DataStore::databasePath(executableFolder))) {
        return executableFolder;
    }
    return QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
}

// The shop's data is nobody else's business: a new data folder is the owner's alone.
bool makePrivateFolder(const QString& folder)
{
    const QFileInfo info(folder);
    if (info.isDir()) {
        return true;
    }
    QDir parent = info.absoluteDir();
    return parent.mkpath(QStringLiteral(".")) &&
           parent.mkdir(info.fileName(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

// Reads the options without a display, so --help and --version work anywhere.
// Returns the data folder, or an empty text when it does not exist and cannot be made.
QString applicationFolder(int& argc, char* argv[])
{
    QCoreApplication core(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("khgl"));
    QCoreApplication::setApplicationVersion(QStringLiteral(KHGL_VERSION));

    QCommandLineParser parser;
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption folderOption(
        QStringLiteral("folder"),
        QStringLiteral("Data folder holding khgl.dll, the backup 备份卡.dat and the customer "
                       "files. Without it: the executable's folder when it holds khgl.dll, "
                       "otherwise the per-user data folder."),
        QStringLiteral("DIR"));
    parser.addOption(folderOption);
    // A first look, so that --help names the folder this start would use; process() below
    // reports any error and answers --help and --version.
    parser.parse(QCoreApplication::arguments());
    const bool chosen = parser.isSet(folderOption);
    const QString folder = QDir::cleanPath(
        chosen ? QFileInfo(parser.value(folderOption)).absoluteFilePath() : defaultFolder());
    parser.setApplicationDescription(QStringLiteral("栎川电子商务管理系统1.0版\n\nData folder: ") +
                                     QDir::toNativeSeparators(folder));
    parser.process(core);

    if (chosen) {
        if (!QFileInfo(folder).isDir()) {
            qCritical("No such folder: %s", qUtf8Printable(folder));
            return {};
        }
        return folder;
    }
    if (folder.isEmpty() || !makePrivateFolder(folder)) {
        qCritical("Cannot create the data folder %s; name one with --folder",
                  qUtf8Printable(folder));
        return {};
    }
    return folder;
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
    QApplication::setApplicationVersion(QStringLiteral(KHGL_VERSION));
    // The desktop matches the windows to the menu entry (and its icon) by this name.
    QGuiApplication::setDesktopFileName(QStringLiteral("cn.lichuan_shop.khgl"));
    const khgl::Pictures pictures(folder, khgl::Pictures::installedFolder());
    QApplication::setWindowIcon(
        QIcon::fromTheme(QStringLiteral("khgl"), QIcon(pictures.path(khgl::Pictures::trayIcon()))));
    khgl::QtDialogs::loadQtTranslations(app);
    return khgl::runApplication(folder);
}

#include "data_store/data_store.h"
#include "data_store/server_transfer.h"
#include "data_store/store_error.h"
#include "platform/dialogs.h"
#include "platform/pictures.h"
#include "shell/application.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QFileInfo>
#include <QIcon>
#include <QLocale>
#include <QStandardPaths>
#include <cstdio>
#include <cstdlib>

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

struct Options
{
    QString folder;      // empty when it does not exist and cannot be made
    QString server;      // --database, or the line of khgl.conf in the folder
    QString initServer;  // --init-server URI
    QString migrateFile; // --migrate FILE URI
    QString migrateServer;
};

// The operator's language on the command line: Chinese under a Chinese locale, else English.
bool chineseLocale()
{
    return QLocale::system().language() == QLocale::Chinese;
}

QString say(const char* chinese, const char* english)
{
    return chineseLocale() ? QString::fromUtf8(chinese) : QString::fromUtf8(english);
}

// Reads the options without a display, so --help and --version work anywhere.
Options applicationOptions(int& argc, char* argv[])
{
    Options options;
    QCoreApplication core(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("khgl"));
    QCoreApplication::setApplicationVersion(QStringLiteral(KHGL_VERSION));
    if (chineseLocale()) {
        // Qt's own lines of --help ("用法：", "显示版本信息。").
        khgl::QtDialogs::loadQtTranslations(core);
    }

    QCommandLineParser parser;
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption folderOption(
        QStringLiteral("folder"),
        say("存放 khgl.dll、备份 备份卡.dat 和客户文件的数据文件夹。不指定时：程序所在的文件夹中"
            "有 khgl.dll 时用该文件夹，否则用本用户的数据文件夹。",
            "Data folder holding khgl.dll, the backup 备份卡.dat and the customer files. Without "
            "it: the executable's folder when it holds khgl.dll, otherwise the per-user data "
            "folder."),
        QStringLiteral("DIR"));
    parser.addOption(folderOption);
    const QCommandLineOption databaseOption(
        QStringLiteral("database"),
        say("使用 PostgreSQL 服务器上的网店数据，例如 "
            "postgresql://user@host:5432/shop?sslmode=verify-full（密码取自 ~/.pgpass 或 "
            "PGPASSWORD）。不指定时：数据文件夹中 khgl.conf 那一行 URI，否则用 khgl.dll。",
            "Work on the shop held by a PostgreSQL server, e.g. "
            "postgresql://user@host:5432/shop?sslmode=verify-full (the password comes from "
            "~/.pgpass or PGPASSWORD). Without it: the same URI as the one line of khgl.conf in "
            "the data folder, otherwise khgl.dll."),
        QStringLiteral("URI"));
    parser.addOption(databaseOption);
    const QCommandLineOption initOption(
        QStringLiteral("init-server"),
        say("在空的 PostgreSQL 数据库 URI 中建立网店的各个表，然后退出。",
            "Create the shop's tables in the empty PostgreSQL database URI, then quit."),
        QStringLiteral("URI"));
    parser.addOption(initOption);
    const QCommandLineOption migrateOption(
        QStringLiteral("migrate"),
        say("把单文件的网店 FILE 复制到其后的 URI 所指的空 PostgreSQL 数据库中，核对后退出。",
            "Copy the single-file shop FILE into the empty PostgreSQL database whose URI follows "
            "it, check the copy, then quit."),
        QStringLiteral("FILE"));
    parser.addOption(migrateOption);
    // A first look, so that --help names the folder this start would use; process() below
    // reports any error and answers --help and --version.
    parser.parse(QCoreApplication::arguments());
    const bool chosen = parser.isSet(folderOption);
    const QString folder = QDir::cleanPath(
        chosen ? QFileInfo(parser.value(folderOption)).absoluteFilePath() : defaultFolder());
    parser.setApplicationDescription(QStringLiteral("栎川电子商务管理系统1.0版\n\n") +
                                     say("数据文件夹：", "Data folder: ") +
                                     QDir::toNativeSeparators(folder));
    parser.process(core);
    options.initServer = parser.value(initOption);
    if (parser.isSet(migrateOption)) {
        options.migrateFile = parser.value(migrateOption);
        options.migrateServer = parser.positionalArguments().value(0);
        if (options.migrateServer.isEmpty()) {
            qCritical("%s", qUtf8Printable(say("--migrate FILE 之后需要数据库的 URI",
                                               "--migrate FILE needs the database URI after it")));
            std::exit(2);
        }
    }

    if (chosen) {
        if (!QFileInfo(folder).isDir()) {
            qCritical("%s", qUtf8Printable(say("没有这个文件夹：", "No such folder: ") + folder));
            return options;
        }
    } else if (folder.isEmpty() || !makePrivateFolder(folder)) {
        qCritical("%s", qUtf8Printable(say("无法建立数据文件夹 %1，请用 --folder 指定一个",
                                           "Cannot create the data folder %1; name one with "
                                           "--folder")
                                           .arg(folder)));
        return options;
    }
    options.folder = folder;
    options.server = parser.isSet(databaseOption) ? parser.value(databaseOption)
                                                  : khgl::StoreAddress::forFolder(folder).server;
    return options;
}

// --init-server and --migrate: work on the command line, no window.
int serverTask(int argc, char* argv[], const Options& options)
{
    QCoreApplication core(argc, argv);
    try {
        const QString done =
            options.initServer.isEmpty()
                ? khgl::server_transfer::migrate(options.migrateFile, options.migrateServer)
                : khgl::server_transfer::initServer(options.initServer);
        std::fputs(qUtf8Printable(done + QLatin1Char('\n')), stdout);
        return 0;
    } catch (const khgl::StoreError& error) {
        std::fputs(qUtf8Printable(error.message() + QLatin1Char('\n')), stderr);
        return 1;
    }
}

} // namespace

int main(int argc, char* argv[])
{
    const Options options = applicationOptions(argc, argv);
    if (!options.initServer.isEmpty() || !options.migrateFile.isEmpty()) {
        return serverTask(argc, argv, options);
    }
    const QString& folder = options.folder;
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
    return khgl::runApplication(folder, options.server);
}

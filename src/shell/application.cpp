#include "shell/application.h"

#include "admin/account_records.h"
#include "admin/backup_history.h"
#include "admin/database_copy.h"
#include "data_store/data_store.h"
#include "data_store/store_error.h"
#include "input_aids/input_aids.h"
#include "platform/app_context.h"
#include "platform/audio_player.h"
#include "platform/clock.h"
#include "platform/dialogs.h"
#include "platform/guard.h"
#include "platform/log_file.h"
#include "platform/mail_transport.h"
#include "platform/network_connectivity.h"
#include "platform/qt_audio_player.h"
#include "platform/qt_tray_icon.h"
#include "platform/smtp_transport.h"
#include "platform/tray_icon.h"
#include "shell/first_operator_dialog.h"
#include "shell/folder_lock.h"
#include "shell/login_window.h"
#include "shell/main_window.h"
#include "shell/server_notice.h"
#include "shell/shell_log.h"
#include "shell/view_zoom.h"
#include "widgets/screen_fit.h"

#include <QApplication>
#include <QFileInfo>
#include <QThread>

namespace khgl {
namespace {

void offerFirstOperator(AppContext& context, QWidget* parent)
{
    if (account_records::any(context.store)) {
        return;
    }
    const auto answer = context.dialogs.message(
        parent, QStringLiteral("系统中还没有操作员账号。是否现在建立第一个操作员账号？"),
        QStringLiteral("首次使用"), Dialogs::Icon::Question, Dialogs::Buttons::YesNo);
    if (answer != Dialogs::Answer::Yes) {
        return;
    }
    FirstOperatorDialog dialog(parent);
    if (context.dialogs.exec(dialog) != QDialog::Accepted) {
        return;
    }
    account_records::add(context.store,
                         {dialog.name(), dialog.password(), dialog.question(), dialog.answer()});
}

// Logs left by a vanished database were kept aside, not played into the new file.
void tellSetAside(AppContext& context, QWidget* parent, const QStringList& setAside)
{
    if (setAside.isEmpty()) {
        return;
    }
    QStringList names;
    for (const QString& path : setAside) {
        names << QFileInfo(path).fileName();
    }
    context.dialogs.message(
        parent,
        QStringLiteral("数据文件不存在或是空的，旁边却留有它的日志文件。新建的数据文件没有"
                       "使用这些日志，它们已改名保留在数据文件夹中：\n%1\n"
                       "如需以前的数据，请从备份还原。")
            .arg(names.join(QLatin1Char('\n'))),
        QStringLiteral("提示"), Dialogs::Icon::Warning);
}

} // namespace

bool prepareDatabase(AppContext& context, QWidget* parent)
{
    server_notice::announceSwitch(context, parent);
    for (;;) {
        try {
            if (!context.store.fileExists()) {
                tellSetAside(context, parent, context.store.create());
            }
            context.store.open();
            break;
        } catch (const StoreError& error) {
            if (error.code() == kServerClearText) {
                if (!server_notice::askClearText(context, parent, error.message())) {
                    return false;
                }
                continue;
            }
            const bool unreachable = error.code() == kServerUnreachable;
            if (!error.isBusy() && !unreachable) {
                context.dialogs.message(parent, error.message(), QStringLiteral("错误"),
                                        Dialogs::Icon::Critical);
                return false;
            }
            // Another program holds the file for now, or the server is not there yet: the
            // operator may wait for it.
            const auto answer = context.dialogs.message(
                parent,
                error.message() + (unreachable ? QStringLiteral("\n\n服务器恢复后点“重试”。")
                                               : QStringLiteral("\n\n关闭那个程序后点“重试”。")),
                QStringLiteral("错误"), Dialogs::Icon::Warning, Dialogs::Buttons::RetryExit);
            if (answer != Dialogs::Answer::Retry) {
                return false;
            }
        }
    }
    guarded(context.dialogs, parent, [&] { offerFirstOperator(context, parent); });
    return true;
}

Session::Session(AppContext& context) : m_context(context) {}

Session::~Session() = default;

MainWindow* Session::mainWindow() const
{
    return m_main;
}

LoginWindow* Session::start()
{
    // Every window is drawn at this desk's zoom from the first one on.
    screen_fit::setZoom(view_zoom::kept(m_context.folder) / 100.0);
    m_login = new LoginWindow(m_context);
    QObject::connect(m_login, &LoginWindow::loggedIn, m_login, [this] { openMainWindow(); });
    m_login->load();
    screen_fit::placeOnScreen(m_login);
    m_login->show();
    return m_login;
}

void Session::bringForward()
{
    QWidget* window = m_main ? static_cast<QWidget*>(m_main) : static_cast<QWidget*>(m_login);
    if (window == nullptr) {
        return;
    }
    // Out of the minimised state first: a window shown while still minimised (as it waits in
    // the notification area) would go straight back there.
    window->setWindowState((window->windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
    window->show();
    window->raise();
    window->activateWindow();
}

void Session::openMainWindow()
{
    m_main = new MainWindow(m_context);
    screen_fit::placeOnScreen(m_main);
    m_main->show();
    m_main->load();
}

void useExactWindowTitles()
{
    // An empty display name is appended to no title.
    QGuiApplication::setApplicationDisplayName(QString());
}

void keepWindowsPaintingWhileBusy()
{
    DataStore::setBusyWaitHook([] {
        const QCoreApplication* app = QCoreApplication::instance();
        if (app != nullptr && QThread::currentThread() == app->thread()) {
            // Paint and timers go on; typing and clicks wait until the statement is done.
            QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents, 10);
        }
    });
}

int runApplication(const QString& folder, const QString& server)
{
    useExactWindowTitles();
    keepWindowsPaintingWhileBusy();
    const std::unique_ptr<DataStore> opened = openStore({folder, server});
    DataStore& store = *opened;
    QtDialogs dialogs;
    SystemClock clock;
    // Without a usable sound back end the program runs on in silence.
    const std::unique_ptr<AudioPlayer> player = makeAudioPlayer();
    AudioPlayer& audio = *player;
    SmtpTransport mail;
    NetworkConnectivity connectivity;
    InputAids inputAids(clock, dialogs);
    const Pictures pictures(folder, Pictures::installedFolder());
    AppContext context{store.folder(), store,        dialogs,   clock,    audio,
                       mail,           connectivity, inputAids, pictures, {}};
    context.makeTray = [](QObject* parent) -> std::unique_ptr<TrayIcon> {
        return std::make_unique<QtTrayIcon>(parent);
    };
    context.copyBeforeImport = [&context] {
        BackupHistory history(context.folder);
        history.removeBeyondKeep(history.writeSafetyCopy(context.store, context.clock.now(),
                                                         BackupEntry::Kind::BeforeImport));
    };
    FolderLock lock(folder);
    switch (lock.acquire()) {
    case FolderLock::Result::Owned:
        break;
    case FolderLock::Result::AnotherRaised:
        return 0;
    case FolderLock::Result::AnotherRunning:
        context.dialogs.message(nullptr, FolderLock::refusalText(), QStringLiteral("提示"),
                                Dialogs::Icon::Information);
        return 1;
    }
    // A second start may ask for the window while this one is still starting: a question on
    // screen then (the first operator, a busy file) comes forward instead.
    Session* started = nullptr;
    QObject::connect(&lock, &FolderLock::raiseRequested, &lock, [&started] {
        if (started != nullptr) {
            started->bringForward();
        } else if (QWidget* question = QApplication::activeModalWidget()) {
            question->raise();
            question->activateWindow();
        }
    });
    // First: every file the clean-up removes and the start sets aside is named in the log.
    const LogFile log(folder);
    // No other copy of the program uses the folder: what a killed backup or restore left is
    // no one's.
    removeStaleTemporaries(folder);
    // Never the server's address itself: it may carry a password.
    qCInfo(shellLog).noquote() << "start, version" << KHGL_VERSION << "on" << store.location();
    if (!prepareDatabase(context, nullptr)) {
        qCInfo(shellLog) << "stop: the data could not be prepared";
        return 1;
    }
    Session session(context);
    started = &session;
    session.start();
    const int code = QApplication::exec();
    qCInfo(shellLog) << "stop, exit code" << code;
    return code;
}

} // namespace khgl

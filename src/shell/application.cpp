#include "shell/application.h"

#include "admin/account_records.h"
#include "data_store/data_store.h"
#include "data_store/store_error.h"
#include "input_aids/input_aids.h"
#include "platform/app_context.h"
#include "platform/audio_player.h"
#include "platform/clock.h"
#include "platform/dialogs.h"
#include "platform/guard.h"
#include "platform/mail_transport.h"
#include "platform/network_connectivity.h"
#include "platform/qt_audio_player.h"
#include "platform/qt_tray_icon.h"
#include "platform/smtp_transport.h"
#include "platform/tray_icon.h"
#include "shell/first_operator_dialog.h"
#include "shell/login_window.h"
#include "shell/main_window.h"

#include <QApplication>

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

} // namespace

bool prepareDatabase(AppContext& context, QWidget* parent)
{
    try {
        if (!context.store.fileExists()) {
            context.store.create();
        }
        context.store.open();
    } catch (const StoreError& error) {
        context.dialogs.message(parent, error.message(), QStringLiteral("错误"),
                                Dialogs::Icon::Critical);
        return false;
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
    m_login = new LoginWindow(m_context);
    QObject::connect(m_login, &LoginWindow::loggedIn, m_login, [this] { openMainWindow(); });
    m_login->load();
    m_login->show();
    return m_login;
}

void Session::openMainWindow()
{
    m_main = new MainWindow(m_context);
    m_main->show();
    m_main->load();
}

int runApplication(const QString& folder)
{
    DataStore store(folder);
    QtDialogs dialogs;
    SystemClock clock;
    // Without a usable sound back end the program runs on in silence.
    const std::unique_ptr<AudioPlayer> player = makeAudioPlayer();
    AudioPlayer& audio = *player;
    SmtpTransport mail;
    NetworkConnectivity connectivity;
    InputAids inputAids(clock, dialogs);
    AppContext context{folder,       store,     dialogs,          clock, audio, mail,
                       connectivity, inputAids, Pictures(folder), {}};
    context.makeTray = [](QObject* parent) -> std::unique_ptr<TrayIcon> {
        return std::make_unique<QtTrayIcon>(parent);
    };
    if (!prepareDatabase(context, nullptr)) {
        return 1;
    }
    Session session(context);
    session.start();
    return QApplication::exec();
}

} // namespace khgl

#include "shell/login_window.h"

#include "data_store/store_error.h"
#include "platform/app_context.h"
#include "platform/dialogs.h"
#include "platform/guard.h"
#include "shell/login_records.h"
#include "shell/server_notice.h"
#include "ui_login_window.h"
#include "widgets/click_widgets.h"
#include "widgets/hover.h"
#include "widgets/screen_fit.h"

#include <QLineEdit>

#include <QMouseEvent>

namespace khgl {

LoginWindow::LoginWindow(AppContext& context, QWidget* parent)
    : QWidget(parent), m_context(context), m_ui(std::make_unique<Ui::LoginWindow>())
{
    m_ui->setupUi(this);
    setWindowFlags(Qt::Window | Qt::FramelessWindowHint);
    setAttribute(Qt::WA_DeleteOnClose);
    screen_fit::fitFixedWindow(this);
    m_ui->Text1->setEchoMode(QLineEdit::Password);
    // Every typed character shows as "@".
    m_ui->Text1->setStyleSheet(QStringLiteral("lineedit-password-character: 64;"));
    m_ui->Check1->setFocusPolicy(Qt::NoFocus);
    // The keyboard starts in the name box; the title bar's buttons come last.
    putLastInTabOrder(this, {m_ui->Image3, m_ui->Image2});
    m_ui->Combo1->setFocus(Qt::OtherFocusReason);
    server_notice::showIn(m_ui->serverLabel, context.store);

    HoverCommands::pointerOnly(m_ui->Label2);
    HoverCommands::pointerOnly(m_ui->Label1);
    HoverCommands::pointerOnly(m_ui->Label3);
    HoverCommands::pointerOnly(m_ui->Image2);
    HoverCommands::pointerOnly(m_ui->Image3);
    setMouseTracking(true);
    m_ui->Label2->setMouseTracking(true);
    m_ui->Label2->installEventFilter(this);

    connect(m_ui->Label2, &ClickLabel::clicked, this, &LoginWindow::logIn);
    connect(m_ui->Text1, &QLineEdit::returnPressed, this, &LoginWindow::logIn);
    // Enter in the name box goes on to the password, as Tab does.
    if (QLineEdit* name = m_ui->Combo1->lineEdit()) {
        connect(name, &QLineEdit::returnPressed, m_ui->Text1,
                [this] { m_ui->Text1->setFocus(Qt::TabFocusReason); });
    }
    connect(m_ui->Label3, &ClickLabel::clicked, this, &LoginWindow::recoverPassword);
    connect(m_ui->Label1, &ClickLabel::clicked, this, &LoginWindow::toggleRemember);
    connect(m_ui->Image2, &ClickLabel::clicked, this, &QWidget::close);
    connect(m_ui->Image3, &ClickLabel::clicked, this, &QWidget::showMinimized);
}

LoginWindow::~LoginWindow() = default;

void LoginWindow::load()
{
    guarded(m_context.dialogs, this, [this] {
        const QStringList users = login_records::userNames(m_context.store);
        if (!users.isEmpty()) {
            m_ui->Combo1->clear();
            m_ui->Combo1->addItems(users);
        }
        m_ui->Combo1->setCurrentIndex(-1);
        m_ui->Combo1->setEditText(QString());
        m_context.pictures.show(m_ui->Image1, Pictures::smallNormal());
        if (const auto remembered = login_records::remembered(m_context.store)) {
            m_ui->Combo1->setEditText(remembered->name);
            m_ui->Text1->setText(remembered->password);
            m_ui->Check1->setChecked(true);
        }
    });
    m_context.pictures.setBackground(this, Pictures::loginBackground());
}

void LoginWindow::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    m_context.pictures.setBackground(this, Pictures::loginBackground());
}

void LoginWindow::say(const QString& text)
{
    m_context.dialogs.message(this, text);
}

void LoginWindow::logIn()
{
    if (m_ui->Text1->text().isEmpty()) {
        say(QStringLiteral("密码不能为空。"));
        return;
    }
    m_context.pictures.show(m_ui->Image1, Pictures::smallNormal());
    bool admitted = false;
    const bool ok =
        guarded(m_context.dialogs, this, [this, &admitted] { admitted = passwordMatches(); });
    if (!ok || !admitted) {
        return;
    }
    // A disk that cannot take the remembered login (a full one) does not keep the operator
    // out: this first write says what is wrong, and the work goes on.
    guarded(m_context.dialogs, this, [this] { rememberLogin(); });
    Q_EMIT loggedIn();
    close();
}

bool LoginWindow::passwordMatches()
{
    const auto passwords = login_records::passwordsOf(m_context.store, m_ui->Combo1->currentText());
    if (!passwords) {
        say(QStringLiteral("登录信息错误。"));
        return false;
    }
    for (const QString& password : *passwords) {
        if (password.isEmpty()) {
            continue; // an empty stored password never admits anyone
        }
        if (password == m_ui->Text1->text()) {
            return true;
        }
        say(QStringLiteral("密码错误。"));
    }
    return false;
}

void LoginWindow::rememberLogin()
{
    try {
        login_records::remember(
            m_context.store, m_ui->Check1->isChecked()
                                 ? std::optional(login_records::Login{m_ui->Combo1->currentText(),
                                                                      m_ui->Text1->text()})
                                 : std::nullopt);
    } catch (const StoreError& error) {
        throw StoreError(QStringLiteral("已登录，但登录信息没有保存。\n%1").arg(error.message()),
                         error.code());
    }
}

void LoginWindow::recoverPassword()
{
    const QString name = m_ui->Combo1->currentText();
    if (name.isEmpty()) {
        say(QStringLiteral("请在在用户登录处选择用户名。"));
        return;
    }
    guarded(m_context.dialogs, this, [this, &name] {
        const auto recovery = login_records::recoveryOf(m_context.store, name);
        if (!recovery) {
            say(QStringLiteral("用户名不存在"));
            return;
        }
        const QString reply =
            m_context.dialogs.input(this, QStringLiteral("请回答问题：") + recovery->question,
                                    QStringLiteral("回答问题找回密码"));
        if (reply == recovery->answer) {
            say(QStringLiteral("密码是：") + recovery->password);
        } else {
            say(QStringLiteral("答案错误。"));
        }
    });
}

void LoginWindow::toggleRemember()
{
    m_ui->Check1->setChecked(!m_ui->Check1->isChecked());
}

void LoginWindow::hoverLogIn()
{
    if (m_hover == 0) {
        m_hover = 1;
        m_context.pictures.show(m_ui->Image1, Pictures::smallHover());
    }
}

void LoginWindow::leaveLogIn()
{
    if (m_hover == 1) {
        m_hover = 0;
        m_context.pictures.show(m_ui->Image1, Pictures::smallNormal());
    }
}

bool LoginWindow::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_ui->Label2 && event->type() == QEvent::MouseMove) {
        hoverLogIn();
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

// Any mouse button drags the background.
void LoginWindow::mousePressEvent(QMouseEvent* event)
{
    m_dragging = true;
    m_dragStart = event->position().toPoint();
}

void LoginWindow::mouseMoveEvent(QMouseEvent* event)
{
    leaveLogIn();
    if (m_dragging) {
        move(pos() + event->position().toPoint() - m_dragStart);
    }
}

void LoginWindow::mouseReleaseEvent(QMouseEvent*)
{
    m_dragging = false;
}

} // namespace khgl

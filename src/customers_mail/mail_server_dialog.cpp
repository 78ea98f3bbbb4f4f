#include "customers_mail/mail_server_dialog.h"

#include "data_store/store_error.h"
#include "platform/app_context.h"
#include "platform/dialogs.h"
#include "platform/mail_server_settings.h"
#include "platform/smtp_transport.h"
#include "ui_mail_server_dialog.h"
#include "widgets/screen_fit.h"

#include <QPushButton>

namespace khgl {

MailServerDialog::MailServerDialog(AppContext& context, const QString& senderAddress,
                                   const QString& password, QWidget* parent)
    : QDialog(parent), m_ui(std::make_unique<Ui::MailServerDialog>()), m_context(context),
      m_password(password)
{
    m_ui->setupUi(this);
    screen_fit::fitWindow(this);
    setWindowFlag(Qt::MSWindowsFixedSizeDialogHint);
    m_ui->buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("确定"));
    m_ui->buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("取消"));
    const auto saved = loadMailServerSettings(context.folder);
    MailServer server;
    if (saved) {
        server = saved->server;
    } else if (const auto derived = smtpServerFor(senderAddress)) {
        server = *derived;
    }
    m_ui->MailServerHost->setText(server.host);
    m_ui->MailServerPort->setValue(server.port);
    m_ui->MailServerSecurity->setCurrentIndex(static_cast<int>(server.security));
    m_ui->MailServerKeepPassword->setChecked(saved && !saved->password.isEmpty());
    connect(m_ui->buttons, &QDialogButtonBox::accepted, this, &MailServerDialog::accept);
    connect(m_ui->buttons, &QDialogButtonBox::rejected, this, &MailServerDialog::reject);
    // Set after filling in, so only the operator's change of port suggests its encryption.
    connect(m_ui->MailServerPort, &QSpinBox::valueChanged, this,
            &MailServerDialog::suggestSecurity);
    setFixedSize(sizeHint());
}

MailServerDialog::~MailServerDialog() = default;

void MailServerDialog::suggestSecurity(int port)
{
    if (port == 465) {
        m_ui->MailServerSecurity->setCurrentIndex(static_cast<int>(MailSecurity::Ssl));
    } else if (port == 587) {
        m_ui->MailServerSecurity->setCurrentIndex(static_cast<int>(MailSecurity::StartTls));
    }
}

void MailServerDialog::accept()
{
    MailServerSettings settings;
    settings.server.host = m_ui->MailServerHost->text().trimmed();
    settings.server.port = m_ui->MailServerPort->value();
    settings.server.security = static_cast<MailSecurity>(m_ui->MailServerSecurity->currentIndex());
    if (m_ui->MailServerKeepPassword->isChecked()) {
        settings.password = m_password;
    }
    if (const QString problem = mailServerProblem(settings.server); !problem.isEmpty()) {
        m_context.dialogs.inform(this, problem);
        m_ui->MailServerHost->setFocus();
        return;
    }
    try {
        saveMailServerSettings(m_context.folder, settings);
    } catch (const StoreError& error) {
        m_context.dialogs.message(this, error.message(), QStringLiteral("提示"),
                                  Dialogs::Icon::Warning);
        return;
    }
    QDialog::accept();
}

} // namespace khgl

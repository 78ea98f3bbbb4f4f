#pragma once

#include <QDialog>
#include <memory>

namespace Ui {
class MailServerDialog;
}

namespace khgl {

struct AppContext;

// "邮件服务器设置": the server, port and encryption mail goes through from this desk, and
// whether the sender's password is kept. Shows what is saved, or else the server derived
// from the sender's address; OK checks and saves, and stays open on a problem.
class MailServerDialog final : public QDialog
{
    Q_OBJECT

public:
    MailServerDialog(AppContext& context, const QString& senderAddress, const QString& password,
                     QWidget* parent);
    ~MailServerDialog() override;

    void accept() override;

private:
    void suggestSecurity(int port);

    std::unique_ptr<Ui::MailServerDialog> m_ui;
    AppContext& m_context;
    QString m_password;
};

} // namespace khgl

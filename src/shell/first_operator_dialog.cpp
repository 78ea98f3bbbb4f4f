#include "shell/first_operator_dialog.h"

#include "ui_first_operator_dialog.h"
#include "widgets/screen_fit.h"

#include <QPushButton>

namespace khgl {

FirstOperatorDialog::FirstOperatorDialog(QWidget* parent)
    : QDialog(parent), m_ui(std::make_unique<Ui::FirstOperatorDialog>())
{
    m_ui->setupUi(this);
    screen_fit::fitWindow(this);
    m_ui->passwordBox->setEchoMode(QLineEdit::Password);
    m_ui->buttonBox->button(QDialogButtonBox::Ok)->setText(QStringLiteral("确定"));
    m_ui->buttonBox->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("取消"));
    connect(m_ui->buttonBox, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(m_ui->buttonBox, &QDialogButtonBox::rejected, this, &QDialog::reject);
    for (QLineEdit* box : {m_ui->nameBox, m_ui->passwordBox, m_ui->questionBox, m_ui->answerBox}) {
        connect(box, &QLineEdit::textChanged, this, &FirstOperatorDialog::updateOk);
    }
    updateOk();
}

FirstOperatorDialog::~FirstOperatorDialog() = default;

QString FirstOperatorDialog::name() const
{
    return m_ui->nameBox->text();
}

QString FirstOperatorDialog::password() const
{
    return m_ui->passwordBox->text();
}

QString FirstOperatorDialog::question() const
{
    return m_ui->questionBox->text();
}

QString FirstOperatorDialog::answer() const
{
    return m_ui->answerBox->text();
}

void FirstOperatorDialog::updateOk()
{
    const bool complete = !name().trimmed().isEmpty() && !password().isEmpty() &&
                          !question().trimmed().isEmpty() && !answer().isEmpty();
    m_ui->buttonBox->button(QDialogButtonBox::Ok)->setEnabled(complete);
}

} // namespace khgl

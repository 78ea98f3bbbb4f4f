#include "customers_mail/mail_page.h"

#include "customers_mail/mail_recipients.h"
#include "customers_mail/mail_server_dialog.h"
#include "data_store/values.h"
#include "platform/aid_opener.h"
#include "platform/aid_target.h"
#include "platform/app_context.h"
#include "platform/clock.h"
#include "platform/dialogs.h"
#include "platform/mail_server_settings.h"
#include "ui_mail_page.h"
#include "widgets/hover.h"
#include "widgets/screen_fit.h"

#include <QListWidget>
#include <QPushButton>
#include <QSet>
#include <optional>

namespace khgl {
namespace {

// Calendar target codes of the four date boxes.

constexpr int kRowHeight = 300;     // twips
constexpr int kFixedColWidth = 300; // twips
constexpr int kTwipsPerPixel = 15;

const QString kPrompt = QStringLiteral("提示");
const QString kNothingFound = QStringLiteral("没有符合条件的记录。");

// The dates of a range as the date column holds them (2024-05-06), or nothing when either
// box does not hold a date: such a range can match no purchase.
std::optional<QVariantList> dateRange(const QString& first, const QString& last)
{
    const auto from = parseDate(first);
    const auto to = parseDate(last);
    if (!from || !to) {
        return std::nullopt;
    }
    return QVariantList{isoDateText(*from), isoDateText(*to)};
}

} // namespace

MailPage::MailPage(PageEnv& env, QWidget* parent)
    : Page(env, parent), m_ui(std::make_unique<Ui::MailPage>()), m_run(env.context.mail)
{
    m_ui->setupUi(this);
    addGridMenus();
    m_ui->MS2->setRows(2);
    m_ui->MS2->setCols(3);
    m_ui->sendProgress->hide();
    m_ui->stopSending->hide();
    m_hover.addSmall(this, m_ui->Label68, m_ui->Image23, nullptr);
    m_hover.addSmall(m_ui->Frame20, m_ui->Label69, m_ui->Image24, nullptr);
    m_hover.addSmall(m_ui->Frame21, m_ui->Label70, m_ui->Image25, nullptr);
    m_hover.addSmall(m_ui->Frame22, m_ui->Label71, m_ui->Image26, nullptr);
    registerDateBoxes();
    connectCommands();
    // A password the operator chose to keep at this desk.
    if (const auto saved = loadMailServerSettings(m_context.folder)) {
        m_ui->Text2->setText(saved->password);
    }
}

// A message on its way is abandoned; nothing after it is sent.
MailPage::~MailPage() = default;

void MailPage::connectCommands()
{
    onCommand(m_ui->Label69, &ClickLabel::clicked, &MailPage::findByDate);
    onCommand(m_ui->Label70, &ClickLabel::clicked, &MailPage::findByProduct);
    onCommand(m_ui->Label71, &ClickLabel::clicked, &MailPage::findByProductAndDate);
    onCommand(m_ui->Label68, &ClickLabel::clicked, &MailPage::send);
    onCommand(m_ui->stopSending, &QPushButton::clicked, &MailPage::stopSending);
    onCommand(m_ui->MailServerSettings, &QPushButton::clicked, &MailPage::editServerSettings);
    onCommand(m_ui->MS2, &RecordGrid::cellClicked, &MailPage::pickAddress);
    onCommand(m_ui->List1, &QListWidget::itemDoubleClicked, &MailPage::removeAddress);
    connect(&m_run, &MailRun::sending, this, &MailPage::showSending);
    connect(&m_run, &MailRun::sent, this, &MailPage::showSent);
    connect(&m_run, &MailRun::finished, this, &MailPage::finishSending);
    connect(&m_run, &MailRun::failed, this, &MailPage::reportFailure);
    connect(&m_run, &MailRun::plainTextNeeded, this, &MailPage::askPlainText);
}

void MailPage::registerDateBoxes()
{
    const std::pair<qint16, ClickLineEdit*> boxes[] = {{aid::MailFrom, m_ui->Text6},
                                                       {aid::MailTo, m_ui->Text7},
                                                       {aid::MailProductFrom, m_ui->Text3},
                                                       {aid::MailProductTo, m_ui->Text4}};
    for (const auto& [code, box] : boxes) {
        m_context.inputAids.registerDateBox(code, box);
        // Directly below the box, without a gap.
        connect(box, &ClickLineEdit::clicked, this,
                [this, code, box] { m_context.inputAids.showCalendarBelow(code, box, 0); });
    }
}

void MailPage::loadNormalPictures()
{
    for (QLabel* image : {m_ui->Image23, m_ui->Image24, m_ui->Image25, m_ui->Image26}) {
        m_context.pictures.show(image, Pictures::smallNormal());
    }
}

void MailPage::closeWindows()
{
    // The main window is closing: it must not wait for a server that has gone silent.
    m_run.stop();
}

void MailPage::opened()
{
    guard([this] {
        setUpGrid();
        listAllCustomers();
    });
}

void MailPage::setUpGrid()
{
    RecordGrid* grid = m_ui->MS2;
    grid->clearTexts();
    grid->setCols(3);
    grid->setRowHeight(1, kRowHeight);
    const int width = screen_fit::unscaled(grid->width()) * kTwipsPerPixel;
    grid->setColWidth(0, kFixedColWidth);
    grid->setColWidth(1, qRound(width / 3.0));
    grid->setColWidth(2, qRound(width / 2.0));
    grid->setText(0, 1, QStringLiteral("客户名"));
    grid->setText(0, 2, QStringLiteral("电子邮箱"));
}

void MailPage::listAllCustomers()
{
    RecordSet found = mail_recipients::all(m_context.store);
    if (found.recordCount() > 0) {
        writeResult(found, false);
    }
}

void MailPage::findByDate()
{
    if (m_ui->Text6->text().isEmpty() || m_ui->Text7->text().isEmpty()) {
        m_context.dialogs.message(this, QStringLiteral("请完整填写查询日期。"), kPrompt,
                                  Dialogs::Icon::Information);
        return;
    }
    const auto range = dateRange(m_ui->Text6->text(), m_ui->Text7->text());
    if (!range) {
        tellNothingFound();
        return;
    }
    RecordSet found = mail_recipients::boughtBetween(m_context.store, *range);
    showFound(found, true);
}

void MailPage::findByProduct()
{
    if (m_ui->Text8->text().isEmpty()) {
        m_context.dialogs.message(this, QStringLiteral("请填写客户购买的商品的名称"), kPrompt,
                                  Dialogs::Icon::Information);
        return;
    }
    RecordSet found = mail_recipients::boughtProduct(m_context.store, m_ui->Text8->text());
    showFound(found, false);
}

void MailPage::findByProductAndDate()
{
    if (m_ui->Text3->text().isEmpty() || m_ui->Text4->text().isEmpty() ||
        m_ui->Text5->text().isEmpty()) {
        m_context.dialogs.message(this, QStringLiteral("请完整填写查询条件。"), kPrompt,
                                  Dialogs::Icon::Information);
        return;
    }
    const auto range = dateRange(m_ui->Text3->text(), m_ui->Text4->text());
    if (!range) {
        tellNothingFound();
        return;
    }
    RecordSet found =
        mail_recipients::boughtProductBetween(m_context.store, *range, m_ui->Text5->text());
    showFound(found, false);
}

void MailPage::showFound(RecordSet& found, bool trailingRow)
{
    if (found.recordCount() == 0) {
        tellNothingFound();
        return;
    }
    writeResult(found, trailingRow);
}

void MailPage::tellNothingFound()
{
    m_context.dialogs.message(this, kNothingFound, kPrompt, Dialogs::Icon::Information);
}

void MailPage::writeResult(RecordSet& found, bool trailingRow)
{
    RecordGrid* grid = m_ui->MS2;
    RecordGrid::Batch batch(*grid);
    grid->setRows(2);
    grid->setText(1, 1, {});
    grid->setText(1, 2, {});
    grid->setRow(1);
    for (found.moveFirst(); !found.eof();) {
        grid->setText(grid->row(), 1, found.text(0));
        grid->setText(grid->row(), 2, found.text(1));
        found.moveNext();
        // The by-date listing appends a row after every record, so it ends with an empty one.
        if (trailingRow || !found.eof()) {
            grid->setRows(grid->rows() + 1);
            grid->setRowHeight(grid->rows() - 1, kRowHeight);
            grid->setRow(grid->rows() - 1);
        }
    }
}

void MailPage::pickAddress(int row, int col)
{
    const QString address = m_ui->MS2->text(row, col);
    if (col == 2 && !address.isEmpty()) {
        m_ui->List1->addItem(address);
    }
}

void MailPage::removeAddress(QListWidgetItem* item)
{
    // While sending, the list names the messages in flight by position: keep it as it is.
    if (m_sending || item == nullptr) {
        return;
    }
    delete m_ui->List1->takeItem(m_ui->List1->row(item));
}

void MailPage::editServerSettings()
{
    MailServerDialog dialog(m_context, m_ui->Text13->text().trimmed(), m_ui->Text2->text(), this);
    m_context.dialogs.exec(dialog);
}

void MailPage::resetSendPicture()
{
    m_context.pictures.show(m_ui->Image23, Pictures::smallNormal());
}

void MailPage::send()
{
    if (m_sending) {
        return;
    }
    resetSendPicture();
    if (!m_context.connectivity.isConnected()) {
        m_context.dialogs.message(this, QStringLiteral("当前系统未与Internet连接"));
        return;
    }
    if (m_ui->List1->count() == 0) {
        m_context.dialogs.message(this, QStringLiteral("请选择发送地址。"), kPrompt,
                                  Dialogs::Icon::Information);
        return;
    }
    std::vector<MailMessage> messages = messagesForList();
    if (!checkMessages(messages)) {
        return;
    }
    m_run.start(std::move(messages), chosenMailServer(m_context.folder));
    setSendingLook(true);
}

std::vector<MailMessage> MailPage::messagesForList()
{
    std::vector<MailMessage> messages;
    m_messageRows.clear();
    m_repeats = 0;
    QSet<QString> seen;
    const QDateTime now = m_context.clock.now();
    for (int i = 0; i < m_ui->List1->count(); ++i) {
        const QString to = m_ui->List1->item(i)->text();
        const QString key = to.trimmed().toCaseFolded();
        if (seen.contains(key)) {
            ++m_repeats; // a customer who bought twice hears from the shop once
            continue;
        }
        seen.insert(key);
        m_messageRows.push_back(i);
        messages.push_back({m_ui->Text13->text(), m_ui->Text2->text(), to, m_ui->Text14->text(),
                            m_ui->Text15->toPlainText(), now});
    }
    return messages;
}

// Everything that would fail for every message, or let text into headers, is said before
// the first message goes: nothing is sent then.
bool MailPage::checkMessages(const std::vector<MailMessage>& messages)
{
    if (m_ui->Text13->text().trimmed().isEmpty()) {
        m_context.dialogs.message(this, QStringLiteral("请填写发件人的邮箱地址。"), kPrompt,
                                  Dialogs::Icon::Information);
        return false;
    }
    for (const MailMessage& message : messages) {
        if (const QString problem = unsafeMailField(message); !problem.isEmpty()) {
            m_context.dialogs.message(this, problem, kPrompt, Dialogs::Icon::Information);
            return false;
        }
    }
    return true;
}

void MailPage::showSending(int index)
{
    if (index < static_cast<int>(m_messageRows.size())) {
        m_ui->List1->setCurrentRow(m_messageRows[static_cast<size_t>(index)]);
    }
    m_ui->sendStatus->setText(
        QStringLiteral("正在发送第 %1/%2 封……").arg(index + 1).arg(m_run.total()));
}

void MailPage::showSent(int count)
{
    m_ui->sendProgress->setValue(count);
}

void MailPage::endSending()
{
    setSendingLook(false);
    resetSendPicture();
}

void MailPage::finishSending(int sent)
{
    endSending();
    m_ui->sendStatus->setText(
        m_repeats > 0
            ? QStringLiteral("已发送 %1 封；%2 个重复地址只发一次。").arg(sent).arg(m_repeats)
            : QStringLiteral("已发送 %1 封。").arg(sent));
    m_context.dialogs.message(this, QStringLiteral("发送成功。"));
    Q_EMIT sendingFinished();
}

void MailPage::reportFailure(int sent, const QString& address, const QString& reason)
{
    endSending();
    m_ui->sendStatus->setText(
        QStringLiteral("已发送 %1 封，第 %2 封失败。").arg(sent).arg(sent + 1));
    m_context.dialogs.message(
        this,
        QStringLiteral("发往“%1”的邮件没有发出：%2\n此前已发出 %3 封；其后的 %4 个地址没有发送。")
            .arg(address, reason)
            .arg(sent)
            .arg(m_run.total() - sent - 1),
        kPrompt, Dialogs::Icon::Warning);
    Q_EMIT sendingFinished();
}

// The server offers no encryption: nothing of this message has gone out yet. Asked once per
// run; after a yes the rest of the run may sign in in clear text too.
void MailPage::askPlainText(int index)
{
    const auto answer = m_context.dialogs.message(
        this, QStringLiteral("邮件服务器不支持加密连接，密码将以明文发送。是否继续？"), kPrompt,
        Dialogs::Icon::Question, Dialogs::Buttons::YesNoDefaultNo);
    if (answer == Dialogs::Answer::Yes && m_run.isRunning()) {
        m_run.goOnInPlainText(index);
        return;
    }
    m_run.stop();
    endSending();
    m_ui->sendStatus->setText(
        QStringLiteral("已发送 %1 封；服务器不支持加密连接，其余 %2 封没有发送。")
            .arg(index)
            .arg(m_run.total() - index));
    Q_EMIT sendingFinished();
}

// The operator's 停止: the run ends now, whatever the server does. The message in flight is
// abandoned; the ones the server has accepted are reported.
void MailPage::stopSending()
{
    if (!m_sending || !m_run.isRunning()) {
        return;
    }
    const int sent = m_run.stop();
    setSendingLook(false);
    resetSendPicture();
    m_ui->sendStatus->setText(QStringLiteral("已停止：已发送 %1 封，其余 %2 封没有发送。")
                                  .arg(sent)
                                  .arg(m_run.total() - sent));
    Q_EMIT sendingFinished();
}

void MailPage::setSendingLook(bool sending)
{
    m_sending = sending;
    m_ui->Label68->setEnabled(!sending);
    m_ui->stopSending->setVisible(sending);
    m_ui->sendProgress->setRange(0, std::max(m_run.total(), 1));
    m_ui->sendProgress->setValue(0);
    m_ui->sendProgress->setVisible(sending);
    if (sending) {
        m_ui->sendStatus->setText(QStringLiteral("正在发送……"));
    }
}

} // namespace khgl

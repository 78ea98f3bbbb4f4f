#pragma once

#include "customers_mail/mail_run.h"
#include "platform/mail_transport.h"
#include "widgets/page.h"

#include <memory>
#include <vector>

class QListWidgetItem;

namespace Ui {
class MailPage;
}

namespace khgl {

class RecordSet;

// The mail page: finds customers' addresses, collects recipients and sends one message to
// each of them. The messages go out through a MailRun, so the window stays usable; the send
// command is disabled until the last one is done, one fails or the operator stops the run.
// Stopping or closing never waits for the run's worker.
class MailPage final : public Page
{
    Q_OBJECT

public:
    MailPage(PageEnv& env, QWidget* parent);
    ~MailPage() override;

    void loadNormalPictures() override;
    void opened() override;
    void closeWindows() override;

    bool isSending() const { return m_sending; }

Q_SIGNALS:
    // The send command has ended (all sent, stopped at a failure or by the operator) and
    // said so.
    void sendingFinished();

private:
    void connectCommands();
    void registerDateBoxes();
    void setUpGrid();
    void listAllCustomers();
    void findByDate();
    void findByProduct();
    void findByProductAndDate();
    void showFound(RecordSet& found, bool trailingRow);
    void writeResult(RecordSet& found, bool trailingRow);
    void tellNothingFound();

    void pickAddress(int row, int col);
    void removeAddress(QListWidgetItem* item);
    void editServerSettings();

    void send();
    // One message per distinct address of the list (case and blanks around do not count);
    // notes the list row of each and how many entries were repeats.
    std::vector<MailMessage> messagesForList();
    bool checkMessages(const std::vector<MailMessage>& messages);
    void showSending(int index);
    void showSent(int count);
    void finishSending(int sent);
    void reportFailure(int sent, const QString& address, const QString& reason);
    void askPlainText(int index);
    void stopSending();
    void endSending();
    void setSendingLook(bool sending);
    void resetSendPicture();

    std::unique_ptr<Ui::MailPage> m_ui;
    MailRun m_run;
    std::vector<int> m_messageRows; // the list row each message of the run was made from
    int m_repeats = 0;              // list entries left out as repeated addresses
    bool m_sending = false;
};

} // namespace khgl

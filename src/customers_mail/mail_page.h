#pragma once

#include "platform/mail_transport.h"
#include "widgets/page.h"

#include <memory>
#include <optional>
#include <thread>
#include <vector>

class QListWidgetItem;

namespace Ui {
class MailPage;
}

namespace khgl {

class RecordSet;

// The mail page: finds customers' addresses, collects recipients and sends one message to
// each of them. The messages go out on a worker thread, one after another, so the window
// stays usable; the send command is disabled until the last one is done, one fails or the
// operator stops the run. Stopping or closing never waits for the worker: the run is let go
// and its worker, told to stop, is left to the mail transport to finish.
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
    struct SendRun;

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
    void startWorker(int first);
    static void sendAll(const std::shared_ptr<SendRun>& run, MailTransport& transport,
                        const std::vector<MailMessage>& messages, int first,
                        MailSendOptions options);
    void showSending(int index);
    void showSent(int count);
    void finishSending(int sent);
    void reportFailure(int sent, const QString& address, const QString& reason);
    void askPlainText(int index);
    void stopSending();
    void letRunGo();
    void endSending();
    void setSendingLook(bool sending);
    void resetSendPicture();
    void joinWorker();

    std::unique_ptr<Ui::MailPage> m_ui;
    std::shared_ptr<SendRun> m_run; // the run this page listens to; empty when none
    std::thread m_worker;
    std::vector<MailMessage> m_messages; // the run's messages, one per distinct address
    std::vector<int> m_messageRows;      // the list row each message was made from
    int m_repeats = 0;                   // list entries left out as repeated addresses
    bool m_plainTextAllowed = false;     // asked and granted once per run
    std::optional<MailServer> m_server;  // the run's server; empty: derived from the sender
    bool m_sending = false;
    int m_total = 0;
};

} // namespace khgl

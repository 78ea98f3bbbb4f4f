#pragma once

#include "platform/mail_transport.h"
#include "platform/page.h"

#include <atomic>
#include <memory>
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
// stays usable; the send command is disabled until the last one is done or one fails.
class MailPage final : public Page
{
    Q_OBJECT

public:
    MailPage(PageEnv& env, QWidget* parent);
    ~MailPage() override;

    void loadNormalPictures() override;
    void opened() override;

    bool isSending() const { return m_sending; }

Q_SIGNALS:
    // The send command has ended (all sent, or stopped at a failure) and said so.
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

    void send();
    std::vector<MailMessage> messagesForList() const;
    bool checkMessages(const std::vector<MailMessage>& messages);
    void startSending(std::vector<MailMessage> messages);
    void sendAll(const std::vector<MailMessage>& messages);
    void showSending(int index);
    void showSent(int count);
    void finishSending(int sent);
    void reportFailure(int sent, const QString& address, const QString& reason);
    void endSending();
    void setSendingLook(bool sending);
    void resetSendPicture();
    void joinWorker();

    std::unique_ptr<Ui::MailPage> m_ui;
    std::thread m_worker;
    std::atomic<bool> m_stop{false};
    bool m_sending = false;
    int m_total = 0;
};

} // namespace khgl

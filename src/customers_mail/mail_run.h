#pragma once

#include "platform/mail_transport.h"

#include <QObject>
#include <QString>
#include <memory>
#include <optional>
#include <thread>
#include <vector>

namespace khgl {

// One send command: its messages go out on a worker thread, one after another, and what
// happens is reported by the signals below, always on the thread that owns the run. Stopping
// never waits for the worker: it is told to stop, stops being listened to and is left to the
// mail transport to finish.
class MailRun final : public QObject
{
    Q_OBJECT

public:
    explicit MailRun(MailTransport& transport, QObject* parent = nullptr);
    ~MailRun() override;

    // Starts sending messages from the first, signing in only with encryption.
    void start(std::vector<MailMessage> messages, std::optional<MailServer> server);
    // After plainTextNeeded, once the operator agreed: the rest goes out, from index on, and
    // may sign in in clear text.
    void goOnInPlainText(int index);
    // Ends the run now; returns how many messages the server has accepted. The message in
    // flight is abandoned and nothing after it is sent.
    int stop();

    // Between start and the end of the run (finished, failed, stop, or a refusal to go on
    // after plainTextNeeded).
    bool isRunning() const { return m_running; }
    int total() const { return static_cast<int>(m_messages.size()); }

Q_SIGNALS:
    void sending(int index);
    void sent(int count);
    // Every message is accepted.
    void finished(int count);
    // Message index failed; the ones before it went out, none after it was tried.
    void failed(int index, const QString& address, const QString& reason);
    // The server offers no encryption; nothing of message index has gone out. The run waits
    // for goOnInPlainText or stop.
    void plainTextNeeded(int index);

private:
    struct Leg;

    void startWorker(int first);
    static void sendAll(const std::shared_ptr<Leg>& leg, MailTransport& transport,
                        const std::vector<MailMessage>& messages, int first,
                        MailSendOptions options);
    void end();
    void letGo();
    void joinWorker();

    MailTransport& m_transport;
    std::shared_ptr<Leg> m_leg; // the worker this run listens to; empty when none
    std::thread m_worker;
    std::vector<MailMessage> m_messages;
    std::optional<MailServer> m_mailServer; // empty: derived from the sender
    bool m_plainTextAllowed = false;        // asked and granted once per run
    bool m_running = false;
};

} // namespace khgl

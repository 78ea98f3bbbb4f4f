#include "customers_mail/mail_run.h"

#include "customers_mail/customers_log.h"

#include <QMetaObject>
#include <atomic>
#include <mutex>

namespace khgl {

// What the run and one worker share. The worker reports only while run is set; the run
// clears it, under the mutex, when it lets the worker go, so nothing reaches a run that has
// stopped listening or is gone.
struct MailRun::Leg : std::enable_shared_from_this<Leg>
{
    std::atomic<bool> stop{false};
    std::atomic<int> sent{0}; // messages the server has accepted in this run
    std::mutex mutex;
    MailRun* run = nullptr;

    // Runs report(run) on the run's thread, unless a later worker has taken this one's place.
    template <typename Report> void post(Report report)
    {
        const std::lock_guard lock(mutex);
        if (run != nullptr) {
            QMetaObject::invokeMethod(
                run,
                [target = run, self = shared_from_this(), report = std::move(report)] {
                    if (target->m_leg == self) {
                        report(*target);
                    }
                },
                Qt::QueuedConnection);
        }
    }
};

MailRun::MailRun(MailTransport& transport, QObject* parent)
    : QObject(parent), m_transport(transport)
{
}

MailRun::~MailRun()
{
    letGo();
}

void MailRun::start(std::vector<MailMessage> messages, std::optional<MailServer> server)
{
    m_messages = std::move(messages);
    m_mailServer = std::move(server);
    m_plainTextAllowed = false;
    m_running = true;
    qCInfo(customersLog) << "mail run started:" << total() << "messages";
    startWorker(0);
}

void MailRun::goOnInPlainText(int index)
{
    if (!m_running) {
        return;
    }
    qCInfo(customersLog) << "mail run goes on without encryption from message" << index + 1;
    m_plainTextAllowed = true;
    startWorker(index);
}

int MailRun::stop()
{
    if (!m_running) {
        return 0;
    }
    const int sent = m_leg ? m_leg->sent.load() : 0;
    letGo();
    qCInfo(customersLog) << "mail run stopped:" << sent << "of" << total() << "sent";
    return sent;
}

void MailRun::startWorker(int first)
{
    joinWorker();
    auto leg = std::make_shared<Leg>();
    leg->run = this;
    leg->sent = first;
    m_leg = leg;
    const MailSendOptions options{{}, m_plainTextAllowed, m_mailServer};
    m_worker = std::thread([leg, &transport = m_transport, messages = m_messages, first, options] {
        sendAll(leg, transport, messages, first, options);
    });
}

// Runs on the worker thread: reports through the leg only. A leg that has been let go
// reports nothing more.
void MailRun::sendAll(const std::shared_ptr<Leg>& leg, MailTransport& transport,
                      const std::vector<MailMessage>& messages, int first, MailSendOptions options)
{
    options.keepGoing = [&leg] { return !leg->stop.load(); };
    const int count = static_cast<int>(messages.size());
    for (int i = first; i < count && !leg->stop; ++i) {
        leg->post([i](MailRun& run) { Q_EMIT run.sending(i); });
        const MailResult result = transport.sendWith(messages[i], options);
        if (leg->stop) {
            return;
        }
        if (!result.ok) {
            leg->post([i, to = messages[i].to, result](MailRun& run) {
                run.joinWorker();
                if (result.needsPlainText) {
                    qCInfo(customersLog) << "mail server offers no encryption at message" << i + 1;
                    Q_EMIT run.plainTextNeeded(i);
                    return;
                }
                run.end();
                qCWarning(customersLog) << "mail run failed at message" << i + 1 << "of"
                                        << run.total() << "after" << i << "sent";
                Q_EMIT run.failed(i, to, result.error);
            });
            return;
        }
        leg->sent = i + 1;
        leg->post([i](MailRun& run) { Q_EMIT run.sent(i + 1); });
    }
    leg->post([count](MailRun& run) {
        run.end();
        qCInfo(customersLog) << "mail run finished:" << count << "sent";
        Q_EMIT run.finished(count);
    });
}

// The worker has returned or is about to: joining it is immediate.
void MailRun::end()
{
    m_leg.reset();
    joinWorker();
    m_running = false;
}

// Tells the worker to stop and stops listening to it; the worker may still be inside a
// transfer for up to a second, so it goes to the transport instead of being joined here.
void MailRun::letGo()
{
    if (m_leg) {
        m_leg->stop = true;
        const std::lock_guard lock(m_leg->mutex);
        m_leg->run = nullptr;
    }
    m_leg.reset();
    m_running = false;
    m_transport.keepUntilDone(std::move(m_worker));
}

void MailRun::joinWorker()
{
    if (m_worker.joinable()) {
        m_worker.join();
    }
}

} // namespace khgl

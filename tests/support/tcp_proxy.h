#pragma once

#include <QByteArray>
#include <QString>
#include <atomic>
#include <mutex>
#include <thread>
#include <vector>

namespace khgl::test {

// A TCP listener that forwards each connection to a PostgreSQL server's Unix socket, and
// fails on request the way networks and desks fail. Runs on threads of its own, so the
// store may block on it from the test's thread.
class TcpProxy final
{
public:
    enum class Mode
    {
        Pass,            // forwards both ways
        DropCommitReply, // passes a COMMIT on, waits for the server's answer, then cuts
        DropCommit,      // cuts the connection instead of passing a COMMIT on
        HoldCommit,      // holds a COMMIT back (nothing crosses that connection) until Pass
        Stall,           // forwards nothing more either way and keeps the connection (a desk
                         // or a network frozen)
        StallInCopy,     // passes a COPY statement and the server's answer on, then stalls
        DropCommitReplyAfterCopy, // DropCommitReply, DropCommit for the first COMMIT after a
        DropCommitAfterCopy,      // COPY on that connection (a restore's or a migrate's end)
        Silent                    // accepts new connections and never answers them
    };

    // listenAddress: "127.0.0.1", or "0.0.0.0" to be reached on the machine's own addresses.
    TcpProxy(QString unixSocket, const QByteArray& listenAddress = "127.0.0.1");
    ~TcpProxy();
    TcpProxy(const TcpProxy&) = delete;
    TcpProxy& operator=(const TcpProxy&) = delete;

    int port() const { return m_port; }
    void setMode(Mode mode) { m_mode = mode; }
    // How many COMMITs HoldCommit has stopped so far: once one is, its desk's session can only
    // be idle inside its transaction.
    int heldCommits() const { return m_heldCommits; }

    // The socket of the server named by KHGL_TEST_PG_URI (host=/folder).
    static QString testServerSocket();
    // conninfo pointed at host and port instead (the database and user stay).
    static QString through(const QString& conninfo, const QString& host, int port);

private:
    void acceptLoop();
    void pump(int client);

    QString m_socket;
    int m_listen = -1;
    int m_port = 0;
    std::atomic<Mode> m_mode{Mode::Pass};
    std::atomic<bool> m_stop{false};
    std::atomic<int> m_heldCommits{0};
    std::thread m_acceptor;
    std::mutex m_mutex;
    std::vector<std::thread> m_pumps;
};

} // namespace khgl::test

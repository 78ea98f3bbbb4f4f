#include "support/tcp_proxy.h"

#include <QRegularExpression>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>

namespace khgl::test {
namespace {

int connectUnix(const QString& path)
{
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const QByteArray bytes = path.toLocal8Bit();
    std::strncpy(address.sun_path, bytes.constData(), sizeof(address.sun_path) - 1);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

// Waits up to ms for fd to be readable.
bool readable(int fd, int ms)
{
    pollfd entry{fd, POLLIN, 0};
    return ::poll(&entry, 1, ms) > 0;
}

// The Parse message of the statement "commit", as libpq sends it.
bool holdsCommit(const QByteArray& bytes)
{
    return bytes.contains(QByteArray("\0commit\0", 8));
}

// A simple-protocol query starting a COPY, as libpq sends it.
bool startsCopy(const QByteArray& bytes)
{
    return bytes.startsWith('Q') && bytes.mid(5).startsWith("copy ");
}

} // namespace

TcpProxy::TcpProxy(QString unixSocket, const QByteArray& listenAddress)
    : m_socket(std::move(unixSocket))
{
    m_listen = ::socket(AF_INET, SOCK_STREAM, 0);
    const int yes = 1;
    ::setsockopt(m_listen, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof(yes));
    sockaddr_in address{};
    address.sin_family = AF_INET;
    ::inet_pton(AF_INET, listenAddress.constData(), &address.sin_addr);
    ::bind(m_listen, reinterpret_cast<sockaddr*>(&address), sizeof(address));
    ::listen(m_listen, 16);
    socklen_t length = sizeof(address);
    ::getsockname(m_listen, reinterpret_cast<sockaddr*>(&address), &length);
    m_port = ntohs(address.sin_port);
    m_acceptor = std::thread([this] { acceptLoop(); });
}

TcpProxy::~TcpProxy()
{
    m_stop = true;
    m_acceptor.join();
    ::close(m_listen);
    const std::lock_guard lock(m_mutex);
    for (std::thread& pump : m_pumps) {
        pump.join();
    }
}

QString TcpProxy::testServerSocket()
{
    const QRegularExpression host(QStringLiteral("host=(/[^&]+)"));
    return host.match(qEnvironmentVariable("KHGL_TEST_PG_URI")).captured(1) +
           QStringLiteral("/.s.PGSQL.5432");
}

QString TcpProxy::through(const QString& conninfo, const QString& host, int port)
{
    return conninfo + QStringLiteral(" host=%1 port=%2").arg(host).arg(port);
}

void TcpProxy::acceptLoop()
{
    while (!m_stop) {
        if (!readable(m_listen, 50)) {
            continue;
        }
        const int client = ::accept(m_listen, nullptr, nullptr);
        if (client < 0) {
            continue;
        }
        const std::lock_guard lock(m_mutex);
        m_pumps.emplace_back([this, client] { pump(client); });
    }
}

void TcpProxy::pump(int client)
{
    const bool silent = m_mode == Mode::Silent;
    const int server = silent ? -1 : connectUnix(m_socket);
    char buffer[65536];
    bool copying = false;
    bool copied = false; // a COPY went through this connection
    while (!m_stop && (silent || server >= 0)) {
        if (silent || m_mode == Mode::Stall) {
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
            continue;
        }
        pollfd fds[2] = {{client, POLLIN, 0}, {server, POLLIN, 0}};
        if (::poll(fds, 2, 50) <= 0) {
            continue;
        }
        const bool fromClient = (fds[0].revents & (POLLIN | POLLHUP)) != 0;
        const int from = fromClient ? client : server;
        const ssize_t got = ::read(from, buffer, sizeof(buffer));
        if (got <= 0) {
            break;
        }
        const QByteArray bytes(buffer, got);
        copied = copied || (fromClient && startsCopy(bytes));
        const Mode mode = m_mode;
        const bool commit = fromClient && holdsCommit(bytes);
        const bool cut = mode == Mode::DropCommit || (copied && mode == Mode::DropCommitAfterCopy);
        const bool cutReply =
            mode == Mode::DropCommitReply || (copied && mode == Mode::DropCommitReplyAfterCopy);
        if (commit && cut) {
            break;
        }
        if (fromClient && holdsCommit(bytes) && m_mode == Mode::HoldCommit) {
            ++m_heldCommits;
        }
        while (fromClient && holdsCommit(bytes) && m_mode == Mode::HoldCommit && !m_stop) {
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        // To a server that has ended the session meanwhile: an error, not SIGPIPE.
        if (::send(fromClient ? server : client, bytes.constData(), bytes.size(), MSG_NOSIGNAL) !=
            got) {
            break;
        }
        if (mode == Mode::StallInCopy) {
            if (fromClient) {
                copying = copying || startsCopy(bytes);
            } else if (copying) {
                m_mode = Mode::Stall;
            }
        }
        if (commit && cutReply) {
            // The server has committed once it answers; the desk never hears of it.
            if (readable(server, 5000)) {
                [[maybe_unused]] const ssize_t answer = ::read(server, buffer, sizeof(buffer));
            }
            break;
        }
    }
    if (server >= 0) {
        ::close(server);
    }
    ::close(client);
}

} // namespace khgl::test

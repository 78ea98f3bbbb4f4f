#include "platform/network_connectivity.h"

#include "platform/smtp_transport.h"

#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>

#include <cstring>
#include <memory>

namespace khgl {
namespace {

bool isUsable(const ifaddrs& entry)
{
    if (entry.ifa_addr == nullptr) {
        return false;
    }
    const unsigned flags = entry.ifa_flags;
    if ((flags & IFF_UP) == 0 || (flags & IFF_RUNNING) == 0 || (flags & IFF_LOOPBACK) != 0) {
        return false;
    }
    if (entry.ifa_addr->sa_family == AF_INET) {
        return true;
    }
    if (entry.ifa_addr->sa_family == AF_INET6) {
        // A link-local address alone reaches no mail server.
        sockaddr_in6 address{};
        std::memcpy(&address, entry.ifa_addr, sizeof address);
        return !IN6_IS_ADDR_LINKLOCAL(&address.sin6_addr);
    }
    return false;
}

} // namespace

bool NetworkConnectivity::isConnected() const
{
    const auto server = smtpServerOverride();
    if (server && isLoopbackHost(server->host)) {
        return true;
    }
    return hasUsableInterface();
}

bool NetworkConnectivity::hasUsableInterface()
{
    ifaddrs* list = nullptr;
    if (getifaddrs(&list) != 0) {
        return false;
    }
    const std::unique_ptr<ifaddrs, decltype(&freeifaddrs)> owner(list, &freeifaddrs);
    for (const ifaddrs* entry = list; entry != nullptr; entry = entry->ifa_next) {
        if (isUsable(*entry)) {
            return true;
        }
    }
    return false;
}

} // namespace khgl

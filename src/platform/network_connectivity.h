#pragma once

#include "platform/mail_transport.h"

namespace khgl {

// Stands in for "is this machine on the Internet": true when a network interface other than
// loopback is up with an address, or when mail is sent to a server on this machine
// (KHGL_SMTP_SERVER naming a loopback address), which needs no network at all.
class NetworkConnectivity final : public Connectivity
{
public:
    bool isConnected() const override;

    static bool hasUsableInterface();
};

} // namespace khgl

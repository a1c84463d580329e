#pragma once

#include <QString>

namespace kelm {

// The "服务器" value split into host and port. Tills have always written "host,port" (SQL Server's
// form); "host:port" is accepted too. A value with more than one colon is an IPv6 address without a
// port, and "host\instance" stays whole for the driver to resolve.
struct ServerAddress
{
    QString host;
    QString port; // empty: the engine's default port

    static ServerAddress parse(const QString& server);
    // "host" or "host:port", for messages.
    QString display() const;
    // The server runs on the till's own machine: no host or a socket folder (a local socket),
    // localhost, or a loopback address (127.0.0.0/8, ::1). An instance name does not change the host.
    bool onThisMachine() const;
};

} // namespace kelm

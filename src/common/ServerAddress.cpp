#include "common/ServerAddress.h"

namespace kelm {

ServerAddress ServerAddress::parse(const QString& server)
{
    ServerAddress address;
    address.host = server.trimmed();
    qsizetype split = address.host.lastIndexOf(u',');
    if (split < 0 && address.host.count(u':') == 1)
        split = address.host.indexOf(u':');
    if (split >= 0) {
        address.port = address.host.mid(split + 1).trimmed();
        address.host = address.host.left(split).trimmed();
    }
    return address;
}

QString ServerAddress::display() const
{
    const QString shown = host.isEmpty() ? QStringLiteral("(本机)") : host;
    return port.isEmpty() ? shown : shown + u':' + port;
}

} // namespace kelm

#include "common/ServerAddress.h"

#include <arpa/inet.h>

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

bool ServerAddress::onThisMachine() const
{
    QString name = host.left(host.indexOf(u'\\'));
    if (name.startsWith(u'[') && name.endsWith(u']'))
        name = name.mid(1, name.size() - 2);
    if (name.isEmpty() || name.startsWith(u'/'))
        return true;
    if (name.compare(u"localhost", Qt::CaseInsensitive) == 0 || name.compare(u"localhost.", Qt::CaseInsensitive) == 0)
        return true;
    const QByteArray text = name.toLatin1();
    in_addr v4 = {};
    if (inet_pton(AF_INET, text.constData(), &v4) == 1)
        return (ntohl(v4.s_addr) >> 24) == 127;
    in6_addr v6 = {};
    if (inet_pton(AF_INET6, text.constData(), &v6) == 1)
        return IN6_IS_ADDR_LOOPBACK(&v6) || (IN6_IS_ADDR_V4MAPPED(&v6) && v6.s6_addr[12] == 127);
    return false;
}

} // namespace kelm

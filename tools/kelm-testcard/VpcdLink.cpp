#include "VpcdLink.h"

#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <array>
#include <cerrno>

namespace kelm {

namespace {

// Reads exactly size bytes, however the stream splits them.
bool readFully(int socket, std::uint8_t* data, std::size_t size)
{
    while (size > 0) {
        const ssize_t got = ::recv(socket, data, size, 0);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got <= 0) {
            return false;
        }
        data += got;
        size -= static_cast<std::size_t>(got);
    }
    return true;
}

bool writeFully(int socket, const std::uint8_t* data, std::size_t size)
{
    while (size > 0) {
        const ssize_t sent = ::send(socket, data, size, MSG_NOSIGNAL);
        if (sent < 0 && errno == EINTR) {
            continue;
        }
        if (sent <= 0) {
            return false;
        }
        data += sent;
        size -= static_cast<std::size_t>(sent);
    }
    return true;
}

} // namespace

VpcdLink::~VpcdLink()
{
    close();
}

bool VpcdLink::connect(const std::string& host, std::uint16_t port)
{
    close();
    addrinfo hints {};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* addresses = nullptr;
    if (::getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &addresses) != 0) {
        return false;
    }
    for (const addrinfo* address = addresses; address; address = address->ai_next) {
        const int socket = ::socket(address->ai_family, address->ai_socktype | SOCK_CLOEXEC, address->ai_protocol);
        if (socket < 0) {
            continue;
        }
        if (::connect(socket, address->ai_addr, address->ai_addrlen) == 0) {
            // Every APDU is a small message waiting for its answer: send it at once.
            const int on = 1;
            ::setsockopt(socket, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
            m_socket = socket;
            break;
        }
        ::close(socket);
    }
    ::freeaddrinfo(addresses);
    return m_socket >= 0;
}

void VpcdLink::close()
{
    if (m_socket >= 0) {
        ::close(m_socket);
    }
    m_socket = -1;
}

VpcdLink::Received VpcdLink::receive(std::vector<std::uint8_t>& message, int timeoutMs)
{
    if (m_socket < 0) {
        return Received::Closed;
    }
    pollfd waiting { m_socket, POLLIN, 0 };
    const int ready = ::poll(&waiting, 1, timeoutMs);
    if (ready == 0 || (ready < 0 && errno == EINTR)) {
        return Received::Nothing;
    }
    std::array<std::uint8_t, 2> length {};
    if (ready < 0 || !readFully(m_socket, length.data(), length.size())) {
        close();
        return Received::Closed;
    }
    message.resize(std::size_t { length[0] } << 8 | length[1]);
    if (!readFully(m_socket, message.data(), message.size())) {
        close();
        return Received::Closed;
    }
    return Received::Message;
}

bool VpcdLink::send(std::span<const std::uint8_t> payload)
{
    if (m_socket < 0 || payload.size() > 0xFFFF) {
        return false;
    }
    const std::array<std::uint8_t, 2> length { static_cast<std::uint8_t>(payload.size() >> 8),
        static_cast<std::uint8_t>(payload.size() & 0xFF) };
    if (!writeFully(m_socket, length.data(), length.size()) || !writeFully(m_socket, payload.data(), payload.size())) {
        close();
        return false;
    }
    return true;
}

} // namespace kelm

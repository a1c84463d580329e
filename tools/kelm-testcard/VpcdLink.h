#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace kelm {

// The TCP link to the virtual reader vpcd, the pcscd driver of vsmartcard: the card connects to the
// port vpcd listens on, and every message either way is a 2-byte big-endian length and the payload.
// vpcd's one-byte messages are control bytes (power off, power on, reset, ask for the ATR); longer ones
// are command APDUs. A card that closes the link is a card taken off the reader.
class VpcdLink
{
public:
    enum class Control : std::uint8_t { PowerOff = 0, PowerOn = 1, Reset = 2, GetAtr = 4 };
    enum class Received : std::uint8_t { Message, Nothing, Closed };

    VpcdLink() = default;
    ~VpcdLink();
    VpcdLink(const VpcdLink&) = delete;
    VpcdLink& operator=(const VpcdLink&) = delete;

    // One attempt; false while vpcd does not listen yet.
    bool connect(const std::string& host, std::uint16_t port);
    void close();
    bool isConnected() const { return m_socket >= 0; }

    // Waits at most timeoutMs for one whole message.
    Received receive(std::vector<std::uint8_t>& message, int timeoutMs);
    bool send(std::span<const std::uint8_t> payload);

private:
    int m_socket = -1;
};

} // namespace kelm

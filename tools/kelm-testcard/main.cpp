// kelm-testcard: a MIFARE Classic 1K card behind an ACR122U-class reader for the virtual reader vpcd,
// so the PC/SC reader library can be tested without hardware. The card lying on the reader is the one
// the card folder's reader record names; taking it off (kelm-admin, a test) disconnects from vpcd, which
// pcscd sees as the card being removed.
#include "TestCard.h"
#include "VpcdLink.h"

#include "card/CardFolder.h"

#include <QString>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>

namespace {

volatile std::sig_atomic_t g_stop = 0;

void requestStop(int)
{
    g_stop = 1;
}

void pause(std::chrono::milliseconds duration)
{
    std::this_thread::sleep_for(duration);
}

std::string hex(std::span<const std::uint8_t> bytes)
{
    std::string text;
    for (std::uint8_t byte : bytes) {
        char digits[4];
        std::snprintf(digits, sizeof digits, "%02X ", byte);
        text += digits;
    }
    if (!text.empty()) {
        text.pop_back();
    }
    return text;
}

int usage()
{
    std::fputs("usage: kelm-testcard --folder CARDS_FOLDER [--host HOST] [--port PORT] [--verbose]\n"
               "Acts as the card lying on the folder's reader, for vpcd (default localhost:35963).\n",
        stderr);
    return 2;
}

} // namespace

int main(int argc, char** argv)
{
    QString folderPath;
    std::string host = "localhost";
    long port = 35963;
    bool verbose = false;
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        const bool hasValue = i + 1 < argc;
        if (argument == "--folder" && hasValue) {
            folderPath = QString::fromLocal8Bit(argv[++i]);
        } else if (argument == "--host" && hasValue) {
            host = argv[++i];
        } else if (argument == "--port" && hasValue) {
            port = std::strtol(argv[++i], nullptr, 10);
        } else if (argument == "--verbose") {
            verbose = true;
        } else {
            return usage();
        }
    }
    if (folderPath.isEmpty() || port <= 0 || port > 0xFFFF) {
        return usage();
    }

    struct sigaction stop
    {
    };
    stop.sa_handler = requestStop;
    sigaction(SIGTERM, &stop, nullptr);
    sigaction(SIGINT, &stop, nullptr);

    kelm::CardFolder folder(folderPath);
    QString error;
    if (!folder.create(&error)) {
        std::fprintf(stderr, "kelm-testcard: %s\n", qPrintable(error));
        return 1;
    }
    kelm::TestCard card(folderPath);
    kelm::VpcdLink link;
    std::vector<std::uint8_t> message;

    while (!g_stop) {
        const std::optional<kelm::CardFolder::Placement> placed = folder.onReader();
        if (!placed) {
            pause(std::chrono::milliseconds(50));
            continue;
        }
        if (!link.connect(host, static_cast<std::uint16_t>(port))) {
            // vpcd listens only once pcscd has loaded it.
            pause(std::chrono::milliseconds(100));
            continue;
        }
        card.lay(placed->serial);
        std::fprintf(
            stderr, "kelm-testcard: card %s on the reader\n", qPrintable(kelm::CardFolder::serialText(placed->serial)));

        while (!g_stop) {
            const std::optional<kelm::CardFolder::Placement> now = folder.onReader();
            if (!now || now->number != placed->number) {
                std::fputs("kelm-testcard: card taken off the reader\n", stderr);
                break;
            }
            const kelm::VpcdLink::Received received = link.receive(message, 50);
            if (received == kelm::VpcdLink::Received::Nothing) {
                continue;
            }
            if (received == kelm::VpcdLink::Received::Closed) {
                std::fputs("kelm-testcard: vpcd closed the connection\n", stderr);
                break;
            }
            if (message.size() == 1) {
                switch (static_cast<kelm::VpcdLink::Control>(message[0])) {
                case kelm::VpcdLink::Control::PowerOff:
                    card.powerOff();
                    break;
                case kelm::VpcdLink::Control::PowerOn:
                    card.powerOn();
                    break;
                case kelm::VpcdLink::Control::Reset:
                    card.reset();
                    break;
                case kelm::VpcdLink::Control::GetAtr:
                    link.send(kelm::TestCard::atr());
                    break;
                }
                if (verbose && message[0] != static_cast<std::uint8_t>(kelm::VpcdLink::Control::GetAtr)) {
                    std::fprintf(stderr, "kelm-testcard: control %u\n", unsigned { message[0] });
                }
                continue;
            }
            const std::vector<std::uint8_t> answer = card.answer(message);
            if (verbose) {
                std::fprintf(stderr, "kelm-testcard: %s -> %s\n", hex(message).c_str(), hex(answer).c_str());
            }
            link.send(answer);
        }
        link.close();
        // Off the reader long enough for pcscd's polling to see the slot empty before a card comes back.
        for (int i = 0; i < 5 && !g_stop; ++i) {
            pause(std::chrono::milliseconds(100));
        }
    }
    link.close();
    return 0;
}

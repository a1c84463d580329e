// kelm-testcard: a MIFARE Classic 1K card behind an ACS contactless reader for the virtual reader vpcd,
// so the PC/SC reader library can be tested without hardware. The card lying on the reader is the one
// the card folder's reader record names; taking it off (kelm-admin, a test) disconnects from vpcd, which
// pcscd sees as the card being removed. --reader and --card make it another reader or another card.
//
// With --hold it is instead another program on the till that holds a reader: connected exclusively, or
// inside a transaction, until it is stopped or the given seconds are over.
#include "TestCard.h"
#include "VpcdLink.h"

#include "card/CardFolder.h"

#include <QString>

#include <winscard.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>
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
    std::fputs("usage: kelm-testcard --folder CARDS_FOLDER [--host HOST] [--port PORT] [--reader acr122u|acr1281u]\n"
               "                     [--card classic1k|classic4k|contact] [--verbose]\n"
               "       kelm-testcard --hold READER_NAME_START --exclusive|--transaction [--seconds N]\n"
               "Acts as the card lying on the folder's reader, for vpcd (default localhost:35963); a contact card\n"
               "needs no folder and is always there. --hold keeps a PC/SC reader from other programs and prints\n"
               "\"holding\" once it does.\n",
        stderr);
    return 2;
}

// Holds the first reader whose name starts with prefix until stopped or for the given seconds; the card
// must be on it. 0 when it held it.
int holdReader(const std::string& prefix, bool exclusive, long seconds)
{
    SCARDCONTEXT context = 0;
    if (SCardEstablishContext(SCARD_SCOPE_SYSTEM, nullptr, nullptr, &context) != SCARD_S_SUCCESS) {
        std::fputs("kelm-testcard: no PC/SC service\n", stderr);
        return 1;
    }
    DWORD length = 0;
    std::string names;
    if (SCardListReaders(context, nullptr, nullptr, &length) == SCARD_S_SUCCESS) {
        names.resize(length);
        SCardListReaders(context, nullptr, names.data(), &length);
    }
    std::string reader;
    for (const char* name = names.c_str(); *name != '\0' && reader.empty(); name += std::strlen(name) + 1) {
        if (std::string_view(name).starts_with(prefix)) {
            reader = name;
        }
    }
    SCARDHANDLE card = 0;
    DWORD protocol = 0;
    LONG rc = SCardConnect(context, reader.c_str(), exclusive ? SCARD_SHARE_EXCLUSIVE : SCARD_SHARE_SHARED,
        SCARD_PROTOCOL_T0 | SCARD_PROTOCOL_T1, &card, &protocol);
    if (rc == SCARD_S_SUCCESS && !exclusive) {
        rc = SCardBeginTransaction(card);
    }
    if (rc != SCARD_S_SUCCESS) {
        std::fprintf(stderr, "kelm-testcard: cannot hold \"%s\": %s\n", prefix.c_str(), pcsc_stringify_error(rc));
        SCardReleaseContext(context);
        return 1;
    }
    std::printf("holding %s\n", reader.c_str());
    std::fflush(stdout);
    for (long tenths = 0; tenths < seconds * 10 && !g_stop; ++tenths) {
        pause(std::chrono::milliseconds(100));
    }
    if (!exclusive) {
        SCardEndTransaction(card, SCARD_LEAVE_CARD);
    }
    SCardDisconnect(card, SCARD_LEAVE_CARD);
    SCardReleaseContext(context);
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    using kelm::TestCard;
    QString folderPath;
    std::string host = "localhost";
    long port = 35963;
    bool verbose = false;
    TestCard::Reader reader = TestCard::Reader::Acr122u;
    TestCard::Kind kind = TestCard::Kind::Classic1k;
    std::string held;
    std::optional<bool> exclusive;
    long seconds = 60;
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        const bool hasValue = i + 1 < argc;
        const std::string value = hasValue ? argv[i + 1] : std::string();
        if (argument == "--folder" && hasValue) {
            folderPath = QString::fromLocal8Bit(argv[++i]);
        } else if (argument == "--host" && hasValue) {
            host = argv[++i];
        } else if (argument == "--port" && hasValue) {
            port = std::strtol(argv[++i], nullptr, 10);
        } else if (argument == "--reader" && (value == "acr122u" || value == "acr1281u")) {
            reader = value == "acr122u" ? TestCard::Reader::Acr122u : TestCard::Reader::Acr1281u;
            ++i;
        } else if (argument == "--card" && (value == "classic1k" || value == "classic4k" || value == "contact")) {
            kind = value == "classic1k" ? TestCard::Kind::Classic1k
                : value == "classic4k"  ? TestCard::Kind::Classic4k
                                        : TestCard::Kind::Contact;
            ++i;
        } else if (argument == "--hold" && hasValue) {
            held = argv[++i];
        } else if (argument == "--exclusive" || argument == "--transaction") {
            exclusive = argument == "--exclusive";
        } else if (argument == "--seconds" && hasValue) {
            seconds = std::strtol(argv[++i], nullptr, 10);
        } else if (argument == "--verbose") {
            verbose = true;
        } else {
            return usage();
        }
    }

    struct sigaction stop
    {
    };
    stop.sa_handler = requestStop;
    sigaction(SIGTERM, &stop, nullptr);
    sigaction(SIGINT, &stop, nullptr);

    if (!held.empty()) {
        return exclusive && seconds > 0 ? holdReader(held, *exclusive, seconds) : usage();
    }
    const bool alwaysThere = kind == TestCard::Kind::Contact;
    if ((folderPath.isEmpty() && !alwaysThere) || port <= 0 || port > 0xFFFF) {
        return usage();
    }
    kelm::CardFolder folder(folderPath);
    QString error;
    if (!alwaysThere && !folder.create(&error)) {
        std::fprintf(stderr, "kelm-testcard: %s\n", qPrintable(error));
        return 1;
    }
    TestCard card(folderPath, reader, kind);
    kelm::VpcdLink link;
    std::vector<std::uint8_t> message;
    const auto lying = [&]() -> std::optional<kelm::CardFolder::Placement> {
        return alwaysThere ? std::optional(kelm::CardFolder::Placement {}) : folder.onReader();
    };

    while (!g_stop) {
        const std::optional<kelm::CardFolder::Placement> placed = lying();
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
            const std::optional<kelm::CardFolder::Placement> now = lying();
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
                    link.send(card.atr());
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

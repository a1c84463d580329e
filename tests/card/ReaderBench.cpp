#include "ReaderBench.h"

#include "card/ReaderLibraries.h"
#include "common/Settings.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QThread>

#include <winscard.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

// pcscd polls vpcd's slot about every 0.4 s; a card comes and goes well within this.
constexpr int readerSeesItWithinMs = 10000;

std::vector<std::string> pcscReaders(SCARDCONTEXT context)
{
    DWORD length = 0;
    if (SCardListReaders(context, nullptr, nullptr, &length) != SCARD_S_SUCCESS) {
        return {};
    }
    std::vector<char> names(length);
    if (SCardListReaders(context, nullptr, names.data(), &length) != SCARD_S_SUCCESS) {
        return {};
    }
    std::vector<std::string> readers;
    for (const char* name = names.data(); *name != '\0'; name += std::strlen(name) + 1) {
        readers.emplace_back(name);
    }
    return readers;
}

// The full name of the test card's reader, or empty.
std::string testCardReader(SCARDCONTEXT context)
{
    const std::string prefix = ReaderBench::pcscReaderName().toStdString();
    for (const std::string& name : pcscReaders(context)) {
        if (name.starts_with(prefix)) {
            return name;
        }
    }
    return {};
}

} // namespace

ReaderBench::ReaderBench()
{
    if (onPcsc()) {
        m_folder.emplace(qEnvironmentVariable("KELM_TESTCARD_FOLDER"));
    } else {
        m_ownFolder.emplace();
        m_folder.emplace(m_ownFolder->path());
    }
    m_folder->create();
}

ReaderBench::~ReaderBench()
{
    // The next test starts with the reader empty.
    if (onPcsc()) {
        takeOff();
    }
}

ReaderBench::Kind ReaderBench::kind()
{
    return qEnvironmentVariable("KELM_TEST_READER") == u"pcsc" ? Kind::Pcsc : Kind::Simulated;
}

QString ReaderBench::pcscReaderName()
{
    const QString name = qEnvironmentVariable("KELM_PCSC_READER");
    return name.isEmpty() ? QStringLiteral("Virtual PCD") : name;
}

QString ReaderBench::unavailable()
{
    if (!onPcsc()) {
        return {};
    }
    if (qEnvironmentVariable("KELM_PCSC_TESTS") != u"1" || qEnvironmentVariable("KELM_TESTCARD_FOLDER").isEmpty()) {
        return QStringLiteral("the PC/SC tests need pcscd, vpcd and kelm-testcard: run bash scripts/pcsc-tests.sh "
                              "BUILD_FOLDER");
    }
    SCARDCONTEXT context = 0;
    const LONG rc = SCardEstablishContext(SCARD_SCOPE_SYSTEM, nullptr, nullptr, &context);
    if (rc != SCARD_S_SUCCESS) {
        return QStringLiteral("pcscd does not answer: ") + QString::fromLatin1(pcsc_stringify_error(rc));
    }
    const bool found = !testCardReader(context).empty();
    SCardReleaseContext(context);
    if (!found) {
        return QStringLiteral("pcscd has no reader named %1…: is vpcd configured?").arg(pcscReaderName());
    }
    return {};
}

QString ReaderBench::configLines() const
{
    if (onPcsc()) {
        return QStringLiteral("读卡器=pcsc\n读卡器名称=%1\n").arg(pcscReaderName());
    }
    return QStringLiteral("读卡器=simulated\n卡片目录=%1\n").arg(m_folder->path());
}

std::unique_ptr<kelm::ReaderLibrary> ReaderBench::readerFromConfig() const
{
    QTemporaryDir dir;
    QFile config(kelm::Settings::pathIn(dir.path()));
    config.open(QIODevice::WriteOnly);
    config.write((QStringLiteral("[config]\n数据库名称=kelm.db\n") + configLines()).toUtf8());
    config.close();
    return kelm::createReaderLibrary(kelm::Settings::load(config.fileName()));
}

std::uint32_t ReaderBench::layNewCard()
{
    const std::uint32_t serial = *m_folder->newCard();
    lay(serial);
    return serial;
}

bool ReaderBench::lay(std::uint32_t serial)
{
    // Taken off first, so the reader cannot mistake the card it still sees for the new one.
    if (!takeOff() || !m_folder->place(serial)) {
        return false;
    }
    return waitForReader(true);
}

bool ReaderBench::takeOff()
{
    return m_folder->remove() && waitForReader(false);
}

bool ReaderBench::waitForReader(bool cardPresent) const
{
    if (!onPcsc()) {
        return true;
    }
    SCARDCONTEXT context = 0;
    if (SCardEstablishContext(SCARD_SCOPE_SYSTEM, nullptr, nullptr, &context) != SCARD_S_SUCCESS) {
        return false;
    }
    const std::string reader = testCardReader(context);
    SCARD_READERSTATE state {};
    state.szReader = reader.c_str();
    state.dwCurrentState = SCARD_STATE_UNAWARE;
    QElapsedTimer clock;
    clock.start();
    bool seen = false;
    while (!reader.empty() && clock.elapsed() < readerSeesItWithinMs) {
        const LONG rc = SCardGetStatusChange(context, 200, &state, 1);
        if (rc != SCARD_S_SUCCESS && rc != SCARD_E_TIMEOUT) {
            break;
        }
        state.dwCurrentState = state.dwEventState & ~SCARD_STATE_CHANGED;
        seen = cardPresent ? (state.dwEventState & SCARD_STATE_PRESENT) != 0
                           : (state.dwEventState & SCARD_STATE_EMPTY) != 0;
        if (seen) {
            break;
        }
    }
    SCardReleaseContext(context);
    return seen;
}

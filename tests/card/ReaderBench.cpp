#include "ReaderBench.h"

#include "card/ReaderLibraries.h"
#include "common/Settings.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QThread>

#include <winscard.h>

#include <signal.h>

#include <algorithm>
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

// The full names of the readers the folder's card lies on; empty when one is missing.
std::vector<std::string> folderReaders(SCARDCONTEXT context)
{
    const std::vector<std::string> all = pcscReaders(context);
    std::vector<std::string> found;
    for (const QString& reader :
        { ReaderBench::pcscReaderName(), ReaderBench::Acr1281uReader, ReaderBench::Classic4kReader }) {
        const std::string prefix = reader.toStdString();
        const auto name = std::find_if(
            all.begin(), all.end(), [&prefix](const std::string& name) { return name.starts_with(prefix); });
        if (name == all.end()) {
            return {};
        }
        found.push_back(*name);
    }
    return found;
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
    const bool found = !folderReaders(context).empty();
    SCardReleaseContext(context);
    if (!found) {
        return QStringLiteral("pcscd lacks a reader of scripts/pcsc-tests.sh: is vpcd configured?");
    }
    return {};
}

QString ReaderBench::configLines(const QString& readerName, const QString& keySlot) const
{
    if (onPcsc()) {
        return QStringLiteral("读卡器=pcsc\n读卡器名称=%1\n读卡器密钥槽=%2\n")
            .arg(readerName.isEmpty() ? pcscReaderName() : readerName, keySlot);
    }
    return QStringLiteral("读卡器=simulated\n卡片目录=%1\n").arg(m_folder->path());
}

std::unique_ptr<kelm::ReaderLibrary> ReaderBench::readerFromConfig(
    const QString& readerName, const QString& keySlot) const
{
    QTemporaryDir dir;
    QFile config(kelm::Settings::pathIn(dir.path()));
    config.open(QIODevice::WriteOnly);
    config.write((QStringLiteral("[config]\n数据库名称=kelm.db\n") + configLines(readerName, keySlot)).toUtf8());
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

std::unique_ptr<QProcess> ReaderBench::holdReader(bool exclusive)
{
    auto holder = std::make_unique<QProcess>();
    holder->start(qEnvironmentVariable("KELM_TESTCARD"),
        { QStringLiteral("--hold"), pcscReaderName(),
            exclusive ? QStringLiteral("--exclusive") : QStringLiteral("--transaction") });
    while (holder->waitForReadyRead(readerSeesItWithinMs) && !holder->canReadLine()) { }
    if (!holder->readLine().startsWith("holding")) {
        return nullptr;
    }
    return holder;
}

bool ReaderBench::restartService(bool replugged)
{
    const QString work = qEnvironmentVariable("KELM_PCSC_WORK");
    QFile flag(work + QStringLiteral("/replugged"));
    if (replugged ? !flag.open(QIODevice::WriteOnly) : flag.exists() && !flag.remove()) {
        return false;
    }
    flag.close();
    QFile pidFile(work + QStringLiteral("/pcscd.pid"));
    if (!pidFile.open(QIODevice::ReadOnly)) {
        return false;
    }
    const QByteArray pid = pidFile.readAll().trimmed();
    if (::kill(static_cast<pid_t>(pid.toLong()), SIGTERM) != 0) {
        return false;
    }
    // scripts/pcsc-tests.sh starts it again at once; the cards come back once vpcd listens.
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < readerSeesItWithinMs) {
        pidFile.seek(0);
        if (pidFile.readAll().trimmed() != pid && waitForReader(true)) {
            return true;
        }
        QThread::msleep(100);
    }
    return false;
}

// Until every reader of the folder's card sees it, or sees its slot empty.
bool ReaderBench::waitForReader(bool cardPresent)
{
    if (!onPcsc()) {
        return true;
    }
    SCARDCONTEXT context = 0;
    if (SCardEstablishContext(SCARD_SCOPE_SYSTEM, nullptr, nullptr, &context) != SCARD_S_SUCCESS) {
        return false;
    }
    const std::vector<std::string> readers = folderReaders(context);
    std::vector<SCARD_READERSTATE> states(readers.size());
    for (std::size_t i = 0; i < readers.size(); ++i) {
        states[i].szReader = readers[i].c_str();
        states[i].dwCurrentState = SCARD_STATE_UNAWARE;
    }
    const DWORD wanted = cardPresent ? SCARD_STATE_PRESENT : SCARD_STATE_EMPTY;
    QElapsedTimer clock;
    clock.start();
    bool seen = false;
    while (!readers.empty() && !seen && clock.elapsed() < readerSeesItWithinMs) {
        const LONG rc = SCardGetStatusChange(context, 200, states.data(), static_cast<DWORD>(states.size()));
        if (rc != SCARD_S_SUCCESS && rc != SCARD_E_TIMEOUT) {
            break;
        }
        seen = true;
        for (SCARD_READERSTATE& state : states) {
            state.dwCurrentState = state.dwEventState & ~SCARD_STATE_CHANGED;
            seen = seen && (state.dwEventState & wanted) != 0;
        }
    }
    SCardReleaseContext(context);
    return seen;
}

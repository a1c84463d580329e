#pragma once

#include "common/AuditTrail.h"
#include "common/MessageBoxService.h"
#include "common/PinTries.h"
#include "common/Settings.h"
#include "common/SharedConnection.h"

#include <QDate>
#include <QStringList>

#include <cstdint>
#include <functional>
#include <memory>

namespace kelm {

class ReaderLibrary;

// The state all screens share, one copy for the library: the database connection, the reader
// handle, the operator's name and what the password dialog does after a correct password.
class Module1
{
public:
    using ReaderFactory = std::function<std::unique_ptr<ReaderLibrary>(const Settings&)>;

    struct Seams
    {
        QString configPath;                   // config.ini to read at every top-level load
        MessageBoxService* messages = nullptr; // the message boxes; not owned
        ReaderLibrary* reader = nullptr;      // a fixed reader library (tests); null: from config.ini
        ReaderFactory readers;                // makes the reader library config.ini names
        SharedConnection::Factory databases;  // empty: the engines' own backends
    };

    explicit Module1(Seams seams);
    ~Module1();

    SharedConnection& sharedConnection() { return m_connection; }
    Database& database() { return m_connection.database(); }
    MessageBoxService& messages() { return *m_seams.messages; }
    ReaderLibrary& reader();

    // Reads config.ini as a top-level screen's load does: sets operatorName and picks the reader
    // library the settings name.
    Settings loadSettings();

    // What a top-level load must tell the cashier about how this till keeps and reaches its data:
    // a database password others on the machine can read (once), a server reached in clear (once a
    // day). Each text is returned only when it is due.
    QStringList exposureWarnings(const Settings& settings, const ConnectionSettings& connection);

    // Opens the reader port before a card sequence when it is closed.
    void openReaderIfClosed();
    // The close steps of the screens that use the reader: reset, exit, handle back to -1. Results
    // are not looked at, so closing never fails because of the reader.
    void closeReader();

    AuditTrail& audit() { return m_audit; }
    PinTries& pinTries() { return m_pinTries; }

    std::int32_t readerHandle = -1;
    QString operatorName;
    std::int16_t verifyTarget = 0;
    // From config.ini at the last top-level load.
    bool negativeTopUpsAllowed = true;

    const QString& configPath() const { return m_seams.configPath; }

private:
    Seams m_seams;
    SharedConnection m_connection;
    AuditTrail m_audit;
    PinTries m_pinTries;
    std::unique_ptr<ReaderLibrary> m_ownReader;
    QString m_ownReaderKey;
    bool m_readablePasswordTold = false;
    QDate m_clearLineToldOn;
};

} // namespace kelm

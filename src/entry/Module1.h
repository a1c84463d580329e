#pragma once

#include "card/CardSequences.h"
#include "card/ReaderPort.h"
#include "common/AuditTrail.h"
#include "common/MessageBoxService.h"
#include "common/PinTries.h"
#include "common/Settings.h"
#include "common/SharedConnection.h"

#include <QDate>
#include <QStringList>

#include <functional>
#include <memory>

namespace kelm {

class ReaderLibrary;

// What the screens share, one copy for the library: the database connection, the reader port, the
// message boxes, and what config.ini said at the last top-level screen's load.
class Module1
{
public:
    using ReaderFactory = std::function<std::unique_ptr<ReaderLibrary>(const Settings&)>;

    struct Seams
    {
        QString configPath;                   // config.ini to read at every top-level load; empty:
                                              // looked for at every load (Settings::locate)
        MessageBoxService* messages = nullptr; // the message boxes; not owned
        ReaderLibrary* reader = nullptr;      // a fixed reader library (tests); null: from config.ini
        ReaderFactory readers;                // makes the reader library config.ini names
        SharedConnection::Factory databases;  // empty: the engines' own backends
    };

    explicit Module1(Seams seams);
    ~Module1();
    Module1(const Module1&) = delete;
    Module1& operator=(const Module1&) = delete;

    SharedConnection& sharedConnection() { return m_connection; }
    Database& database() { return m_connection.database(); }
    MessageBoxService& messages() { return *m_seams.messages; }
    ReaderPort& readerPort() { return m_readerPort; }
    // The card key's 标识 from table bz, for the card sequences of every screen.
    CardSequences::CardKeyIdentifier cardKeyIdentifier();
    // What a top-level load must tell the cashier about how this till keeps and reaches its data:
    // a database password others on the machine can read (once), a server reached in clear (once a
    // day). Each text is returned only when it is due.
    QStringList exposureWarnings(const Settings& settings, const ConnectionSettings& connection);
    AuditTrail& audit() { return m_audit; }
    PinTries& pinTries() { return m_pinTries; }

    // Reads config.ini as a top-level screen's load does: the operator, this till's rules, and the
    // reader library the settings name.
    Settings loadSettings();
    // The operator working at this till, untrimmed, recorded with top-ups and redemptions.
    const QString& operatorName() const { return m_operatorName; }
    bool negativeTopUpsAllowed() const { return m_negativeTopUpsAllowed; }

private:
    ReaderLibrary& reader();

    Seams m_seams;
    SharedConnection m_connection;
    ReaderPort m_readerPort;
    std::unique_ptr<ReaderLibrary> m_ownReader;
    QString m_ownReaderKey;
    AuditTrail m_audit;
    PinTries m_pinTries;
    QString m_operatorName;
    bool m_negativeTopUpsAllowed = true;
    bool m_readablePasswordTold = false;
    QDate m_clearLineToldOn;
};

} // namespace kelm

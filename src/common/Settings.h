#pragma once

#include "common/Database.h"

#include <QString>
#include <QStringList>

#include <span>

namespace kelm {

class ProfileReader;

// What a top-level screen reads from config.ini at every load.
struct Settings
{
    // Section "config": the database login, exactly as read (at most 29 bytes each).
    QString server;
    QString user;
    QString password;
    QString database;
    // Section "dqcz": the operator working at this till, untrimmed.
    QString operatorName;

    // Section "config", optional: the database engine ("sqlite", "postgresql", "sqlserver", or
    // "odbc-postgresql" for PostgreSQL through its ODBC driver); empty means sqlserver when a server is
    // named, otherwise sqlite.
    QString driver;
    // Section "config", optional: the ODBC driver's name in odbcinst.ini for sqlserver (default
    // FreeTDS) and odbc-postgresql (default "PostgreSQL Unicode").
    QString odbcDriver;
    // Section "config", optional: the card reader library ("simulated", the default, or "pcsc"),
    // the reader's name and volatile key slot (two hexadecimal digits) for pcsc, and the folder of the
    // simulated cards (default: cards/ beside the library).
    QString readerLibrary;
    QString readerName;
    QString readerKeySlot;
    QString cardsFolder;
    // Section "config", optional: whole seconds the till waits for the server to take the
    // connection (连接超时) and to answer a statement (执行超时), both 10 when empty; FreeTDS's
    // protocol version for sqlserver (TDS版本, default 7.1).
    QString connectTimeout;
    QString statementTimeout;
    QString tdsVersion;

    // Section "config", optional: this till's name in the audit (default: the machine's host name), and
    // whether a top-up may be negative ("是"/"否"; a config.ini without the key allows it, as the
    // shop's tills always did).
    QString tillName;
    QString negativeTopUps;
    // Section "config", optional: what the line to a server must be (加密: disable, require or
    // verify-full; empty leaves it to the driver) and the CA certificates a PostgreSQL server's
    // certificate must chain to (CA证书, a file; relative to config.ini's folder).
    QString encryption;
    QString caFile;

    // The file read (empty when read from bytes) and its folder; relative paths in it are taken from
    // the folder.
    QString file;
    QString folder;

    static QString pathIn(const QString& folder) { return folder + QStringLiteral("/config.ini"); }
    // The config.ini files a till may use, in the order they are looked for: only $KELM_CONFIG when it
    // is set (a till told where its file is never quietly takes another one); otherwise config.ini in
    // the library's folder, where tills have always kept it, then systemFile, the installed package's.
    static QStringList candidates(const QString& libraryFolder,
                                  const QString& systemFile = QStringLiteral("/etc/kelm/config.ini"));
    // The first candidate that exists. Throws kelm::Error naming every path looked at when none
    // does, and naming the file when it exists but this account may not read it.
    static QString locate(const QString& libraryFolder,
                          const QString& systemFile = QStringLiteral("/etc/kelm/config.ini"));
    static Settings load(const QString& configPath);
    // The settings a config.ini of this content in this folder gives.
    static Settings read(const ProfileReader& profile, const QString& folder);

    // Every key of config.ini, in the order a new config.ini lists them, with the bytes a value keeps.
    struct Key
    {
        const char16_t* section;
        const char16_t* name;
        int maxBytes;
        QString Settings::*field;
    };
    static std::span<const Key> keys();

    // The login as the original OLE DB connection string, with nothing escaped:
    // provider=sqloledb;server=…;user id=…;password=…;database=…
    QString connectionString() const;

    // The engine and login to open; throws kelm::Error for a driver name it does not know, for a
    // waiting time that is no whole number of seconds from 1 to 600, for an encryption it does not
    // know and for a CA file given to FreeTDS, which cannot take one.
    ConnectionSettings connection() const;
    QString cardsPath() const;
    QString till() const;
    bool allowsNegativeTopUps() const;
};

} // namespace kelm

#pragma once

#include "common/Database.h"

#include <memory>
#include <set>

namespace kelm {

// The one database connection every screen uses. Each top-level screen opens it at its load and
// closes it when it closes; the connection stays open while any screen that opened it still needs
// it, so closing the member screen does not pull the connection from under an open points screen.
class SharedConnection
{
public:
    using Factory = std::function<std::unique_ptr<Database>(Engine)>;

    SharedConnection();
    explicit SharedConnection(Factory factory);

    // Opens the connection for holder (a screen). A connection already open with the same
    // settings is kept; other settings reopen it. Throws DatabaseError when it cannot be opened.
    void open(const ConnectionSettings& settings, const void* holder);
    // The holder no longer needs the connection; the last one closes it.
    void close(const void* holder);
    bool isOpen() const { return m_database && m_database->isOpen(); }

    // The open database; throws when the connection is closed. A reader still reading on the line
    // is told to finish first.
    Database& database();
    // A list that reads its rows a slice at a time holds the line meanwhile; finish reads the rest
    // (or gives the query up) when anyone else needs the line. It is called once, then forgotten.
    void readInBackground(std::function<void()> finish);
    void finishReading();

    static std::unique_ptr<Database> createDatabase(Engine engine);

private:
    Factory m_factory;
    std::unique_ptr<Database> m_database;
    ConnectionSettings m_settings;
    std::set<const void*> m_holders;
    std::function<void()> m_backgroundReader;
};

} // namespace kelm

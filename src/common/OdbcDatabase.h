#pragma once

#include "common/Database.h"

#include <memory>

namespace kelm {

// A server through an ODBC driver manager (unixODBC): SQL Server with FreeTDS, or PostgreSQL with
// its own ODBC driver. Values are bound as wide text and the server converts them to the column's
// type, as it always did with the quoted values the tills once sent.
class OdbcDatabase : public Database
{
public:
    OdbcDatabase();
    ~OdbcDatabase() override;
    OdbcDatabase(const OdbcDatabase&) = delete;
    OdbcDatabase& operator=(const OdbcDatabase&) = delete;

    void open(const ConnectionSettings& settings) override;
    void close() override;
    bool isOpen() const override;

    void query(std::string_view sql, std::span<const SqlParam> params, const RowHandler& onRow) override;
    qint64 execute(std::string_view sql, std::span<const SqlParam> params) override;
    std::unique_ptr<Cursor> openCursor(std::string_view sql, std::span<const SqlParam> params) override;

    // The ODBC connection string open() hands the driver (the password included).
    static QString connectionString(const ConnectionSettings& settings);

protected:
    void beginTransaction() override;
    void commitTransaction() override;
    void rollbackTransaction() override;

private:
    class Statement;
    class RowCursor;
    class Watchdog;
    void endTransaction(short completion);
    // Throws the failure a handle's diagnostics describe, in the cashier's words when the server did
    // not answer in time.
    [[noreturn]] void fail(short type, void* handle, const std::string& what, std::string_view sql) const;
    // Runs a step of a command; a server that did not answer in time ends it with NoAnswerError,
    // and a connection the watchdog had to cut is closed for the next command to open anew.
    template<typename Step>
    auto guarded(Step step) -> decltype(step());

    void* m_environment = nullptr;
    void* m_connection = nullptr;
    Engine m_engine = Engine::SqlServer;
    QString m_server; // as messages name it
    int m_statementTimeout = 10;
    std::unique_ptr<Watchdog> m_watchdog;
    mutable bool m_lineLost = false; // a failure's diagnostics said the line is broken
    // Counts the connections opened and closed: a statement made on a connection that has closed
    // since was freed with it.
    quint64 m_lineNumber = 0;
};

} // namespace kelm

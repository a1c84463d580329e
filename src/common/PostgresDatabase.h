#pragma once

#include "common/Database.h"

#include <chrono>

typedef struct pg_conn PGconn;
typedef struct pg_result PGresult;

namespace kelm {

// A PostgreSQL server through libpq. Values travel as untyped parameters, so the server gives each
// the type of the column it meets: a balance sent as the text "150.5" lands in a numeric column.
class PostgresDatabase : public Database
{
public:
    PostgresDatabase() = default;
    ~PostgresDatabase() override;
    PostgresDatabase(const PostgresDatabase&) = delete;
    PostgresDatabase& operator=(const PostgresDatabase&) = delete;

    void open(const ConnectionSettings& settings) override;
    void close() override;
    bool isOpen() const override;

    void query(std::string_view sql, std::span<const SqlParam> params, const RowHandler& onRow) override;
    qint64 execute(std::string_view sql, std::span<const SqlParam> params) override;
    std::unique_ptr<Cursor> openCursor(std::string_view sql, std::span<const SqlParam> params) override;

protected:
    void beginTransaction() override;
    void commitTransaction() override;
    void rollbackTransaction() override;

private:
    class RowCursor;
    using Clock = std::chrono::steady_clock;
    // Begin: "BEGIN" with the statement timeout for the transaction's statements.
    enum class Send : std::uint8_t { Whole, RowByRow, Begin };
    // Runs a statement and returns the server's command tag ("UPDATE 1", "COMMIT").
    std::string run(std::string_view sql, std::span<const SqlParam> params, qint64* changed,
                    Send how = Send::Whole);
    void send(std::string_view sql, std::span<const SqlParam> params, Send how);
    // The next result of the statement in flight, or null after the last. Every answer from the
    // server (a row, a result) restarts the wait; a server silent for the statement timeout is
    // given up.
    PGresult* nextResult(std::string_view sql);
    // Waits for the socket to become readable (or writable) until the deadline; false when it passed.
    bool waitForSocket(bool writing, Clock::time_point deadline) const;
    [[noreturn]] void giveUp(std::string_view sql);
    [[noreturn]] void fail(const std::string& what, std::string_view sql) const;
    // Throws the error a failed result carries, in the cashier's words when it is a timeout.
    [[noreturn]] void throwResultError(const std::string& what, std::string_view sql, const std::string& message,
                                       const std::string& state) const;

    PGconn* m_connection = nullptr;
    QString m_server; // as messages name it
    int m_statementTimeout = 10;
};

} // namespace kelm

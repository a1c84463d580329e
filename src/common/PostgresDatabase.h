#pragma once

#include "common/Database.h"

typedef struct pg_conn PGconn;

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

protected:
    void beginTransaction() override;
    void commitTransaction() override;
    void rollbackTransaction() override;

private:
    // Runs a statement and returns the server's command tag ("UPDATE 1", "COMMIT").
    std::string run(std::string_view sql, std::span<const SqlParam> params, qint64* changed);
    void send(std::string_view sql, std::span<const SqlParam> params, bool rowByRow);
    [[noreturn]] void fail(const std::string& what, std::string_view sql) const;

    PGconn* m_connection = nullptr;
};

} // namespace kelm

#pragma once

#include "common/Database.h"

namespace kelm {

// A server through an ODBC driver manager (unixODBC): SQL Server with FreeTDS, or PostgreSQL with
// its own ODBC driver. Values are bound as wide text and the server converts them to the column's
// type, as it always did with the quoted values the tills once sent.
class OdbcDatabase : public Database
{
public:
    OdbcDatabase() = default;
    ~OdbcDatabase() override;
    OdbcDatabase(const OdbcDatabase&) = delete;
    OdbcDatabase& operator=(const OdbcDatabase&) = delete;

    void open(const ConnectionSettings& settings) override;
    void close() override;
    bool isOpen() const override;

    void query(std::string_view sql, std::span<const SqlParam> params, const RowHandler& onRow) override;
    qint64 execute(std::string_view sql, std::span<const SqlParam> params) override;

    // The ODBC connection string open() hands the driver (the password included).
    static QString connectionString(const ConnectionSettings& settings);

protected:
    void beginTransaction() override;
    void commitTransaction() override;
    void rollbackTransaction() override;

private:
    class Statement;
    void endTransaction(short completion);

    void* m_environment = nullptr;
    void* m_connection = nullptr;
    Engine m_engine = Engine::SqlServer;
};

} // namespace kelm

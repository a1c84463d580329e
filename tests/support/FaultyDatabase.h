#pragma once

#include "common/Database.h"

#include <QStringList>

#include <functional>
#include <memory>

// What the connections of one fixture are told to do, shared by every connection the screens open.
struct DatabaseFaults
{
    // Every query and statement the screens sent, in order (the SQL text).
    QStringList sent;
    // The connection breaks once this many more queries or statements have gone through, and every
    // later one fails as on a lost connection until mend(). Negative: it never breaks.
    int breaksAfter = -1;
    // Called after each query or statement that went through.
    std::function<void()> afterEach;
    // Non-empty: every connection goes to this server, whatever config.ini names (a till set up
    // for a server elsewhere reaches the test's).
    QString server;

    void breakAfter(int count) { breaksAfter = count; }
    void mend() { breaksAfter = -1; }
    bool broken() const { return breaksAfter == 0; }
};

// A connection that passes everything to the engine's own backend, except while faults say the
// line is broken.
class FaultyDatabase : public kelm::Database
{
public:
    FaultyDatabase(std::unique_ptr<kelm::Database> inner, DatabaseFaults& faults);

    void open(const kelm::ConnectionSettings& settings) override;
    void close() override
    {
        forgetTransaction();
        m_inner->close();
    }
    bool isOpen() const override { return m_inner->isOpen(); }
    void query(std::string_view sql, std::span<const kelm::SqlParam> params, const kelm::RowHandler& onRow) override;
    qint64 execute(std::string_view sql, std::span<const kelm::SqlParam> params) override;
    std::unique_ptr<kelm::Cursor> openCursor(std::string_view sql, std::span<const kelm::SqlParam> params) override;

protected:
    // BEGIN and COMMIT cross the line like any statement; a rollback always reaches the engine, as a
    // server drops the transaction of a session whose line broke.
    void beginTransaction() override;
    void commitTransaction() override;
    void rollbackTransaction() override { m_inner->rollback(); }

private:
    void pass(std::string_view sql);
    void done();

    std::unique_ptr<kelm::Database> m_inner;
    DatabaseFaults& m_faults;
};

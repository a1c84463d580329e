#pragma once

#include "common/Database.h"

#include <QStringList>

#include <memory>

// What the connections of one fixture are told to do, shared by every connection the screens open.
struct DatabaseFaults
{
    // Every query and statement the screens sent, in order (the SQL text).
    QStringList sent;
    // The connection breaks once this many more queries or statements have gone through, and every
    // later one fails as on a lost connection until mend(). Negative: it never breaks.
    int breaksAfter = -1;
    // Non-empty: every connection goes to this server, whatever config.ini names (a till set up
    // for a server elsewhere reaches the test's).
    QString server;

    void breakAfter(int count) { breaksAfter = count; }
    void mend() { breaksAfter = -1; }
};

// A connection that passes everything to the engine's own backend, except while faults say the
// line is broken.
class FaultyDatabase : public kelm::Database
{
public:
    FaultyDatabase(std::unique_ptr<kelm::Database> inner, DatabaseFaults& faults)
        : m_inner(std::move(inner))
        , m_faults(faults)
    {
    }

    void open(const kelm::ConnectionSettings& settings) override
    {
        kelm::ConnectionSettings reached = settings;
        if (!m_faults.server.isEmpty())
            reached.server = m_faults.server;
        m_inner->open(reached);
    }
    void close() override
    {
        forgetTransaction();
        m_inner->close();
    }
    bool isOpen() const override { return m_inner->isOpen(); }
    void query(std::string_view sql, std::span<const kelm::SqlParam> params, const kelm::RowHandler& onRow) override
    {
        pass(sql);
        m_inner->query(sql, params, onRow);
    }
    qint64 execute(std::string_view sql, std::span<const kelm::SqlParam> params) override
    {
        pass(sql);
        return m_inner->execute(sql, params);
    }
    // The rows then come as the engine gives them; a break takes effect at the next statement.
    std::unique_ptr<kelm::Cursor> openCursor(std::string_view sql, std::span<const kelm::SqlParam> params) override
    {
        pass(sql);
        return m_inner->openCursor(sql, params);
    }

protected:
    // BEGIN and COMMIT cross the line like any statement; a rollback always reaches the engine, as a
    // server drops the transaction of a session whose line broke.
    void beginTransaction() override
    {
        pass("BEGIN");
        m_inner->begin();
    }
    void commitTransaction() override
    {
        pass("COMMIT");
        m_inner->commit();
    }
    void rollbackTransaction() override { m_inner->rollback(); }

private:
    void pass(std::string_view sql)
    {
        m_faults.sent << QString::fromUtf8(sql.data(), static_cast<qsizetype>(sql.size()));
        if (m_faults.breaksAfter == 0)
            throw kelm::DatabaseError("数据库连接已断开，无法执行：" + std::string(sql));
        if (m_faults.breaksAfter > 0)
            --m_faults.breaksAfter;
    }

    std::unique_ptr<kelm::Database> m_inner;
    DatabaseFaults& m_faults;
};

#include "FaultyDatabase.h"

using namespace kelm;

FaultyDatabase::FaultyDatabase(std::unique_ptr<Database> inner, DatabaseFaults& faults)
    : m_inner(std::move(inner))
    , m_faults(faults)
{
}

void FaultyDatabase::open(const ConnectionSettings& settings)
{
    ConnectionSettings reached = settings;
    if (!m_faults.server.isEmpty())
        reached.server = m_faults.server;
    m_inner->open(reached);
}

void FaultyDatabase::pass(std::string_view sql)
{
    m_faults.sent << QString::fromUtf8(sql.data(), static_cast<qsizetype>(sql.size()));
    if (m_faults.broken())
        throw DatabaseError("数据库连接已断开，无法执行：" + std::string(sql));
    if (m_faults.breaksAfter > 0)
        --m_faults.breaksAfter;
}

void FaultyDatabase::done()
{
    if (m_faults.afterEach)
        m_faults.afterEach();
}

void FaultyDatabase::query(std::string_view sql, std::span<const SqlParam> params, const RowHandler& onRow)
{
    pass(sql);
    m_inner->query(sql, params, onRow);
    done();
}

qint64 FaultyDatabase::execute(std::string_view sql, std::span<const SqlParam> params)
{
    pass(sql);
    const qint64 changed = m_inner->execute(sql, params);
    done();
    return changed;
}

void FaultyDatabase::beginTransaction()
{
    pass("BEGIN");
    m_inner->begin();
    done();
}

void FaultyDatabase::commitTransaction()
{
    pass("COMMIT");
    m_inner->commit();
    done();
}

std::unique_ptr<Cursor> FaultyDatabase::openCursor(std::string_view sql, std::span<const SqlParam> params)
{
    // The rows then come as the engine gives them; a break takes effect at the next statement.
    pass(sql);
    std::unique_ptr<Cursor> cursor = m_inner->openCursor(sql, params);
    done();
    return cursor;
}

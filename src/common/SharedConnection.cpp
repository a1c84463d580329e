#include "common/SharedConnection.h"

#include "common/OdbcDatabase.h"
#include "common/PostgresDatabase.h"
#include "common/SqliteDatabase.h"

namespace kelm {

namespace {

bool sameSettings(const ConnectionSettings& a, const ConnectionSettings& b)
{
    return a.engine == b.engine && a.server == b.server && a.user == b.user && a.password == b.password
        && a.database == b.database && a.baseFolder == b.baseFolder && a.odbcDriver == b.odbcDriver
        && a.connectTimeout == b.connectTimeout && a.statementTimeout == b.statementTimeout
        && a.tdsVersion == b.tdsVersion;
}

} // namespace

SharedConnection::SharedConnection()
    : SharedConnection(&SharedConnection::createDatabase)
{
}

SharedConnection::SharedConnection(Factory factory)
    : m_factory(std::move(factory))
{
}

std::unique_ptr<Database> SharedConnection::createDatabase(Engine engine)
{
    switch (engine) {
    case Engine::Sqlite:
        return std::make_unique<SqliteDatabase>();
    case Engine::PostgreSql:
        return std::make_unique<PostgresDatabase>();
    case Engine::SqlServer:
    case Engine::PostgreSqlOdbc:
        return std::make_unique<OdbcDatabase>();
    }
    throw DatabaseError("无法打开数据库：未知的数据库驱动。");
}

void SharedConnection::open(const ConnectionSettings& settings, const void* holder)
{
    finishReading();
    const bool sameLine = m_database && sameSettings(settings, m_settings);
    if (sameLine && m_database->isOpen()) {
        m_holders.insert(holder);
        return;
    }
    if (m_database)
        m_database->close();
    // A line the server dropped is opened again for the screens that still hold it.
    if (!sameLine)
        m_holders.clear();
    m_database = m_factory(settings.engine);
    m_database->open(settings);
    m_settings = settings;
    m_holders.insert(holder);
}

void SharedConnection::close(const void* holder)
{
    finishReading();
    m_holders.erase(holder);
    if (m_holders.empty() && m_database)
        m_database->close();
}

void SharedConnection::readInBackground(std::function<void()> finish)
{
    finishReading();
    m_backgroundReader = std::move(finish);
}

void SharedConnection::finishReading()
{
    if (std::function<void()> finish = std::exchange(m_backgroundReader, {}))
        finish();
}

Database& SharedConnection::database()
{
    // A list still reading on the line is read to its end first: the line runs one statement at a time.
    finishReading();
    if (!isOpen()) {
        if (!m_database || m_holders.empty())
            throw DatabaseError("数据库连接已关闭。");
        // A transaction that met the break is gone with its session; the command it belonged to
        // ends, and only the next command gets a new line.
        if (m_database->inTransaction())
            throw DatabaseError("数据库连接在操作中途断开，操作没有完成。");
        // A connection the server dropped while screens still hold it is opened again for the next
        // command, so the till goes on once the server is back; the statement that met the break
        // is not sent again.
        m_database->close();
        m_database->open(m_settings);
    }
    return *m_database;
}

} // namespace kelm

#include "common/PostgresDatabase.h"

#include "common/DecimalCell.h"
#include "common/ServerAddress.h"
#include "common/StatementText.h"

#include <QFile>

#include <libpq-fe.h>

#include <poll.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <memory>
#include <string>
#include <vector>

namespace kelm {

namespace {

// Type oids from the server's catalogue (pg_type); stable across server versions.
constexpr Oid Int8Oid = 20;
constexpr Oid Int2Oid = 21;
constexpr Oid Int4Oid = 23;
constexpr Oid OidOid = 26;
constexpr Oid Float4Oid = 700;
constexpr Oid Float8Oid = 701;
constexpr Oid NumericOid = 1700;

// The server's own error codes for a statement it ended because it waited too long: the statement
// timeout (query_canceled) and the lock timeout (lock_not_available).
constexpr std::string_view StatementTimedOut = "57014";
constexpr std::string_view LockTimedOut = "55P03";

// The server's own timeouts end a statement half a second before the till would give the server
// up, so that a server that is only waiting answers with an error and the connection stays.
int serverTimeoutMs(int seconds)
{
    return seconds * 1000 - 500;
}

struct ResultDeleter
{
    void operator()(PGresult* result) const { PQclear(result); }
};
using Result = std::unique_ptr<PGresult, ResultDeleter>;

QByteArray sslMode(Encryption encryption)
{
    switch (encryption) {
    case Encryption::Disable:
        return "disable";
    case Encryption::Require:
        return "require";
    case Encryption::VerifyFull:
        return "verify-full";
    case Encryption::DriverDefault:
        break;
    }
    return {};
}

std::string trimmedMessage(const char* message)
{
    std::string text = message ? message : "";
    while (!text.empty() && (text.back() == '\n' || text.back() == ' '))
        text.pop_back();
    return text;
}

class PostgresRow : public Row
{
public:
    void reset(PGresult* result)
    {
        m_result = result;
        m_count = PQnfields(result);
    }
    int columnCount() const override { return m_count; }
    std::string_view columnName(int index) const override
    {
        const char* name = PQfname(m_result, index);
        return name ? std::string_view(name) : std::string_view();
    }
    Cell cell(int index) const override
    {
        Cell cell;
        if (index < 0 || index >= m_count || PQgetisnull(m_result, 0, index))
            return cell;
        const char* text = PQgetvalue(m_result, 0, index);
        const std::string_view digits(text, static_cast<std::size_t>(PQgetlength(m_result, 0, index)));
        switch (PQftype(m_result, index)) {
        case Int2Oid:
        case Int4Oid:
        case Int8Oid:
        case OidOid:
        case NumericOid:
        case Float4Oid:
        case Float8Oid:
            // The digits stay with the number: a numeric of more digits than a double holds goes
            // back to the server exactly as it came.
            cell = DecimalCell::fromDigits(digits);
            cell.text = digits.data();
            cell.size = static_cast<int>(digits.size());
            return cell;
        default:
            cell.type = Cell::Type::Text;
            cell.text = digits.data();
            cell.size = static_cast<int>(digits.size());
            return cell;
        }
    }

private:
    PGresult* m_result = nullptr;
    int m_count = 0;
};

} // namespace

PostgresDatabase::~PostgresDatabase()
{
    close();
}

void PostgresDatabase::open(const ConnectionSettings& settings)
{
    close();
    const ServerAddress address = ServerAddress::parse(settings.server);
    const QByteArray host = address.host.toUtf8();
    const QByteArray port = address.port.toUtf8();
    const QByteArray user = settings.user.toUtf8();
    const QByteArray password = settings.password.toUtf8();
    const QByteArray database = settings.database.toUtf8();
    const QByteArray mode = sslMode(settings.encryption);
    const QByteArray caFile = QFile::encodeName(settings.caFile);
    // Empty values are left out so that libpq's own defaults (local socket, port 5432) apply.
    std::vector<const char*> keys;
    std::vector<const char*> values;
    const auto add = [&](const char* key, const QByteArray& value) {
        if (!value.isEmpty()) {
            keys.push_back(key);
            values.push_back(value.constData());
        }
    };
    add("host", host);
    add("port", port);
    add("user", user);
    add("password", password);
    add("dbname", database);
    // Without 加密 libpq's own default stays (prefer: TLS when the server offers it, any certificate).
    add("sslmode", mode);
    add("sslrootcert", caFile);
    // A server that takes the connection but never answers is given up after the connect timeout
    // (libpq waits at least 2 seconds). Keepalives and the user timeout find a line that broke
    // while the till was idle, before the next command meets it. The lock timeout makes a
    // statement that waits for another session's lock end with an error from the server itself.
    const int idle = settings.statementTimeout;
    const QByteArray numbers[] = {
        QByteArray::number(settings.connectTimeout),
        QByteArray::number(idle),
        QByteArray::number(std::max(1, idle / 3)),
        QByteArray::number(idle * 1000),
        "-c lock_timeout=" + QByteArray::number(serverTimeoutMs(settings.statementTimeout)),
    };
    keys.insert(keys.end(), {"client_encoding", "application_name", "connect_timeout", "keepalives", "keepalives_idle",
                             "keepalives_interval", "keepalives_count", "tcp_user_timeout", "options"});
    values.insert(values.end(), {"UTF8", "kelm", numbers[0].constData(), "1", numbers[1].constData(),
                                 numbers[2].constData(), "3", numbers[3].constData(), numbers[4].constData()});
    keys.push_back(nullptr);
    values.push_back(nullptr);

    PGconn* connection = PQconnectdbParams(keys.data(), values.data(), 0);
    if (PQstatus(connection) != CONNECTION_OK || PQsetnonblocking(connection, 1) != 0) {
        const std::string message = connection ? trimmedMessage(PQerrorMessage(connection)) : "内存不足";
        PQfinish(connection);
        throw DatabaseError("无法打开数据库“" + settings.database.toStdString() + "”（PostgreSQL 服务器 "
                            + address.display().toStdString() + "）：" + message);
    }
    // Statements are sent without blocking, and every wait for the server is bounded.
    m_connection = connection;
    m_server = address.display();
    m_statementTimeout = settings.statementTimeout;
}

bool PostgresDatabase::isOpen() const
{
    return m_connection && PQstatus(m_connection) == CONNECTION_OK;
}

void PostgresDatabase::close()
{
    forgetTransaction();
    if (m_connection) {
        PQfinish(m_connection);
        m_connection = nullptr;
    }
}

void PostgresDatabase::fail(const std::string& what, std::string_view sql) const
{
    throw DatabaseError(what + "“" + std::string(sql) + "”："
                        + (m_connection ? trimmedMessage(PQerrorMessage(m_connection)) : "数据库未打开"));
}

void PostgresDatabase::throwResultError(const std::string& what, std::string_view sql, const std::string& message,
                                        const std::string& state) const
{
    if (state == StatementTimedOut || state == LockTimedOut)
        throw NoAnswerError(m_server, m_statementTimeout, sql);
    throw DatabaseError(what + "“" + std::string(sql) + "”：" + message);
}

bool PostgresDatabase::waitForSocket(bool writing, Clock::time_point deadline) const
{
    pollfd socket{PQsocket(m_connection), static_cast<short>(writing ? POLLIN | POLLOUT : POLLIN), 0};
    for (;;) {
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0)
            return false;
        const int ready = poll(&socket, 1, static_cast<int>(std::min<std::int64_t>(left, 60000)));
        if (ready > 0)
            return true;
        if (ready < 0 && errno != EINTR)
            return true; // the socket itself failed: libpq reads the reason
    }
}

void PostgresDatabase::giveUp(std::string_view sql)
{
    // A server that stopped answering would not answer a cancel request either: the connection is
    // closed without waiting, the server rolls back what it had of the command once it notices,
    // and the next command opens a new line.
    close();
    throw NoAnswerError(m_server, m_statementTimeout, sql);
}

PGresult* PostgresDatabase::nextResult(std::string_view sql)
{
    const auto deadline = [this] { return Clock::now() + std::chrono::seconds(m_statementTimeout); };
    Clock::time_point until = deadline();
    // What is left of the statement goes out first; the server may answer while it is being sent.
    for (int unsent; (unsent = PQflush(m_connection)) != 0;) {
        if (unsent < 0)
            return PQgetResult(m_connection);
        if (!waitForSocket(true, until))
            giveUp(sql);
        if (!PQconsumeInput(m_connection))
            return PQgetResult(m_connection);
    }
    while (PQisBusy(m_connection)) {
        if (!waitForSocket(false, until))
            giveUp(sql);
        // A broken line leaves its error for PQgetResult to report.
        if (!PQconsumeInput(m_connection))
            break;
        until = deadline();
    }
    return PQgetResult(m_connection);
}

void PostgresDatabase::send(std::string_view sql, std::span<const SqlParam> params, Send how)
{
    if (!m_connection)
        throw DatabaseError("数据库连接已关闭，无法执行：" + std::string(sql));
    if (how == Send::Begin) {
        // The statements of a command have the statement timeout on the server too, set with the
        // BEGIN in one message (the simple query protocol). Queries outside a transaction (a list of
        // a million members) run as long as their rows keep coming.
        const std::string begin =
            "BEGIN; SET LOCAL statement_timeout = " + std::to_string(serverTimeoutMs(m_statementTimeout));
        if (!PQsendQuery(m_connection, begin.c_str()))
            fail("无法执行", sql);
        return;
    }
    const std::string text = StatementText::translate(sql, Engine::PostgreSql, StatementText::Placeholders::Numbered);
    std::vector<QByteArray> storage;
    storage.reserve(params.size());
    std::vector<const char*> values;
    values.reserve(params.size());
    for (const SqlParam& param : params) {
        if (const auto* string = std::get_if<QString>(&param)) {
            storage.push_back(string->toUtf8());
            values.push_back(storage.back().constData());
        } else if (const auto* number = std::get_if<qint64>(&param)) {
            storage.push_back(QByteArray::number(*number));
            values.push_back(storage.back().constData());
        } else if (const auto* real = std::get_if<double>(&param)) {
            // The shortest digits that read back as the same double: 0.1 stays "0.1" for a numeric
            // column, 166.67000000000002 keeps its noise for a float column.
            char digits[32];
            const auto end = std::to_chars(digits, digits + sizeof digits, *real).ptr;
            storage.push_back(QByteArray(digits, static_cast<qsizetype>(end - digits)));
            values.push_back(storage.back().constData());
        } else {
            values.push_back(nullptr);
        }
    }
    // No parameter types: every value is of unknown type, and the server takes the column's.
    if (!PQsendQueryParams(m_connection, text.c_str(), static_cast<int>(values.size()), nullptr, values.data(),
                           nullptr, nullptr, 0)) {
        fail("无法执行", sql);
    }
    if (how == Send::RowByRow)
        PQsetSingleRowMode(m_connection);
}

// The rows of a query in single-row mode, one result at a time.
class PostgresDatabase::RowCursor : public Cursor
{
public:
    RowCursor(PostgresDatabase& db, std::string_view sql)
        : m_db(db)
        , m_sql(sql)
    {
    }
    ~RowCursor() override
    {
        if (m_done || !m_db.m_connection)
            return;
        // Left before its end: the rest is read away unread, so the connection is ready for the next
        // statement. (A cancel request could reach the server after the next statement had begun.)
        try {
            while (PGresult* raw = m_db.nextResult(m_sql))
                PQclear(raw);
        } catch (const std::exception&) {
            // The line was given up: the next command opens a new one.
        }
    }

    const Row* next() override
    {
        while (!m_done) {
            PGresult* raw = m_db.nextResult(m_sql);
            if (!raw) {
                m_done = true;
                break;
            }
            m_current.reset(raw);
            switch (PQresultStatus(raw)) {
            case PGRES_SINGLE_TUPLE:
                if (m_error.empty()) {
                    m_row.reset(raw);
                    return &m_row;
                }
                break;
            case PGRES_TUPLES_OK:
            case PGRES_COMMAND_OK:
                break;
            default:
                if (m_error.empty()) {
                    m_error = trimmedMessage(PQresultErrorMessage(raw));
                    const char* code = PQresultErrorField(raw, PG_DIAG_SQLSTATE);
                    m_state = code ? code : "";
                }
                break;
            }
        }
        // Every result is collected before a failure is told, so the connection is ready again.
        if (!m_error.empty())
            m_db.throwResultError("查询失败", m_sql, m_error, m_state);
        return nullptr;
    }

private:
    PostgresDatabase& m_db;
    std::string m_sql;
    Result m_current;
    PostgresRow m_row;
    bool m_done = false;
    std::string m_error;
    std::string m_state;
};

std::unique_ptr<Cursor> PostgresDatabase::openCursor(std::string_view sql, std::span<const SqlParam> params)
{
    send(sql, params, Send::RowByRow);
    return std::make_unique<RowCursor>(*this, sql);
}

void PostgresDatabase::query(std::string_view sql, std::span<const SqlParam> params, const RowHandler& onRow)
{
    const std::unique_ptr<Cursor> cursor = openCursor(sql, params);
    while (const Row* row = cursor->next()) {
        if (!onRow(*row))
            return;
    }
}

qint64 PostgresDatabase::execute(std::string_view sql, std::span<const SqlParam> params)
{
    qint64 changed = 0;
    run(sql, params, &changed);
    return changed;
}

std::string PostgresDatabase::run(std::string_view sql, std::span<const SqlParam> params, qint64* changed, Send how)
{
    send(sql, params, how);
    std::string tag;
    std::string error;
    std::string state;
    while (PGresult* raw = nextResult(sql)) {
        const Result result(raw);
        const ExecStatusType status = PQresultStatus(raw);
        if (status == PGRES_COMMAND_OK || status == PGRES_TUPLES_OK) {
            const char* count = PQcmdTuples(raw);
            if (changed && count && *count)
                *changed = std::stoll(count);
            tag = PQcmdStatus(raw);
        } else if (error.empty()) {
            error = trimmedMessage(PQresultErrorMessage(raw));
            const char* code = PQresultErrorField(raw, PG_DIAG_SQLSTATE);
            state = code ? code : "";
        }
    }
    if (!error.empty())
        throwResultError("执行失败", sql, error, state);
    return tag;
}

void PostgresDatabase::beginTransaction()
{
    run("BEGIN", {}, nullptr, Send::Begin);
}

void PostgresDatabase::commitTransaction()
{
    // A transaction a failed statement broke ends in a rollback, which the server reports as such.
    if (run("COMMIT", {}, nullptr) != "COMMIT")
        throw DatabaseError("执行失败“COMMIT”：服务器回滚了这次操作。");
}

void PostgresDatabase::rollbackTransaction()
{
    if (m_connection && PQstatus(m_connection) == CONNECTION_OK)
        run("ROLLBACK", {}, nullptr);
}

} // namespace kelm

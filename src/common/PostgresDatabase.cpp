#include "common/PostgresDatabase.h"

#include "common/DecimalCell.h"
#include "common/ServerAddress.h"
#include "common/StatementText.h"

#include <libpq-fe.h>

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

struct ResultDeleter
{
    void operator()(PGresult* result) const { PQclear(result); }
};
using Result = std::unique_ptr<PGresult, ResultDeleter>;

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
    keys.insert(keys.end(), {"client_encoding", "connect_timeout", "application_name"});
    values.insert(values.end(), {"UTF8", "10", "kelm"});
    keys.push_back(nullptr);
    values.push_back(nullptr);

    PGconn* connection = PQconnectdbParams(keys.data(), values.data(), 0);
    if (PQstatus(connection) != CONNECTION_OK) {
        const std::string message = connection ? trimmedMessage(PQerrorMessage(connection)) : "内存不足";
        PQfinish(connection);
        throw DatabaseError("无法打开数据库“" + settings.database.toStdString() + "”（PostgreSQL 服务器 "
                            + address.display().toStdString() + "）：" + message);
    }
    m_connection = connection;
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

void PostgresDatabase::send(std::string_view sql, std::span<const SqlParam> params, bool rowByRow)
{
    if (!m_connection)
        throw DatabaseError("数据库连接已关闭，无法执行：" + std::string(sql));
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
    if (rowByRow)
        PQsetSingleRowMode(m_connection);
}

void PostgresDatabase::query(std::string_view sql, std::span<const SqlParam> params, const RowHandler& onRow)
{
    send(sql, params, true);
    PostgresRow row;
    bool reading = true;
    std::string error;
    // Every result is collected, even after the handler stops, so the connection is ready for the next
    // statement; the rows after a stop are dropped unread.
    while (PGresult* raw = PQgetResult(m_connection)) {
        const Result result(raw);
        switch (PQresultStatus(raw)) {
        case PGRES_SINGLE_TUPLE:
            if (reading) {
                row.reset(raw);
                reading = onRow(row);
            }
            break;
        case PGRES_TUPLES_OK:
        case PGRES_COMMAND_OK:
            break;
        default:
            if (error.empty())
                error = trimmedMessage(PQresultErrorMessage(raw));
            break;
        }
    }
    if (!error.empty())
        throw DatabaseError("查询失败“" + std::string(sql) + "”：" + error);
}

qint64 PostgresDatabase::execute(std::string_view sql, std::span<const SqlParam> params)
{
    qint64 changed = 0;
    run(sql, params, &changed);
    return changed;
}

std::string PostgresDatabase::run(std::string_view sql, std::span<const SqlParam> params, qint64* changed)
{
    send(sql, params, false);
    std::string tag;
    std::string error;
    while (PGresult* raw = PQgetResult(m_connection)) {
        const Result result(raw);
        const ExecStatusType status = PQresultStatus(raw);
        if (status == PGRES_COMMAND_OK || status == PGRES_TUPLES_OK) {
            const char* count = PQcmdTuples(raw);
            if (changed && count && *count)
                *changed = std::stoll(count);
            tag = PQcmdStatus(raw);
        } else if (error.empty()) {
            error = trimmedMessage(PQresultErrorMessage(raw));
        }
    }
    if (!error.empty())
        throw DatabaseError("执行失败“" + std::string(sql) + "”：" + error);
    return tag;
}

void PostgresDatabase::beginTransaction()
{
    run("BEGIN", {}, nullptr);
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

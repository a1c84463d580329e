#include "common/OdbcDatabase.h"

#include "common/DecimalCell.h"
#include "common/ServerAddress.h"
#include "common/StatementText.h"

#include <sql.h>
#include <sqlext.h>
#include <sqlucode.h>

#include <cmath>
#include <string>
#include <vector>

static_assert(sizeof(SQLWCHAR) == sizeof(char16_t), "the driver manager must use UTF-16 wide characters");

namespace kelm {

namespace {

const SQLWCHAR* wide(const QString& text)
{
    return reinterpret_cast<const SQLWCHAR*>(text.utf16());
}

// Every diagnostic record of a handle, joined: drivers put the useful part (login failed, no such
// table) in the second or third record as often as in the first.
std::string diagnostics(SQLSMALLINT type, SQLHANDLE handle)
{
    std::string text;
    for (SQLSMALLINT record = 1; handle; ++record) {
        SQLWCHAR state[6] = {};
        SQLINTEGER native = 0;
        SQLWCHAR message[1024] = {};
        SQLSMALLINT length = 0;
        const SQLRETURN rc = SQLGetDiagRecW(type, handle, record, state, &native, message,
                                            static_cast<SQLSMALLINT>(std::size(message)), &length);
        if (!SQL_SUCCEEDED(rc))
            break;
        if (!text.empty())
            text += "；";
        const int shown = std::min<int>(length, static_cast<int>(std::size(message)) - 1);
        text += QString::fromUtf16(reinterpret_cast<const char16_t*>(message), shown).toStdString();
        text += " (" + QString::fromUtf16(reinterpret_cast<const char16_t*>(state), 5).toStdString() + ")";
    }
    return text.empty() ? std::string("驱动没有给出原因") : text;
}

// Only a value that would end the attribute early goes in braces (with "}" doubled): some drivers
// take the braces of any other value literally.
QString attribute(const QString& key, const QString& value)
{
    if (!value.contains(u';') && !value.contains(u'{') && !value.contains(u'}') && value.trimmed() == value)
        return key + u'=' + value + u';';
    QString escaped = value;
    escaped.replace(u'}', QStringLiteral("}}"));
    return key + QStringLiteral("={") + escaped + QStringLiteral("};");
}

enum class Fetch : std::uint8_t { Integer, Real, Decimal, Text };

Fetch fetchFor(SQLSMALLINT type)
{
    switch (type) {
    case SQL_TINYINT:
    case SQL_SMALLINT:
    case SQL_INTEGER:
    case SQL_BIGINT:
    case SQL_BIT:
        return Fetch::Integer;
    case SQL_REAL:
    case SQL_FLOAT:
    case SQL_DOUBLE:
        return Fetch::Real;
    case SQL_NUMERIC:
    case SQL_DECIMAL:
        return Fetch::Decimal;
    default:
        return Fetch::Text;
    }
}

} // namespace

// One statement handle with its bound values; freed, cursor and all, when it goes out of scope.
class OdbcDatabase::Statement : public Row
{
public:
    Statement(void* connection, std::string_view sql)
        : m_sql(sql)
    {
        if (!connection)
            throw DatabaseError("数据库连接已关闭，无法执行：" + m_sql);
        if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_STMT, connection, &m_handle))) {
            m_handle = nullptr;
            throw DatabaseError("无法执行“" + m_sql + "”：" + diagnostics(SQL_HANDLE_DBC, connection));
        }
    }
    ~Statement() override
    {
        if (m_handle)
            SQLFreeHandle(SQL_HANDLE_STMT, m_handle);
    }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    [[noreturn]] void fail(const std::string& what) const
    {
        throw DatabaseError(what + "“" + m_sql + "”：" + diagnostics(SQL_HANDLE_STMT, m_handle));
    }

    // Binds the values and runs the statement text; false when it changed no rows (SQL_NO_DATA).
    bool run(const std::string& text, std::span<const SqlParam> params, const char* what)
    {
        m_values.resize(params.size());
        m_lengths.resize(params.size());
        m_reals.resize(params.size());
        for (std::size_t i = 0; i < params.size(); ++i) {
            const auto number = static_cast<SQLUSMALLINT>(i + 1);
            SQLRETURN rc;
            if (const auto* real = std::get_if<double>(&params[i])) {
                // Bound as a double, so every digit of a value read from a float column goes back.
                m_reals[i] = *real;
                m_lengths[i] = sizeof(double);
                rc = SQLBindParameter(m_handle, number, SQL_PARAM_INPUT, SQL_C_DOUBLE, SQL_DOUBLE, 0, 0, &m_reals[i],
                                      0, &m_lengths[i]);
                if (!SQL_SUCCEEDED(rc))
                    fail("无法绑定参数");
                continue;
            }
            if (const auto* integer = std::get_if<qint64>(&params[i])) {
                m_values[i] = QString::number(*integer);
            } else if (const auto* string = std::get_if<QString>(&params[i])) {
                m_values[i] = *string;
            }
            const bool isNull = std::holds_alternative<std::monostate>(params[i]);
            m_lengths[i] = isNull ? SQL_NULL_DATA : static_cast<SQLLEN>(m_values[i].size() * sizeof(SQLWCHAR));
            // Wide varchar with the value's own length: the server converts it to the column's type.
            const auto size = static_cast<SQLULEN>(std::max<qsizetype>(m_values[i].size(), 1));
            rc = SQLBindParameter(m_handle, number, SQL_PARAM_INPUT, SQL_C_WCHAR, SQL_WVARCHAR, size, 0,
                                  const_cast<SQLWCHAR*>(wide(m_values[i])), m_lengths[i], &m_lengths[i]);
            if (!SQL_SUCCEEDED(rc))
                fail("无法绑定参数");
        }
        const QString statement = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
        const SQLRETURN rc = SQLExecDirectW(m_handle, const_cast<SQLWCHAR*>(wide(statement)), SQL_NTS);
        if (rc == SQL_NO_DATA)
            return false;
        if (!SQL_SUCCEEDED(rc))
            fail(what);
        return true;
    }

    qint64 rowCount() const
    {
        SQLLEN count = 0;
        if (!SQL_SUCCEEDED(SQLRowCount(m_handle, &count)))
            fail("执行失败");
        return count < 0 ? 0 : count;
    }

    void describe()
    {
        SQLSMALLINT columns = 0;
        if (!SQL_SUCCEEDED(SQLNumResultCols(m_handle, &columns)))
            fail("查询失败");
        m_names.resize(static_cast<std::size_t>(columns));
        m_fetch.resize(static_cast<std::size_t>(columns));
        m_cells.resize(static_cast<std::size_t>(columns));
        m_text.resize(static_cast<std::size_t>(columns));
        for (SQLSMALLINT c = 0; c < columns; ++c) {
            SQLWCHAR name[256] = {};
            SQLSMALLINT nameLength = 0;
            SQLSMALLINT type = 0;
            SQLULEN size = 0;
            SQLSMALLINT digits = 0;
            SQLSMALLINT nullable = 0;
            if (!SQL_SUCCEEDED(SQLDescribeColW(m_handle, static_cast<SQLUSMALLINT>(c + 1), name,
                                               static_cast<SQLSMALLINT>(std::size(name)), &nameLength, &type,
                                               &size, &digits, &nullable))) {
                fail("查询失败");
            }
            const int shown = std::min<int>(nameLength, static_cast<int>(std::size(name)) - 1);
            m_names[static_cast<std::size_t>(c)] =
                QString::fromUtf16(reinterpret_cast<const char16_t*>(name), shown).toStdString();
            m_fetch[static_cast<std::size_t>(c)] = fetchFor(type);
        }
    }

    // Moves to the next row and reads all of its cells; false after the last row.
    bool next()
    {
        const SQLRETURN rc = SQLFetch(m_handle);
        if (rc == SQL_NO_DATA)
            return false;
        if (!SQL_SUCCEEDED(rc))
            fail("查询失败");
        for (std::size_t c = 0; c < m_cells.size(); ++c)
            readCell(c);
        return true;
    }

    int columnCount() const override { return static_cast<int>(m_names.size()); }
    std::string_view columnName(int index) const override { return m_names.at(static_cast<std::size_t>(index)); }
    Cell cell(int index) const override
    {
        if (index < 0 || index >= columnCount())
            return {};
        return m_cells[static_cast<std::size_t>(index)];
    }

private:
    void readCell(std::size_t c)
    {
        const auto column = static_cast<SQLUSMALLINT>(c + 1);
        Cell& cell = m_cells[c];
        cell = Cell();
        SQLLEN indicator = 0;
        switch (m_fetch[c]) {
        case Fetch::Integer: {
            SQLBIGINT value = 0;
            if (!SQL_SUCCEEDED(SQLGetData(m_handle, column, SQL_C_SBIGINT, &value, 0, &indicator)))
                fail("查询失败");
            if (indicator != SQL_NULL_DATA) {
                cell.type = Cell::Type::Integer;
                cell.integer = value;
            }
            return;
        }
        case Fetch::Real: {
            double value = 0;
            if (!SQL_SUCCEEDED(SQLGetData(m_handle, column, SQL_C_DOUBLE, &value, 0, &indicator)))
                fail("查询失败");
            if (indicator == SQL_NULL_DATA)
                return;
            if (std::trunc(value) == value && std::fabs(value) < 9.2e18) {
                cell.type = Cell::Type::Integer;
                cell.integer = static_cast<qint64>(value);
            } else {
                cell.type = Cell::Type::Real;
                cell.real = value;
            }
            return;
        }
        case Fetch::Decimal: {
            char digits[128] = {};
            if (!SQL_SUCCEEDED(SQLGetData(m_handle, column, SQL_C_CHAR, digits, sizeof digits, &indicator)))
                fail("查询失败");
            if (indicator == SQL_NULL_DATA)
                return;
            std::string& text = m_text[c];
            text.assign(digits);
            // The digits stay with the number, so the exact value can go back to the server.
            cell = DecimalCell::fromDigits(text);
            cell.text = text.data();
            cell.size = static_cast<int>(text.size());
            return;
        }
        case Fetch::Text:
            readText(c, column);
            return;
        }
    }

    // Long text arrives in pieces: each call fills the buffer and says whether more is left.
    void readText(std::size_t c, SQLUSMALLINT column)
    {
        Cell& cell = m_cells[c];
        std::u16string value;
        SQLWCHAR buffer[2048];
        for (;;) {
            SQLLEN indicator = 0;
            const SQLRETURN rc = SQLGetData(m_handle, column, SQL_C_WCHAR, buffer, sizeof buffer, &indicator);
            if (rc == SQL_NO_DATA)
                break;
            if (!SQL_SUCCEEDED(rc))
                fail("查询失败");
            if (indicator == SQL_NULL_DATA)
                return;
            const std::size_t room = std::size(buffer) - 1;
            const bool more = indicator == SQL_NO_TOTAL || static_cast<std::size_t>(indicator) / sizeof(SQLWCHAR) > room;
            const std::size_t got = more ? room : static_cast<std::size_t>(indicator) / sizeof(SQLWCHAR);
            value.append(reinterpret_cast<const char16_t*>(buffer), got);
            if (!more)
                break;
        }
        std::string& text = m_text[c];
        text = QString::fromUtf16(value.data(), static_cast<qsizetype>(value.size())).toStdString();
        cell.type = Cell::Type::Text;
        cell.text = text.data();
        cell.size = static_cast<int>(text.size());
    }

    SQLHANDLE m_handle = nullptr;
    std::string m_sql;
    std::vector<QString> m_values;
    std::vector<double> m_reals;
    std::vector<SQLLEN> m_lengths;
    std::vector<std::string> m_names;
    std::vector<Fetch> m_fetch;
    std::vector<Cell> m_cells;
    std::vector<std::string> m_text;
};

OdbcDatabase::~OdbcDatabase()
{
    close();
}

QString OdbcDatabase::connectionString(const ConnectionSettings& settings)
{
    const bool postgres = settings.engine == Engine::PostgreSqlOdbc;
    QString driver = settings.odbcDriver.trimmed();
    if (driver.isEmpty())
        driver = postgres ? QStringLiteral("PostgreSQL Unicode") : QStringLiteral("FreeTDS");
    const ServerAddress address = ServerAddress::parse(settings.server);
    QString text = attribute(QStringLiteral("Driver"), driver) + attribute(QStringLiteral("Server"), address.host);
    if (!address.port.isEmpty())
        text += attribute(QStringLiteral("Port"), address.port);
    text += attribute(QStringLiteral("Database"), settings.database) + attribute(QStringLiteral("UID"), settings.user)
        + attribute(QStringLiteral("PWD"), settings.password);
    if (!postgres)
        text += QStringLiteral("ClientCharset=UTF-8;");
    return text;
}

void OdbcDatabase::open(const ConnectionSettings& settings)
{
    close();
    m_engine = settings.engine;
    const std::string where = "无法打开数据库“" + settings.database.toStdString() + "”（"
        + (m_engine == Engine::PostgreSqlOdbc ? "PostgreSQL" : "SQL Server") + " 服务器 "
        + ServerAddress::parse(settings.server).display().toStdString() + "，ODBC）：";
    SQLHANDLE environment = nullptr;
    if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &environment)))
        throw DatabaseError(where + "ODBC 驱动管理器无法初始化");
    m_environment = environment;
    SQLSetEnvAttr(environment, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
    SQLHANDLE connection = nullptr;
    if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_DBC, environment, &connection))) {
        const std::string message = diagnostics(SQL_HANDLE_ENV, environment);
        close();
        throw DatabaseError(where + message);
    }
    SQLSetConnectAttr(connection, SQL_ATTR_LOGIN_TIMEOUT, reinterpret_cast<SQLPOINTER>(10), 0);
    const QString text = connectionString(settings);
    const SQLRETURN rc = SQLDriverConnectW(connection, nullptr, const_cast<SQLWCHAR*>(wide(text)), SQL_NTS,
                                           nullptr, 0, nullptr, SQL_DRIVER_NOPROMPT);
    if (!SQL_SUCCEEDED(rc)) {
        const std::string message = diagnostics(SQL_HANDLE_DBC, connection);
        SQLFreeHandle(SQL_HANDLE_DBC, connection);
        close();
        throw DatabaseError(where + message);
    }
    m_connection = connection;
}

bool OdbcDatabase::isOpen() const
{
    if (!m_connection)
        return false;
    // A driver that cannot tell keeps the connection for open.
    SQLUINTEGER dead = SQL_CD_FALSE;
    const SQLRETURN result = SQLGetConnectAttr(m_connection, SQL_ATTR_CONNECTION_DEAD, &dead, 0, nullptr);
    return !SQL_SUCCEEDED(result) || dead != SQL_CD_TRUE;
}

void OdbcDatabase::close()
{
    forgetTransaction();
    if (m_connection) {
        SQLDisconnect(m_connection);
        SQLFreeHandle(SQL_HANDLE_DBC, m_connection);
        m_connection = nullptr;
    }
    if (m_environment) {
        SQLFreeHandle(SQL_HANDLE_ENV, m_environment);
        m_environment = nullptr;
    }
}

void OdbcDatabase::query(std::string_view sql, std::span<const SqlParam> params, const RowHandler& onRow)
{
    Statement statement(m_connection, sql);
    if (!statement.run(StatementText::translate(sql, m_engine, StatementText::Placeholders::Question), params,
                       "查询失败")) {
        return;
    }
    statement.describe();
    while (statement.next()) {
        if (!onRow(statement))
            return;
    }
}

qint64 OdbcDatabase::execute(std::string_view sql, std::span<const SqlParam> params)
{
    Statement statement(m_connection, sql);
    if (!statement.run(StatementText::translate(sql, m_engine, StatementText::Placeholders::Question), params,
                       "执行失败")) {
        return 0;
    }
    return statement.rowCount();
}

void OdbcDatabase::beginTransaction()
{
    if (!m_connection)
        throw DatabaseError("数据库连接已关闭，无法开始事务。");
    if (!SQL_SUCCEEDED(SQLSetConnectAttr(m_connection, SQL_ATTR_AUTOCOMMIT,
                                         reinterpret_cast<SQLPOINTER>(SQL_AUTOCOMMIT_OFF), 0))) {
        throw DatabaseError("无法开始事务：" + diagnostics(SQL_HANDLE_DBC, m_connection));
    }
}

void OdbcDatabase::commitTransaction()
{
    endTransaction(SQL_COMMIT);
}

void OdbcDatabase::rollbackTransaction()
{
    endTransaction(SQL_ROLLBACK);
}

void OdbcDatabase::endTransaction(short completion)
{
    if (!m_connection)
        return;
    const SQLRETURN rc = SQLEndTran(SQL_HANDLE_DBC, m_connection, completion);
    const std::string problem = SQL_SUCCEEDED(rc) ? std::string() : diagnostics(SQL_HANDLE_DBC, m_connection);
    // Back to one statement at a time, whatever the end of the transaction met.
    SQLSetConnectAttr(m_connection, SQL_ATTR_AUTOCOMMIT, reinterpret_cast<SQLPOINTER>(SQL_AUTOCOMMIT_ON), 0);
    if (!problem.empty())
        throw DatabaseError((completion == SQL_COMMIT ? "执行失败“COMMIT”：" : "执行失败“ROLLBACK”：") + problem);
}

} // namespace kelm

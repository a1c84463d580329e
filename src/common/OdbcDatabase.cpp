#include "common/OdbcDatabase.h"

#include "common/DecimalCell.h"
#include "common/ServerAddress.h"
#include "common/StatementText.h"

#include <sql.h>
#include <sqlext.h>
#include <sqlucode.h>

#include <dirent.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstdlib>
#include <mutex>
#include <set>
#include <string>
#include <thread>
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

// Whether any diagnostic record of a handle matches, by its SQLSTATE and the server's error number.
template<typename Match>
bool anyRecord(SQLSMALLINT type, SQLHANDLE handle, Match match)
{
    for (SQLSMALLINT record = 1; handle; ++record) {
        SQLWCHAR state[6] = {};
        SQLINTEGER native = 0;
        SQLSMALLINT length = 0;
        if (!SQL_SUCCEEDED(SQLGetDiagRecW(type, handle, record, state, &native, nullptr, 0, &length)))
            break;
        if (match(QString::fromUtf16(reinterpret_cast<const char16_t*>(state), 5), native))
            return true;
    }
    return false;
}

// The statement ended because it waited too long: the driver's own query or login timeout (HYT00,
// HYT01), PostgreSQL's statement or lock timeout (57014, 55P03), SQL Server's lock timeout (1222).
bool timedOut(SQLSMALLINT type, SQLHANDLE handle)
{
    return anyRecord(type, handle, [](const QString& state, SQLINTEGER native) {
        return state == u"HYT00" || state == u"HYT01" || state == u"57014" || state == u"55P03" || native == 1222;
    });
}

// The line to the server is broken (class 08, connection exception: 08S01 among them).
bool lineLost(SQLSMALLINT type, SQLHANDLE handle)
{
    return anyRecord(type, handle, [](const QString& state, SQLINTEGER) { return state.startsWith(u"08"); });
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

// Bounds the driver's waits for a server that stopped answering. The drivers' own timeouts cannot:
// psqlODBC's query timeout is the server's statement_timeout, which a stopped server process never
// applies, and the kernel of a stopped server keeps acknowledging what the till sends, so TCP sees
// nothing wrong either. While a driver call runs, this thread looks at the connection's sockets;
// once the call has waited longer than the limit and nothing has arrived on them for as long (rows
// still coming are an answer), it shuts the sockets down. The blocked call then returns with a
// broken line, and the connection is closed.
//
// The sockets are the TCP sockets to the server's port that appeared while the driver connected.
// The watchdog keeps a duplicate of each: the descriptor it shuts down is its own, so it always
// refers to the driver's socket, whatever the driver or another thread closes or opens meanwhile.
class OdbcDatabase::Watchdog
{
public:
    using Clock = std::chrono::steady_clock;

    explicit Watchdog(std::chrono::milliseconds limit)
        : m_limit(limit)
    {
    }
    ~Watchdog()
    {
        if (m_thread.joinable()) {
            {
                const std::lock_guard lock(m_mutex);
                m_stopping = true;
            }
            m_wake.notify_one();
            m_thread.join();
        }
        for (const int socket : m_sockets)
            ::close(socket);
    }
    Watchdog(const Watchdog&) = delete;
    Watchdog& operator=(const Watchdog&) = delete;

    // The sockets the process has open, by inode: a socket the driver opens has a new one.
    static std::set<ino_t> sockets()
    {
        std::set<ino_t> found;
        forEachSocket([&](int, const struct stat& status) { found.insert(status.st_ino); });
        return found;
    }

    // Takes the TCP sockets that are not among those before and whose peer has this port (any port
    // for 0), and starts watching them.
    void adopt(const std::set<ino_t>& before, int port)
    {
        forEachSocket([&](int socket, const struct stat& status) {
            if (before.count(status.st_ino) || !isServerSocket(socket, port))
                return;
            const int own = fcntl(socket, F_DUPFD_CLOEXEC, 0);
            if (own >= 0)
                m_sockets.push_back(own);
        });
        if (!m_sockets.empty())
            m_thread = std::thread([this] { run(); });
    }

    bool fired() const { return m_fired.load(); }

    // A driver call on the connection, watched for as long as it lives.
    class Call
    {
    public:
        explicit Call(Watchdog* watchdog)
            : m_watchdog(watchdog)
        {
            if (m_watchdog) {
                m_watchdog->m_callStart.store(Clock::now().time_since_epoch().count());
                m_watchdog->m_inCall.store(true);
            }
        }
        ~Call()
        {
            if (m_watchdog)
                m_watchdog->m_inCall.store(false);
        }
        Call(const Call&) = delete;
        Call& operator=(const Call&) = delete;

    private:
        Watchdog* m_watchdog;
    };

private:
    template<typename Visit>
    static void forEachSocket(Visit visit)
    {
        DIR* folder = opendir("/proc/self/fd");
        if (!folder)
            return;
        while (const dirent* entry = readdir(folder)) {
            char* end = nullptr;
            const long number = std::strtol(entry->d_name, &end, 10);
            struct stat status = {};
            if (end == entry->d_name || *end || number == dirfd(folder) || fstat(static_cast<int>(number), &status) != 0
                || !S_ISSOCK(status.st_mode)) {
                continue;
            }
            visit(static_cast<int>(number), status);
        }
        closedir(folder);
    }

    static bool isServerSocket(int socket, int port)
    {
        int type = 0;
        socklen_t size = sizeof type;
        if (getsockopt(socket, SOL_SOCKET, SO_TYPE, &type, &size) != 0 || type != SOCK_STREAM)
            return false;
        sockaddr_storage peer = {};
        size = sizeof peer;
        if (getpeername(socket, reinterpret_cast<sockaddr*>(&peer), &size) != 0)
            return false;
        int peerPort = -1;
        if (peer.ss_family == AF_INET)
            peerPort = ntohs(reinterpret_cast<const sockaddr_in*>(&peer)->sin_port);
        else if (peer.ss_family == AF_INET6)
            peerPort = ntohs(reinterpret_cast<const sockaddr_in6*>(&peer)->sin6_port);
        return peerPort >= 0 && (port == 0 || peerPort == port);
    }

    // Nothing arrived on any of the sockets for the limit.
    bool quiet() const
    {
        for (const int socket : m_sockets) {
            tcp_info info = {};
            socklen_t size = sizeof info;
            if (getsockopt(socket, IPPROTO_TCP, TCP_INFO, &info, &size) == 0
                && std::chrono::milliseconds(info.tcpi_last_data_recv) < m_limit) {
                return false;
            }
        }
        return true;
    }

    void run()
    {
        std::unique_lock lock(m_mutex);
        while (!m_stopping && !m_fired.load()) {
            // A quarter of a second past the limit is soon enough for a cashier.
            m_wake.wait_for(lock, std::chrono::milliseconds(250));
            if (m_stopping || !m_inCall.load())
                continue;
            const Clock::time_point started{Clock::duration(m_callStart.load())};
            if (Clock::now() - started < m_limit || !quiet())
                continue;
            for (const int socket : m_sockets)
                shutdown(socket, SHUT_RDWR);
            m_fired.store(true);
        }
    }

    const std::chrono::milliseconds m_limit;
    std::vector<int> m_sockets;
    std::atomic<bool> m_inCall{false};
    std::atomic<Clock::rep> m_callStart{0};
    std::atomic<bool> m_fired{false};
    std::mutex m_mutex;
    std::condition_variable m_wake;
    bool m_stopping = false;
    std::thread m_thread;
};

// One statement handle with its bound values; freed, cursor and all, when it goes out of scope.
class OdbcDatabase::Statement : public Row
{
public:
    Statement(const OdbcDatabase& db, std::string_view sql)
        : m_db(db)
        , m_line(db.m_lineNumber)
        , m_sql(sql)
    {
        if (!db.m_connection)
            throw DatabaseError("数据库连接已关闭，无法执行：" + m_sql);
        if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_STMT, db.m_connection, &m_handle))) {
            m_handle = nullptr;
            throw DatabaseError("无法执行“" + m_sql + "”：" + diagnostics(SQL_HANDLE_DBC, db.m_connection));
        }
        // The statements of a command also have the driver's query timeout. Queries outside a
        // transaction (a list of a million members) run as long as their rows keep coming: the
        // watchdog gives up only a server that went silent.
        if (db.inTransaction()) {
            SQLSetStmtAttr(m_handle, SQL_ATTR_QUERY_TIMEOUT,
                           reinterpret_cast<SQLPOINTER>(static_cast<SQLULEN>(db.m_statementTimeout)), 0);
        }
    }
    ~Statement() override
    {
        // A failure may have closed the connection under the statement (a broken line): closing
        // freed the statement with it.
        if (!m_handle || m_line != m_db.m_lineNumber)
            return;
        // A driver may still have to tell the server to drop the rows left unread.
        const Watchdog::Call call(m_db.m_watchdog.get());
        SQLFreeHandle(SQL_HANDLE_STMT, m_handle);
    }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    [[noreturn]] void fail(const std::string& what) const { m_db.fail(SQL_HANDLE_STMT, m_handle, what, m_sql); }

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
                                  const_cast<SQLWCHAR*>(wide(m_values[i])), isNull ? 0 : m_lengths[i], &m_lengths[i]);
            if (!SQL_SUCCEEDED(rc))
                fail("无法绑定参数");
        }
        const QString statement = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
        const Watchdog::Call call(m_db.m_watchdog.get());
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
        const Watchdog::Call call(m_db.m_watchdog.get());
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

    const OdbcDatabase& m_db;
    quint64 m_line;
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

OdbcDatabase::OdbcDatabase() = default;

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
    const int seconds = settings.statementTimeout;
    if (postgres) {
        // Without 加密 the driver's own default stays: no TLS at all.
        static const QString modes[] = {QString(), QStringLiteral("disable"), QStringLiteral("require"),
                                        QStringLiteral("verify-full")};
        const QString& mode = modes[static_cast<int>(settings.encryption)];
        if (!mode.isEmpty())
            text += QStringLiteral("SSLmode=") + mode + u';';
        // The driver's libpq keeps the line alive as the libpq backend does, and the server ends a
        // wait for another session's lock itself. The login timeout is libpq's connect_timeout. The
        // driver has no key of its own for the CA file: its libpq takes it, quoted as libpq reads a
        // value, inside the braces the driver reads (where "}" is doubled).
        QString caFile;
        if (!settings.caFile.isEmpty()) {
            QString path = settings.caFile;
            path.replace(u'\\', QStringLiteral("\\\\"))
                .replace(u'\'', QStringLiteral("\\'"))
                .replace(u'}', QStringLiteral("}}"));
            caFile = QStringLiteral(" sslrootcert='") + path + u'\'';
        }
        text += QStringLiteral("KeepaliveTime=%1;KeepaliveInterval=%2;pqopt={keepalives_count=3 tcp_user_timeout=%3 "
                               "options='-c lock_timeout=%4'%5};")
                    .arg(seconds)
                    .arg(std::max(1, seconds / 3))
                    .arg(seconds * 1000)
                    .arg(seconds * 1000 - 500)
                    .arg(caFile);
    } else {
        // FreeTDS given no version probes for one, and a server that takes the connection but never
        // answers then holds the login past its timeout. 7.1 is the version SQL Server 2000 speaks,
        // and every later SQL Server accepts it; the tables need nothing newer.
        const QString version = settings.tdsVersion.isEmpty() ? QStringLiteral("7.1") : settings.tdsVersion;
        text += QStringLiteral("ClientCharset=UTF-8;") + attribute(QStringLiteral("TDS_Version"), version);
        // FreeTDS given a connection string reads no freetds.conf, so it checks no certificate: both
        // modes refuse a server that will not encrypt, before the login and its password are sent.
        if (settings.encryption == Encryption::Disable)
            text += QStringLiteral("Encryption=off;");
        else if (settings.encryption != Encryption::DriverDefault)
            text += QStringLiteral("Encryption=require;");
    }
    return text;
}

void OdbcDatabase::open(const ConnectionSettings& settings)
{
    close();
    m_engine = settings.engine;
    const ServerAddress address = ServerAddress::parse(settings.server);
    m_server = address.display();
    m_statementTimeout = settings.statementTimeout;
    const std::string where = "无法打开数据库“" + settings.database.toStdString() + "”（"
        + (m_engine == Engine::PostgreSqlOdbc ? "PostgreSQL" : "SQL Server") + " 服务器 " + m_server.toStdString()
        + "，ODBC）：";
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
    const auto seconds = [](int value) { return reinterpret_cast<SQLPOINTER>(static_cast<SQLULEN>(value)); };
    SQLSetConnectAttr(connection, SQL_ATTR_LOGIN_TIMEOUT, seconds(settings.connectTimeout), 0);
    SQLSetConnectAttr(connection, SQL_ATTR_CONNECTION_TIMEOUT, seconds(settings.statementTimeout), 0);
    const QString text = connectionString(settings);
    const std::set<ino_t> before = Watchdog::sockets();
    const SQLRETURN rc = SQLDriverConnectW(connection, nullptr, const_cast<SQLWCHAR*>(wide(text)), SQL_NTS,
                                           nullptr, 0, nullptr, SQL_DRIVER_NOPROMPT);
    if (!SQL_SUCCEEDED(rc)) {
        const std::string message = diagnostics(SQL_HANDLE_DBC, connection);
        SQLFreeHandle(SQL_HANDLE_DBC, connection);
        close();
        throw DatabaseError(where + message);
    }
    m_connection = connection;
    // The server's port, to tell the driver's socket from any other the process opened meanwhile;
    // an instance name leaves the port to the server's browser service.
    int port = address.port.toInt();
    if (address.port.isEmpty())
        port = m_engine == Engine::PostgreSqlOdbc ? 5432 : address.host.contains(u'\\') ? 0 : 1433;
    // The server's own timeouts, a second shorter, answer before the watchdog gives the server up.
    m_watchdog = std::make_unique<Watchdog>(std::chrono::seconds(m_statementTimeout + 1));
    m_watchdog->adopt(before, port);
    if (m_engine == Engine::SqlServer) {
        // SQL Server ends a wait for another session's lock itself, as PostgreSQL does.
        try {
            execute("SET LOCK_TIMEOUT " + std::to_string(m_statementTimeout * 1000 - 500), {});
        } catch (const DatabaseError& failure) {
            close();
            throw DatabaseError(where + failure.what());
        }
    }
}

bool OdbcDatabase::isOpen() const
{
    if (!m_connection)
        return false;
    if (m_watchdog && m_watchdog->fired())
        return false;
    // A driver that cannot tell keeps the connection for open.
    SQLUINTEGER dead = SQL_CD_FALSE;
    const SQLRETURN result = SQLGetConnectAttr(m_connection, SQL_ATTR_CONNECTION_DEAD, &dead, 0, nullptr);
    return !SQL_SUCCEEDED(result) || dead != SQL_CD_TRUE;
}

void OdbcDatabase::close()
{
    forgetTransaction();
    m_lineLost = false;
    if (m_connection) {
        {
            const Watchdog::Call call(m_watchdog.get());
            SQLDisconnect(m_connection);
        }
        SQLFreeHandle(SQL_HANDLE_DBC, m_connection);
        m_connection = nullptr;
        ++m_lineNumber;
    }
    m_watchdog.reset();
    if (m_environment) {
        SQLFreeHandle(SQL_HANDLE_ENV, m_environment);
        m_environment = nullptr;
    }
}

void OdbcDatabase::fail(short type, void* handle, const std::string& what, std::string_view sql) const
{
    m_lineLost = m_lineLost || lineLost(type, handle);
    if ((m_watchdog && m_watchdog->fired()) || timedOut(type, handle))
        throw NoAnswerError(m_server, m_statementTimeout, sql);
    throw DatabaseError(what + "“" + std::string(sql) + "”：" + diagnostics(type, handle));
}

template<typename Step>
auto OdbcDatabase::guarded(Step step) -> decltype(step())
{
    try {
        return step();
    } catch (const DatabaseError&) {
        // A line the watchdog cut, or one the driver found broken, is closed: the server rolls back
        // what it had of the command, and the next command opens a new line. (psqlODBC does not
        // always report such a line as dead when asked.)
        if (m_lineLost || (m_watchdog && m_watchdog->fired()))
            close();
        throw;
    }
}

// A statement's rows fetched one at a time; a failure closes a line the driver found broken, as
// every other statement does.
class OdbcDatabase::RowCursor : public Cursor
{
public:
    RowCursor(OdbcDatabase& db, std::string_view sql, std::span<const SqlParam> params)
        : m_db(db)
        , m_statement(db, sql)
    {
        m_rows = m_db.guarded([&] {
            if (!m_statement.run(StatementText::translate(sql, db.m_engine, StatementText::Placeholders::Question),
                                 params, "查询失败")) {
                return false;
            }
            m_statement.describe();
            return true;
        });
    }
    const Row* next() override
    {
        if (!m_rows)
            return nullptr;
        m_rows = m_db.guarded([&] { return m_statement.next(); });
        return m_rows ? &m_statement : nullptr;
    }

private:
    OdbcDatabase& m_db;
    Statement m_statement;
    bool m_rows = false;
};

std::unique_ptr<Cursor> OdbcDatabase::openCursor(std::string_view sql, std::span<const SqlParam> params)
{
    return std::make_unique<RowCursor>(*this, sql, params);
}

void OdbcDatabase::query(std::string_view sql, std::span<const SqlParam> params, const RowHandler& onRow)
{
    const std::unique_ptr<Cursor> cursor = openCursor(sql, params);
    while (const Row* row = cursor->next()) {
        if (!onRow(*row))
            return;
    }
}

qint64 OdbcDatabase::execute(std::string_view sql, std::span<const SqlParam> params)
{
    return guarded([&]() -> qint64 {
        Statement statement(*this, sql);
        if (!statement.run(StatementText::translate(sql, m_engine, StatementText::Placeholders::Question), params,
                           "执行失败")) {
            return 0;
        }
        return statement.rowCount();
    });
}

void OdbcDatabase::beginTransaction()
{
    if (!m_connection)
        throw DatabaseError("数据库连接已关闭，无法开始事务。");
    guarded([&] {
        const Watchdog::Call call(m_watchdog.get());
        if (!SQL_SUCCEEDED(SQLSetConnectAttr(m_connection, SQL_ATTR_AUTOCOMMIT,
                                             reinterpret_cast<SQLPOINTER>(SQL_AUTOCOMMIT_OFF), 0))) {
            fail(SQL_HANDLE_DBC, m_connection, "无法开始事务", "BEGIN");
        }
    });
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
    const char* sql = completion == SQL_COMMIT ? "COMMIT" : "ROLLBACK";
    guarded([&] {
        const Watchdog::Call call(m_watchdog.get());
        const SQLRETURN rc = SQLEndTran(SQL_HANDLE_DBC, m_connection, completion);
        const bool ended = SQL_SUCCEEDED(rc);
        const bool cut = m_watchdog && m_watchdog->fired();
        const bool late = !ended && timedOut(SQL_HANDLE_DBC, m_connection);
        m_lineLost = m_lineLost || (!ended && lineLost(SQL_HANDLE_DBC, m_connection));
        const std::string problem = ended ? std::string() : diagnostics(SQL_HANDLE_DBC, m_connection);
        // Back to one statement at a time, whatever the end of the transaction met.
        if (!cut)
            SQLSetConnectAttr(m_connection, SQL_ATTR_AUTOCOMMIT, reinterpret_cast<SQLPOINTER>(SQL_AUTOCOMMIT_ON), 0);
        if (!ended && (cut || late))
            throw NoAnswerError(m_server, m_statementTimeout, sql);
        if (!ended)
            throw DatabaseError(std::string("执行失败“") + sql + "”：" + problem);
    });
}

} // namespace kelm

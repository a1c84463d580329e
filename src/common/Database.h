#pragma once

#include <kelm/Error.h>

#include <QString>

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string_view>
#include <variant>
#include <vector>

namespace kelm {

class DatabaseError : public Error
{
public:
    using Error::Error;
};

// The database holds something that makes a command refuse to go on (a card number two members
// share): nothing was written, and the message says all the cashier needs to know.
class RefusalError : public DatabaseError
{
public:
    using DatabaseError::DatabaseError;
};

// A value bound to a statement's placeholder. Every value the screens send is bound, never spliced
// into the SQL text, so a quote inside a value is stored exactly as typed. A double travels with
// all its digits, so a value read from a row compares equal to the row when it is sent back.
using SqlParam = std::variant<std::monostate, qint64, double, QString>;

// One cell of a result row, valid only while the row handler runs.
struct Cell
{
    enum class Type : std::uint8_t { Null, Integer, Real, Text };
    Type type = Type::Null;
    qint64 integer = 0;
    double real = 0;
    // UTF-8, not terminated. A server that hands numbers over as digits leaves them here too, for
    // Integer and Real cells: the exact value, which a double may not hold.
    const char* text = nullptr;
    int size = 0;

    bool isNull() const { return type == Type::Null; }
    std::string_view bytes() const { return {text, static_cast<std::size_t>(size)}; }

    // The standard value-to-text conversion: text unchanged, numbers in the default number form.
    // A NULL cannot become text and throws.
    QString toText() const;
    // The cell as a number; text is read in the system's number form. Throws when it is no number.
    double toNumber() const;
    // The value exactly as the database holds it, to be bound to a statement that must find the
    // row still holding it (a number from a server's digits goes back as those digits).
    SqlParam toParam() const;
};

class Row
{
public:
    virtual ~Row() = default;
    virtual int columnCount() const = 0;
    virtual std::string_view columnName(int index) const = 0;
    virtual Cell cell(int index) const = 0;

    // -1 when the result has no such column.
    int indexOf(std::string_view utf8Name) const;
    // The cell of the named column; throws when the result has no such column.
    Cell cell(std::string_view utf8Name) const;
};

// Returns false to stop reading further rows.
using RowHandler = std::function<bool(const Row&)>;

// A query's rows read one at a time, at the reader's pace. While it is open its connection runs no
// other statement; closing it (destroying it) ends the query, read to its end or not.
class Cursor
{
public:
    virtual ~Cursor() = default;
    // The next row, valid until the next call; null after the last. Throws when the query fails.
    virtual const Row* next() = 0;
};

// PostgreSqlOdbc is PostgreSQL reached through its ODBC driver instead of libpq: the same server and
// schema, the same client code as SQL Server.
enum class Engine { Sqlite, PostgreSql, SqlServer, PostgreSqlOdbc };

// What the line to a server must be (config.ini's 加密). DriverDefault leaves it to each driver, as
// the tills always did: libpq tries TLS but takes any certificate, psqlODBC never encrypts, FreeTDS
// encrypts only for a server that insists. Require refuses a server that will not encrypt;
// VerifyFull also refuses one whose certificate does not chain to the CA file or does not carry the
// name the till connects to.
enum class Encryption { DriverDefault, Disable, Require, VerifyFull };

struct ConnectionSettings
{
    Engine engine = Engine::Sqlite;
    QString server;   // host, optionally "host,port" or "host:port"
    QString user;
    QString password;
    QString database; // catalogue name, or for SQLite the database file
    QString baseFolder; // a relative SQLite file is taken from here
    QString configFile; // the config.ini these came from, named when a value is missing
    QString odbcDriver; // the ODBC driver's name in odbcinst.ini; empty: the engine's usual one
    // How long a cashier waits, in whole seconds: for the server to take the connection, and for
    // it to answer a statement (for SQLite: for another till to let go of the file).
    int connectTimeout = 10;
    int statementTimeout = 10;
    QString tdsVersion; // FreeTDS's protocol version for SQL Server; empty: 7.1
    Encryption encryption = Encryption::DriverDefault;
    QString caFile; // absolute path of the CA certificates for PostgreSQL; empty: libpq's own default

    // No TLS was asked for, and the server is not on the till's own machine: what the till sends
    // (logins, PINs, ID numbers) may cross the shop's network in clear.
    bool travelsInClear() const;
};

// A command that ended because the server did not answer in time. The connection it was on may
// have been given up; what the command had sent is rolled back with it.
class NoAnswerError : public DatabaseError
{
public:
    NoAnswerError(const QString& server, int seconds, std::string_view sql);
};

// The thin database interface every screen talks through. One implementation per engine.
class Database
{
public:
    virtual ~Database() = default;

    // A transaction: what runs between begin and commit reaches the database whole or not at all,
    // whatever breaks in between (a failed statement, a lost line, a killed till). Use the
    // Transaction guard rather than these calls.
    void begin();
    void commit();
    // Never throws: a line that broke has lost the transaction on the server's side already.
    void rollback() noexcept;
    bool inTransaction() const { return m_inTransaction; }

    virtual void open(const ConnectionSettings& settings) = 0;
    virtual void close() = 0;
    // False once closed, and once the server has dropped the connection (a restart, a broken
    // network): such a connection can only be opened again.
    virtual bool isOpen() const = 0;

    // Runs a query, handing each row to onRow in the order the database returns them.
    virtual void query(std::string_view sql, std::span<const SqlParam> params, const RowHandler& onRow) = 0;
    // Runs a statement; returns the number of rows it changed.
    virtual qint64 execute(std::string_view sql, std::span<const SqlParam> params) = 0;
    // Starts a query whose rows the caller reads through the cursor.
    virtual std::unique_ptr<Cursor> openCursor(std::string_view sql, std::span<const SqlParam> params) = 0;

protected:
    virtual void beginTransaction() = 0;
    virtual void commitTransaction() = 0;
    virtual void rollbackTransaction() = 0;
    // A backend whose connection closes forgets the transaction that was open on it.
    void forgetTransaction() { m_inTransaction = false; }

private:
    bool m_inTransaction = false;
};

// Whether the database has this table. A failure that is not about the table (a broken line)
// throws rather than passing for a missing table.
bool hasTable(Database& db, std::string_view table);

// The number a "SELECT count(*) FROM …" query gives.
qint64 countOf(Database& db, std::string_view countQuery);

// Adds rows to a table with few statements: insertInto ("insert into t (a,b) values ") followed by
// as many "(?,?)" as the engines take bound values in one statement (SQL Server at most 2,100,
// SQLite builds before 3.32 999). cells holds the rows one after the other, columns cells each.
void insertRows(Database& db, std::string_view insertInto, std::size_t columns, std::span<const SqlParam> cells);

// Rolls the transaction it began back unless commit() was reached.
class Transaction
{
public:
    explicit Transaction(Database& db);
    ~Transaction();
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;

    void commit();

private:
    Database& m_db;
    bool m_committed = false;
};

} // namespace kelm

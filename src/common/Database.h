#pragma once

#include <kelm/Error.h>

#include <QString>

#include <cstdint>
#include <functional>
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

// A value bound to a statement's placeholder. Every value the screens send is bound, never spliced
// into the SQL text, so a quote inside a value is stored exactly as typed.
using SqlParam = std::variant<std::monostate, qint64, QString>;

// One cell of a result row, valid only while the row handler runs.
struct Cell
{
    enum class Type : std::uint8_t { Null, Integer, Real, Text };
    Type type = Type::Null;
    qint64 integer = 0;
    double real = 0;
    const char* text = nullptr; // UTF-8, not terminated
    int size = 0;

    bool isNull() const { return type == Type::Null; }
    std::string_view bytes() const { return {text, static_cast<std::size_t>(size)}; }

    // The standard value-to-text conversion: text unchanged, numbers in the default number form.
    // A NULL cannot become text and throws.
    QString toText() const;
    // The cell as a number; text is read in the system's number form. Throws when it is no number.
    double toNumber() const;
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

// PostgreSqlOdbc is PostgreSQL reached through its ODBC driver instead of libpq: the same server and
// schema, the same client code as SQL Server.
enum class Engine { Sqlite, PostgreSql, SqlServer, PostgreSqlOdbc };

struct ConnectionSettings
{
    Engine engine = Engine::Sqlite;
    QString server;   // host, optionally "host,port" or "host:port"
    QString user;
    QString password;
    QString database; // catalogue name, or for SQLite the database file
    QString baseFolder; // a relative SQLite file is taken from here
    QString odbcDriver; // the ODBC driver's name in odbcinst.ini; empty: the engine's usual one
};

// The thin database interface every screen talks through. One implementation per engine.
class Database
{
public:
    virtual ~Database() = default;

    virtual void open(const ConnectionSettings& settings) = 0;
    virtual void close() = 0;
    // False once closed, and once the server has dropped the connection (a restart, a broken
    // network): such a connection can only be opened again.
    virtual bool isOpen() const = 0;

    // Runs a query, handing each row to onRow in the order the database returns them.
    virtual void query(std::string_view sql, std::span<const SqlParam> params, const RowHandler& onRow) = 0;
    // Runs a statement; returns the number of rows it changed.
    virtual qint64 execute(std::string_view sql, std::span<const SqlParam> params) = 0;
};

} // namespace kelm

#include "PostgresData.h"

#include <QDir>
#include <QFile>

#include <libpq-fe.h>
#include <sqlite3.h>

#include <stdexcept>
#include <string>

namespace kelm::PostgresData {

namespace {

std::string hostOf(const QString& server)
{
    return server.section(u':', 0, 0).toStdString();
}

std::string portOf(const QString& server)
{
    return server.section(u':', 1, 1).toStdString();
}

PGconn* connect(const QString& server, const std::string& database)
{
    const std::string host = hostOf(server);
    const std::string port = portOf(server);
    const char* keys[] = {"host", "port", "user", "dbname", "client_encoding", nullptr};
    const char* values[] = {host.c_str(), port.c_str(), "postgres", database.c_str(), "UTF8", nullptr};
    PGconn* connection = PQconnectdbParams(keys, values, 0);
    if (PQstatus(connection) != CONNECTION_OK) {
        const std::string message = PQerrorMessage(connection);
        PQfinish(connection);
        throw std::runtime_error("cannot reach PostgreSQL at " + server.toStdString() + ": " + message);
    }
    // The server's notices ("does not exist, skipping") are not the benchmark's output.
    PQsetNoticeProcessor(connection, [](void*, const char*) {}, nullptr);
    return connection;
}

void run(PGconn* connection, const std::string& sql)
{
    PGresult* result = PQexec(connection, sql.c_str());
    const ExecStatusType status = PQresultStatus(result);
    const std::string message = PQresultErrorMessage(result);
    PQclear(result);
    if (status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK)
        throw std::runtime_error(sql.substr(0, 80) + ": " + message);
}

// One COPY field: tabs, newlines and backslashes escaped; NULL as \N.
void appendField(std::string& line, const unsigned char* text, int size)
{
    if (!text) {
        line += "\\N";
        return;
    }
    for (int i = 0; i < size; ++i) {
        const char c = static_cast<char>(text[i]);
        if (c == '\\' || c == '\t' || c == '\n' || c == '\r')
            line += '\\';
        line += c == '\t' ? 't' : c == '\n' ? 'n' : c == '\r' ? 'r' : c;
    }
}

// Copies the rows of a SQLite table into the same table on the server, column by column as named.
void copyTable(sqlite3* source, PGconn* target, const char* table, const char* columns)
{
    sqlite3_stmt* statement = nullptr;
    const std::string select = std::string("SELECT ") + columns + " FROM " + table;
    if (sqlite3_prepare_v2(source, select.c_str(), -1, &statement, nullptr) != SQLITE_OK)
        throw std::runtime_error(sqlite3_errmsg(source));
    PGresult* started = PQexec(target, (std::string("COPY ") + table + " (" + columns + ") FROM STDIN").c_str());
    const bool copying = PQresultStatus(started) == PGRES_COPY_IN;
    PQclear(started);
    if (!copying) {
        sqlite3_finalize(statement);
        throw std::runtime_error(PQerrorMessage(target));
    }
    std::string chunk;
    const int count = sqlite3_column_count(statement);
    while (sqlite3_step(statement) == SQLITE_ROW) {
        for (int c = 0; c < count; ++c) {
            if (c > 0)
                chunk += '\t';
            appendField(chunk, sqlite3_column_text(statement, c), sqlite3_column_bytes(statement, c));
        }
        chunk += '\n';
        if (chunk.size() > (1 << 20)) {
            PQputCopyData(target, chunk.data(), static_cast<int>(chunk.size()));
            chunk.clear();
        }
    }
    sqlite3_finalize(statement);
    PQputCopyData(target, chunk.data(), static_cast<int>(chunk.size()));
    PQputCopyEnd(target, nullptr);
    PGresult* ended = PQgetResult(target);
    const bool copied = PQresultStatus(ended) == PGRES_COMMAND_OK;
    PQclear(ended);
    while (PGresult* rest = PQgetResult(target))
        PQclear(rest);
    if (!copied)
        throw std::runtime_error(PQerrorMessage(target));
}

} // namespace

BenchDatabase copy(const BenchDatabase& source, const QString& server)
{
    BenchDatabase data = source;
    data.server = server;
    data.serverDatabase = QFileInfo(source.folder).fileName().replace(u'-', u'_').prepend(QStringLiteral("bench_"));
    data.folder = source.folder + QStringLiteral("-postgresql");
    data.configPath = QDir(data.folder).filePath(QStringLiteral("config.ini"));
    QDir().mkpath(data.folder);

    PGconn* maintenance = connect(server, "postgres");
    run(maintenance, "DROP DATABASE IF EXISTS " + data.serverDatabase.toStdString() + " WITH (FORCE)");
    run(maintenance, "CREATE DATABASE " + data.serverDatabase.toStdString() + " ENCODING 'UTF8' TEMPLATE template0");
    PQfinish(maintenance);

    PGconn* target = connect(server, data.serverDatabase.toStdString());
    QFile schema(QStringLiteral(KELM_SOURCE_DIR "/sql/postgresql.sql"));
    if (!schema.open(QIODevice::ReadOnly))
        throw std::runtime_error("sql/postgresql.sql is missing");
    run(target, schema.readAll().toStdString());
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(QFile::encodeName(source.databasePath).constData(), &db, SQLITE_OPEN_READONLY, nullptr)
        != SQLITE_OK) {
        throw std::runtime_error("cannot open " + source.databasePath.toStdString());
    }
    copyTable(db, target, "kelm", "日期,卡号,姓名,联系地址,联系电话,密码,身份证号,余额,积分");
    copyTable(db, target, "lpgl", "名称,数量,积分");
    copyTable(db, target, "bz", "标识");
    sqlite3_close(db);
    run(target, "VACUUM ANALYZE");
    // The copy's pages are written out now, not by a checkpoint in the middle of the timings.
    run(target, "CHECKPOINT");
    PQfinish(target);

    QFile config(data.configPath);
    config.open(QIODevice::WriteOnly | QIODevice::Truncate);
    config.write(QStringLiteral("[config]\n驱动=postgresql\n服务器=%1\n用户名=postgres\n数据库名称=%2\n卡片目录=cards\n"
                                "[dqcz]\n操作员=收银员01\n")
                     .arg(server, data.serverDatabase)
                     .toUtf8());
    return data;
}

PGconn* open(const BenchDatabase& data)
{
    return connect(data.server, data.serverDatabase.toStdString());
}

std::size_t scan(PGconn* connection)
{
    // 日期 卡号 姓名 联系地址 联系电话 密码 身份证号 余额 积分, shown as 日期 姓名 卡号 身份证号 联系地址 联系电话 余额 积分.
    constexpr int Shown[] = {0, 2, 1, 6, 3, 4, 7, 8};
    if (!PQsendQuery(connection, "SELECT * FROM kelm") || !PQsetSingleRowMode(connection))
        throw std::runtime_error(PQerrorMessage(connection));
    std::size_t bytes = 0;
    while (PGresult* result = PQgetResult(connection)) {
        if (PQresultStatus(result) == PGRES_SINGLE_TUPLE) {
            for (const int column : Shown) {
                const char* text = PQgetvalue(result, 0, column);
                bytes += static_cast<std::size_t>(PQgetlength(result, 0, column)) + (text ? 1 : 0);
            }
        }
        PQclear(result);
    }
    return bytes;
}

} // namespace kelm::PostgresData

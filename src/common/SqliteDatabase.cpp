#include "common/SqliteDatabase.h"

#include <QDir>
#include <QFileInfo>

#include <sqlite3.h>

#include <memory>
#include <string>

namespace kelm {

namespace {

struct StatementDeleter
{
    void operator()(sqlite3_stmt* statement) const { sqlite3_finalize(statement); }
};
using Statement = std::unique_ptr<sqlite3_stmt, StatementDeleter>;

[[noreturn]] void fail(sqlite3* db, const std::string& what)
{
    throw DatabaseError(what + "：" + (db ? sqlite3_errmsg(db) : "数据库未打开"));
}

class SqliteRow : public Row
{
public:
    explicit SqliteRow(sqlite3_stmt* statement)
        : m_statement(statement)
        , m_count(sqlite3_column_count(statement))
    {
    }
    int columnCount() const override { return m_count; }
    std::string_view columnName(int index) const override
    {
        const char* name = sqlite3_column_name(m_statement, index);
        return name ? std::string_view(name) : std::string_view();
    }
    Cell cell(int index) const override
    {
        // The column is looked up once and its value read directly: each sqlite3_column_* call
        // checks the statement and the column again, and three of them per cell took a fifth of
        // the time a million-member list spends in SQLite. The value is read at once, on the one
        // thread that uses the connection (it is opened NOMUTEX), where the unprotected value
        // that sqlite3_column_value hands out is safe.
        sqlite3_value* value = sqlite3_column_value(m_statement, index);
        Cell cell;
        switch (sqlite3_value_type(value)) {
        case SQLITE_INTEGER:
            cell.type = Cell::Type::Integer;
            cell.integer = sqlite3_value_int64(value);
            break;
        case SQLITE_FLOAT:
            cell.type = Cell::Type::Real;
            cell.real = sqlite3_value_double(value);
            break;
        case SQLITE_NULL:
            break;
        default: // text, and blobs shown as their bytes
            cell.type = Cell::Type::Text;
            cell.text = reinterpret_cast<const char*>(sqlite3_value_text(value));
            cell.size = sqlite3_value_bytes(value);
            break;
        }
        return cell;
    }

private:
    sqlite3_stmt* m_statement;
    int m_count;
};

} // namespace

SqliteDatabase::~SqliteDatabase()
{
    close();
}

void SqliteDatabase::open(const ConnectionSettings& settings)
{
    close();
    if (settings.database.isEmpty())
        throw DatabaseError("无法打开数据库：config.ini 中没有设置“数据库名称”"
                            + (settings.configFile.isEmpty() ? std::string()
                                                             : "（读取的是“" + settings.configFile.toStdString() + "”）")
                            + "。");
    m_path = QDir(settings.baseFolder).absoluteFilePath(settings.database);
    const std::string path = QFile::encodeName(m_path).toStdString();
    if (!QFileInfo(m_path).isFile())
        throw DatabaseError("无法打开数据库：数据库文件“" + m_path.toStdString() + "”不存在。");
    sqlite3* db = nullptr;
    const int rc = sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, nullptr);
    if (rc != SQLITE_OK) {
        const std::string message = db ? sqlite3_errmsg(db) : sqlite3_errstr(rc);
        sqlite3_close(db);
        throw DatabaseError("无法打开数据库文件“" + m_path.toStdString() + "”：" + message);
    }
    // Tills sharing one file wait for each other instead of failing at once, as long as a server
    // would be waited for.
    sqlite3_busy_timeout(db, settings.statementTimeout * 1000);
    m_statementTimeout = settings.statementTimeout;
    // A file that is not a database is found out here rather than at the first screen command.
    char* error = nullptr;
    if (sqlite3_exec(db, "SELECT count(*) FROM sqlite_master", nullptr, nullptr, &error) != SQLITE_OK) {
        const std::string message = error ? error : "";
        sqlite3_free(error);
        sqlite3_close(db);
        throw DatabaseError("无法打开数据库文件“" + m_path.toStdString() + "”：" + message);
    }
    m_db = db;
}

void SqliteDatabase::close()
{
    forgetTransaction();
    if (m_db) {
        sqlite3_close_v2(m_db);
        m_db = nullptr;
    }
}

namespace {

Statement prepare(sqlite3* db, std::string_view sql, std::span<const SqlParam> params)
{
    if (!db)
        throw DatabaseError("数据库连接已关闭，无法执行：" + std::string(sql));
    sqlite3_stmt* raw = nullptr;
    if (sqlite3_prepare_v2(db, sql.data(), static_cast<int>(sql.size()), &raw, nullptr) != SQLITE_OK)
        fail(db, "无法执行“" + std::string(sql) + "”");
    Statement statement(raw);
    if (sqlite3_bind_parameter_count(raw) != static_cast<int>(params.size()))
        throw DatabaseError("参数个数与语句不符：" + std::string(sql));
    for (std::size_t i = 0; i < params.size(); ++i) {
        const int index = static_cast<int>(i) + 1;
        int rc = SQLITE_OK;
        if (const auto* text = std::get_if<QString>(&params[i])) {
            const QByteArray utf8 = text->toUtf8();
            rc = sqlite3_bind_text(raw, index, utf8.constData(), static_cast<int>(utf8.size()), SQLITE_TRANSIENT);
        } else if (const auto* number = std::get_if<qint64>(&params[i])) {
            rc = sqlite3_bind_int64(raw, index, *number);
        } else if (const auto* real = std::get_if<double>(&params[i])) {
            rc = sqlite3_bind_double(raw, index, *real);
        } else {
            rc = sqlite3_bind_null(raw, index);
        }
        if (rc != SQLITE_OK)
            fail(db, "无法绑定参数");
    }
    return statement;
}

} // namespace

namespace {

class SqliteCursor : public Cursor
{
public:
    SqliteCursor(sqlite3* db, Statement statement, std::string_view sql)
        : m_db(db)
        , m_statement(std::move(statement))
        , m_row(m_statement.get())
        , m_sql(sql)
    {
    }
    const Row* next() override
    {
        if (!m_statement)
            return nullptr;
        const int rc = sqlite3_step(m_statement.get());
        if (rc == SQLITE_ROW)
            return &m_row;
        m_statement.reset();
        if (rc != SQLITE_DONE)
            fail(m_db, "查询失败“" + m_sql + "”");
        return nullptr;
    }

private:
    sqlite3* m_db;
    Statement m_statement;
    SqliteRow m_row;
    std::string m_sql;
};

} // namespace

std::unique_ptr<Cursor> SqliteDatabase::openCursor(std::string_view sql, std::span<const SqlParam> params)
{
    return std::make_unique<SqliteCursor>(m_db, prepare(m_db, sql, params), sql);
}

void SqliteDatabase::query(std::string_view sql, std::span<const SqlParam> params, const RowHandler& onRow)
{
    const std::unique_ptr<Cursor> cursor = openCursor(sql, params);
    while (const Row* row = cursor->next()) {
        if (!onRow(*row))
            return;
    }
}

qint64 SqliteDatabase::execute(std::string_view sql, std::span<const SqlParam> params)
{
    Statement statement = prepare(m_db, sql, params);
    int rc;
    while ((rc = sqlite3_step(statement.get())) == SQLITE_ROW) {
    }
    if (rc != SQLITE_DONE)
        fail(m_db, "执行失败“" + std::string(sql) + "”");
    return sqlite3_changes64(m_db);
}

void SqliteDatabase::backupTo(const QString& path)
{
    if (!m_db)
        throw DatabaseError("数据库连接已关闭，无法备份。");
    sqlite3* copy = nullptr;
    const QByteArray file = QFile::encodeName(path);
    if (sqlite3_open_v2(file.constData(), &copy, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) != SQLITE_OK) {
        const std::string message = copy ? sqlite3_errmsg(copy) : "内存不足";
        sqlite3_close(copy);
        throw DatabaseError("无法创建备份文件“" + path.toStdString() + "”：" + message);
    }
    const std::unique_ptr<sqlite3, int (*)(sqlite3*)> closeCopy(copy, sqlite3_close);
    sqlite3_backup* backup = sqlite3_backup_init(copy, "main", m_db, "main");
    if (!backup)
        throw DatabaseError("无法备份到“" + path.toStdString() + "”：" + sqlite3_errmsg(copy));
    // A step copies a slice of pages and lets go of the file, so a till waits for one slice at most.
    // A till that writes in between makes the next step start over from the changed database.
    constexpr int PagesPerStep = 4096;
    constexpr int PauseMs = 20;
    int waitedMs = 0;
    int rc;
    while ((rc = sqlite3_backup_step(backup, PagesPerStep)) != SQLITE_DONE) {
        if (rc == SQLITE_BUSY || rc == SQLITE_LOCKED) {
            if (waitedMs >= m_statementTimeout * 1000)
                break;
            sqlite3_sleep(PauseMs);
            waitedMs += PauseMs;
        } else if (rc == SQLITE_OK) {
            waitedMs = 0;
        } else {
            break;
        }
    }
    sqlite3_backup_finish(backup);
    if (rc == SQLITE_BUSY || rc == SQLITE_LOCKED)
        throw DatabaseError("无法备份：数据库文件“" + m_path.toStdString() + "”被其他程序占用，"
                            + std::to_string(m_statementTimeout) + " 秒内没有释放。");
    if (rc != SQLITE_DONE)
        throw DatabaseError("无法备份到“" + path.toStdString() + "”：" + sqlite3_errstr(rc));
}

void SqliteDatabase::beginTransaction()
{
    // IMMEDIATE takes the file's write lock at once (waiting for it as long as the busy timeout
    // allows), so a till never finds another holding it halfway through its command.
    execute("BEGIN IMMEDIATE", {});
}

void SqliteDatabase::commitTransaction()
{
    execute("COMMIT", {});
}

void SqliteDatabase::rollbackTransaction()
{
    // SQLite may have rolled back already after an I/O error or a full disk.
    if (m_db && !sqlite3_get_autocommit(m_db))
        execute("ROLLBACK", {});
}

} // namespace kelm

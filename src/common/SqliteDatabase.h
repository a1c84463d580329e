#pragma once

#include "common/Database.h"

struct sqlite3;

namespace kelm {

// The embedded engine: one SQLite file, opened read-write and never created.
class SqliteDatabase : public Database
{
public:
    SqliteDatabase() = default;
    ~SqliteDatabase() override;
    SqliteDatabase(const SqliteDatabase&) = delete;
    SqliteDatabase& operator=(const SqliteDatabase&) = delete;

    void open(const ConnectionSettings& settings) override;
    void close() override;
    bool isOpen() const override { return m_db != nullptr; }

    void query(std::string_view sql, std::span<const SqlParam> params, const RowHandler& onRow) override;
    qint64 execute(std::string_view sql, std::span<const SqlParam> params) override;
    std::unique_ptr<Cursor> openCursor(std::string_view sql, std::span<const SqlParam> params) override;

    QString path() const { return m_path; }

    // Copies the open database page by page into the SQLite file at path (an empty file, or none),
    // through SQLite's online backup: tills may go on working meanwhile, and the copy is the
    // database as it stood at one moment. Waits for a till that holds the file as long as a
    // statement would, then throws.
    void backupTo(const QString& path);

protected:
    void beginTransaction() override;
    void commitTransaction() override;
    void rollbackTransaction() override;

private:
    sqlite3* m_db = nullptr;
    QString m_path;
    int m_statementTimeout = 10;
};

} // namespace kelm

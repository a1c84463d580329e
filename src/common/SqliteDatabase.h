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

protected:
    void beginTransaction() override;
    void commitTransaction() override;
    void rollbackTransaction() override;

private:
    sqlite3* m_db = nullptr;
    QString m_path;
};

} // namespace kelm

#pragma once

#include "common/SqliteDatabase.h"

#include <QMap>
#include <QStringList>
#include <QTemporaryDir>

#include <memory>

// A fresh database built by the production schema, with config.ini naming it in a temporary folder,
// and a card key byte in bz. The engine comes from KELM_TEST_ENGINE: sqlite (the default, a file in
// the folder), postgresql (libpq) or odbc-postgresql (PostgreSQL's ODBC driver). On a server each
// TestDatabase is a database of its own, created here and dropped at the end; the server is found
// through KELM_TEST_PG_HOST, KELM_TEST_PG_PORT, KELM_TEST_PG_USER and KELM_TEST_PG_PASSWORD.
class TestDatabase
{
public:
    explicit TestDatabase(const QString& keyByte = QStringLiteral("A7"));
    ~TestDatabase();
    TestDatabase(const TestDatabase&) = delete;
    TestDatabase& operator=(const TestDatabase&) = delete;

    // The engine the tests run on, from KELM_TEST_ENGINE.
    static kelm::Engine engine();

    QString folder() const { return m_dir.path(); }
    QString configPath() const { return m_dir.filePath(QStringLiteral("config.ini")); }
    // The SQLite file; on a server engine no such file exists.
    QString databasePath() const { return m_dir.filePath(QStringLiteral("kelm.db")); }
    // What a screen opens for this database (config.ini's settings as the library reads them).
    kelm::ConnectionSettings connection() const { return m_connection; }
    // The [config] section that names this database, for tests that write config.ini themselves.
    QString configLines() const;
    // Rewrites config.ini with these lines (UTF-8).
    void writeConfig(const QString& text) const;

    kelm::Database& db() { return *m_db; }
    // Runs SQL text directly (several statements allowed), as another program would: through a
    // connection of its own.
    void exec(const QString& sql);
    // The first column of the first row as the list would show it; "<none>" without a row, "<null>".
    QString scalar(const QString& sql);
    int count(const QString& table);
    // Every row of every table as text ("<null>" for NULL), gift ids left out, the rows of each
    // table sorted: what another program sees, in whatever order the engine returns rows.
    using Contents = QMap<QString, QStringList>;
    Contents contents();

    void addMember(const QString& card, const QString& name, const QString& balance = QStringLiteral("0"),
                   const QString& points = QStringLiteral("0"), const QString& password = QStringLiteral("462"));
    void addGift(const QString& name, const QString& quantity, const QString& points);

private:
    QTemporaryDir m_dir;
    kelm::ConnectionSettings m_connection;
    std::unique_ptr<kelm::Database> m_db;
};

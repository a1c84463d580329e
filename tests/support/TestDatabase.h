#pragma once

#include "common/SqliteDatabase.h"

#include <QTemporaryDir>

// A fresh SQLite database built by the production schema in a temporary folder, with config.ini
// beside it naming it, and a card key byte in bz.
class TestDatabase
{
public:
    explicit TestDatabase(const QString& keyByte = QStringLiteral("A7"));

    QString folder() const { return m_dir.path(); }
    QString configPath() const { return m_dir.filePath(QStringLiteral("config.ini")); }
    QString databasePath() const { return m_dir.filePath(QStringLiteral("kelm.db")); }
    // Rewrites config.ini with these lines (UTF-8).
    void writeConfig(const QString& text) const;

    kelm::Database& db() { return m_db; }
    // Runs SQL text directly (several statements allowed), as another program would.
    void exec(const QString& sql);
    // The first column of the first row as the list would show it; "<none>" without a row, "<null>".
    QString scalar(const QString& sql);
    int count(const QString& table);

    void addMember(const QString& card, const QString& name, const QString& balance = QStringLiteral("0"),
                   const QString& points = QStringLiteral("0"), const QString& password = QStringLiteral("462"));
    void addGift(const QString& name, const QString& quantity, const QString& points);

private:
    QTemporaryDir m_dir;
    kelm::SqliteDatabase m_db;
};

#include "TestDatabase.h"

#include "common/CardKeyTable.h"
#include "common/GiftTable.h"
#include "common/MemberTable.h"
#include "common/SchemaScript.h"
#include "common/SharedConnection.h"
#include "common/SqliteDatabase.h"

#include <QCoreApplication>
#include <QFile>
#include <QRandomGenerator>
#include <QTest>

#include <sqlite3.h>

using kelm::Engine;

namespace {

QString environment(const char* name, const char* fallback)
{
    const QString value = qEnvironmentVariable(name);
    return value.isEmpty() ? QString::fromLatin1(fallback) : value;
}

// The server's maintenance database, from which test databases are created and dropped.
kelm::ConnectionSettings serverSettings(Engine engine, const QString& database)
{
    kelm::ConnectionSettings settings;
    settings.engine = engine;
    settings.server = environment("KELM_TEST_PG_HOST", "127.0.0.1") + u',' + environment("KELM_TEST_PG_PORT", "5432");
    settings.user = environment("KELM_TEST_PG_USER", "postgres");
    settings.password = qEnvironmentVariable("KELM_TEST_PG_PASSWORD");
    settings.database = database;
    return settings;
}

void runOnServer(Engine engine, const QString& database, const QString& sql)
{
    auto db = kelm::SharedConnection::createDatabase(engine);
    db->open(serverSettings(engine, database));
    const QByteArray utf8 = sql.toUtf8();
    db->execute(std::string_view(utf8.constData(), static_cast<std::size_t>(utf8.size())), {});
}

// SQL text cut at each ";" that lies outside quotes.
QStringList statements(const QString& sql)
{
    QStringList result;
    QString current;
    QChar quote;
    for (const QChar c : sql) {
        if (quote.isNull() && c == u';') {
            if (!current.trimmed().isEmpty())
                result.append(current.trimmed());
            current.clear();
            continue;
        }
        if (c == u'\'' || c == u'"')
            quote = quote.isNull() ? c : (quote == c ? QChar() : quote);
        current += c;
    }
    if (!current.trimmed().isEmpty())
        result.append(current.trimmed());
    return result;
}

} // namespace

Engine TestDatabase::engine()
{
    const QString name = qEnvironmentVariable("KELM_TEST_ENGINE").trimmed().toLower();
    if (name.isEmpty() || name == u"sqlite")
        return Engine::Sqlite;
    if (name == u"postgresql")
        return Engine::PostgreSql;
    if (name == u"odbc-postgresql")
        return Engine::PostgreSqlOdbc;
    qFatal("KELM_TEST_ENGINE=%s: expected sqlite, postgresql or odbc-postgresql", qPrintable(name));
}

TestDatabase::TestDatabase(const QString& keyByte)
{
    const Engine engine = TestDatabase::engine();
    QString schemaFile = QStringLiteral(KELM_SOURCE_DIR "/sql/") + kelm::SchemaScript::fileName(engine);
    try {
        if (engine == Engine::Sqlite) {
            QFile(databasePath()).open(QIODevice::WriteOnly);
            m_connection.database = QStringLiteral("kelm.db");
        } else {
            // Short enough for config.ini's 29 bytes, and unique among the tests running at once.
            static int made = 0;
            const QString name = QStringLiteral("kelm_%1_%2_%3")
                                     .arg(QCoreApplication::applicationPid())
                                     .arg(++made)
                                     .arg(QRandomGenerator::global()->bounded(1000, 9999));
            runOnServer(engine, QStringLiteral("postgres"),
                        QStringLiteral("CREATE DATABASE %1 ENCODING 'UTF8' TEMPLATE template0").arg(name));
            m_connection = serverSettings(engine, name);
        }
        m_connection.engine = engine;
        m_connection.baseFolder = folder();
        writeConfig(configLines() + QStringLiteral("[dqcz]\n操作员=收银员甲\n"));
        m_db = kelm::SharedConnection::createDatabase(engine);
        m_db->open(m_connection);
        QFile schema(schemaFile);
        if (!schema.open(QIODevice::ReadOnly))
            qFatal("the schema file is missing");
        kelm::SchemaScript::run(*m_db, QString::fromUtf8(schema.readAll()));
        if (!keyByte.isNull())
            kelm::CardKeyTable::insert(*m_db, keyByte);
    } catch (const std::exception& failure) {
        // No test can run without its database; a server that is not there is a failure, not a skip.
        qFatal("test database: %s", failure.what());
    }
}

TestDatabase::~TestDatabase()
{
    m_db.reset();
    if (m_connection.engine == Engine::Sqlite)
        return;
    try {
        // FORCE ends the connections a screen under test may still hold.
        runOnServer(m_connection.engine, QStringLiteral("postgres"),
                    QStringLiteral("DROP DATABASE IF EXISTS %1 WITH (FORCE)").arg(m_connection.database));
    } catch (const std::exception& failure) {
        qWarning("test database %s was not dropped: %s", qPrintable(m_connection.database), failure.what());
    }
}

QString TestDatabase::configLines() const
{
    switch (m_connection.engine) {
    case Engine::Sqlite:
        return QStringLiteral("[config]\n数据库名称=kelm.db\n");
    case Engine::PostgreSql:
    case Engine::PostgreSqlOdbc:
        return QStringLiteral("[config]\n驱动=%1\n服务器=%2\n用户名=%3\n密码=%4\n数据库名称=%5\n")
            .arg(m_connection.engine == Engine::PostgreSql ? QStringLiteral("postgresql")
                                                           : QStringLiteral("odbc-postgresql"),
                 m_connection.server, m_connection.user, m_connection.password, m_connection.database);
    case Engine::SqlServer:
        break;
    }
    qFatal("no test databases on this engine");
}

void TestDatabase::writeConfig(const QString& text) const
{
    // Its owner's alone, as kelm-admin writes it: a till warns of a password others could read.
    QFile file(configPath());
    file.open(QIODevice::WriteOnly | QIODevice::Truncate);
    file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    file.write(text.toUtf8());
}

void TestDatabase::exec(const QString& sql)
{
    // On SQLite a script of several statements (a trigger's body among them) runs as the shell would.
    if (m_connection.engine == Engine::Sqlite) {
        sqlite3* raw = nullptr;
        QVERIFY(sqlite3_open(QFile::encodeName(databasePath()).constData(), &raw) == SQLITE_OK);
        char* error = nullptr;
        const int rc = sqlite3_exec(raw, sql.toUtf8().constData(), nullptr, nullptr, &error);
        const QString message = error ? QString::fromUtf8(error) : QString();
        sqlite3_free(error);
        sqlite3_close(raw);
        QVERIFY2(rc == SQLITE_OK, qPrintable(message));
        return;
    }
    QString message;
    try {
        auto other = kelm::SharedConnection::createDatabase(m_connection.engine);
        other->open(m_connection);
        for (const QString& statement : statements(sql)) {
            const QByteArray utf8 = statement.toUtf8();
            other->execute(std::string_view(utf8.constData(), static_cast<std::size_t>(utf8.size())), {});
        }
    } catch (const std::exception& failure) {
        message = QString::fromUtf8(failure.what());
    }
    QVERIFY2(message.isEmpty(), qPrintable(message));
}

QString TestDatabase::scalar(const QString& sql)
{
    QString result = QStringLiteral("<none>");
    const QByteArray utf8 = sql.toUtf8();
    m_db->query(std::string_view(utf8.constData(), utf8.size()), {}, [&](const kelm::Row& row) {
        const kelm::Cell cell = row.cell(0);
        result = cell.isNull() ? QStringLiteral("<null>") : cell.toText();
        return false;
    });
    return result;
}

TestDatabase::Contents TestDatabase::contents()
{
    Contents tables;
    for (const char* table : {"kelm", "gs", "qzjl", "bz", "lpgl", "lpdhjr"}) {
        QStringList& rows = tables[QString::fromLatin1(table)];
        db().query(std::string("SELECT * FROM ") + table, {}, [&](const kelm::Row& row) {
            QStringList cells;
            for (int i = 0; i < row.columnCount(); ++i) {
                if (row.columnName(i) != "id")
                    cells << (row.cell(i).isNull() ? QStringLiteral("<null>") : row.cell(i).toText());
            }
            rows << cells.join(u'|');
            return true;
        });
        rows.sort();
    }
    return tables;
}

int TestDatabase::count(const QString& table)
{
    return scalar(QStringLiteral("SELECT count(*) FROM ") + table).toInt();
}

void TestDatabase::addMember(const QString& card, const QString& name, const QString& balance, const QString& points,
                             const QString& password)
{
    kelm::MemberTable::insert(*m_db, {QStringLiteral("2026-12-01"), card, name, QStringLiteral("地址") + name,
                                      QStringLiteral("1380000") + card.right(4), password,
                                      QStringLiteral("ID") + card});
    kelm::MemberTable::setBalanceAndPoints(*m_db, card, balance, points);
}

void TestDatabase::addGift(const QString& name, const QString& quantity, const QString& points)
{
    kelm::GiftTable::insert(*m_db, {name, quantity, points});
}

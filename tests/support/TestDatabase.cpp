#include "TestDatabase.h"

#include "common/CardKeyTable.h"
#include "common/GiftTable.h"
#include "common/MemberTable.h"
#include "common/SchemaScript.h"

#include <QFile>
#include <QTest>

#include <sqlite3.h>

TestDatabase::TestDatabase(const QString& keyByte)
{
    QFile(databasePath()).open(QIODevice::WriteOnly);
    writeConfig(QStringLiteral("[config]\n数据库名称=kelm.db\n[dqcz]\n操作员=收银员甲\n"));
    kelm::ConnectionSettings settings;
    settings.database = databasePath();
    m_db.open(settings);
    QFile schema(QStringLiteral(KELM_SOURCE_DIR "/sql/sqlite.sql"));
    if (!schema.open(QIODevice::ReadOnly))
        qFatal("the schema file is missing");
    kelm::SchemaScript::run(m_db, QString::fromUtf8(schema.readAll()));
    if (!keyByte.isNull())
        kelm::CardKeyTable::insert(m_db, keyByte);
}

void TestDatabase::writeConfig(const QString& text) const
{
    QFile file(configPath());
    file.open(QIODevice::WriteOnly | QIODevice::Truncate);
    file.write(text.toUtf8());
}

void TestDatabase::exec(const QString& sql)
{
    sqlite3* raw = nullptr;
    QVERIFY(sqlite3_open(QFile::encodeName(databasePath()).constData(), &raw) == SQLITE_OK);
    char* error = nullptr;
    const int rc = sqlite3_exec(raw, sql.toUtf8().constData(), nullptr, nullptr, &error);
    const QString message = error ? QString::fromUtf8(error) : QString();
    sqlite3_free(error);
    sqlite3_close(raw);
    QVERIFY2(rc == SQLITE_OK, qPrintable(message));
}

QString TestDatabase::scalar(const QString& sql)
{
    QString result = QStringLiteral("<none>");
    const QByteArray utf8 = sql.toUtf8();
    m_db.query(std::string_view(utf8.constData(), utf8.size()), {}, [&](const kelm::Row& row) {
        const kelm::Cell cell = row.cell(0);
        result = cell.isNull() ? QStringLiteral("<null>") : cell.toText();
        return false;
    });
    return result;
}

int TestDatabase::count(const QString& table)
{
    return scalar(QStringLiteral("SELECT count(*) FROM ") + table).toInt();
}

void TestDatabase::addMember(const QString& card, const QString& name, const QString& balance, const QString& points,
                             const QString& password)
{
    kelm::MemberTable::insert(m_db, {QStringLiteral("2026-12-01"), card, name, QStringLiteral("地址") + name,
                                     QStringLiteral("1380000") + card.right(4), password,
                                     QStringLiteral("ID") + card});
    kelm::MemberTable::updateBalance(m_db, card, balance);
    kelm::MemberTable::updatePoints(m_db, card, points);
}

void TestDatabase::addGift(const QString& name, const QString& quantity, const QString& points)
{
    kelm::GiftTable::insert(m_db, {name, quantity, points});
}

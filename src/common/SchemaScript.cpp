#include "common/SchemaScript.h"

#include <QStringList>

namespace kelm::SchemaScript {

QString fileName(Engine engine)
{
    switch (engine) {
    case Engine::Sqlite:
        return QStringLiteral("sqlite.sql");
    case Engine::PostgreSql:
    case Engine::PostgreSqlOdbc:
        return QStringLiteral("postgresql.sql");
    case Engine::SqlServer:
        return QStringLiteral("sqlserver.sql");
    }
    return {};
}

QString upgradeFileName(Engine engine)
{
    return QStringLiteral("upgrade-") + fileName(engine);
}

void run(Database& db, const QString& script)
{
    QString statement;
    for (const QString& line : script.split(u'\n')) {
        const QString trimmed = line.trimmed();
        if (trimmed.startsWith(QStringLiteral("--")))
            continue;
        statement += line + u'\n';
        if (trimmed.endsWith(u';')) {
            statement = statement.trimmed();
            statement.chop(1);
            const QByteArray utf8 = statement.toUtf8();
            db.execute(std::string_view(utf8.constData(), utf8.size()), {});
            statement.clear();
        }
    }
}

} // namespace kelm::SchemaScript

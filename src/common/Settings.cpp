#include "common/Settings.h"

#include "common/Blanks.h"
#include "common/ProfileReader.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSysInfo>

namespace kelm {

namespace {

// Paths are longer than the 29 bytes the login values keep.
constexpr int PathBytes = 259;

// A waiting time in whole seconds; empty keeps the default. Ten minutes is the most a till could
// sensibly wait, and no wait at all is not offered: a till would then hang with its server.
int seconds(const QString& key, const QString& value, int fallback)
{
    const QString text = value.trimmed();
    if (text.isEmpty())
        return fallback;
    bool ok = false;
    const int number = text.toInt(&ok);
    if (!ok || number < 1 || number > 600)
        throw Error(QStringLiteral("config.ini 中的“%1”值“%2”无法识别，应为 1 到 600 之间的整秒数。")
                        .arg(key, value)
                        .toStdString());
    return number;
}

} // namespace

Settings Settings::load(const QString& configPath)
{
    const ProfileReader profile(configPath);
    Settings settings;
    settings.server = profile.value(QStringLiteral("config"), QStringLiteral("服务器"));
    settings.user = profile.value(QStringLiteral("config"), QStringLiteral("用户名"));
    settings.password = profile.value(QStringLiteral("config"), QStringLiteral("密码"));
    settings.database = profile.value(QStringLiteral("config"), QStringLiteral("数据库名称"));
    settings.operatorName = profile.value(QStringLiteral("dqcz"), QStringLiteral("操作员"));
    settings.driver = profile.value(QStringLiteral("config"), QStringLiteral("驱动"));
    settings.odbcDriver = profile.value(QStringLiteral("config"), QStringLiteral("ODBC驱动"), PathBytes);
    settings.readerLibrary = profile.value(QStringLiteral("config"), QStringLiteral("读卡器"));
    settings.readerName = profile.value(QStringLiteral("config"), QStringLiteral("读卡器名称"), PathBytes);
    settings.readerKeySlot = profile.value(QStringLiteral("config"), QStringLiteral("读卡器密钥槽"));
    settings.cardsFolder = profile.value(QStringLiteral("config"), QStringLiteral("卡片目录"), PathBytes);
    settings.tillName = profile.value(QStringLiteral("config"), QStringLiteral("收银机"));
    settings.negativeTopUps = profile.value(QStringLiteral("config"), QStringLiteral("允许负数充值"));
    settings.connectTimeout = profile.value(QStringLiteral("config"), QStringLiteral("连接超时"));
    settings.statementTimeout = profile.value(QStringLiteral("config"), QStringLiteral("执行超时"));
    settings.tdsVersion = profile.value(QStringLiteral("config"), QStringLiteral("TDS版本"));
    settings.folder = QFileInfo(configPath).absolutePath();
    return settings;
}

QString Settings::connectionString() const
{
    return QStringLiteral("provider=sqloledb;server=") + trimBlanks(server) + QStringLiteral(";user id=")
        + trimBlanks(user) + QStringLiteral(";password=") + trimBlanks(password) + QStringLiteral(";database=")
        + trimBlanks(database);
}

ConnectionSettings Settings::connection() const
{
    ConnectionSettings c;
    c.server = trimBlanks(server);
    c.user = trimBlanks(user);
    c.password = trimBlanks(password);
    c.database = trimBlanks(database);
    c.baseFolder = folder;
    c.odbcDriver = odbcDriver.trimmed();
    c.connectTimeout = seconds(QStringLiteral("连接超时"), connectTimeout, c.connectTimeout);
    c.statementTimeout = seconds(QStringLiteral("执行超时"), statementTimeout, c.statementTimeout);
    c.tdsVersion = tdsVersion.trimmed();
    // A version number only: "auto" would let FreeTDS probe for one, and its probe waits for a
    // silent server past the connect timeout.
    static const QRegularExpression version(QStringLiteral("^[0-9]\\.[0-9]$"));
    if (!c.tdsVersion.isEmpty() && !version.match(c.tdsVersion).hasMatch())
        throw Error(QStringLiteral("config.ini 中的“TDS版本”值“%1”无法识别，应为 7.1、7.2、7.3 或 7.4 这样的版本号。")
                        .arg(tdsVersion)
                        .toStdString());

    const QString name = driver.trimmed().toLower();
    if (name.isEmpty())
        c.engine = c.server.isEmpty() ? Engine::Sqlite : Engine::SqlServer;
    else if (name == u"sqlite")
        c.engine = Engine::Sqlite;
    else if (name == u"postgresql")
        c.engine = Engine::PostgreSql;
    else if (name == u"sqlserver")
        c.engine = Engine::SqlServer;
    else if (name == u"odbc-postgresql")
        c.engine = Engine::PostgreSqlOdbc;
    else
        throw Error(QStringLiteral("config.ini 中的“驱动”值“%1”无法识别，应为 sqlite、postgresql、sqlserver 或 "
                                   "odbc-postgresql。")
                        .arg(driver)
                        .toStdString());
    return c;
}

QString Settings::till() const
{
    const QString named = tillName.trimmed();
    return named.isEmpty() ? QSysInfo::machineHostName() : named;
}

bool Settings::allowsNegativeTopUps() const
{
    const QString value = negativeTopUps.trimmed().toLower();
    if (value.isEmpty())
        return true;
    return value == u"是" || value == u"1" || value == u"yes" || value == u"true" || value == u"on";
}

QString Settings::cardsPath() const
{
    const QString named = cardsFolder.trimmed();
    if (named.isEmpty())
        return QDir(folder).filePath(QStringLiteral("cards"));
    return QDir(folder).absoluteFilePath(named);
}

} // namespace kelm

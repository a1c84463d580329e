#include "common/Settings.h"

#include "common/Blanks.h"
#include "common/ProfileReader.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSysInfo>

#include <cerrno>
#include <cstring>

#include <unistd.h>

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

constexpr int LoginBytes = ProfileReader::ValueBytes;

constexpr Settings::Key Keys[] = {
    {u"config", u"服务器", LoginBytes, &Settings::server},
    {u"config", u"用户名", LoginBytes, &Settings::user},
    {u"config", u"密码", LoginBytes, &Settings::password},
    {u"config", u"数据库名称", LoginBytes, &Settings::database},
    {u"config", u"驱动", LoginBytes, &Settings::driver},
    {u"config", u"ODBC驱动", PathBytes, &Settings::odbcDriver},
    {u"config", u"加密", LoginBytes, &Settings::encryption},
    {u"config", u"CA证书", PathBytes, &Settings::caFile},
    {u"config", u"连接超时", LoginBytes, &Settings::connectTimeout},
    {u"config", u"执行超时", LoginBytes, &Settings::statementTimeout},
    {u"config", u"TDS版本", LoginBytes, &Settings::tdsVersion},
    {u"config", u"读卡器", LoginBytes, &Settings::readerLibrary},
    {u"config", u"读卡器名称", PathBytes, &Settings::readerName},
    {u"config", u"读卡器密钥槽", LoginBytes, &Settings::readerKeySlot},
    {u"config", u"卡片目录", PathBytes, &Settings::cardsFolder},
    {u"config", u"收银机", LoginBytes, &Settings::tillName},
    {u"config", u"允许负数充值", LoginBytes, &Settings::negativeTopUps},
    {u"dqcz", u"操作员", LoginBytes, &Settings::operatorName},
};

} // namespace

std::span<const Settings::Key> Settings::keys()
{
    return Keys;
}

QStringList Settings::candidates(const QString& libraryFolder, const QString& systemFile)
{
    const QString named = qEnvironmentVariable("KELM_CONFIG");
    if (!named.isEmpty())
        return {QFileInfo(named).absoluteFilePath()};
    return {pathIn(libraryFolder), systemFile};
}

QString Settings::locate(const QString& libraryFolder, const QString& systemFile)
{
    const QStringList paths = candidates(libraryFolder, systemFile);
    for (const QString& path : paths) {
        // Whatever stands there is taken, a folder or a pipe too: the load then says what is wrong
        // with it instead of quietly reading another till's file.
        const QByteArray name = QFile::encodeName(path);
        if (::access(name.constData(), F_OK) != 0)
            continue;
        if (::access(name.constData(), R_OK) != 0)
            throw Error(QStringLiteral("无法读取 config.ini“%1”：%2。")
                            .arg(path, errno == EACCES ? QStringLiteral("没有读取权限")
                                                       : QString::fromLocal8Bit(std::strerror(errno)))
                            .toStdString());
        return path;
    }
    if (qEnvironmentVariableIsEmpty("KELM_CONFIG"))
        throw Error(QStringLiteral("找不到 config.ini：“%1”和“%2”都不存在。").arg(paths[0], paths[1]).toStdString());
    throw Error(QStringLiteral("找不到 config.ini：环境变量 KELM_CONFIG 指定的“%1”不存在。").arg(paths[0]).toStdString());
}

Settings Settings::load(const QString& configPath)
{
    Settings settings = read(ProfileReader(configPath), QFileInfo(configPath).absolutePath());
    settings.file = configPath;
    return settings;
}

Settings Settings::read(const ProfileReader& profile, const QString& folder)
{
    Settings settings;
    for (const Key& key : Keys)
        settings.*key.field
            = profile.value(QString::fromUtf16(key.section), QString::fromUtf16(key.name), key.maxBytes);
    settings.folder = folder;
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
    c.configFile = file;
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

    const QString mode = encryption.trimmed().toLower();
    if (mode == u"disable")
        c.encryption = Encryption::Disable;
    else if (mode == u"require")
        c.encryption = Encryption::Require;
    else if (mode == u"verify-full")
        c.encryption = Encryption::VerifyFull;
    else if (!mode.isEmpty())
        throw Error(QStringLiteral("config.ini 中的“加密”值“%1”无法识别，应为 disable、require 或 verify-full。")
                        .arg(encryption)
                        .toStdString());
    if (!caFile.trimmed().isEmpty())
        c.caFile = QDir(folder).absoluteFilePath(caFile.trimmed());

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
    // FreeTDS takes no CA file from the connection string: a key it ignored would look like a check.
    if (c.engine == Engine::SqlServer && !c.caFile.isEmpty())
        throw Error(QStringLiteral("config.ini 中的“CA证书”只用于 PostgreSQL：经 FreeTDS 连接 SQL Server 时无法指定证书文件。")
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

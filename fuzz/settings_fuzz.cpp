// config.ini as a screen's load reads it, from any bytes: every key the library looks up, read
// from the file on disk and from the same bytes in memory, in the file's own encoding and after
// converting the file to the other one (GBK <-> UTF-8), giving it a UTF-8 byte order mark or
// Windows line ends.
#include "common/ProfileReader.h"
#include "common/Settings.h"
#include "common/TextCodec.h"

#include <kelm/Error.h>

#include <QDir>
#include <QFile>
#include <QString>
#include <QStringView>

#include <array>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <iterator>
#include <unistd.h>

namespace {

using kelm::ProfileReader;
using kelm::Settings;

// The login values and the driver keep what a 30-byte buffer keeps; names and paths keep more.
constexpr int LoginBytes = ProfileReader::ValueBytes;
constexpr int PathBytes = 259;
constexpr int Unlimited = 1 << 30;

struct Key
{
    const char16_t* section;
    const char16_t* name;
    int maxBytes;
    QString Settings::*field;
};

const Key keys[] = {
    { u"config", u"服务器", LoginBytes, &Settings::server },
    { u"config", u"用户名", LoginBytes, &Settings::user },
    { u"config", u"密码", LoginBytes, &Settings::password },
    { u"config", u"数据库名称", LoginBytes, &Settings::database },
    { u"dqcz", u"操作员", LoginBytes, &Settings::operatorName },
    { u"config", u"驱动", LoginBytes, &Settings::driver },
    { u"config", u"读卡器", LoginBytes, &Settings::readerLibrary },
    { u"config", u"读卡器名称", PathBytes, &Settings::readerName },
    { u"config", u"卡片目录", PathBytes, &Settings::cardsFolder },
    { u"config", u"ODBC驱动", PathBytes, &Settings::odbcDriver },
    { u"config", u"连接超时", LoginBytes, &Settings::connectTimeout },
    { u"config", u"执行超时", LoginBytes, &Settings::statementTimeout },
    { u"config", u"TDS版本", LoginBytes, &Settings::tdsVersion },
    { u"config", u"加密", LoginBytes, &Settings::encryption },
    { u"config", u"CA证书", PathBytes, &Settings::caFile },
    { u"config", u"收银机", LoginBytes, &Settings::tillName },
    { u"config", u"允许负数充值", LoginBytes, &Settings::negativeTopUps },
};

const QChar Replacement(0xFFFD);

[[noreturn]] void fail(const char* rule, const Key& key, const QString& detail)
{
    std::fprintf(stderr, "settings_fuzz: broken: %s\n  key [%s] %s\n  %s\n", rule,
        qUtf8Printable(QString::fromUtf16(key.section)), qUtf8Printable(QString::fromUtf16(key.name)),
        qUtf8Printable(detail));
    std::abort();
}

#define EXPECT(condition, key, detail)                                                                                 \
    do {                                                                                                               \
        if (!(condition))                                                                                              \
            fail(#condition, (key), (detail));                                                                         \
    } while (0)

QString section(const Key& key)
{
    return QString::fromUtf16(key.section);
}
QString name(const Key& key)
{
    return QString::fromUtf16(key.name);
}

qsizetype encodedSize(const QString& text, bool utf8)
{
    return utf8 ? text.toUtf8().size() : kelm::TextCodec::toGbk(text).size();
}

// The characters (a surrogate pair counts as one) of text from pos.
qsizetype characterSize(const QString& text, qsizetype pos)
{
    return pos + 1 < text.size() && text[pos].isHighSurrogate() && text[pos + 1].isLowSurrogate() ? 2 : 1;
}

constexpr std::size_t KeyCount = std::size(keys);

// Every key of one file, as the library reads it (cut) and in full.
struct Values
{
    bool utf8 = true;
    std::array<QString, KeyCount> cut;
    std::array<QString, KeyCount> whole;
};

Values readAll(const QByteArray& content)
{
    const ProfileReader reader = ProfileReader::fromBytes(content);
    Values values;
    values.utf8 = reader.isUtf8();
    for (std::size_t i = 0; i < KeyCount; ++i) {
        values.cut[i] = reader.value(section(keys[i]), name(keys[i]), keys[i].maxBytes);
        values.whole[i] = reader.value(section(keys[i]), name(keys[i]), Unlimited);
    }
    return values;
}

// What holds for every value any file gives: cut to the key's byte limit in the file's encoding,
// never inside a character and never shorter than needed, no NUL, one line, valid UTF-16.
void checkValues(const Values& values, const QByteArray& content)
{
    // A value that starts with a byte order mark loses it as text (its bytes still count), so
    // such a value may show fewer characters than its bytes would allow.
    const bool innerMark = content.mid(1).contains(values.utf8 ? "\xEF\xBB\xBF" : "\x84\x31\x95\x33");
    for (std::size_t i = 0; i < KeyCount; ++i) {
        const Key& key = keys[i];
        const QString& value = values.cut[i];
        const QString& whole = values.whole[i];
        EXPECT(QStringView(value).isValidUtf16(), key, value);
        EXPECT(!value.contains(QChar(u'\0')), key, value);
        EXPECT(!value.contains(u'\n'), key, value);
        // Every byte gives at most one UTF-16 unit, whatever the bytes are.
        EXPECT(value.size() <= key.maxBytes, key, value);
        EXPECT(whole.startsWith(value) || value.contains(Replacement) || whole.contains(Replacement), key,
            value + QStringLiteral(" | ") + whole);
        if (whole.contains(Replacement))
            continue; // bytes that are no character: their byte count is not known from the text
        EXPECT(whole.startsWith(value), key, value + QStringLiteral(" | ") + whole);
        EXPECT(encodedSize(value, values.utf8) <= key.maxBytes, key, value);
        if (value.size() < whole.size() && !innerMark) {
            const QString oneMore = whole.left(value.size() + characterSize(whole, value.size()));
            EXPECT(encodedSize(oneMore, values.utf8) > key.maxBytes, key, value + QStringLiteral(" | ") + whole);
        }
    }
}

// The same file in another encoding gives the same values (before they are cut to size).
void checkSameValues(const Values& a, const Values& b, const char* what)
{
    for (std::size_t i = 0; i < KeyCount; ++i) {
        const QString& left = a.whole[i];
        const QString& right = b.whole[i];
        EXPECT(left == right, keys[i],
            QString::fromLatin1(what) + QStringLiteral(": ") + left + QStringLiteral(" | ") + right);
    }
}

class ConfigFile
{
public:
    ConfigFile()
        : m_folder(QDir::tempPath() + QStringLiteral("/kelm-settings-fuzz-") + QString::number(::getpid()))
    {
        QDir().mkpath(m_folder);
    }
    ~ConfigFile() { QDir(m_folder).removeRecursively(); }

    QString write(const QByteArray& content) const
    {
        const QString path = Settings::pathIn(m_folder);
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(content) != content.size()) {
            std::fprintf(stderr, "settings_fuzz: cannot write %s\n", qUtf8Printable(path));
            std::abort();
        }
        return path;
    }

private:
    QString m_folder;
};

// A screen's load: Settings::load reads the file; its fields are the reader's values, and the
// login it builds is the trimmed values.
void checkSettings(const QByteArray& content, const Values& values)
{
    static const ConfigFile file;
    const Settings settings = Settings::load(file.write(content));
    for (std::size_t i = 0; i < KeyCount; ++i)
        EXPECT(settings.*keys[i].field == values.cut[i], keys[i], settings.*keys[i].field);

    const Key& login = keys[0];
    try {
        const kelm::ConnectionSettings c = settings.connection();
        for (const QString* part : { &c.server, &c.user, &c.password, &c.database })
            EXPECT(!part->startsWith(u' ') && !part->endsWith(u' '), login, *part);
        EXPECT(settings.server.contains(c.server) && settings.database.contains(c.database), login, c.server);
        EXPECT(settings.connectionString()
                == QStringLiteral("provider=sqloledb;server=") + c.server + QStringLiteral(";user id=") + c.user
                    + QStringLiteral(";password=") + c.password + QStringLiteral(";database=") + c.database,
            login, settings.connectionString());
        if (settings.driver.trimmed().isEmpty())
            EXPECT((c.engine == kelm::Engine::Sqlite) == c.server.isEmpty(), login, c.server);
    } catch (const kelm::Error& error) {
        // Only a driver name the library does not know, a waiting time, a protocol version, an
        // encryption or a CA file for FreeTDS is refused, and it says so.
        const bool named = !settings.driver.trimmed().isEmpty() || !settings.connectTimeout.trimmed().isEmpty()
            || !settings.statementTimeout.trimmed().isEmpty() || !settings.tdsVersion.trimmed().isEmpty()
            || !settings.encryption.trimmed().isEmpty() || !settings.caFile.trimmed().isEmpty();
        EXPECT(named && std::string_view(error.what()).size() > 0, keys[5], QString::fromUtf8(error.what()));
    }
    EXPECT(QDir::isAbsolutePath(settings.cardsPath()), keys[8], settings.cardsPath());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QByteArray content(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const Values values = readAll(content);
    checkValues(values, content);
    checkSettings(content, values);

    // With Windows line ends: the same values.
    if (!content.contains('\r')) {
        QByteArray crlf = content;
        checkSameValues(values, readAll(crlf.replace("\n", "\r\n")), "with CR LF line ends");
    }

    static const QByteArray bom("\xEF\xBB\xBF");
    if (content.startsWith(bom))
        return 0;
    if (values.utf8) {
        // With a byte order mark: the same values.
        checkSameValues(values, readAll(bom + content), "with a byte order mark");

        // Stored in GBK instead: the same values, cut at GBK's byte counts.
        const QByteArray gbk = kelm::TextCodec::toGbk(QString::fromUtf8(content));
        const Values inGbk = gbk != content ? readAll(gbk) : values;
        if (!inGbk.utf8) {
            checkValues(inGbk, gbk);
            checkSameValues(values, inGbk, "stored in GBK");
        }
    } else {
        // Stored in UTF-8 instead (when every byte was a GBK character).
        const QString text = kelm::TextCodec::fromGbk(content);
        if (!text.contains(Replacement) && !text.startsWith(QChar(0xFEFF))) {
            const QByteArray utf8 = text.toUtf8();
            const Values inUtf8 = readAll(utf8);
            checkValues(inUtf8, utf8);
            checkSameValues(values, inUtf8, "stored in UTF-8");
        }
    }
    return 0;
}

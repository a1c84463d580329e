#include "entry/Module1.h"

#include "card/ReaderLibrary.h"
#include "common/CardKeyTable.h"
#include "common/LibraryFolder.h"
#include "common/ServerAddress.h"

#include <QFile>

#include <sys/stat.h>
#include <unistd.h>

namespace kelm {

Module1::Module1(Seams seams)
    : m_seams(std::move(seams))
    , m_connection(m_seams.databases ? SharedConnection(m_seams.databases) : SharedConnection())
    , m_readerPort([this]() -> ReaderLibrary& { return reader(); })
{
}

Module1::~Module1() = default;

ReaderLibrary& Module1::reader()
{
    if (m_seams.reader)
        return *m_seams.reader;
    if (!m_ownReader)
        loadSettings();
    if (!m_ownReader)
        throw Error("没有可用的读卡器。");
    return *m_ownReader;
}

CardSequences::CardKeyIdentifier Module1::cardKeyIdentifier()
{
    return [this] { return CardKeyTable::selectIdentifier(database()); };
}

Settings Module1::loadSettings()
{
    // Looked for again at every load, so that a config.ini put in place while the till runs is
    // taken, as a changed one is.
    Settings settings = Settings::load(m_seams.configPath.isEmpty() ? Settings::locate(libraryFolder())
                                                                    : m_seams.configPath);
    m_operatorName = settings.operatorName;
    m_negativeTopUpsAllowed = settings.allowsNegativeTopUps();
    m_audit.setWho({settings.till(), settings.operatorName});
    if (!m_seams.reader && m_seams.readers) {
        // The reader library follows config.ini, but a port that is open stays with its library.
        const QString key = settings.readerLibrary.trimmed().toLower() + u'|' + settings.cardsPath();
        if (!m_ownReader || (key != m_ownReaderKey && m_readerPort.handle() < 0)) {
            m_ownReader = m_seams.readers(settings);
            m_ownReaderKey = key;
        }
    }
    return settings;
}

QStringList Module1::exposureWarnings(const Settings& settings, const ConnectionSettings& connection)
{
    QStringList due;
    struct stat status = {};
    // The till's own file is for the till alone. A file the administrator keeps and gives the tills
    // through its group (the package's /etc/kelm/config.ini, root:kelm 0640) is exposed only when
    // every account may read it; its fix must leave the group reading.
    const bool tillsOwn = ::stat(QFile::encodeName(settings.file).constData(), &status) == 0
        && status.st_uid == ::geteuid();
    const mode_t exposing = tillsOwn ? (S_IRGRP | S_IROTH) : S_IROTH;
    if (!m_readablePasswordTold && !connection.password.isEmpty() && (status.st_mode & exposing) != 0) {
        m_readablePasswordTold = true;
        QString quoted = settings.file;
        quoted.replace(u'\'', QStringLiteral("'\\''"));
        due << QStringLiteral("config.ini（%1）里有数据库密码，本机的其他账户也能读取这个文件。请管理员运行：chmod %2 '%3'")
                   .arg(settings.file, tillsOwn ? QStringLiteral("600") : QStringLiteral("640"), quoted);
    }
    const QDate today = QDate::currentDate();
    if (m_clearLineToldOn != today && connection.travelsInClear()) {
        m_clearLineToldOn = today;
        due << QStringLiteral("与数据库服务器 %1 的连接没有加密：会员的密码、身份证号和电话会以明文经过网络。"
                              "请管理员在 config.ini 中设置“加密=verify-full”。")
                   .arg(ServerAddress::parse(settings.server).display());
    }
    return due;
}

} // namespace kelm

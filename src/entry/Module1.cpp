#include "entry/Module1.h"

#include "card/ReaderLibrary.h"
#include "common/CardKeyTable.h"

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
    Settings settings = Settings::load(m_seams.configPath);
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

} // namespace kelm

#include "common/Module1.h"

#include "card/ReaderLibrary.h"

namespace kelm {

Module1::Module1(Seams seams)
    : m_seams(std::move(seams))
    , m_connection(m_seams.databases ? SharedConnection(m_seams.databases) : SharedConnection())
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

Settings Module1::loadSettings()
{
    Settings settings = Settings::load(m_seams.configPath);
    operatorName = settings.operatorName;
    negativeTopUpsAllowed = settings.allowsNegativeTopUps();
    m_audit.setWho({settings.till(), settings.operatorName});
    if (!m_seams.reader && m_seams.readers) {
        // The reader library follows config.ini, but a port that is open stays with its library.
        const QString key = settings.readerLibrary.trimmed().toLower() + u'|' + settings.cardsPath();
        if (!m_ownReader || (key != m_ownReaderKey && readerHandle < 0)) {
            m_ownReader = m_seams.readers(settings);
            m_ownReaderKey = key;
        }
    }
    return settings;
}

void Module1::openReaderIfClosed()
{
    if (readerHandle < 0)
        readerHandle = reader().rf_init(0, 115200);
}

void Module1::closeReader()
{
    try {
        ReaderLibrary& library = reader();
        library.rf_reset(readerHandle, 10);
        library.rf_exit(readerHandle);
    } catch (const std::exception&) {
        // No reader library to close (config.ini names none that exists): nothing is open.
    }
    readerHandle = -1;
}

} // namespace kelm

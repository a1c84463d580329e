#include "card/ReaderLibraries.h"

#include "card/PcscReader.h"
#include "card/SimulatedReader.h"

namespace kelm {

std::unique_ptr<ReaderLibrary> createReaderLibrary(const Settings& settings)
{
    const QString kind = settings.readerLibrary.trimmed().toLower();
    if (kind.isEmpty() || kind == u"simulated")
        return std::make_unique<SimulatedReader>(settings.cardsPath());
    if (kind == u"pcsc")
        return std::make_unique<PcscReader>(settings.readerName.trimmed());
    throw Error(QStringLiteral("config.ini 中的“读卡器”值“%1”无法识别，应为 simulated 或 pcsc。")
                    .arg(settings.readerLibrary)
                    .toStdString());
}

} // namespace kelm

#include "card/ReaderLibraries.h"

#include "card/PcscReader.h"
#include "card/SimulatedReader.h"

namespace kelm {

namespace {

// 读卡器密钥槽: empty, or one or two hexadecimal digits.
std::optional<std::uint8_t> keySlot(const QString& setting)
{
    const QString text = setting.trimmed();
    if (text.isEmpty())
        return std::nullopt;
    bool ok = false;
    const uint slot = text.toUInt(&ok, 16);
    if (!ok || text.size() > 2 || !text.at(0).isLetterOrNumber())
        throw Error(QStringLiteral("config.ini 中的“读卡器密钥槽”值“%1”无法识别，应为 00 到 FF 的十六进制数。")
                        .arg(setting)
                        .toStdString());
    return static_cast<std::uint8_t>(slot);
}

} // namespace

std::unique_ptr<ReaderLibrary> createReaderLibrary(const Settings& settings)
{
    const QString kind = settings.readerLibrary.trimmed().toLower();
    if (kind.isEmpty() || kind == u"simulated")
        return std::make_unique<SimulatedReader>(settings.cardsPath());
    if (kind == u"pcsc")
        return std::make_unique<PcscReader>(settings.readerName.trimmed(), keySlot(settings.readerKeySlot));
    throw Error(QStringLiteral("config.ini 中的“读卡器”值“%1”无法识别，应为 simulated 或 pcsc。")
                    .arg(settings.readerLibrary)
                    .toStdString());
}

} // namespace kelm

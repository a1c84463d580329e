#include "FakeReader.h"

#include <cstring>

std::int16_t FakeReader::record(const QString& name, const QString& arguments)
{
    calls.append(name + u'(' + arguments + u')');
    const auto it = statuses.find(name);
    return it == statuses.end() ? 0 : it->second;
}

std::int32_t FakeReader::rf_init(std::int16_t port, std::int32_t baud)
{
    record(QStringLiteral("rf_init"), QStringLiteral("%1,%2").arg(port).arg(baud));
    return handle;
}

std::int16_t FakeReader::rf_request(std::int32_t icdev, std::uint8_t mode, std::uint16_t* tagType)
{
    *tagType = 4;
    return record(QStringLiteral("rf_request"), QStringLiteral("%1,%2").arg(icdev).arg(mode));
}

std::int16_t FakeReader::rf_anticoll(std::int32_t icdev, std::uint8_t bcnt, std::uint32_t* serial)
{
    *serial = 0x12345678;
    return record(QStringLiteral("rf_anticoll"), QStringLiteral("%1,%2").arg(icdev).arg(bcnt));
}

std::int16_t FakeReader::rf_select(std::int16_t icdev, std::uint32_t serial, std::uint8_t* size)
{
    *size = 8;
    return record(QStringLiteral("rf_select"), QStringLiteral("%1,%2").arg(icdev).arg(serial, 0, 16));
}

std::int16_t FakeReader::rf_load_key(std::int32_t icdev, std::uint8_t mode, std::uint8_t sector,
                                     const std::uint8_t* key6)
{
    QString key;
    for (int i = 0; i < 6; ++i)
        key += QStringLiteral("%1").arg(key6[i], 2, 16, QLatin1Char('0'));
    return record(QStringLiteral("rf_load_key"), QStringLiteral("%1,%2,%3,%4").arg(icdev).arg(mode).arg(sector).arg(key));
}

std::int16_t FakeReader::rf_load_key_hex(std::int32_t icdev, std::uint8_t mode, std::uint8_t sector,
                                         const char* hexKey)
{
    return record(QStringLiteral("rf_load_key_hex"),
                  QStringLiteral("%1,%2,%3,%4").arg(icdev).arg(mode).arg(sector).arg(QString::fromLatin1(hexKey)));
}

std::int16_t FakeReader::rf_authentication(std::int32_t icdev, std::uint8_t mode, std::uint8_t sector)
{
    return record(QStringLiteral("rf_authentication"), QStringLiteral("%1,%2,%3").arg(icdev).arg(mode).arg(sector));
}

std::int16_t FakeReader::rf_read(std::int32_t icdev, std::uint8_t block, std::uint8_t* data)
{
    std::memset(data, 0, 16);
    return record(QStringLiteral("rf_read"), QStringLiteral("%1,%2").arg(icdev).arg(block));
}

std::int16_t FakeReader::rf_write(std::int32_t icdev, std::uint8_t block, const std::uint8_t* data)
{
    return record(QStringLiteral("rf_write"), QStringLiteral("%1,%2,%3")
                                                  .arg(icdev)
                                                  .arg(block)
                                                  .arg(QString::fromLatin1(reinterpret_cast<const char*>(data), 16)));
}

std::int16_t FakeReader::rf_changeb3(std::int32_t icdev, std::uint8_t sector, const std::uint8_t*, std::uint8_t b0,
                                     std::uint8_t b1, std::uint8_t b2, std::uint8_t b3, std::uint8_t bk,
                                     const std::uint8_t*)
{
    return record(QStringLiteral("rf_changeb3"),
                  QStringLiteral("%1,%2,%3%4%5%6,%7").arg(icdev).arg(sector).arg(b0).arg(b1).arg(b2).arg(b3).arg(bk));
}

std::int16_t FakeReader::rf_beep(std::int32_t icdev, std::uint16_t milliseconds)
{
    return record(QStringLiteral("rf_beep"), QStringLiteral("%1,%2").arg(icdev).arg(milliseconds));
}

std::int16_t FakeReader::rf_halt(std::int32_t icdev)
{
    return record(QStringLiteral("rf_halt"), QString::number(icdev));
}

std::int16_t FakeReader::rf_reset(std::int32_t icdev, std::uint16_t milliseconds)
{
    return record(QStringLiteral("rf_reset"), QStringLiteral("%1,%2").arg(icdev).arg(milliseconds));
}

std::int16_t FakeReader::rf_exit(std::int32_t icdev)
{
    return record(QStringLiteral("rf_exit"), QString::number(icdev));
}

#include "FaultyReader.h"

#include "card/SimulatedReader.h"

using kelm::SimulatedReader;

FaultyReader::FaultyReader(kelm::ReaderLibrary& inner)
    : m_inner(inner)
{
}

void FaultyReader::arm(int failingCall)
{
    m_failingCall = failingCall;
    m_calls.clear();
    m_failed.clear();
}

bool FaultyReader::fails(const char* name)
{
    m_calls.append(QString::fromLatin1(name));
    if (m_calls.size() != m_failingCall)
        return false;
    m_failed = m_calls.constLast();
    return true;
}

// The statuses are those a reader gives when the card leaves the field or the port stops
// answering: the card talks no more, a key is refused, the port is not open.

std::int32_t FaultyReader::rf_init(std::int16_t port, std::int32_t baud)
{
    return fails("rf_init") ? -SimulatedReader::NotOpen : m_inner.rf_init(port, baud);
}

std::int16_t FaultyReader::rf_request(std::int32_t icdev, std::uint8_t mode, std::uint16_t* tagType)
{
    return fails("rf_request") ? SimulatedReader::NoCard : m_inner.rf_request(icdev, mode, tagType);
}

std::int16_t FaultyReader::rf_anticoll(std::int32_t icdev, std::uint8_t bcnt, std::uint32_t* serial)
{
    return fails("rf_anticoll") ? SimulatedReader::NoCard : m_inner.rf_anticoll(icdev, bcnt, serial);
}

std::int16_t FaultyReader::rf_select(std::int16_t icdev, std::uint32_t serial, std::uint8_t* size)
{
    return fails("rf_select") ? SimulatedReader::NoCard : m_inner.rf_select(icdev, serial, size);
}

std::int16_t FaultyReader::rf_load_key(
    std::int32_t icdev, std::uint8_t mode, std::uint8_t sector, const std::uint8_t* key6)
{
    return fails("rf_load_key") ? SimulatedReader::NotOpen : m_inner.rf_load_key(icdev, mode, sector, key6);
}

std::int16_t FaultyReader::rf_load_key_hex(
    std::int32_t icdev, std::uint8_t mode, std::uint8_t sector, const char* hexKey)
{
    return fails("rf_load_key_hex") ? SimulatedReader::NotOpen : m_inner.rf_load_key_hex(icdev, mode, sector, hexKey);
}

std::int16_t FaultyReader::rf_authentication(std::int32_t icdev, std::uint8_t mode, std::uint8_t sector)
{
    return fails("rf_authentication") ? SimulatedReader::AuthenticationFailed
                                      : m_inner.rf_authentication(icdev, mode, sector);
}

std::int16_t FaultyReader::rf_read(std::int32_t icdev, std::uint8_t block, std::uint8_t* data)
{
    return fails("rf_read") ? SimulatedReader::NoCard : m_inner.rf_read(icdev, block, data);
}

std::int16_t FaultyReader::rf_write(std::int32_t icdev, std::uint8_t block, const std::uint8_t* data)
{
    return fails("rf_write") ? SimulatedReader::NoCard : m_inner.rf_write(icdev, block, data);
}

std::int16_t FaultyReader::rf_changeb3(std::int32_t icdev, std::uint8_t sector, const std::uint8_t* keyA,
    std::uint8_t b0, std::uint8_t b1, std::uint8_t b2, std::uint8_t b3, std::uint8_t bk, const std::uint8_t* keyB)
{
    return fails("rf_changeb3") ? SimulatedReader::NoCard
                                : m_inner.rf_changeb3(icdev, sector, keyA, b0, b1, b2, b3, bk, keyB);
}

std::int16_t FaultyReader::rf_beep(std::int32_t icdev, std::uint16_t milliseconds)
{
    return fails("rf_beep") ? SimulatedReader::NotOpen : m_inner.rf_beep(icdev, milliseconds);
}

std::int16_t FaultyReader::rf_halt(std::int32_t icdev)
{
    return fails("rf_halt") ? SimulatedReader::NoCard : m_inner.rf_halt(icdev);
}

std::int16_t FaultyReader::rf_reset(std::int32_t icdev, std::uint16_t milliseconds)
{
    return fails("rf_reset") ? SimulatedReader::NotOpen : m_inner.rf_reset(icdev, milliseconds);
}

std::int16_t FaultyReader::rf_exit(std::int32_t icdev)
{
    return fails("rf_exit") ? SimulatedReader::NotOpen : m_inner.rf_exit(icdev);
}

#pragma once

#include "card/ReaderLibrary.h"

#include <QStringList>

// A reader library in front of another one (normally the simulated reader over a card folder)
// that passes every call on, except one: once armed with a call number, that call is answered with
// the status a reader gives when the card leaves the field, a key is refused or the port stops
// answering, and never reaches the reader or the card behind. It records the name of every call
// since it was last armed, so a test can count the calls of a sequence.
class FaultyReader : public kelm::ReaderLibrary
{
public:
    explicit FaultyReader(kelm::ReaderLibrary& inner)
        : m_inner(inner)
    {
    }

    // Counts calls from here on; call number failingCall (from 1) fails, 0 lets every call through.
    void arm(int failingCall)
    {
        m_failingCall = failingCall;
        m_calls.clear();
        m_failed.clear();
    }
    // The calls since arm(), by name ("rf_read").
    const QStringList& calls() const { return m_calls; }
    // The call that was made to fail, or empty while it has not been reached.
    const QString& failedCall() const { return m_failed; }

    std::int32_t rf_init(std::int16_t port, std::int32_t baud) override
    {
        return fails("rf_init") ? -NotOpen : m_inner.rf_init(port, baud);
    }
    std::int16_t rf_request(std::int32_t icdev, std::uint8_t mode, std::uint16_t* tagType) override
    {
        return fails("rf_request") ? NoCard : m_inner.rf_request(icdev, mode, tagType);
    }
    std::int16_t rf_anticoll(std::int32_t icdev, std::uint8_t bcnt, std::uint32_t* serial) override
    {
        return fails("rf_anticoll") ? NoCard : m_inner.rf_anticoll(icdev, bcnt, serial);
    }
    std::int16_t rf_select(std::int16_t icdev, std::uint32_t serial, std::uint8_t* size) override
    {
        return fails("rf_select") ? NoCard : m_inner.rf_select(icdev, serial, size);
    }
    std::int16_t rf_load_key(std::int32_t icdev, std::uint8_t mode, std::uint8_t sector,
                             const std::uint8_t* key6) override
    {
        return fails("rf_load_key") ? NotOpen : m_inner.rf_load_key(icdev, mode, sector, key6);
    }
    std::int16_t rf_load_key_hex(std::int32_t icdev, std::uint8_t mode, std::uint8_t sector, const char* key) override
    {
        return fails("rf_load_key_hex") ? NotOpen : m_inner.rf_load_key_hex(icdev, mode, sector, key);
    }
    std::int16_t rf_authentication(std::int32_t icdev, std::uint8_t mode, std::uint8_t sector) override
    {
        return fails("rf_authentication") ? AuthenticationFailed : m_inner.rf_authentication(icdev, mode, sector);
    }
    std::int16_t rf_read(std::int32_t icdev, std::uint8_t block, std::uint8_t* data) override
    {
        return fails("rf_read") ? NoCard : m_inner.rf_read(icdev, block, data);
    }
    std::int16_t rf_write(std::int32_t icdev, std::uint8_t block, const std::uint8_t* data) override
    {
        return fails("rf_write") ? NoCard : m_inner.rf_write(icdev, block, data);
    }
    std::int16_t rf_changeb3(std::int32_t icdev, std::uint8_t sector, const std::uint8_t* keyA, std::uint8_t b0,
                             std::uint8_t b1, std::uint8_t b2, std::uint8_t b3, std::uint8_t bk,
                             const std::uint8_t* keyB) override
    {
        return fails("rf_changeb3") ? NoCard : m_inner.rf_changeb3(icdev, sector, keyA, b0, b1, b2, b3, bk, keyB);
    }
    std::int16_t rf_beep(std::int32_t icdev, std::uint16_t milliseconds) override
    {
        return fails("rf_beep") ? NotOpen : m_inner.rf_beep(icdev, milliseconds);
    }
    std::int16_t rf_halt(std::int32_t icdev) override { return fails("rf_halt") ? NoCard : m_inner.rf_halt(icdev); }
    std::int16_t rf_reset(std::int32_t icdev, std::uint16_t milliseconds) override
    {
        return fails("rf_reset") ? NotOpen : m_inner.rf_reset(icdev, milliseconds);
    }
    std::int16_t rf_exit(std::int32_t icdev) override { return fails("rf_exit") ? NotOpen : m_inner.rf_exit(icdev); }

private:
    // Records the call; true when it is the one to fail.
    bool fails(const char* name)
    {
        m_calls.append(QString::fromLatin1(name));
        if (m_calls.size() != m_failingCall)
            return false;
        m_failed = m_calls.constLast();
        return true;
    }

    kelm::ReaderLibrary& m_inner;
    int m_failingCall = 0;
    QStringList m_calls;
    QString m_failed;
};

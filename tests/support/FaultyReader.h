#pragma once

#include "card/ReaderLibrary.h"

#include <QString>
#include <QStringList>

// A reader library in front of another one (normally the simulated reader over a card folder)
// that passes every call on, except one: once armed with a call number, that call is answered with
// the status the operation gives when it fails, and never reaches the reader or the card behind.
// It records the name of every call since it was last armed, so a test can count the calls of a
// sequence.
class FaultyReader : public kelm::ReaderLibrary
{
public:
    explicit FaultyReader(kelm::ReaderLibrary& inner);

    // Counts calls from here on; call number failingCall (from 1) fails, 0 lets every call through.
    void arm(int failingCall);
    // The calls since arm(), by name ("rf_read").
    const QStringList& calls() const { return m_calls; }
    // The call that was made to fail, or empty while it has not been reached.
    const QString& failedCall() const { return m_failed; }

    std::int32_t rf_init(std::int16_t port, std::int32_t baud) override;
    std::int16_t rf_request(std::int32_t icdev, std::uint8_t mode, std::uint16_t* tagType) override;
    std::int16_t rf_anticoll(std::int32_t icdev, std::uint8_t bcnt, std::uint32_t* serial) override;
    std::int16_t rf_select(std::int16_t icdev, std::uint32_t serial, std::uint8_t* size) override;
    std::int16_t rf_load_key(
        std::int32_t icdev, std::uint8_t mode, std::uint8_t sector, const std::uint8_t* key6) override;
    std::int16_t rf_load_key_hex(
        std::int32_t icdev, std::uint8_t mode, std::uint8_t sector, const char* hexKey) override;
    std::int16_t rf_authentication(std::int32_t icdev, std::uint8_t mode, std::uint8_t sector) override;
    std::int16_t rf_read(std::int32_t icdev, std::uint8_t block, std::uint8_t* data) override;
    std::int16_t rf_write(std::int32_t icdev, std::uint8_t block, const std::uint8_t* data) override;
    std::int16_t rf_changeb3(std::int32_t icdev, std::uint8_t sector, const std::uint8_t* keyA, std::uint8_t b0,
        std::uint8_t b1, std::uint8_t b2, std::uint8_t b3, std::uint8_t bk, const std::uint8_t* keyB) override;
    std::int16_t rf_beep(std::int32_t icdev, std::uint16_t milliseconds) override;
    std::int16_t rf_halt(std::int32_t icdev) override;
    std::int16_t rf_reset(std::int32_t icdev, std::uint16_t milliseconds) override;
    std::int16_t rf_exit(std::int32_t icdev) override;

private:
    // Records the call; true when it is the one to fail.
    bool fails(const char* name);

    kelm::ReaderLibrary& m_inner;
    int m_failingCall = 0;
    QStringList m_calls;
    QString m_failed;
};

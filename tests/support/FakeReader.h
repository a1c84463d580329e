#pragma once

#include "card/ReaderLibrary.h"

#include <QString>
#include <QStringList>

#include <map>

// A reader library that records each call ("rf_reset(-1,10)") and answers with the status the test
// set for that operation (0 when none is set). rf_init hands out handle 7 unless told otherwise.
class FakeReader : public kelm::ReaderLibrary
{
public:
    QStringList calls;
    std::map<QString, std::int16_t> statuses;
    std::int32_t handle = 7;

    std::int32_t rf_init(std::int16_t port, std::int32_t baud) override;
    std::int16_t rf_request(std::int32_t icdev, std::uint8_t mode, std::uint16_t* tagType) override;
    std::int16_t rf_anticoll(std::int32_t icdev, std::uint8_t bcnt, std::uint32_t* serial) override;
    std::int16_t rf_select(std::int16_t icdev, std::uint32_t serial, std::uint8_t* size) override;
    std::int16_t rf_load_key(std::int32_t icdev, std::uint8_t mode, std::uint8_t sector,
                             const std::uint8_t* key6) override;
    std::int16_t rf_load_key_hex(std::int32_t icdev, std::uint8_t mode, std::uint8_t sector,
                                 const char* hexKey) override;
    std::int16_t rf_authentication(std::int32_t icdev, std::uint8_t mode, std::uint8_t sector) override;
    std::int16_t rf_read(std::int32_t icdev, std::uint8_t block, std::uint8_t* data) override;
    std::int16_t rf_write(std::int32_t icdev, std::uint8_t block, const std::uint8_t* data) override;
    std::int16_t rf_changeb3(std::int32_t icdev, std::uint8_t sector, const std::uint8_t* keyA, std::uint8_t b0,
                             std::uint8_t b1, std::uint8_t b2, std::uint8_t b3, std::uint8_t bk,
                             const std::uint8_t* keyB) override;
    std::int16_t rf_beep(std::int32_t icdev, std::uint16_t milliseconds) override;
    std::int16_t rf_halt(std::int32_t icdev) override;
    std::int16_t rf_reset(std::int32_t icdev, std::uint16_t milliseconds) override;
    std::int16_t rf_exit(std::int32_t icdev) override;

private:
    std::int16_t record(const QString& name, const QString& arguments);
};

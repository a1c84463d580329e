#pragma once

#include "common/Database.h"

#include <string_view>

namespace kelm {

// Servers hand exact decimals (PostgreSQL numeric, SQL Server decimal) over as digits. The screens
// want numbers, and a whole number stays whole so that it shows as "150", not "150.0000".
class DecimalCell
{
public:
    // An Integer cell when the digits are a whole number that fits 64 bits (trailing fraction
    // zeros allowed), else a Real cell; text that is no number stays a Text cell over the bytes.
    static Cell fromDigits(std::string_view digits);
};

} // namespace kelm

#pragma once

#include "common/Database.h"

#include <optional>
#include <string_view>

namespace kelm {

// An exact amount of money or points: a sum of a million amounts adds up to the yuan and fen the
// rows hold, which a double does not promise. Kept as ten-thousandths, the most places a balance
// holds on SQL Server (decimal(19, 4)).
class Amount
{
public:
    Amount() = default;
    // None for text that is no number (or too large to keep). The text is read as the screens read
    // a number typed or stored as text (blanks around it, "." for the point, a sign and an exponent
    // allowed); places beyond the fourth round half away from zero.
    static std::optional<Amount> fromText(QStringView text);
    // The same for UTF-8 bytes, read without making a QString of them.
    static std::optional<Amount> fromUtf8(std::string_view text);
    // None for NULL, text that is no number, NaN and the infinities. A double from SQLite is taken
    // as the shortest digits that give it back ("166.67" for the double nearest 166.67), a server's
    // decimal as its exact digits.
    static std::optional<Amount> fromCell(const Cell& cell);

    // Both throw kelm::Error when the result is beyond what an Amount keeps.
    Amount& operator+=(Amount other);
    Amount& operator-=(Amount other);
    friend Amount operator+(Amount a, Amount b) { return a += b; }
    friend Amount operator-(Amount a, Amount b) { return a -= b; }
    friend bool operator==(Amount, Amount) = default;

    // The shortest text: "150", "166.67", "-0.5".
    QString toText() const;
    double toDouble() const;
    qint64 tenThousandths() const { return m_units; }

private:
    qint64 m_units = 0;
};

} // namespace kelm

#pragma once

#include <QString>

#include <cstdint>
#include <optional>

namespace kelm::NumberText {

// The default number-to-text form: up to 15 significant digits, no grouping, no trailing zeros,
// "." as decimal separator (100, 150.5, 1E+15). Sums such as ten times 0.1 show as 1.
QString format(double value);

// A number typed or stored as text: blanks around it allowed, "." as decimal separator, an
// optional sign and exponent. Empty text and anything else give no number.
std::optional<double> parse(const QString& text);

// A whole number of 16 signed bits from text, rounding half to even (97.5 gives 98, 96.5 gives
// 96). No value when the text is no number or the result lies outside -32768..32767.
std::optional<std::int16_t> parseInt16(const QString& text);

} // namespace kelm::NumberText

#include "common/DecimalCell.h"

#include <charconv>
#include <cmath>
#include <limits>

namespace kelm {

Cell DecimalCell::fromDigits(std::string_view digits)
{
    Cell cell;
    std::string_view whole = digits;
    const std::size_t point = digits.find('.');
    if (point != std::string_view::npos
        && digits.find_first_not_of('0', point + 1) == std::string_view::npos) {
        whole = digits.substr(0, point);
    }
    if (!whole.empty() && whole != "-" && whole.find_first_not_of("-0123456789") == std::string_view::npos) {
        qint64 value = 0;
        const auto [end, error] = std::from_chars(whole.data(), whole.data() + whole.size(), value);
        if (error == std::errc() && end == whole.data() + whole.size()) {
            cell.type = Cell::Type::Integer;
            cell.integer = value;
            return cell;
        }
    }
    // from_chars ignores the process locale, which a Qt host sets from the environment.
    double real = 0;
    std::string_view text = digits;
    if (!text.empty() && text.front() == '+')
        text.remove_prefix(1);
    if (text == "NaN") {
        cell.type = Cell::Type::Real;
        cell.real = std::numeric_limits<double>::quiet_NaN();
        return cell;
    }
    if (text == "Infinity" || text == "-Infinity") {
        cell.type = Cell::Type::Real;
        cell.real = text.front() == '-' ? -HUGE_VAL : HUGE_VAL;
        return cell;
    }
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), real);
    if (error == std::errc() && end == text.data() + text.size() && !text.empty()) {
        cell.type = Cell::Type::Real;
        cell.real = real;
        return cell;
    }
    cell.type = Cell::Type::Text;
    cell.text = digits.data();
    cell.size = static_cast<int>(digits.size());
    return cell;
}

} // namespace kelm

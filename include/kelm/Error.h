#pragma once

#include <kelm/Export.h>

#include <stdexcept>
#include <string>

namespace kelm {

// A failure that reaches the host: a screen that could not be shown, a database that could not
// be opened. what() is UTF-8 text in the system's own words.
class KELM_EXPORT Error : public std::runtime_error
{
public:
    explicit Error(const std::string& utf8Message)
        : std::runtime_error(utf8Message)
    {
    }
    // Defined in the library, so that the class's type information lives there once and a host
    // catches what the library throws.
    ~Error() override;
};

} // namespace kelm

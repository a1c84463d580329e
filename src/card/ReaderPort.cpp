#include "card/ReaderPort.h"

#include <kelm/Error.h>

namespace kelm {

ReaderPort::ReaderPort(Library library)
    : m_library(std::move(library))
{
}

void ReaderPort::openIfClosed()
{
    if (m_handle < 0)
        m_handle = library().rf_init(0, 115200);
}

void ReaderPort::close()
{
    try {
        ReaderLibrary& reader = library();
        reader.rf_reset(m_handle, 10);
        reader.rf_exit(m_handle);
    } catch (const std::exception&) {
        // No reader library to close (config.ini names none that exists): nothing is open.
    }
    m_handle = -1;
}

} // namespace kelm

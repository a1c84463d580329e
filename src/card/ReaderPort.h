#pragma once

#include "card/ReaderLibrary.h"

#include <cstdint>
#include <functional>

namespace kelm {

// The card reader's port, one for the whole library: the reader library and the handle rf_init
// gave it, -1 while the port is closed. Every screen that touches the card goes through it.
class ReaderPort
{
public:
    // Gives the reader library to use; it may throw kelm::Error when none can be had.
    using Library = std::function<ReaderLibrary&()>;

    explicit ReaderPort(Library library);

    ReaderLibrary& library() { return m_library(); }
    std::int32_t handle() const { return m_handle; }

    // Opens the port before a card sequence when it is closed.
    void openIfClosed();
    // The close step of the screens that use the reader: reset, exit, handle back to -1. Results
    // are not looked at, so closing never fails because of the reader.
    void close();
    // Forgets the handle without a call, as a screen's load does.
    void forget() { m_handle = -1; }

private:
    Library m_library;
    std::int32_t m_handle = -1;
};

} // namespace kelm

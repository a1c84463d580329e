#pragma once

namespace kelm {

// The screens are widgets: they need the process's QApplication, and they must be used from its thread.
// A C++ host makes its QApplication itself; a host without Qt gets one made by the library.
class HostApplication
{
public:
    // Throws Error unless the process has a QApplication and this is its thread.
    static void require();
    // Makes a QApplication when the process has no Qt application object, then requires it. Throws
    // Error instead of making one when Qt could not show a window: QApplication would end the whole
    // host process (no display server to reach, for instance).
    static void ensure();
};

} // namespace kelm

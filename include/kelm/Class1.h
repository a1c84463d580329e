#pragma once

#include <kelm/Error.h>
#include <kelm/Export.h>

// Fixed identifiers of the library, the class and its interface. They never change between
// builds, so a host built against one build keeps working with the next.
#define KELM_LIBRARY_GUID "{6F0B5A52-3E1C-4C8B-9D57-1A2C6E4B8F01}"
#define KELM_CLASS1_GUID "{6F0B5A52-3E1C-4C8B-9D57-1A2C6E4B8F02}"
#define KELM_INTERFACE_GUID "{6F0B5A52-3E1C-4C8B-9D57-1A2C6E4B8F03}"
#define KELM_PROGID "kelm.Class1"

namespace kelm {

// The one creatable class a cash-register host uses. It holds no state: every Class1 object
// reaches the same screens and the same shared state.
class KELM_EXPORT Class1
{
public:
    static constexpr int DispatchIdKelm = 0x60030000;
    static constexpr int DispatchIdJfgl = 0x60030001;
    static constexpr int DispatchIdZmcx = 0x60030010;

    // Shows the member screen when qzForm is true. Always returns false. Throws kelm::Error when
    // the screen cannot be shown (its load failed), and, before anything is done, when the process
    // has no QApplication (a core-only QCoreApplication is not enough) or the call is not made on the
    // QApplication's thread. A C++ host makes its QApplication itself.
    bool kelm(bool qzForm = false);

    // Shows the points screen when qzForm is true. Always returns false. Throws kelm::Error as kelm()
    // does.
    bool jfgl(bool qzForm = false);

    // Shows the member accounts screen (a member's history, the day report, the stored value owed to
    // members, the audit and the top-up trend) when qzForm is true. Always returns false. Throws
    // kelm::Error as kelm() does.
    bool zmcx(bool qzForm = false);

    // Late-bound call by dispatch id; an unknown id throws kelm::Error.
    bool invoke(int dispatchId, bool qzForm = false);
};

// The library's version, "1.0" for instance: the version of the libkelm.so the host has loaded,
// which may be newer than the headers it was built with. Any thread may call it.
KELM_EXPORT const char* version() noexcept;

} // namespace kelm

#include <kelm/Class1.h>

#include "entry/HostApplication.h"
#include "entry/ScreenRegistry.h"

namespace kelm {

const char* version() noexcept
{
    return KELM_VERSION;
}

bool Class1::kelm(bool qzForm)
{
    if (qzForm) {
        HostApplication::require();
        ScreenRegistry::instance().showMemberScreen();
    }
    return false;
}

bool Class1::jfgl(bool qzForm)
{
    if (qzForm) {
        HostApplication::require();
        ScreenRegistry::instance().showPointsScreen();
    }
    return false;
}

bool Class1::zmcx(bool qzForm)
{
    if (qzForm) {
        HostApplication::require();
        ScreenRegistry::instance().showAccountsScreen();
    }
    return false;
}

bool Class1::invoke(int dispatchId, bool qzForm)
{
    switch (dispatchId) {
    case DispatchIdKelm:
        return kelm(qzForm);
    case DispatchIdJfgl:
        return jfgl(qzForm);
    case DispatchIdZmcx:
        return zmcx(qzForm);
    default:
        throw Error("未知的调度标识 " + std::to_string(dispatchId) + "。");
    }
}

} // namespace kelm

#include <kelm/Class1.h>

#include "entry/HostApplication.h"
#include "entry/ScreenRegistry.h"
#include "members/Form1.h"
#include "points/Form4.h"

namespace kelm {

bool Class1::kelm(bool qzForm)
{
    if (qzForm) {
        HostApplication::require();
        ScreenRegistry::instance().form1().showScreen();
    }
    return false;
}

bool Class1::jfgl(bool qzForm)
{
    if (qzForm) {
        HostApplication::require();
        ScreenRegistry::instance().form4().showScreen();
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
    default:
        throw Error("未知的调度标识 " + std::to_string(dispatchId) + "。");
    }
}

} // namespace kelm

// The C interface of libkelm.so: the same Class1 for hosts that are not C++ or not Qt programs.
#include <kelm/Class1.h>
#include <kelm/kelm.h>

#include "entry/HostApplication.h"

#include <QEventLoop>
#include <QTimer>

#include <string>

struct kelm_Class1
{
    kelm::Class1 object;
};

namespace {

thread_local std::string g_lastError;

int failWith(int code, const std::string& message)
{
    g_lastError = message;
    return code;
}

template <typename Call>
int callMethod(kelm_Class1* object, int* result, Call call)
{
    if (!object || !result)
        return failWith(KELM_BAD_ARGUMENT, "对象或结果指针为空。");
    try {
        kelm::HostApplication::ensure();
        *result = call(object->object) ? 1 : 0;
        g_lastError.clear();
        return KELM_OK;
    } catch (const std::exception& failure) {
        *result = 0;
        return failWith(KELM_FAILED, failure.what());
    } catch (...) {
        *result = 0;
        return failWith(KELM_FAILED, "未知错误。");
    }
}

} // namespace

extern "C" {

kelm_Class1* kelm_Class1_create(void)
{
    try {
        kelm::HostApplication::ensure();
    } catch (const std::exception& failure) {
        g_lastError = failure.what();
        return nullptr;
    }
    return new (std::nothrow) kelm_Class1;
}

void kelm_Class1_release(kelm_Class1* object)
{
    delete object;
}

int kelm_Class1_kelm(kelm_Class1* object, int qzForm, int* result)
{
    return callMethod(object, result, [&](kelm::Class1& c) { return c.kelm(qzForm != 0); });
}

int kelm_Class1_jfgl(kelm_Class1* object, int qzForm, int* result)
{
    return callMethod(object, result, [&](kelm::Class1& c) { return c.jfgl(qzForm != 0); });
}

int kelm_Class1_zmcx(kelm_Class1* object, int qzForm, int* result)
{
    return callMethod(object, result, [&](kelm::Class1& c) { return c.zmcx(qzForm != 0); });
}

int kelm_Class1_invoke(kelm_Class1* object, int dispid, int qzForm, int* result)
{
    if (dispid != KELM_DISPID_KELM && dispid != KELM_DISPID_JFGL && dispid != KELM_DISPID_ZMCX) {
        if (result)
            *result = 0;
        return failWith(KELM_BAD_ARGUMENT, "未知的调度标识 " + std::to_string(dispid) + "。");
    }
    return callMethod(object, result, [&](kelm::Class1& c) { return c.invoke(dispid, qzForm != 0); });
}

const char* kelm_version(void)
{
    return kelm::version();
}

const char* kelm_last_error(void)
{
    return g_lastError.c_str();
}

int kelm_process_events(int milliseconds)
{
    try {
        kelm::HostApplication::ensure();
    } catch (const std::exception& failure) {
        return failWith(KELM_FAILED, failure.what());
    }
    QEventLoop loop;
    QTimer::singleShot(milliseconds > 0 ? milliseconds : 0, &loop, &QEventLoop::quit);
    loop.exec();
    return KELM_OK;
}

} // extern "C"

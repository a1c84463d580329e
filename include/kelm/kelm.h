#ifndef KELM_H
#define KELM_H

/* Plain C interface of libkelm.so for hosts written in any language.
 *
 * Every call returns 0 on success and a non-zero code on failure; kelm_last_error() then gives
 * the UTF-8 text of the failure. Boolean results arrive through *result (0 or 1). The first
 * kelm_Class1_create() of a process that has no Qt application object creates one; such a host
 * drives the screens with kelm_process_events().
 *
 * kelm_Class1_create() returns NULL, and kelm_last_error() says why, when the screens cannot be
 * used from this process: it has no Qt application object and Qt could show no window (DISPLAY
 * not set, the X server not answering), or its application object is not a QApplication. Every
 * function accepts NULL for the object: the calls then fail with KELM_BAD_ARGUMENT and
 * kelm_Class1_release() does nothing. The calls and kelm_process_events() fail with KELM_FAILED
 * for the same reasons, and when made on another thread than the QApplication's.
 *
 * Threads. The screens are windows of the process's one QApplication and live on its thread, the
 * GUI thread: the Qt host's main thread, or for a host without Qt the thread of its first
 * kelm_Class1_create(). kelm_Class1_create(), kelm_Class1_kelm(), kelm_Class1_jfgl(),
 * kelm_Class1_zmcx(), kelm_Class1_invoke(), kelm_Class1_release() and kelm_process_events()
 * belong to that thread.
 * kelm_last_error() may be called from any thread and tells the failure of that thread's own last
 * call; kelm_version() may be called from any thread at any time, also before anything else.
 *
 * The event loop. The screens are modeless: a call shows a window and returns at once. A host
 * with a Qt event loop of its own has nothing more to do. A host without one must call
 * kelm_process_events() regularly on the GUI thread (every 50 ms or so, for instance from its
 * own idle or timer handler) for as long as screens may be open; in between, they neither paint
 * nor answer the cashier.
 */

#include <kelm/Export.h>

#ifdef __cplusplus
extern "C" {
#endif

#define KELM_OK 0
#define KELM_FAILED 1 /* the method failed, for example a screen's load could not open the database */
#define KELM_BAD_ARGUMENT 2 /* a null object or result pointer, or an unknown dispatch id */

#define KELM_DISPID_KELM 0x60030000
#define KELM_DISPID_JFGL 0x60030001
#define KELM_DISPID_ZMCX 0x60030010

typedef struct kelm_Class1 kelm_Class1;

KELM_EXPORT kelm_Class1* kelm_Class1_create(void);
KELM_EXPORT void kelm_Class1_release(kelm_Class1* object);

KELM_EXPORT int kelm_Class1_kelm(kelm_Class1* object, int qzForm, int* result);
KELM_EXPORT int kelm_Class1_jfgl(kelm_Class1* object, int qzForm, int* result);
/* The member accounts screen: history, day report, stored value, audit, top-up trend. */
KELM_EXPORT int kelm_Class1_zmcx(kelm_Class1* object, int qzForm, int* result);
KELM_EXPORT int kelm_Class1_invoke(kelm_Class1* object, int dispid, int qzForm, int* result);

KELM_EXPORT const char* kelm_last_error(void);

/* Runs the event loop for about the given time (0: handles what is pending and returns). */
KELM_EXPORT int kelm_process_events(int milliseconds);

/* The library's version, "1.0" for instance: that of the libkelm.so loaded, not of this header. */
KELM_EXPORT const char* kelm_version(void);

#ifdef __cplusplus
}
#endif

#endif

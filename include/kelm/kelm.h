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
 */

#ifdef __cplusplus
extern "C" {
#endif

#define KELM_OK 0
#define KELM_FAILED 1 /* the method failed, for example a screen's load could not open the database */
#define KELM_BAD_ARGUMENT 2 /* a null object or result pointer, or an unknown dispatch id */

#define KELM_DISPID_KELM 0x60030000
#define KELM_DISPID_JFGL 0x60030001

typedef struct kelm_Class1 kelm_Class1;

kelm_Class1* kelm_Class1_create(void);
void kelm_Class1_release(kelm_Class1* object);

int kelm_Class1_kelm(kelm_Class1* object, int qzForm, int* result);
int kelm_Class1_jfgl(kelm_Class1* object, int qzForm, int* result);
int kelm_Class1_invoke(kelm_Class1* object, int dispid, int qzForm, int* result);

const char* kelm_last_error(void);

/* Runs the event loop for about the given time (0: handles what is pending and returns). */
int kelm_process_events(int milliseconds);

#ifdef __cplusplus
}
#endif

#endif

#ifndef KELM_EXPORT_H
#define KELM_EXPORT_H

/* What libkelm.so lets a host see. The library is built with every other symbol hidden, so only
 * declarations marked KELM_EXPORT are its ABI. A host sees them with default visibility too, also
 * when the host itself is built with hidden visibility. */
#if defined(__GNUC__) || defined(__clang__)
#define KELM_EXPORT __attribute__((visibility("default")))
#else
#define KELM_EXPORT
#endif

#endif

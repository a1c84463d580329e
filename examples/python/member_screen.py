#!/usr/bin/env python3
"""A till program in Python that shows the member screen through libkelm.so.

It calls the C interface of kelm.h through ctypes. Python has no Qt event loop here, so the program
pumps the library's with kelm_process_events while the screen is up.

    python3 member_screen.py [SECONDS]      (how long the screen stays up; 60 when not given)
"""
import ctypes
import sys

KELM_OK = 0

kelm = ctypes.CDLL("libkelm.so.1")
kelm.kelm_version.restype = ctypes.c_char_p
kelm.kelm_version.argtypes = []
kelm.kelm_last_error.restype = ctypes.c_char_p
kelm.kelm_last_error.argtypes = []
kelm.kelm_Class1_create.restype = ctypes.c_void_p  # an opaque kelm_Class1*
kelm.kelm_Class1_create.argtypes = []
kelm.kelm_Class1_release.restype = None
kelm.kelm_Class1_release.argtypes = [ctypes.c_void_p]
kelm.kelm_Class1_kelm.restype = ctypes.c_int
kelm.kelm_Class1_kelm.argtypes = [ctypes.c_void_p, ctypes.c_int, ctypes.POINTER(ctypes.c_int)]
kelm.kelm_process_events.restype = ctypes.c_int
kelm.kelm_process_events.argtypes = [ctypes.c_int]


def main():
    seconds = int(sys.argv[1]) if len(sys.argv) > 1 else 60
    version = kelm.kelm_version().decode()
    membership = kelm.kelm_Class1_create()
    if not membership:
        sys.exit(f"kelm {version}: {kelm.kelm_last_error().decode()}")
    try:
        shown = ctypes.c_int()
        if kelm.kelm_Class1_kelm(membership, 1, ctypes.byref(shown)) != KELM_OK:
            sys.exit(f"kelm {version}: {kelm.kelm_last_error().decode()}")
        print(f"kelm {version}: the member screen 会员管理 is shown", flush=True)
        for _ in range(seconds * 20):
            kelm.kelm_process_events(50)
    finally:
        kelm.kelm_Class1_release(membership)


if __name__ == "__main__":
    main()

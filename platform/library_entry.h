/* The library entry of a shared library, for the one file that defines it.
   PLATFORM_LIBRARY_ENTRY(attach, detach) runs `int attach(void)` when the
   library is attached to a process and `void detach(void)` when it is
   detached. On Windows that is DllMain: a refused attach (0) fails the load,
   thread notifications are turned off. Elsewhere a shared object cannot
   refuse its own load, so the constructor ignores the result; the add-on
   remembers the refusal itself. */
#ifndef TIMB_FLV_LIBRARY_ENTRY_H
#define TIMB_FLV_LIBRARY_ENTRY_H

#ifdef _WIN32
#include <windows.h>

#define PLATFORM_LIBRARY_ENTRY(attach, detach)                                     \
    extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {     \
        if (reason == DLL_PROCESS_ATTACH) {                                        \
            DisableThreadLibraryCalls(instance);                                   \
            return attach() ? TRUE : FALSE;                                        \
        }                                                                          \
        if (reason == DLL_PROCESS_DETACH)                                          \
            detach();                                                              \
        return TRUE;                                                               \
    }
#else
#define PLATFORM_LIBRARY_ENTRY(attach, detach)                                     \
    __attribute__((constructor)) static void LibraryConstructor(void) { attach(); } \
    __attribute__((destructor)) static void LibraryDestructor(void) { detach(); }
#endif

#endif

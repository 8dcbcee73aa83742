/* Loading shared libraries by path, for hosts and tools (the stand-in TIMB
   loads add-ons as plugins). The add-on itself never loads a library. */
#ifndef TIMB_FLV_PLATFORM_LIBRARY_H
#define TIMB_FLV_PLATFORM_LIBRARY_H

/* path: UTF-8. Null when the library does not load. */
void *OsLoadLibrary(const char *path);
/* The address of an exported symbol by its plain name, or null. */
void *OsLibrarySymbol(void *library, const char *name);
void OsUnloadLibrary(void *library);

#endif

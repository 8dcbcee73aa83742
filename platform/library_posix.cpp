#include "platform/library.h"

#include <dlfcn.h>

void *OsLoadLibrary(const char *path) { return dlopen(path, RTLD_NOW | RTLD_LOCAL); }

void *OsLibrarySymbol(void *library, const char *name) { return dlsym(library, name); }

void OsUnloadLibrary(void *library) { dlclose(library); }

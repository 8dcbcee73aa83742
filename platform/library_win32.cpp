#include "platform/library.h"

#include <windows.h>

#include <stdlib.h>

void *OsLoadLibrary(const char *path) {
    int units = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, path, -1, NULL, 0);
    if (units <= 0)
        return NULL;
    wchar_t *wide = (wchar_t *)malloc(sizeof(wchar_t) * (size_t)units);
    if (wide == NULL)
        return NULL;
    MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, path, -1, wide, units);
    HMODULE library = LoadLibraryW(wide);
    free(wide);
    return (void *)library;
}

void *OsLibrarySymbol(void *library, const char *name) {
    return (void *)GetProcAddress((HMODULE)library, name);
}

void OsUnloadLibrary(void *library) { FreeLibrary((HMODULE)library); }

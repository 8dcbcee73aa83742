// The platform layer on Windows: CreateFileW, SetFilePointer, ReadFile,
// GetFileSize, CloseHandle, the process heap, one SRW lock and MessageBoxA.
#include "platform/platform.h"

#include <windows.h>

namespace {

SRWLOCK processLock = SRWLOCK_INIT;

HANDLE AsHandle(OsFile file) { return (HANDLE)file; }

} // namespace

OsFile OsOpenFile(const char16_t *path) {
    HANDLE file = CreateFileW((LPCWSTR)path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              NULL, OPEN_EXISTING, 0, NULL);
    return file == INVALID_HANDLE_VALUE ? OS_FILE_NONE : (OsFile)file;
}

int OsSetFilePosition(OsFile file, uint32_t position) {
    return SetFilePointer(AsHandle(file), (LONG)position, NULL, FILE_BEGIN) == position;
}

int OsReadFile(OsFile file, void *buffer, uint32_t want, uint32_t *got) {
    *got = 0;
    if (OsReadShouldFail())
        return 0;
    DWORD read = 0;
    if (!ReadFile(AsHandle(file), buffer, want, &read, NULL))
        return 0;
    *got = read;
    return 1;
}

int OsReadFileAt(OsFile file, uint32_t position, void *buffer, uint32_t want, uint32_t *got) {
    *got = 0;
    return OsSetFilePosition(file, position) && OsReadFile(file, buffer, want, got);
}

uint32_t OsFileSize(OsFile file) { return GetFileSize(AsHandle(file), NULL); }

void OsCloseFile(OsFile file) { CloseHandle(AsHandle(file)); }

void *OsAlloc(size_t size, int zeroFill) {
    if (OsAllocationShouldFail())
        return NULL;
    return HeapAlloc(GetProcessHeap(), zeroFill ? HEAP_ZERO_MEMORY : 0, size);
}

void *OsRealloc(void *block, size_t size) {
    if (OsAllocationShouldFail())
        return NULL;
    return HeapReAlloc(GetProcessHeap(), 0, block, size);
}

void OsFree(void *block) {
    if (block != NULL)
        HeapFree(GetProcessHeap(), 0, block);
}

void OsLock(void) { AcquireSRWLockExclusive(&processLock); }
void OsUnlock(void) { ReleaseSRWLockExclusive(&processLock); }

void OsShowError(const char *text, const char *caption) { MessageBoxA(NULL, text, caption, MB_ICONERROR); }

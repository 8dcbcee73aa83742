// The platform layer on POSIX systems: open(2), lseek(2), read(2), pread(2),
// fstat(2), the malloc family, one pthread mutex and standard error.
#include "platform/platform.h"

#include <errno.h>
#include <fcntl.h>
#include <pthread.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

bool IsHighSurrogate(char16_t unit) { return unit >= 0xD800 && unit <= 0xDBFF; }
bool IsLowSurrogate(char16_t unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }

// Appends the UTF-8 form of one code point.
char *PutUtf8(char *out, uint32_t point) {
    if (point < 0x80) {
        *out++ = (char)point;
    } else if (point < 0x800) {
        *out++ = (char)(0xC0 | (point >> 6));
        *out++ = (char)(0x80 | (point & 0x3F));
    } else if (point < 0x10000) {
        *out++ = (char)(0xE0 | (point >> 12));
        *out++ = (char)(0x80 | ((point >> 6) & 0x3F));
        *out++ = (char)(0x80 | (point & 0x3F));
    } else {
        *out++ = (char)(0xF0 | (point >> 18));
        *out++ = (char)(0x80 | ((point >> 12) & 0x3F));
        *out++ = (char)(0x80 | ((point >> 6) & 0x3F));
        *out++ = (char)(0x80 | (point & 0x3F));
    }
    return out;
}

// A heap copy of the path in UTF-8, or null when the UTF-16 is malformed
// (an unpaired surrogate) or memory runs out. Free it with OsFree.
char *Utf16ToUtf8(const char16_t *path) {
    size_t units = 0;
    while (path[units] != 0)
        units++;
    // Each UTF-16 unit becomes at most 3 UTF-8 bytes; a pair, 4 bytes for 2.
    char *utf8 = (char *)OsAlloc(units * 3 + 1, 0);
    if (utf8 == NULL)
        return NULL;
    char *out = utf8;
    for (size_t i = 0; i < units; i++) {
        uint32_t point = path[i];
        if (IsHighSurrogate(path[i])) {
            if (!IsLowSurrogate(path[i + 1])) {
                OsFree(utf8);
                return NULL;
            }
            point = 0x10000 + (((uint32_t)path[i] - 0xD800) << 10) + ((uint32_t)path[i + 1] - 0xDC00);
            i++;
        } else if (IsLowSurrogate(path[i])) {
            OsFree(utf8);
            return NULL;
        }
        out = PutUtf8(out, point);
    }
    *out = 0;
    return utf8;
}

pthread_mutex_t processLock = PTHREAD_MUTEX_INITIALIZER;

} // namespace

OsFile OsOpenFile(const char16_t *path) {
    char *utf8 = Utf16ToUtf8(path);
    if (utf8 == NULL)
        return OS_FILE_NONE;
    int fd;
    do {
        fd = open(utf8, O_RDONLY | O_CLOEXEC);
    } while (fd < 0 && errno == EINTR);
    OsFree(utf8);
    return fd < 0 ? OS_FILE_NONE : (OsFile)fd;
}

int OsSetFilePosition(OsFile file, uint32_t position) {
    return lseek((int)file, (off_t)position, SEEK_SET) == (off_t)position;
}

int OsReadFile(OsFile file, void *buffer, uint32_t want, uint32_t *got) {
    *got = 0;
    if (OsReadShouldFail())
        return 0;
    ssize_t n;
    do {
        n = read((int)file, buffer, want);
    } while (n < 0 && errno == EINTR);
    if (n < 0)
        return 0;
    *got = (uint32_t)n;
    return 1;
}

int OsReadFileAt(OsFile file, uint32_t position, void *buffer, uint32_t want, uint32_t *got) {
    *got = 0;
    if (OsReadShouldFail())
        return 0;
    ssize_t n;
    do {
        n = pread((int)file, buffer, want, (off_t)position);
    } while (n < 0 && errno == EINTR);
    if (n < 0)
        return 0;
    *got = (uint32_t)n;
    return 1;
}

uint32_t OsFileSize(OsFile file) {
    struct stat info;
    if (fstat((int)file, &info) != 0)
        return 0xFFFFFFFFu;
    return (uint32_t)(uint64_t)info.st_size;
}

void OsCloseFile(OsFile file) { close((int)file); }

void *OsAlloc(size_t size, int zeroFill) {
    if (OsAllocationShouldFail())
        return NULL;
    if (size == 0)
        size = 1;
    return zeroFill ? calloc(1, size) : malloc(size);
}

void *OsRealloc(void *block, size_t size) {
    if (OsAllocationShouldFail())
        return NULL;
    return realloc(block, size == 0 ? 1 : size);
}

void OsFree(void *block) { free(block); }

void OsLock(void) { pthread_mutex_lock(&processLock); }
void OsUnlock(void) { pthread_mutex_unlock(&processLock); }

void OsShowError(const char *text, const char *caption) { fprintf(stderr, "%s: %s\n", caption, text); }

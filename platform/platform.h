/* What the add-on needs of the operating system, and nothing more: a file
   opened by a UTF-16 name and read at 32-bit positions, the process heap,
   one process-wide lock and an error message to the user.

   flv/, plugin/ and standin/ call only these; one file per operating system
   implements them (platform_win32.cpp, platform_posix.cpp). Each file call is
   a single system call with no buffering of its own, so the reader's window
   is the only buffer between the file and the stream.

   Tests can make the n-th allocation or the n-th file read fail (the fault
   seam below) to walk every out-of-memory and read-error road. */
#ifndef TIMB_FLV_PLATFORM_H
#define TIMB_FLV_PLATFORM_H

#include <stddef.h>
#include <stdint.h>

/* An open file: a Windows HANDLE or a POSIX descriptor, widened. */
typedef intptr_t OsFile;
#define OS_FILE_NONE ((OsFile)-1)

/* Opens an existing file for reading, letting others read, write and delete
   it meanwhile. path: NUL-terminated UTF-16. OS_FILE_NONE on failure,
   malformed UTF-16 included. */
OsFile OsOpenFile(const char16_t *path);

/* Moves to `position` bytes from the start; position is below 2^31.
   1 on success, 0 on failure. */
int OsSetFilePosition(OsFile file, uint32_t position);

/* Reads up to `want` bytes at the file position in one request. 1 with the
   count in *got (smaller than asked, down to 0, at the end of the file), or 0
   on a read error with *got = 0. */
int OsReadFile(OsFile file, void *buffer, uint32_t want, uint32_t *got);

/* OsSetFilePosition to `position` (below 2^31), then OsReadFile: the same
   answers, in one system call where the system has a positioned read, since
   the reader repositions before every read it makes. */
int OsReadFileAt(OsFile file, uint32_t position, void *buffer, uint32_t want, uint32_t *got);

/* The file's size, low 32 bits only; 0xFFFFFFFF when it cannot be had. */
uint32_t OsFileSize(OsFile file);

void OsCloseFile(OsFile file);

/* Process heap. OsAlloc zero-fills when `zeroFill` is 1. OsRealloc keeps the
   old block when it fails (result null); the old contents need not survive
   a success. A size of 0 gives a valid block of its own. */
void *OsAlloc(size_t size, int zeroFill);
void *OsRealloc(void *block, size_t size);
void OsFree(void *block); /* null is ignored */

/* The one process-wide lock. Not recursive; hold it only for a few stores. */
void OsLock(void);
void OsUnlock(void);

/* Tells the user of an error that stops the add-on from loading: a message
   box on Windows (error icon, one OK button, blocks until dismissed),
   standard error elsewhere. */
void OsShowError(const char *text, const char *caption);

/* Fault seam. OsFailNthAllocation(n): the n-th allocation or reallocation
   from now fails (1 is the next one); 0 turns it off. Likewise reads. Each
   fires once. */
void OsFailNthAllocation(uint32_t n);
void OsFailNthRead(uint32_t n);

/* Used by the platform files: 1 when this call must fail. */
int OsAllocationShouldFail(void);
int OsReadShouldFail(void);

#endif

#include "tests/plugin/heap_count.h"

#include <atomic>
#include <mutex>

#include "platform/platform.h"

namespace {

std::atomic<long> liveBlocks{0};
std::atomic<long> openFiles{0};
std::mutex attemptsLock;
std::vector<counting::Attempt> attempts;

void NoteAttempt(size_t size, bool failed) {
    std::lock_guard<std::mutex> guard(attemptsLock);
    attempts.push_back({size, failed});
}

} // namespace

// The mangled names of OsAlloc, OsRealloc, OsFree, OsOpenFile and OsCloseFile.
extern "C" {
void *__real__Z7OsAllocmi(size_t size, int zeroFill);
void *__real__Z9OsReallocPvm(void *block, size_t size);
void __real__Z6OsFreePv(void *block);
OsFile __real__Z10OsOpenFilePKDs(const char16_t *path);
void __real__Z11OsCloseFilel(OsFile file);

void *__wrap__Z7OsAllocmi(size_t size, int zeroFill) {
    void *block = __real__Z7OsAllocmi(size, zeroFill);
    NoteAttempt(size, block == nullptr);
    if (block != nullptr)
        liveBlocks++;
    return block;
}

void *__wrap__Z9OsReallocPvm(void *block, size_t size) {
    void *moved = __real__Z9OsReallocPvm(block, size);
    NoteAttempt(size, moved == nullptr);
    if (moved != nullptr && block == nullptr)
        liveBlocks++;
    return moved;
}

void __wrap__Z6OsFreePv(void *block) {
    if (block != nullptr)
        liveBlocks--;
    __real__Z6OsFreePv(block);
}

OsFile __wrap__Z10OsOpenFilePKDs(const char16_t *path) {
    OsFile file = __real__Z10OsOpenFilePKDs(path);
    if (file != OS_FILE_NONE)
        openFiles++;
    return file;
}

void __wrap__Z11OsCloseFilel(OsFile file) {
    openFiles--;
    __real__Z11OsCloseFilel(file);
}
}

namespace counting {

Live Now() { return {liveBlocks.load(), openFiles.load()}; }

std::vector<Attempt> Attempts() {
    std::lock_guard<std::mutex> guard(attemptsLock);
    return attempts;
}

void ClearAttempts() {
    std::lock_guard<std::mutex> guard(attemptsLock);
    attempts.clear();
}

} // namespace counting

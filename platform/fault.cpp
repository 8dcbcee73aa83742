// The fault seam shared by both platform files. Counters are atomic because
// the threaded tests allocate and read on several threads at once.
#include "platform/platform.h"

#include <atomic>

namespace {

std::atomic<uint32_t> allocationsUntilFailure{0};
std::atomic<uint32_t> readsUntilFailure{0};

// Counts one call down; 1 when the countdown reaches zero on this call.
int CountDown(std::atomic<uint32_t> &counter) {
    uint32_t left = counter.load(std::memory_order_relaxed);
    while (left != 0) {
        if (counter.compare_exchange_weak(left, left - 1, std::memory_order_relaxed))
            return left == 1;
    }
    return 0;
}

} // namespace

void OsFailNthAllocation(uint32_t n) { allocationsUntilFailure.store(n); }
void OsFailNthRead(uint32_t n) { readsUntilFailure.store(n); }
int OsAllocationShouldFail(void) { return CountDown(allocationsUntilFailure); }
int OsReadShouldFail(void) { return CountDown(readsUntilFailure); }

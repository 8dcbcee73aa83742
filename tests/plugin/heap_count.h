// Live heap blocks and open files of the add-on, counted by wrapping the
// platform layer's calls at link time (the test program links with
// --wrap for each). Only the add-on's own calls are counted: the platform
// layer's internal use of its heap is not a reference the linker sees.
#ifndef TIMB_FLV_TESTS_HEAP_COUNT_H
#define TIMB_FLV_TESTS_HEAP_COUNT_H

#include <stddef.h>

#include <vector>

namespace counting {

struct Live {
    long blocks;
    long files;
    bool operator==(const Live &other) const { return blocks == other.blocks && files == other.files; }
};

Live Now();

// One allocation or reallocation the add-on asked for.
struct Attempt {
    size_t size;
    bool failed;
};

// The attempts since the last ClearAttempts, in order.
std::vector<Attempt> Attempts();
void ClearAttempts();

} // namespace counting

#endif

// The tests' own FLV walker, written apart from the add-on and the tool: it
// reads the whole file and lists its tags, so the expected audio byte stream
// (each audio tag's payload less its first byte, in file order) does not
// depend on the code under test.
#ifndef INTEGRATION_FLV_WALK_H
#define INTEGRATION_FLV_WALK_H

#include <stdint.h>

#include <string>
#include <vector>

namespace walk {

struct Tag {
    uint32_t position; // of the previous-tag-size field before the tag
    uint32_t type;
    uint32_t size;         // payload bytes
    uint32_t payload;      // file offset of the payload
    uint32_t streamOffset; // audio tags: where its bytes begin in the audio byte stream
};

struct Flv {
    std::string bytes;
    std::vector<Tag> tags;
    std::string audio; // the audio byte stream
};

std::string ReadFile(const std::string &path);

// Tags from offset 9 on; a tag the file cuts short ends the walk.
Flv WalkFlv(const std::string &bytes);

uint32_t CountTags(const Flv &flv, uint32_t type);
uint32_t LargestTag(const Flv &flv, uint32_t type);

} // namespace walk

#endif

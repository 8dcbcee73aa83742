#include "flv_walk.h"

#include <fstream>
#include <iterator>

namespace walk {

namespace {

const uint32_t FIRST_TAG = 9;
const uint32_t TAG_START = 4; // after the previous-tag-size field
const uint32_t TAG_HEADER = 11;
const uint32_t AUDIO = 8;

uint32_t Byte(const std::string &bytes, size_t at) { return (uint8_t)bytes[at]; }

uint32_t Be24(const std::string &bytes, size_t at) {
    return Byte(bytes, at) << 16 | Byte(bytes, at + 1) << 8 | Byte(bytes, at + 2);
}

} // namespace

std::string ReadFile(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

Flv WalkFlv(const std::string &bytes) {
    Flv flv;
    flv.bytes = bytes;
    size_t at = FIRST_TAG;
    while (at + TAG_START + TAG_HEADER <= bytes.size()) {
        Tag tag;
        tag.position = (uint32_t)at;
        tag.type = Byte(bytes, at + TAG_START);
        tag.size = Be24(bytes, at + TAG_START + 1);
        tag.payload = (uint32_t)(at + TAG_START + TAG_HEADER);
        tag.streamOffset = (uint32_t)flv.audio.size();
        if ((size_t)tag.payload + tag.size > bytes.size())
            break;
        if (tag.type == AUDIO && tag.size > 0)
            flv.audio.append(bytes, tag.payload + 1, tag.size - 1);
        flv.tags.push_back(tag);
        at = tag.payload + tag.size;
    }
    return flv;
}

uint32_t CountTags(const Flv &flv, uint32_t type) {
    uint32_t count = 0;
    for (const Tag &tag : flv.tags)
        count += tag.type == type;
    return count;
}

uint32_t LargestTag(const Flv &flv, uint32_t type) {
    uint32_t largest = 0;
    for (const Tag &tag : flv.tags)
        if (tag.type == type && tag.size > largest)
            largest = tag.size;
    return largest;
}

} // namespace walk

#include "tests/damage/flv_model.h"

namespace model {

namespace {

const uint64_t firstRecord = 9;
const uint64_t recordOverhead = 15;
const uint64_t positionLimit = 0x80000000u; // the reader sees nothing from here on

uint32_t Size24(const Bytes &file, uint64_t at) {
    return (uint32_t)file[at] << 16 | (uint32_t)file[at + 1] << 8 | file[at + 2];
}

bool Opens(const Bytes &file) {
    return file.size() >= 4 && file[0] == 'F' && file[1] == 'L' && file[2] == 'V' && file[3] == 1;
}

} // namespace

Expected Expect(const Bytes &file) {
    Expected e;
    e.opens = Opens(file);
    if (!e.opens)
        return e;
    const uint64_t fileSize = file.size();
    e.boundaries.push_back({(uint32_t)firstRecord, 0});
    bool loading = true;
    for (uint64_t at = firstRecord; at < positionLimit && at + recordOverhead + 1 <= fileSize;) {
        uint8_t type = file[at + 4];
        uint32_t size = Size24(file, at + 5);
        uint64_t end = at + recordOverhead + size;
        if (size > e.largestPayload)
            e.largestPayload = size;
        if (loading && end + 1 > fileSize)
            loading = false;
        if (type == 8) {
            if (size > 0)
                e.audioLength += size - 1;
            if (loading && size > 0)
                e.stream.insert(e.stream.end(), file.begin() + (long)(at + recordOverhead + 1),
                                file.begin() + (long)end);
            if (end < fileSize)
                e.boundaries.push_back({(uint32_t)end, e.audioLength});
        }
        at = end;
    }
    e.wellFormed = e.stream.size() == e.audioLength;
    return e;
}

Cursor::Read Cursor::NextRead(uint32_t length) {
    if (length == 0)
        return {0, false, nullptr};
    uint64_t left = position < expected->stream.size() ? expected->stream.size() - position : 0;
    if (left == 0)
        return {length, true, nullptr};
    uint32_t count = left < length ? (uint32_t)left : length;
    Read read = {count, false, expected->stream.data() + position};
    position += count;
    return read;
}

Cursor::Answer Cursor::Seek(uint64_t offset) {
    if (offset >= expected->audioLength)
        return REFUSED;
    position = offset;
    return offset < expected->stream.size() ? POSITIONED : EITHER;
}

} // namespace model

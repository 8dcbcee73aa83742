#include "tests/damage/stream_check.h"

#include <string.h>

#include <algorithm>
#include <random>
#include <vector>

namespace model {

namespace {

std::string Describe(const char *operation, uint64_t argument, const std::string &what) {
    return std::string(operation) + "(" + std::to_string(argument) + "): " + what;
}

// 1 when every byte of the run is `value`; memcmp keeps it fast in
// unoptimised sanitizer builds.
bool AllBytesAre(const uint8_t *bytes, uint32_t count, uint8_t value) {
    return count == 0 || (bytes[0] == value && memcmp(bytes, bytes + 1, count - 1) == 0);
}

std::string FirstDifference(const uint8_t *got, const uint8_t *want, uint32_t count, uint64_t streamOffset) {
    if (count == 0 || memcmp(got, want, count) == 0)
        return "";
    for (uint32_t i = 0; i < count; i++)
        if (got[i] != want[i])
            return "byte " + std::to_string(i) + " of the read (stream offset " + std::to_string(streamOffset + i) +
                   ") is " + std::to_string(got[i]) + ", not " + std::to_string(want[i]);
    return "";
}

// Read sizes that land reads inside records, across them and on their edges.
const uint32_t readSizes[] = {4093, 1, 65536, 333, 16, 100000, 2};
const uint32_t readSizeCount = sizeof readSizes / sizeof readSizes[0];
// How far a read may reach past the end of the stream: enough to see it
// cut short or answered with zeros, without filling large buffers for it.
const uint64_t readPastEnd = 64;

uint32_t ReadSize(size_t i, const Cursor &cursor) {
    uint64_t stream = cursor.expected->stream.size();
    uint64_t reach = (cursor.position < stream ? stream - cursor.position : 0) + readPastEnd;
    return (uint32_t)std::min<uint64_t>(readSizes[i % readSizeCount], reach);
}

} // namespace

std::string CheckLength(const StreamCalls &calls, const Expected &expected) {
    uint64_t length = calls.length();
    if (length != expected.audioLength)
        return "length is " + std::to_string(length) + ", not " + std::to_string(expected.audioLength);
    return "";
}

std::string CheckRead(const StreamCalls &calls, Cursor &cursor, uint32_t length) {
    uint64_t before = cursor.position;
    std::vector<uint8_t> buffer(length + 1, untouchedByte);
    uint32_t got = calls.read(buffer.data(), length);
    Cursor::Read want = cursor.NextRead(length);
    if (got != want.count)
        return Describe("read", length, "reported " + std::to_string(got) + ", not " + std::to_string(want.count) +
                                            " at stream offset " + std::to_string(before));
    if (buffer[length] != untouchedByte)
        return Describe("read", length, "wrote past the buffer");
    if (want.zeroFill)
        return AllBytesAre(buffer.data(), length, 0) ? "" : Describe("read", length, "the zero fill is not all zeros");
    std::string wrong = FirstDifference(buffer.data(), want.bytes, want.count, before);
    if (!wrong.empty())
        return Describe("read", length, wrong);
    if (!AllBytesAre(buffer.data() + want.count, length - want.count, untouchedByte))
        return Describe("read", length, "a short read changed bytes beyond its count");
    return "";
}

std::string CheckSeek(const StreamCalls &calls, Cursor &cursor, uint64_t offset) {
    Bool32 got = calls.seek(offset);
    Cursor::Answer want = cursor.Seek(offset);
    if (want != Cursor::EITHER && (got != 0) != (want == Cursor::POSITIONED))
        return Describe("seek", offset, std::string("answered ") + (got ? "TRUE" : "FALSE"));
    return "";
}

std::string CheckWholeStream(const StreamCalls &calls, const Expected &expected, uint32_t seed, int extraSeeks) {
    std::string wrong = CheckLength(calls, expected);
    Cursor cursor{&expected};
    for (size_t i = 0; wrong.empty() && cursor.position < expected.stream.size(); i++)
        wrong = CheckRead(calls, cursor, ReadSize(i, cursor));
    if (wrong.empty())
        wrong = CheckRead(calls, cursor, 64);
    uint64_t length = expected.audioLength;
    std::vector<uint64_t> offsets = {0, length / 2, length == 0 ? 0 : length - 1, length, (1ull << 32) + 1};
    std::mt19937 random(seed);
    for (int i = 0; i < extraSeeks && length > 0; i++)
        offsets.push_back(random() % length);
    for (size_t i = 0; wrong.empty() && i < offsets.size(); i++) {
        wrong = CheckSeek(calls, cursor, offsets[i]);
        if (wrong.empty())
            wrong = CheckRead(calls, cursor, ReadSize(i, cursor));
    }
    return wrong;
}

std::string CheckReadIsPlausible(const StreamCalls &calls, const Bytes &audioOfFile, uint32_t length) {
    std::vector<uint8_t> buffer(length + 1, untouchedByte);
    uint32_t got = calls.read(buffer.data(), length);
    if (got > length)
        return Describe("read", length, "reported " + std::to_string(got) + ", more than asked");
    if (buffer[length] != untouchedByte)
        return Describe("read", length, "wrote past the buffer");
    if (got == 0 || AllBytesAre(buffer.data(), got, 0))
        return "";
    if (std::search(audioOfFile.begin(), audioOfFile.end(), buffer.begin(), buffer.begin() + got) ==
        audioOfFile.end())
        return Describe("read", length, "delivered " + std::to_string(got) + " bytes that are no run of audio payload");
    return "";
}

} // namespace model

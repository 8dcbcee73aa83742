// Drives an open stream through its procedures and holds every answer
// against the model. Each check returns an empty string when the stream
// answered as it must, else what went wrong, naming the operation and the
// byte, so a damage test can report it and a fuzz target can stop on it.
#ifndef TIMB_FLV_TESTS_DAMAGE_STREAM_CHECK_H
#define TIMB_FLV_TESTS_DAMAGE_STREAM_CHECK_H

#include <functional>
#include <string>

#include "host/timb_host.h"
#include "tests/damage/flv_model.h"

namespace model {

// The stream's three procedures other than close, however they are reached.
struct StreamCalls {
    std::function<uint32_t(void *buffer, uint32_t length)> read;
    std::function<Bool32(uint64_t offset)> seek;
    std::function<uint64_t()> length;
};

// The byte a buffer holds before a read, to see what the read left alone.
const uint8_t untouchedByte = 0xA5;

std::string CheckLength(const StreamCalls &calls, const Expected &expected);
std::string CheckRead(const StreamCalls &calls, Cursor &cursor, uint32_t length);
std::string CheckSeek(const StreamCalls &calls, Cursor &cursor, uint64_t offset);

// Reads the whole stream in reads of varied sizes, one read past its end,
// then seeks to the offsets that matter (the start, the middle, the last
// byte, the length, one beyond 32 bits, and `extraSeeks` more from `seed`)
// and reads after each.
std::string CheckWholeStream(const StreamCalls &calls, const Expected &expected, uint32_t seed, int extraSeeks);

// A read that delivers nothing must still fill the buffer: never more than
// asked, and the bytes are zeros or come from the file's audio payloads.
// For a stream whose file may change or whose reads may fail, where the
// model cannot say which bytes come next.
std::string CheckReadIsPlausible(const StreamCalls &calls, const Bytes &audioOfFile, uint32_t length);

} // namespace model

#endif

// What a stream over any sequence of file bytes must answer, worked out by a
// plain walk over the bytes and not by the add-on's code. Shared by the
// damage tests and the fuzz targets.
//
// The walk: records start at offset 9 and follow each other; one is seen
// while at least 16 bytes remain from its start. Every seen audio record
// (type 8) adds its payload size less one to the length. A record can be
// loaded only when the file holds it and at least one byte more; reading
// stops for good at the first record that cannot be loaded.
#ifndef TIMB_FLV_TESTS_DAMAGE_FLV_MODEL_H
#define TIMB_FLV_TESTS_DAMAGE_FLV_MODEL_H

#include <stdint.h>

#include <vector>

namespace model {

using Bytes = std::vector<uint8_t>;

struct Boundary {
    uint32_t position; // just past an audio record
    uint32_t count;    // audio bytes before position
};

struct Expected {
    bool opens = false;       // "FLV", version 1, at least 4 bytes
    uint32_t audioLength = 0; // what the length procedure reports
    Bytes stream;             // what reads deliver from the start until the end
    // Every position a seek may start its walk from: the first record with
    // count 0, and each audio record's end below the file size.
    std::vector<Boundary> boundaries;
    uint32_t largestPayload = 0; // of the records seen
    bool wellFormed = false;     // every seen record loads: stream has audioLength bytes
};

Expected Expect(const Bytes &file);

// A reader of the stream as the model has it: where a stream stands and what
// its next read and seek must answer.
struct Cursor {
    const Expected *expected;
    uint64_t position = 0;

    // What a read of `length` bytes returns and delivers. A read that finds
    // nothing is answered with `length` zero bytes; a partial one delivers
    // only `count` bytes and leaves the rest of the buffer alone.
    struct Read {
        uint32_t count;
        bool zeroFill;
        const uint8_t *bytes; // count bytes when !zeroFill
    };
    Read NextRead(uint32_t length);

    // What a seek to `offset` answers, and where the stream then stands.
    // Offsets from the length on are refused and move nothing. Below the
    // length the seek lands on the offset, except in a final audio record
    // the file cuts short: its bytes count in the length but cannot be read,
    // so the seek may succeed or report failure, and either way reads find
    // nothing after it.
    enum Answer { REFUSED, POSITIONED, EITHER };
    Answer Seek(uint64_t offset);
};

} // namespace model

#endif

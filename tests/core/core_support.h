// What the extraction-core tests share: files laid out record by record
// (sparse on disk when they are large), streams opened over them, a model
// of the audio byte stream to check answers against, and the heap in use.
#ifndef TIMB_FLV_TESTS_CORE_SUPPORT_H
#define TIMB_FLV_TESTS_CORE_SUPPORT_H

#include <gtest/gtest.h>
#include <stdint.h>

#include <memory>
#include <string>
#include <vector>

#include "flv/reader.h"
#include "flv/scan.h"
#include "flv/stream.h"
#include "tests/support/flv_builder.h"

namespace core {

using fixture::Bytes;
using fixture::Tag;

// Payload bytes none of which is 0, so that an answer holding a zero byte
// is known to be zero fill and not stream data.
Bytes NonZeroPattern(size_t count, uint32_t seed);

// Tags as RandomTags makes them, with NonZeroPattern payloads.
std::vector<Tag> RandomNonZeroTags(uint32_t seed, size_t count, uint32_t largestPayload);

// An audio record's boundary: the position just past its payload and the
// audio byte stream bytes up to and including it.
struct Boundary {
    uint64_t end;
    uint32_t count;
};

// The audio records' boundaries of a file, found by walking its bytes: a
// record counts when at least 16 bytes are left at it; one running past the
// end of the file counts in full.
std::vector<Boundary> BoundariesOfFile(const Bytes &file);

// The index a scan of a file of `fileSize` bytes with these boundaries must
// leave: slot i holds the last boundary that ends below the file size in a
// twentieth up to i, or the first record (9, 0) when there is none.
std::vector<IndexSlot> ExpectedSlots(const std::vector<Boundary> &boundaries, uint64_t fileSize);

// The index as it stands, copied under the lock that guards it.
SeekIndex IndexSnapshot();

// A file built record by record at exact positions. Records whose payload
// is not given are left as holes, so files of hundreds of megabytes cost
// nothing on disk.
struct Layout {
    struct Piece {
        uint64_t at;
        Bytes bytes;
    };
    std::vector<Piece> pieces;
    std::vector<Boundary> boundaries; // of the audio records added
    uint64_t next = FLV_FIRST_RECORD; // where the next record starts
    uint32_t audioCount = 0;

    Layout();
    // A record at `next`; its payload is `payload` when given, else a hole
    // of `size` bytes. Returns the record's start.
    uint64_t Add(uint8_t type, uint32_t size, const Bytes &payload = Bytes());
    // Video records that take exactly up to `position` (at least 15 bytes on).
    void FillTo(uint64_t position);
};

// A file on disk of exactly `size` bytes holding the layout's pieces.
std::unique_ptr<fixture::TempFile> WriteLayout(const Layout &layout, uint64_t size);

// A stream made through CreateFlvStream and the recording host, which is
// told the file's name; null when creation fails.
FlvStream *OpenStream(const fixture::TempFile &file);

// A stream assembled the way creation assembles one, without asking any
// host: for threads, where the recording host's single answer would race.
FlvStream *AssembleStream(const fixture::TempFile &file);

// Reads from where the stream stands until it answers with zero fill.
Bytes ReadToEnd(FlvStream *stream, uint32_t chunk);

// Bytes of the heap the process has in use.
size_t HeapInUse();

// Whether HeapInUse counts exactly what is allocated: under AddressSanitizer,
// or with glibc's per-thread cache off (GLIBC_TUNABLES=glibc.malloc.tcache_count=0,
// as ctest runs the tests), which otherwise counts freed blocks it keeps.
bool HeapCountIsExact();

// What the count may still be off by: glibc hands a block out whole when
// splitting it would leave less than its smallest block (32 bytes), so the
// same allocations can take 16 bytes more on another run. A block that
// stays behind takes at least 32.
const size_t heapCountSlack = 16;

// Checks answers against the audio byte stream. The position moves with
// every answer that holds stream bytes; zero fill leaves it where it is.
struct StreamModel {
    Bytes audio;
    uint64_t position = 0;
    // Without faults a read fills its buffer, or ends at the end of the
    // stream, and zero fill comes only there. Faults allow short answers and
    // zero fill anywhere.
    bool faultsAllowed = false;

    // Empty when the answer is sound: `got` bytes from the position on with
    // the rest of the buffer untouched (still `sentinel`), or a zero-filled
    // buffer of the full length. Otherwise what went wrong, and where.
    std::string CheckRead(const uint8_t *buffer, uint32_t length, uint32_t got, uint8_t sentinel);
};

// Probes whether an armed fault is still waiting: 1 when one of the next
// `upTo` allocations (or reads) fails, which then has used it up.
bool AllocationFaultPending(uint32_t upTo);
bool ReadFaultPending(uint32_t upTo);

// What a read must leave untouched beyond what it reports.
const uint8_t sentinel = 0xEE;

// For tests that drive one stream's procedures: a clean recording host and
// no armed fault around each test, and every read checked by the model.
struct StreamProcTest : ::testing::Test {
    void SetUp() override;
    void TearDown() override;
    uint32_t Read(FlvStream *stream, StreamModel &model, uint32_t length);
};

} // namespace core

#endif

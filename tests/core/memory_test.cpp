// What a closed stream keeps of the heap: its record only, a few dozen
// bytes, until FreeClosedStreams gives those back too.
#include <gtest/gtest.h>

#include "flv/stream.h"
#include "platform/platform.h"
#include "tests/core/core_support.h"
#include "tests/support/recording_host.h"

namespace {

using core::Bytes;
using fixture::Tag;

const uint32_t streams = 100000;
const uint32_t streamsBetweenResets = 1000; // the recording host's log is cleared this often
const size_t mostBytesPerClosedStream = 96; // the record and the heap's own bookkeeping for it

void OpenReadClose(const fixture::TempFile &file) {
    FlvStream *stream = core::OpenStream(file);
    ASSERT_NE(stream, nullptr);
    uint8_t buffer[64];
    ASSERT_EQ(FlvFileRead(buffer, sizeof buffer, stream), sizeof buffer);
    FlvFileClose(stream);
}

TEST(Memory, ClosedStreamsKeepOnlyTheirRecordsUntilFreed) {
    // A payload buffer or reader left behind would be hundreds of bytes.
    std::vector<Tag> tags = {{fixture::AUDIO, core::NonZeroPattern(400, 1)},
                             {fixture::VIDEO, core::NonZeroPattern(300, 2)},
                             {fixture::AUDIO, core::NonZeroPattern(200, 3)}};
    fixture::TempFile file(fixture::FileBytes(tags));
    recording::Reset();
    for (uint32_t i = 0; i < streamsBetweenResets; i++)
        OpenReadClose(file);
    recording::Reset();
    FreeClosedStreams();
    size_t before = core::HeapInUse();

    for (uint32_t i = 1; i <= streams && !HasFatalFailure(); i++) {
        OpenReadClose(file);
        if (i % streamsBetweenResets == 0)
            recording::Reset();
    }
    recording::Reset();
    size_t afterClosing = core::HeapInUse();
    size_t growth = afterClosing - std::min(before, afterClosing);
    EXPECT_LE(growth, streams * mostBytesPerClosedStream) << growth / streams << " bytes per closed stream";

    FreeClosedStreams();
    size_t afterFreeing = core::HeapInUse();
    EXPECT_LE(afterFreeing, before + 4096) << "closed records were not freed";
}

} // namespace

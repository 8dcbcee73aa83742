// The audio byte stream: read, length and close, and what a read does when
// the window or the payload buffer cannot grow.
#include <gtest/gtest.h>

#include <string.h>

#include "flv/scan.h"
#include "flv/stream.h"
#include "platform/platform.h"
#include "tests/core/core_support.h"
#include "tests/support/recording_host.h"

namespace {

using core::Bytes;
using fixture::Tag;

using core::sentinel;

struct StreamTest : core::StreamProcTest {
    bool IsZeroFill(FlvStream *stream, uint32_t length) {
        Bytes buffer(length, sentinel);
        if (FlvFileRead(buffer.data(), length, stream) != length)
            return false;
        return std::all_of(buffer.begin(), buffer.end(), [](uint8_t b) { return b == 0; });
    }
};

std::vector<Tag> MixedTags() {
    auto payload = [](uint32_t size, uint32_t seed) { return core::NonZeroPattern(size, seed); };
    return {{fixture::SCRIPT, payload(30, 1)},
            {fixture::AUDIO, payload(100, 2)},
            {fixture::VIDEO, payload(400, 3)},
            {fixture::AUDIO, payload(1, 4)},
            {fixture::AUDIO, {}},
            {fixture::AUDIO, payload(7, 5)},
            {fixture::VIDEO, payload(2500, 6)},
            {fixture::AUDIO, payload(1500, 7)},
            {fixture::SCRIPT, payload(3, 8)},
            {fixture::AUDIO, payload(2, 9)},
            {fixture::AUDIO, payload(64, 10)}};
}

// ---- Reading ----

struct ChunkedReads : StreamTest, ::testing::WithParamInterface<uint32_t> {};

TEST_P(ChunkedReads, DeliverTheAudioRecordsBackToBackThenZeroFill) {
    std::vector<Tag> tags = MixedTags();
    fixture::TempFile file(fixture::FileBytes(tags));
    FlvStream *stream = core::OpenStream(file);
    ASSERT_NE(stream, nullptr);
    core::StreamModel model{fixture::AudioStream(tags)};
    uint32_t chunk = GetParam();
    for (int reads = 0; model.position < model.audio.size() && reads < 10000; reads++)
        if (Read(stream, model, chunk) == 0 || HasFailure())
            break;
    EXPECT_EQ(model.position, model.audio.size());
    // The end: zero fill of the full length, every time, until a seek.
    for (int i = 0; i < 3; i++)
        EXPECT_TRUE(IsZeroFill(stream, chunk));
    EXPECT_EQ(stream->payloadSize, 0u);
    ASSERT_EQ(FlvFileSeek(0, stream), 1);
    model.position = 0;
    Read(stream, model, (uint32_t)model.audio.size());
    FlvFileClose(stream);
}

INSTANTIATE_TEST_SUITE_P(Stream, ChunkedReads, ::testing::Values(1, 2, 7, 99, 100, 105, 1000, 1604, 1677, 5000));

TEST_F(StreamTest, AReadOfExactlyTheRestOfARecordLeavesItLoaded) {
    Bytes a = core::NonZeroPattern(11, 11), b = core::NonZeroPattern(6, 12);
    fixture::TempFile file(fixture::FileBytes({{fixture::AUDIO, a}, {fixture::VIDEO, b}, {fixture::AUDIO, b}}));
    FlvStream *stream = core::OpenStream(file);
    ASSERT_NE(stream, nullptr);
    uint8_t buffer[16];
    ASSERT_EQ(FlvFileRead(buffer, 10, stream), 10u);
    EXPECT_EQ(Bytes(buffer, buffer + 10), Bytes(a.begin() + 1, a.end()));
    EXPECT_EQ(stream->held, 11u);
    EXPECT_EQ(stream->consumed, 11u);
    EXPECT_EQ(stream->reader->recordPos, 9u + 26u) << "the next record was loaded early";
    ASSERT_EQ(FlvFileRead(buffer, 5, stream), 5u);
    EXPECT_EQ(Bytes(buffer, buffer + 5), Bytes(b.begin() + 1, b.end()));
    FlvFileClose(stream);
}

TEST_F(StreamTest, AReadOfZeroBytesWritesAndLoadsNothing) {
    std::vector<Tag> tags = MixedTags();
    fixture::TempFile file(fixture::FileBytes(tags));
    FlvStream *stream = core::OpenStream(file);
    ASSERT_NE(stream, nullptr);
    uint8_t buffer[4] = {sentinel, sentinel, sentinel, sentinel};
    EXPECT_EQ(FlvFileRead(buffer, 0, stream), 0u);
    EXPECT_EQ(buffer[0], sentinel);
    EXPECT_EQ(stream->held, 0u);
    EXPECT_EQ(stream->payloadSize, 0u);
    EXPECT_EQ(stream->reader->recordPos, 9u);
    EXPECT_EQ(FlvFileRead(nullptr, 0, stream), 0u);

    core::StreamModel model{fixture::AudioStream(tags)};
    Read(stream, model, 50);
    uint32_t held = stream->held, consumed = stream->consumed, position = stream->reader->recordPos;
    EXPECT_EQ(FlvFileRead(buffer, 0, stream), 0u);
    EXPECT_EQ(stream->held, held);
    EXPECT_EQ(stream->consumed, consumed);
    EXPECT_EQ(stream->reader->recordPos, position);
    Read(stream, model, 20); // continues where it was

    core::ReadToEnd(stream, 512);
    EXPECT_EQ(FlvFileRead(buffer, 0, stream), 0u);
    FlvFileClose(stream);
    EXPECT_EQ(FlvFileRead(buffer, 0, stream), 0u);
    EXPECT_EQ(buffer[0], sentinel);
}

TEST_F(StreamTest, AFileWithoutAudioAnswersEveryReadWithZeroFill) {
    fixture::TempFile file(fixture::FileBytes(
        {{fixture::VIDEO, core::NonZeroPattern(300, 13)}, {fixture::SCRIPT, core::NonZeroPattern(9, 14)}}));
    FlvStream *stream = core::OpenStream(file);
    ASSERT_NE(stream, nullptr);
    EXPECT_EQ(FlvFileLength(stream), 0u);
    for (uint32_t length : {1u, 16u, 4096u})
        EXPECT_TRUE(IsZeroFill(stream, length)) << length;
    EXPECT_EQ(FlvFileSeek(0, stream), 0);
    FlvFileClose(stream);
}

TEST_F(StreamTest, APartialAnswerLeavesTheRestOfTheBufferAsItWas) {
    std::vector<Tag> tags = {{fixture::AUDIO, core::NonZeroPattern(40, 15)},
                             {fixture::AUDIO, core::NonZeroPattern(30, 16)}};
    fixture::TempFile file(fixture::FileBytes(tags));
    FlvStream *stream = core::OpenStream(file);
    ASSERT_NE(stream, nullptr);
    core::StreamModel model{fixture::AudioStream(tags)};
    Read(stream, model, 10);
    EXPECT_EQ(Read(stream, model, 500), 68u - 10u);
    EXPECT_TRUE(IsZeroFill(stream, 500));
    FlvFileClose(stream);
}

// The buffer starts with 128 bytes but a capacity of 0, so the first record
// that has a payload is loaded after a resize to exactly its size.
struct FirstLoadCase {
    const char *name;
    std::vector<Tag> tags;
    uint32_t payloadSize;
};

void PrintTo(const FirstLoadCase &c, std::ostream *out) { *out << c.name; }

struct FirstRead : StreamTest, ::testing::WithParamInterface<FirstLoadCase> {};

TEST_P(FirstRead, ResizesThePayloadBufferToTheFirstNonEmptyRecord) {
    const FirstLoadCase &c = GetParam();
    fixture::TempFile file(fixture::FileBytes(c.tags));
    FlvStream *stream = core::OpenStream(file);
    ASSERT_NE(stream, nullptr);
    EXPECT_EQ(stream->payloadSize, 0u);
    core::StreamModel model{fixture::AudioStream(c.tags)};
    Read(stream, model, 1);
    EXPECT_EQ(stream->payloadSize, c.payloadSize);
    FlvFileClose(stream);
}

INSTANTIATE_TEST_SUITE_P(
    Stream, FirstRead,
    ::testing::Values(
        FirstLoadCase{"audio_of_20", {{fixture::AUDIO, core::NonZeroPattern(20, 17)}}, 20},
        FirstLoadCase{"audio_of_500", {{fixture::AUDIO, core::NonZeroPattern(500, 18)}}, 500},
        FirstLoadCase{"empty_audio_first", {{fixture::AUDIO, {}}, {fixture::AUDIO, core::NonZeroPattern(30, 19)}}, 30},
        FirstLoadCase{"video_then_larger_audio",
                      {{fixture::VIDEO, core::NonZeroPattern(10, 20)}, {fixture::AUDIO, core::NonZeroPattern(40, 21)}},
                      40},
        FirstLoadCase{"video_larger_than_audio",
                      {{fixture::VIDEO, core::NonZeroPattern(90, 22)}, {fixture::AUDIO, core::NonZeroPattern(40, 23)}},
                      90}),
    [](const ::testing::TestParamInfo<FirstLoadCase> &info) { return info.param.name; });

TEST_F(StreamTest, ARecordCutByTheEndStopsEveryRead) {
    Bytes a = core::NonZeroPattern(50, 24);
    Bytes bytes = fixture::FileBytes({{fixture::AUDIO, a}, {fixture::AUDIO, core::NonZeroPattern(300, 25)}});
    bytes.resize(bytes.size() - 100);
    fixture::TempFile file(bytes);
    FlvStream *stream = core::OpenStream(file);
    ASSERT_NE(stream, nullptr);
    EXPECT_EQ(FlvFileLength(stream), 49u + 299u);
    Bytes buffer(400, sentinel);
    ASSERT_EQ(FlvFileRead(buffer.data(), 400, stream), 49u);
    EXPECT_TRUE(std::equal(a.begin() + 1, a.end(), buffer.begin()));
    for (int i = 0; i < 3; i++)
        EXPECT_TRUE(IsZeroFill(stream, 10));
    FlvFileClose(stream);
}

// ---- Length and close ----

TEST_F(StreamTest, LengthIsTheUnsignedAudioLength) {
    std::vector<Tag> tags = MixedTags();
    fixture::TempFile file(fixture::FileBytes(tags));
    FlvStream *stream = core::OpenStream(file);
    ASSERT_NE(stream, nullptr);
    EXPECT_EQ(FlvFileLength(stream), fixture::AudioStream(tags).size());
    uint32_t real = stream->audioLength;
    for (uint32_t length : {0x80000000u, 0x80000001u, 0xFFFFFFFFu}) {
        stream->audioLength = length;
        EXPECT_EQ(FlvFileLength(stream), (uint64_t)length);
    }
    stream->audioLength = real;
    FlvFileClose(stream);
}

TEST_F(StreamTest, AClosedStreamIsAnsweredWithoutItsFile) {
    std::vector<Tag> tags = MixedTags();
    fixture::TempFile file(fixture::FileBytes(tags));
    FlvStream *stream = core::OpenStream(file);
    ASSERT_NE(stream, nullptr);
    core::StreamModel model{fixture::AudioStream(tags)};
    Read(stream, model, 60);
    HostFile source = stream->source;
    FlvFileClose(stream);
    EXPECT_EQ(recording::CountCalls("CloseSource"), 1);
    EXPECT_EQ(recording::Calls().back(), (recording::Call{"CloseSource", {source}}));
    EXPECT_EQ(stream->reader, nullptr);
    EXPECT_EQ(stream->source, 0u);
    for (uint32_t length : {1u, 40u, 3000u})
        EXPECT_TRUE(IsZeroFill(stream, length));
    EXPECT_EQ(FlvFileLength(stream), 0u);
    EXPECT_EQ(FlvFileSeek(0, stream), 0);
    EXPECT_EQ(FlvFileSeek(10, stream), 0);
    // A second close does not close the host file again.
    FlvFileClose(stream);
    EXPECT_EQ(recording::CountCalls("CloseSource"), 1);
}

TEST_F(StreamTest, CloseFreesThePayloadBufferAtOnce) {
    std::vector<Tag> tags = {{fixture::AUDIO, core::NonZeroPattern(100000, 26)}};
    fixture::TempFile file(fixture::FileBytes(tags));
    FlvStream *stream = core::OpenStream(file);
    ASSERT_NE(stream, nullptr);
    core::StreamModel model{fixture::AudioStream(tags)};
    Read(stream, model, 10);
    ASSERT_EQ(stream->payloadSize, 100000u);
    size_t before = core::HeapInUse();
    FlvFileClose(stream);
    size_t after = core::HeapInUse();
    // The payload buffer and the window, each larger than the record.
    EXPECT_GE(before - std::min(before, after), 2u * 100000u);
}

// ---- When memory runs out or a read fails in a read ----

// A first record that fits the window, a second that makes it grow.
struct GrowingRecords {
    std::vector<Tag> tags;
    fixture::TempFile file;
    explicit GrowingRecords(uint32_t second)
        : tags{{fixture::AUDIO, core::NonZeroPattern(1000, 27)}, {fixture::AUDIO, core::NonZeroPattern(second, 28)}},
          file(fixture::FileBytes(tags)) {}
};

TEST_F(StreamTest, AWindowThatCannotGrowEndsTheReadWithNothingUnloadedDelivered) {
    GrowingRecords records(2000);
    FlvStream *stream = core::OpenStream(records.file);
    ASSERT_NE(stream, nullptr);
    core::StreamModel model{fixture::AudioStream(records.tags)};
    ASSERT_EQ(Read(stream, model, 999), 999u);
    // The second record's header lies past the window: the look at it reads
    // the file (and fails), the retry reads it, grows the payload buffer and
    // then cannot grow the window.
    OsFailNthRead(1);
    OsFailNthAllocation(2);
    model.faultsAllowed = true;
    Read(stream, model, 10);
    ASSERT_FALSE(core::AllocationFaultPending(1)) << "the window did not fail to grow";
    ASSERT_FALSE(core::ReadFaultPending(1));
    EXPECT_EQ(stream->held, 0u);
    EXPECT_EQ(model.position, 999u);
    model.faultsAllowed = false;
    EXPECT_EQ(Read(stream, model, 1999), 1999u);
    FlvFileClose(stream);
}

TEST_F(StreamTest, APayloadBufferThatCannotGrowEndsTheReadAndStaysUsable) {
    GrowingRecords records(800);
    records.tags[0].payload.resize(100);
    fixture::TempFile file(fixture::FileBytes(records.tags));
    FlvStream *stream = core::OpenStream(file);
    ASSERT_NE(stream, nullptr);
    core::StreamModel model{fixture::AudioStream(records.tags)};
    model.faultsAllowed = true;

    // At the first record of a new stream: nothing delivered, zero fill.
    OsFailNthAllocation(1);
    EXPECT_TRUE(IsZeroFill(stream, 50));
    ASSERT_FALSE(core::AllocationFaultPending(1));
    EXPECT_EQ(stream->held, 0u);
    EXPECT_EQ(Read(stream, model, 89), 89u);

    // Inside a read: what came before is delivered, the rest left as it was.
    OsFailNthAllocation(1);
    EXPECT_EQ(Read(stream, model, 100), 10u);
    ASSERT_FALSE(core::AllocationFaultPending(1));
    EXPECT_EQ(stream->payloadSize, 100u);
    EXPECT_EQ(Read(stream, model, 100), 100u);

    // Seeking and reading on go as ever.
    ASSERT_EQ(FlvFileSeek(5, stream), 1);
    model.position = 5;
    model.faultsAllowed = false;
    Read(stream, model, 900);
    FlvFileClose(stream);
}

} // namespace

// Seeking in the audio byte stream, with and without the position index.
#include <gtest/gtest.h>

#include <fstream>

#include "flv/scan.h"
#include "flv/stream.h"
#include "platform/platform.h"
#include "tests/core/core_support.h"
#include "tests/support/recording_host.h"

namespace {

using core::Bytes;
using fixture::Tag;

using core::sentinel;

// Audio of varied sizes in every twentieth, with video, script, one-byte
// and empty audio records between, some larger than the window.
std::vector<Tag> IndexedTags() {
    std::vector<Tag> tags;
    for (uint32_t i = 0; i < 90; i++) {
        uint32_t size = 20 + (i * 37) % 300;
        if (i % 11 == 5)
            size = 1500 + i;
        uint8_t type = i % 4 == 1 ? fixture::VIDEO : i % 9 == 7 ? fixture::SCRIPT : fixture::AUDIO;
        if (i % 13 == 3)
            size = i % 2;
        tags.push_back({type, core::NonZeroPattern(size, 100 + i)});
    }
    return tags;
}

struct SeekTest : core::StreamProcTest {
    // Reads the rest of the stream in pieces and checks every byte.
    void ExpectRestFrom(FlvStream *stream, core::StreamModel &model, uint32_t chunk = 500) {
        for (int reads = 0; model.position < model.audio.size() && reads < 100000; reads++)
            if (Read(stream, model, chunk) == 0 || HasFailure())
                return;
        EXPECT_EQ(model.position, model.audio.size());
    }

    bool IsZeroFill(FlvStream *stream, uint32_t length) {
        Bytes buffer(length, sentinel);
        if (FlvFileRead(buffer.data(), length, stream) != length)
            return false;
        return std::all_of(buffer.begin(), buffer.end(), [](uint8_t b) { return b == 0; });
    }
};

// ---- Where seeks land ----

enum Who { OWNER, OLDER_STREAM };

struct SeekCase {
    const char *name;
    // The offset, given the stream's length and the owner's index.
    uint64_t (*offset)(uint64_t length, const SeekIndex &index, const std::vector<core::Boundary> &boundaries);
};

void PrintTo(const SeekCase &c, std::ostream *out) { *out << c.name; }

// The count before the first audio record, past the middle, that holds bytes.
uint64_t RecordStart(uint64_t, const SeekIndex &, const std::vector<core::Boundary> &b) {
    for (size_t i = b.size() / 2; i + 1 < b.size(); i++)
        if (b[i + 1].count > b[i].count + 5)
            return b[i].count;
    return 0;
}

std::vector<SeekCase> SeekCases() {
    return {
        {"zero", [](uint64_t, const SeekIndex &, const std::vector<core::Boundary> &) -> uint64_t { return 0; }},
        {"one", [](uint64_t, const SeekIndex &, const std::vector<core::Boundary> &) -> uint64_t { return 1; }},
        {"last_byte", [](uint64_t l, const SeekIndex &, const std::vector<core::Boundary> &) { return l - 1; }},
        {"record_start", RecordStart},
        {"inside_a_record",
         [](uint64_t l, const SeekIndex &i, const std::vector<core::Boundary> &b) { return RecordStart(l, i, b) + 3; }},
        {"below_slot_0",
         [](uint64_t, const SeekIndex &i, const std::vector<core::Boundary> &) -> uint64_t {
             return i.slots[0].count - 1;
         }},
        {"at_slot_0",
         [](uint64_t, const SeekIndex &i, const std::vector<core::Boundary> &) -> uint64_t {
             return i.slots[0].count;
         }},
        {"at_slot_10",
         [](uint64_t, const SeekIndex &i, const std::vector<core::Boundary> &) -> uint64_t {
             return i.slots[10].count;
         }},
        {"just_below_slot_10",
         [](uint64_t, const SeekIndex &i, const std::vector<core::Boundary> &) -> uint64_t {
             return i.slots[10].count - 1;
         }},
        {"at_slot_19",
         [](uint64_t, const SeekIndex &i, const std::vector<core::Boundary> &) -> uint64_t {
             return i.slots[19].count;
         }},
        {"above_slot_19",
         [](uint64_t l, const SeekIndex &i, const std::vector<core::Boundary> &) -> uint64_t {
             return (i.slots[19].count + l) / 2;
         }},
        {"length", [](uint64_t l, const SeekIndex &, const std::vector<core::Boundary> &) { return l; }},
        {"length_plus_one", [](uint64_t l, const SeekIndex &, const std::vector<core::Boundary> &) { return l + 1; }},
        {"high_half_set",
         [](uint64_t, const SeekIndex &, const std::vector<core::Boundary> &) -> uint64_t { return 1ull << 32; }},
        {"high_half_set_low_half_small",
         [](uint64_t, const SeekIndex &, const std::vector<core::Boundary> &) -> uint64_t { return (1ull << 32) + 5; }},
        {"largest", [](uint64_t, const SeekIndex &, const std::vector<core::Boundary> &) -> uint64_t { return ~0ull; }},
    };
}

struct Seeks : SeekTest, ::testing::WithParamInterface<std::tuple<SeekCase, Who>> {};

TEST_P(Seeks, LandOnTheOffsetOrChangeNothing) {
    const SeekCase &c = std::get<0>(GetParam());
    Who who = std::get<1>(GetParam());
    std::vector<Tag> tags = IndexedTags();
    Bytes bytes = fixture::FileBytes(tags);
    fixture::TempFile file(bytes), other(fixture::FileBytes(tags));
    FlvStream *stream = core::OpenStream(file);
    ASSERT_NE(stream, nullptr);
    SeekIndex index = core::IndexSnapshot();
    FlvStream *newer = nullptr;
    if (who == OLDER_STREAM) {
        // A newer stream over another file takes the index over.
        newer = core::OpenStream(other);
        ASSERT_NE(newer, nullptr);
        ASSERT_NE(core::IndexSnapshot().owner, stream->reader);
    }
    core::StreamModel model{fixture::AudioStream(tags)};
    ASSERT_GT(index.slots[0].count, 0u) << "the file should put bytes before slot 0";
    uint64_t offset = c.offset(model.audio.size(), index, core::BoundariesOfFile(bytes));
    // Stand somewhere in the middle of a record first.
    Read(stream, model, 1234);
    // Every offset below the length is taken, none other.
    bool accepted = offset < model.audio.size();
    ASSERT_EQ(FlvFileSeek(offset, stream), accepted ? 1 : 0) << "offset " << offset;
    if (accepted)
        model.position = offset;
    ExpectRestFrom(stream, model, 333);
    EXPECT_TRUE(IsZeroFill(stream, 10));
    FlvFileClose(stream);
    if (newer != nullptr)
        FlvFileClose(newer);
}

INSTANTIATE_TEST_SUITE_P(Seek, Seeks,
                         ::testing::Combine(::testing::ValuesIn(SeekCases()), ::testing::Values(OWNER, OLDER_STREAM)),
                         [](const ::testing::TestParamInfo<std::tuple<SeekCase, Who>> &info) {
                             return std::string(std::get<0>(info.param).name) +
                                    (std::get<1>(info.param) == OWNER ? "_owner" : "_older_stream");
                         });

// An offset that is the first audio byte of a record: the reader stops at
// the record, nothing is loaded or allocated, and the next read begins there.
TEST_F(SeekTest, AnOffsetAtARecordStartLoadsNothingDuringTheSeek) {
    std::vector<Tag> tags = IndexedTags();
    Bytes bytes = fixture::FileBytes(tags);
    fixture::TempFile file(bytes);
    FlvStream *stream = core::OpenStream(file);
    ASSERT_NE(stream, nullptr);
    std::vector<core::Boundary> boundaries = core::BoundariesOfFile(bytes);
    core::StreamModel model{fixture::AudioStream(tags)};
    Read(stream, model, 700);
    uint64_t offset = RecordStart(0, core::IndexSnapshot(), boundaries);
    uint64_t recordStart = 0;
    for (const core::Boundary &b : boundaries)
        if (b.count == offset)
            recordStart = b.end; // the last boundary with that count: the audio record follows
    OsFailNthAllocation(1);
    ASSERT_EQ(FlvFileSeek(offset, stream), 1);
    EXPECT_TRUE(core::AllocationFaultPending(1)) << "the seek allocated";
    EXPECT_EQ(stream->held, 0u);
    uint32_t type = 0;
    ASSERT_EQ(PeekRecord(stream->reader, &type, nullptr), 1);
    EXPECT_EQ(type, fixture::AUDIO);
    EXPECT_GE(stream->reader->recordPos, recordStart);
    model.position = offset;
    Read(stream, model, 1);
    EXPECT_GT(stream->reader->recordPos, recordStart);
    FlvFileClose(stream);
}

TEST_F(SeekTest, AnOffsetInsideARecordDiscardsTheBytesBeforeIt) {
    std::vector<Tag> tags = {{fixture::AUDIO, core::NonZeroPattern(50, 1)},
                             {fixture::VIDEO, core::NonZeroPattern(70, 2)},
                             {fixture::AUDIO, core::NonZeroPattern(200, 3)}};
    fixture::TempFile file(fixture::FileBytes(tags));
    FlvStream *stream = core::OpenStream(file);
    ASSERT_NE(stream, nullptr);
    core::StreamModel model{fixture::AudioStream(tags)};
    for (uint64_t offset : {49u + 120u, 48u, 50u, 1u, 49u + 198u}) {
        SCOPED_TRACE("offset " + std::to_string(offset));
        ASSERT_EQ(FlvFileSeek(offset, stream), 1);
        // The record holding the offset is loaded, its bytes before it passed.
        EXPECT_EQ(stream->reader->recordPos, offset < 49 ? 9u + 65u : 9u + 65u + 85u + 215u);
        EXPECT_EQ(stream->consumed, 1 + (offset < 49 ? offset : offset - 49));
        model.position = offset;
        Read(stream, model, 2);
    }
    FlvFileClose(stream);
}

TEST_F(SeekTest, AStreamWithoutAudioRefusesEverySeek) {
    fixture::TempFile file(fixture::FileBytes({{fixture::VIDEO, core::NonZeroPattern(50, 4)}}));
    FlvStream *stream = core::OpenStream(file);
    ASSERT_NE(stream, nullptr);
    EXPECT_EQ(FlvFileSeek(0, stream), 0);
    EXPECT_EQ(FlvFileSeek(1, stream), 0);
    FlvFileClose(stream);
    EXPECT_EQ(FlvFileSeek(0, stream), 0);
}

TEST_F(SeekTest, SeekingBackAfterTheEnd) {
    std::vector<Tag> tags = IndexedTags();
    fixture::TempFile file(fixture::FileBytes(tags));
    FlvStream *stream = core::OpenStream(file);
    ASSERT_NE(stream, nullptr);
    core::StreamModel model{fixture::AudioStream(tags)};
    ExpectRestFrom(stream, model, 4096);
    EXPECT_TRUE(IsZeroFill(stream, 100));
    for (uint64_t offset : {model.audio.size() - 1, (uint64_t)0, model.audio.size() / 3}) {
        ASSERT_EQ(FlvFileSeek(offset, stream), 1);
        model.position = offset;
        ExpectRestFrom(stream, model, 1000);
    }
    FlvFileClose(stream);
}

// ---- The index as the seek uses it ----

// The walk starts at the last slot whose count does not exceed the offset,
// for the owner only.
TEST_F(SeekTest, StartingPointIsTheLastSlotNotBeyondTheOffset) {
    std::vector<Tag> tags = IndexedTags();
    fixture::TempFile a(fixture::FileBytes(tags)), b(fixture::FileBytes(tags));
    FlvStream *older = core::OpenStream(a);
    FlvStream *owner = core::OpenStream(b);
    ASSERT_TRUE(older != nullptr && owner != nullptr);
    SeekIndex index = core::IndexSnapshot();
    ASSERT_EQ(index.owner, owner->reader);
    for (uint32_t offset = 0; offset < owner->audioLength + 50; offset += 7) {
        IndexSlot expected = {FLV_FIRST_RECORD, 0};
        for (uint32_t i = 0; i < SEEK_INDEX_SLOTS; i++)
            if (index.slots[i].count <= offset)
                expected = index.slots[i];
        IndexSlot start = SeekStartingPoint(owner->reader, offset);
        ASSERT_TRUE(start.position == expected.position && start.count == expected.count) << "offset " << offset;
        IndexSlot first = SeekStartingPoint(older->reader, offset);
        ASSERT_TRUE(first.position == 9 && first.count == 0) << "offset " << offset;
    }
    FlvFileClose(older);
    FlvFileClose(owner);
}

// Owner seeks walk from the slot: with everything before a slot's position
// destroyed after the scan, seeks past it still land exactly.
TEST_F(SeekTest, TheOwnerWalksFromTheIndexedBoundary) {
    std::vector<Tag> tags = IndexedTags();
    Bytes bytes = fixture::FileBytes(tags);
    fixture::TempFile file(bytes);
    FlvStream *stream = core::OpenStream(file);
    ASSERT_NE(stream, nullptr);
    SeekIndex index = core::IndexSnapshot();
    IndexSlot slot = index.slots[12];
    {
        std::fstream out(file.path, std::ios::in | std::ios::out | std::ios::binary);
        out.seekp(9);
        Bytes garbage(slot.position - 9, 0x08);
        out.write((const char *)garbage.data(), (std::streamsize)garbage.size());
    }
    core::StreamModel model{fixture::AudioStream(tags)};
    for (uint64_t offset : {(uint64_t)slot.count, (uint64_t)slot.count + 17, model.audio.size() - 2}) {
        ASSERT_EQ(FlvFileSeek(offset, stream), 1);
        model.position = offset;
        Read(stream, model, 200);
    }
    FlvFileClose(stream);
}

// The record at a slot's position is itself audio: an offset inside it is
// found in it.
TEST_F(SeekTest, TheRecordAtTheStartingSlotCanHoldTheOffset) {
    std::vector<Tag> tags;
    for (uint32_t i = 0; i < 40; i++)
        tags.push_back({fixture::AUDIO, core::NonZeroPattern(101, i)});
    fixture::TempFile file(fixture::FileBytes(tags));
    FlvStream *stream = core::OpenStream(file);
    ASSERT_NE(stream, nullptr);
    SeekIndex index = core::IndexSnapshot();
    core::StreamModel model{fixture::AudioStream(tags)};
    for (uint32_t s : {0u, 5u, 10u, 18u}) {
        for (uint32_t into : {0u, 1u, 57u, 99u}) {
            uint64_t offset = index.slots[s].count + into;
            ASSERT_EQ(SeekStartingPoint(stream->reader, (uint32_t)offset).position, index.slots[s].position);
            ASSERT_EQ(FlvFileSeek(offset, stream), 1);
            model.position = offset;
            Read(stream, model, 150);
        }
    }
    FlvFileClose(stream);
}

// After an earlier scan of a file with audio everywhere, a file with audio
// only near its start owns the index: no seek may start from the first
// file's boundaries.
TEST_F(SeekTest, NoSeekStartsFromAnotherFilesBoundary) {
    std::vector<Tag> everywhere;
    for (uint32_t i = 0; i < 60; i++)
        everywhere.push_back({fixture::AUDIO, core::NonZeroPattern(300, i)});
    fixture::TempFile first(fixture::FileBytes(everywhere));
    FlvStream *before = core::OpenStream(first);
    ASSERT_NE(before, nullptr);

    std::vector<Tag> early = {{fixture::AUDIO, core::NonZeroPattern(120, 200)},
                              {fixture::AUDIO, core::NonZeroPattern(90, 201)},
                              {fixture::VIDEO, core::NonZeroPattern(30000, 202)},
                              {fixture::AUDIO, core::NonZeroPattern(40, 203)}};
    Bytes earlyBytes = fixture::FileBytes(early);
    fixture::TempFile second(earlyBytes);
    FlvStream *stream = core::OpenStream(second);
    ASSERT_NE(stream, nullptr);
    SeekIndex index = core::IndexSnapshot();
    std::vector<core::Boundary> boundaries = core::BoundariesOfFile(earlyBytes);
    for (uint32_t i = 0; i < SEEK_INDEX_SLOTS; i++) {
        bool boundary = index.slots[i].position == 9 && index.slots[i].count == 0;
        for (const core::Boundary &b : boundaries)
            boundary = boundary || (index.slots[i].position == b.end && index.slots[i].count == b.count);
        EXPECT_TRUE(boundary) << "slot " << i << " is no boundary of the owner's file";
    }
    core::StreamModel model{fixture::AudioStream(early)};
    for (uint64_t offset = 0; offset < model.audio.size(); offset++) {
        ASSERT_EQ(FlvFileSeek(offset, stream), 1);
        model.position = offset;
        Read(stream, model, 1);
        if (HasFailure())
            break;
    }
    FlvFileClose(before);
    FlvFileClose(stream);
}

// ---- Seeks that cannot reach their target ----

// Whatever keeps a seek from reaching the offset, no later read delivers a
// byte from another place: the seek reports failure and reads find the end
// until the next seek.
struct FailedSeek : SeekTest {
    void ExpectFailedSeekThenRecovery(FlvStream *stream, core::StreamModel &model, uint64_t offset) {
        EXPECT_EQ(FlvFileSeek(offset, stream), 0);
        OsFailNthAllocation(0);
        OsFailNthRead(0);
        for (int i = 0; i < 3; i++)
            EXPECT_TRUE(IsZeroFill(stream, 64));
        ASSERT_EQ(FlvFileSeek(offset, stream), 1);
        model.position = offset;
        ExpectRestFrom(stream, model);
    }
};

TEST_F(FailedSeek, WhenTheDiscardBufferCannotBeHad) {
    std::vector<Tag> tags = IndexedTags();
    fixture::TempFile file(fixture::FileBytes(tags));
    FlvStream *stream = core::OpenStream(file);
    ASSERT_NE(stream, nullptr);
    core::StreamModel model{fixture::AudioStream(tags)};
    Read(stream, model, 100);
    OsFailNthAllocation(1);
    uint64_t offset = RecordStart(0, core::IndexSnapshot(), core::BoundariesOfFile(fixture::FileBytes(tags))) + 3;
    ExpectFailedSeekThenRecovery(stream, model, offset);
    FlvFileClose(stream);
}

TEST_F(FailedSeek, WhenTheRecordHoldingTheOffsetCannotBeLoaded) {
    std::vector<Tag> tags = {{fixture::AUDIO, core::NonZeroPattern(100, 5)},
                             {fixture::AUDIO, core::NonZeroPattern(800, 6)}};
    fixture::TempFile file(fixture::FileBytes(tags));
    FlvStream *stream = core::OpenStream(file);
    ASSERT_NE(stream, nullptr);
    core::StreamModel model{fixture::AudioStream(tags)};
    Read(stream, model, 10);
    // 1: the discard buffer; 2: growing the payload buffer for the record.
    OsFailNthAllocation(2);
    ExpectFailedSeekThenRecovery(stream, model, 99 + 10);
    FlvFileClose(stream);
}

TEST_F(FailedSeek, WhenAReadFailsDuringTheWalk) {
    std::vector<Tag> tags;
    // Records of 127 bytes: the ninth header straddles the end of the window.
    for (uint32_t i = 0; i < 50; i++)
        tags.push_back({i % 3 ? fixture::AUDIO : fixture::VIDEO, core::NonZeroPattern(112, i)});
    fixture::TempFile file(fixture::FileBytes(tags));
    FlvStream *older = core::OpenStream(file);
    ASSERT_NE(older, nullptr);
    fixture::TempFile other(fixture::FileBytes(tags));
    FlvStream *owner = core::OpenStream(other);
    ASSERT_NE(owner, nullptr);
    core::StreamModel model{fixture::AudioStream(tags)};
    Read(older, model, 5);
    // 1: the refill at the first record; 2: the look at the ninth record.
    OsFailNthRead(2);
    ExpectFailedSeekThenRecovery(older, model, model.audio.size() - 10);
    FlvFileClose(older);
    FlvFileClose(owner);
}

} // namespace

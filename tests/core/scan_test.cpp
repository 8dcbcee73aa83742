// The audio length scan and the position index it leaves behind.
#include <gtest/gtest.h>

#include "flv/reader.h"
#include "flv/scan.h"
#include "flv/stream.h"
#include "platform/platform.h"
#include "tests/core/core_support.h"
#include "tests/support/recording_host.h"

namespace {

using core::Bytes;
using fixture::Tag;

void ReleaseReader(FlvReader *reader) {
    FlvStream holder = {};
    holder.reader = reader;
    ReleaseStreamObjects(&holder);
}

struct ScannedReader {
    FlvReader *reader = nullptr;
    uint32_t total = 0;
    explicit ScannedReader(const fixture::TempFile &file) {
        reader = OpenFlvReader(file.Utf16Path().c_str());
        if (reader != nullptr)
            total = ScanAudio(reader);
    }
    ~ScannedReader() {
        if (reader != nullptr)
            ReleaseReader(reader);
    }
};

std::string SlotText(const IndexSlot &slot) {
    return "(" + std::to_string(slot.position) + ", " + std::to_string(slot.count) + ")";
}

// Every slot is the one the file's audio records call for.
void ExpectIndexOf(const FlvReader *reader, const std::vector<core::Boundary> &boundaries, uint64_t fileSize) {
    SeekIndex index = core::IndexSnapshot();
    EXPECT_EQ(index.owner, reader);
    std::vector<IndexSlot> expected = core::ExpectedSlots(boundaries, fileSize);
    for (uint32_t i = 0; i < SEEK_INDEX_SLOTS; i++)
        EXPECT_TRUE(index.slots[i].position == expected[i].position && index.slots[i].count == expected[i].count)
            << "slot " << i << " holds " << SlotText(index.slots[i]) << ", expected " << SlotText(expected[i]);
}

Bytes Concat(Bytes a, const Bytes &b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// ---- Totals and slots of small files ----

struct FileCase {
    const char *name;
    Bytes bytes;
};

void PrintTo(const FileCase &c, std::ostream *out) { *out << c.name; }

std::vector<Tag> AudioInEveryTwentieth() {
    std::vector<Tag> tags;
    for (uint32_t i = 0; i < 60; i++)
        tags.push_back({fixture::AUDIO, core::NonZeroPattern(40 + i, i)});
    return tags;
}

std::vector<FileCase> FileCases() {
    Bytes pattern = core::NonZeroPattern(600, 1);
    auto payload = [](uint32_t size, uint32_t seed) { return core::NonZeroPattern(size, seed); };
    std::vector<Tag> mixed = {{fixture::SCRIPT, payload(30, 2)},
                              {fixture::AUDIO, payload(100, 3)},
                              {fixture::VIDEO, payload(400, 4)},
                              {fixture::AUDIO, payload(1, 5)},
                              {fixture::AUDIO, {}},
                              {fixture::AUDIO, payload(2000, 6)},
                              {fixture::VIDEO, payload(50, 7)},
                              {fixture::AUDIO, payload(2, 8)}};
    Bytes cut = fixture::FileBytes({{fixture::AUDIO, payload(100, 9)}, {fixture::AUDIO, payload(500, 10)}});
    cut.resize(9 + 115 + 15 + 200);
    return {
        {"header_only", fixture::HeaderBytes()},
        {"no_audio", fixture::FileBytes({{fixture::VIDEO, payload(300, 11)}, {fixture::SCRIPT, payload(20, 12)}})},
        {"one_byte_and_empty_audio", fixture::FileBytes({{fixture::AUDIO, payload(1, 13)},
                                                         {fixture::VIDEO, payload(200, 14)},
                                                         {fixture::AUDIO, {}},
                                                         {fixture::VIDEO, payload(200, 15)}})},
        {"mixed", fixture::FileBytes(mixed)},
        {"audio_in_every_twentieth", fixture::FileBytes(AudioInEveryTwentieth())},
        {"several_audio_records_in_one_twentieth", fixture::FileBytes({{fixture::AUDIO, payload(10, 16)},
                                                                       {fixture::AUDIO, payload(11, 17)},
                                                                       {fixture::AUDIO, payload(12, 18)},
                                                                       {fixture::VIDEO, payload(2000, 19)},
                                                                       {fixture::AUDIO, payload(13, 20)},
                                                                       {fixture::AUDIO, payload(14, 21)}})},
        // The last audio record ends at the file size: slot 20, never written.
        {"no_closing_field",
         fixture::FileBytes(
             {{fixture::AUDIO, payload(100, 22)}, {fixture::VIDEO, payload(50, 23)}, {fixture::AUDIO, payload(70, 24)}},
             fixture::Header(), false)},
        // The last audio record runs past the end: it counts in full.
        {"final_audio_record_cut_off", cut},
        // Fewer than 16 bytes after the last record are no record.
        {"fifteen_bytes_of_tail", Concat(fixture::FileBytes({{fixture::AUDIO, payload(90, 25)}}), Bytes(11, 8))},
        {"large_records", fixture::FileBytes({{fixture::VIDEO, payload(40000, 26)},
                                              {fixture::AUDIO, payload(33000, 27)},
                                              {fixture::AUDIO, payload(5, 28)},
                                              {fixture::SCRIPT, payload(70000, 29)},
                                              {fixture::AUDIO, payload(3, 30)}})},
    };
}

struct ScanFiles : ::testing::TestWithParam<FileCase> {};

TEST_P(ScanFiles, TotalIsTheAudioByteStreamAndEverySlotAStartingPointOfThisFile) {
    const FileCase &c = GetParam();
    fixture::TempFile file(c.bytes);
    ScannedReader scanned(file);
    ASSERT_NE(scanned.reader, nullptr);
    std::vector<core::Boundary> boundaries = core::BoundariesOfFile(c.bytes);
    EXPECT_EQ(scanned.total, boundaries.empty() ? 0u : boundaries.back().count);
    ExpectIndexOf(scanned.reader, boundaries, c.bytes.size());
    // Left at the first record with the playback window, filled from there.
    EXPECT_EQ(scanned.reader->recordPos, 9u);
    EXPECT_EQ(scanned.reader->cursor, 0u);
    EXPECT_EQ(scanned.reader->capacity, 1024u);
    EXPECT_EQ(scanned.reader->valid, std::min<uint32_t>(1024, (uint32_t)c.bytes.size() - 9));
}

INSTANTIATE_TEST_SUITE_P(Scan, ScanFiles, ::testing::ValuesIn(FileCases()),
                         [](const ::testing::TestParamInfo<FileCase> &info) { return info.param.name; });

TEST(Scan, TotalMatchesWhatReadingDelivers) {
    for (uint32_t seed = 1; seed <= 20; seed++) {
        std::vector<Tag> tags = core::RandomNonZeroTags(seed, 5 + seed * 3, 1500);
        fixture::TempFile file(fixture::FileBytes(tags));
        FlvStream *stream = core::AssembleStream(file);
        ASSERT_NE(stream, nullptr);
        Bytes expected = fixture::AudioStream(tags);
        EXPECT_EQ(stream->audioLength, expected.size()) << "seed " << seed;
        EXPECT_EQ(core::ReadToEnd(stream, 777), expected) << "seed " << seed;
        FlvFileClose(stream);
    }
    FreeClosedStreams();
}

TEST(Scan, ScanningFromAnyPositionLeavesTheReaderAtTheFirstRecord) {
    std::vector<Tag> tags = AudioInEveryTwentieth();
    Bytes bytes = fixture::FileBytes(tags);
    fixture::TempFile file(bytes);
    ScannedReader scanned(file);
    ASSERT_NE(scanned.reader, nullptr);
    for (int i = 0; i < 25; i++)
        ASSERT_EQ(SkipRecord(scanned.reader), 1);
    EXPECT_EQ(ScanAudio(scanned.reader), scanned.total);
    EXPECT_EQ(scanned.reader->recordPos, 9u);
    EXPECT_EQ(scanned.reader->capacity, 1024u);
    ExpectIndexOf(scanned.reader, core::BoundariesOfFile(bytes), bytes.size());
}

TEST(Scan, AFileWithoutAudioStillTakesOverTheIndex) {
    fixture::TempFile first(fixture::FileBytes(AudioInEveryTwentieth()));
    ScannedReader a(first);
    fixture::TempFile second(fixture::FileBytes({{fixture::VIDEO, core::NonZeroPattern(500, 31)}}));
    ScannedReader b(second);
    EXPECT_EQ(b.total, 0u);
    SeekIndex index = core::IndexSnapshot();
    EXPECT_EQ(index.owner, b.reader);
    for (uint32_t i = 0; i < SEEK_INDEX_SLOTS; i++)
        EXPECT_TRUE(index.slots[i].position == 9 && index.slots[i].count == 0) << "slot " << i;
}

// A second scan makes its reader the owner, and no slot keeps a value of the
// first file: slots its file does not reach repeat its nearest earlier one.
TEST(Scan, ASecondScanTakesTheIndexOverWhole) {
    Bytes everywhere = fixture::FileBytes(AudioInEveryTwentieth());
    fixture::TempFile first(everywhere);
    ScannedReader a(first);
    ExpectIndexOf(a.reader, core::BoundariesOfFile(everywhere), everywhere.size());

    std::vector<Tag> early = {{fixture::VIDEO, core::NonZeroPattern(300, 32)},
                              {fixture::AUDIO, core::NonZeroPattern(300, 33)},
                              {fixture::AUDIO, core::NonZeroPattern(200, 34)},
                              {fixture::VIDEO, core::NonZeroPattern(9000, 35)}};
    Bytes earlyBytes = fixture::FileBytes(early);
    fixture::TempFile second(earlyBytes);
    ScannedReader b(second);
    ExpectIndexOf(b.reader, core::BoundariesOfFile(earlyBytes), earlyBytes.size());
    SeekIndex index = core::IndexSnapshot();
    EXPECT_EQ(index.slots[0].position, 9u) << "slot 0 lies before the first audio record's end";
    EXPECT_EQ(index.slots[19].position, 9u + 315u + 315u + 215u);
    EXPECT_EQ(index.slots[19].count, 299u + 199u);
}

// ---- Slot numbers ----

struct SlotCase {
    uint64_t fileSize;
    uint64_t audioEnd;
    uint32_t slot;
};

void PrintTo(const SlotCase &c, std::ostream *out) { *out << "end " << c.audioEnd << " of " << c.fileSize; }

struct SlotNumbers : ::testing::TestWithParam<SlotCase> {};

TEST_P(SlotNumbers, AnAudioRecordGoesToTheTwentiethItEndsIn) {
    const SlotCase &c = GetParam();
    const uint32_t payload = 100;
    core::Layout layout;
    layout.FillTo(c.audioEnd - 15 - payload);
    layout.Add(fixture::AUDIO, payload, core::NonZeroPattern(payload, 36));
    ASSERT_EQ(layout.next, c.audioEnd);
    layout.FillTo(c.fileSize - 4);
    auto file = core::WriteLayout(layout, c.fileSize);
    ScannedReader scanned(*file);
    ASSERT_NE(scanned.reader, nullptr);
    EXPECT_EQ(scanned.total, payload - 1);
    SeekIndex index = core::IndexSnapshot();
    EXPECT_EQ(index.slots[c.slot].position, c.audioEnd);
    EXPECT_EQ(index.slots[c.slot].count, payload - 1);
    if (c.slot > 0) {
        EXPECT_EQ(index.slots[c.slot - 1].position, 9u) << "the slot before was written";
    }
    ExpectIndexOf(scanned.reader, layout.boundaries, c.fileSize);
}

INSTANTIATE_TEST_SUITE_P(Scan, SlotNumbers,
                         ::testing::Values(SlotCase{400, 219, 10}, SlotCase{400, 220, 11}, SlotCase{400, 396, 19},
                                           SlotCase{400, 124, 6}, SlotCase{4000, 124, 0},
                                           SlotCase{400000000, 300000000, 15}, SlotCase{400000000, 299999999, 14},
                                           SlotCase{2147483000, 2147482000, 19}),
                         [](const ::testing::TestParamInfo<SlotCase> &info) {
                             return "size_" + std::to_string(info.param.fileSize) + "_end_" +
                                    std::to_string(info.param.audioEnd);
                         });

// ---- Files of 2 GiB or more ----

// A file of 4 GiB has a 32-bit size of 0; nothing at 2^31 or beyond is seen.
TEST(Scan, FileWhose32BitSizeIsZero) {
    core::Layout layout;
    Bytes first = core::NonZeroPattern(50, 37);
    layout.Add(fixture::AUDIO, 50, first);
    layout.FillTo(0x80000000u);
    layout.Add(fixture::AUDIO, 60, core::NonZeroPattern(60, 38));
    auto file = core::WriteLayout(layout, 0x100000000ull);
    FlvStream *stream = core::AssembleStream(*file);
    ASSERT_NE(stream, nullptr);
    EXPECT_EQ(stream->audioLength, 49u);
    SeekIndex index = core::IndexSnapshot();
    EXPECT_EQ(index.owner, stream->reader);
    for (uint32_t i = 0; i < SEEK_INDEX_SLOTS; i++)
        EXPECT_TRUE(index.slots[i].position == 9 && index.slots[i].count == 0) << "slot " << i;
    ASSERT_EQ(FlvFileSeek(10, stream), 1);
    uint8_t buffer[39];
    ASSERT_EQ(FlvFileRead(buffer, sizeof buffer, stream), sizeof buffer);
    EXPECT_EQ(Bytes(buffer, buffer + sizeof buffer), Bytes(first.begin() + 11, first.end()));
    FlvFileClose(stream);
    FreeClosedStreams();
}

// A record that starts below 2^31 is seen; the window loaded for it reaches
// past 2^31, but nothing there is taken for a record.
TEST(Scan, RecordsFrom2To31OnAreTheEndEvenInsideTheWindow) {
    core::Layout layout;
    layout.Add(fixture::AUDIO, 20, core::NonZeroPattern(20, 39));
    layout.FillTo(0x80000000u - 100);
    Bytes crossing = core::NonZeroPattern(1000, 40);
    layout.Add(fixture::AUDIO, 1000, crossing);
    layout.Add(fixture::AUDIO, 50, core::NonZeroPattern(50, 41));
    layout.Add(fixture::AUDIO, 50, core::NonZeroPattern(50, 42));
    auto file = core::WriteLayout(layout, layout.next + 4);
    FlvStream *stream = core::AssembleStream(*file);
    ASSERT_NE(stream, nullptr);
    EXPECT_EQ(stream->audioLength, 19u + 999u);
    // Reading from the crossing record on delivers it, then the end.
    ASSERT_EQ(FlvFileSeek(19, stream), 1);
    Bytes buffer(2000, 0xEE);
    ASSERT_EQ(FlvFileRead(buffer.data(), 2000, stream), 999u);
    EXPECT_TRUE(std::equal(crossing.begin() + 1, crossing.end(), buffer.begin()));
    EXPECT_EQ(buffer[999], 0xEE);
    FlvFileClose(stream);
    FreeClosedStreams();
}

// ---- The scan's own window ----

TEST(Scan, AScanWindowThatCannotBeHadChangesNoResult) {
    Bytes bytes = fixture::FileBytes(AudioInEveryTwentieth());
    fixture::TempFile file(bytes);
    std::vector<core::Boundary> boundaries = core::BoundariesOfFile(bytes);
    // 1: widening to the scan window; 2: narrowing back afterwards.
    for (uint32_t n : {1u, 2u}) {
        SCOPED_TRACE("allocation " + std::to_string(n));
        FlvReader *reader = OpenFlvReader(file.Utf16Path().c_str());
        ASSERT_NE(reader, nullptr);
        OsFailNthAllocation(n);
        EXPECT_EQ(ScanAudio(reader), boundaries.back().count);
        OsFailNthAllocation(0);
        ExpectIndexOf(reader, boundaries, bytes.size());
        EXPECT_EQ(reader->recordPos, 9u);
        uint32_t type = 0;
        ASSERT_EQ(PeekRecord(reader, &type, nullptr), 1);
        EXPECT_EQ(type, fixture::AUDIO);
        ReleaseReader(reader);
    }
}

} // namespace

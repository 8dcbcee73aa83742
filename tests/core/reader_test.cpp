// The FLV record reader: opening, the window, peeking, copying and
// stepping over records, at the edges of sizes, positions and files.
#include <gtest/gtest.h>

#include <string.h>

#include "flv/reader.h"
#include "flv/stream.h"
#include "platform/platform.h"
#include "tests/core/core_support.h"

namespace {

using core::Bytes;
using fixture::Tag;

const uint32_t untouched = 0xC0FFEE;

void ReleaseReader(FlvReader *reader) {
    FlvStream holder = {};
    holder.reader = reader;
    ReleaseStreamObjects(&holder);
}

// A reader over a file on disk, released at the end of the test.
struct OpenedReader {
    fixture::TempFile file;
    FlvReader *reader;
    explicit OpenedReader(const Bytes &bytes) : file(bytes), reader(OpenFlvReader(file.Utf16Path().c_str())) {}
    ~OpenedReader() {
        if (reader != nullptr)
            ReleaseReader(reader);
    }
};

Bytes Prefix(const Bytes &bytes, size_t count) { return Bytes(bytes.begin(), bytes.begin() + (long)count); }

Bytes Concat(Bytes a, const Bytes &b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

struct FaultsOff : ::testing::Test {
    void TearDown() override {
        OsFailNthAllocation(0);
        OsFailNthRead(0);
    }
};

// ---- Opening ----

struct OpenCase {
    const char *name;
    Bytes bytes;
    bool opens;
};

void PrintTo(const OpenCase &c, std::ostream *out) { *out << c.name; }

fixture::Header WithSignature(const char *signature, uint8_t version = 1, uint8_t flags = 5) {
    fixture::Header header;
    memcpy(header.signature, signature, 3);
    header.version = version;
    header.flags = flags;
    return header;
}

std::vector<OpenCase> OpenCases() {
    Bytes audio = fixture::FileBytes({{fixture::AUDIO, core::NonZeroPattern(20, 1)}});
    Bytes header = fixture::HeaderBytes();
    return {
        {"flv_version_1", audio, true},
        {"flags_0", fixture::HeaderBytes(WithSignature("FLV", 1, 0)), true},
        {"flags_ff", fixture::HeaderBytes(WithSignature("FLV", 1, 0xFF)), true},
        {"version_0", fixture::HeaderBytes(WithSignature("FLV", 0)), false},
        {"version_2", fixture::HeaderBytes(WithSignature("FLV", 2)), false},
        {"version_ff", fixture::HeaderBytes(WithSignature("FLV", 0xFF)), false},
        {"signature_flw", fixture::HeaderBytes(WithSignature("FLW")), false},
        {"signature_glv", fixture::HeaderBytes(WithSignature("GLV")), false},
        {"signature_lowercase", fixture::HeaderBytes(WithSignature("flv")), false},
        {"signature_with_records_after", Concat(fixture::HeaderBytes(WithSignature("FLX")), Prefix(audio, 9)), false},
        {"empty_file", Bytes(), false},
        {"one_byte", Prefix(header, 1), false},
        {"two_bytes", Prefix(header, 2), false},
        // The version byte was never read: it must not count as 1.
        {"signature_only", Prefix(header, 3), false},
        {"four_bytes", Prefix(header, 4), true},
        {"five_bytes", Prefix(header, 5), true},
        {"eight_bytes", Prefix(header, 8), true},
        {"four_bytes_version_2", Bytes{'F', 'L', 'V', 2}, false},
        {"header_only", header, true},
        {"header_and_15_bytes", Concat(header, Bytes(15, 0x11)), true},
    };
}

struct OpenFlvReaderCases : ::testing::TestWithParam<OpenCase> {};

TEST_P(OpenFlvReaderCases, OpensOnlyFlvVersion1) {
    const OpenCase &c = GetParam();
    OpenedReader opened(c.bytes);
    ASSERT_EQ(opened.reader != nullptr, c.opens);
    if (!c.opens)
        return;
    FlvReader *reader = opened.reader;
    EXPECT_EQ(reader->cursor, 0u);
    EXPECT_EQ(reader->valid, 0u);
    EXPECT_EQ(reader->capacity, 1024u);
    EXPECT_EQ(reader->version, 1u);
    EXPECT_NE(reader->window, nullptr);
    if (c.bytes.size() >= 9) {
        EXPECT_EQ(reader->flags, c.bytes[4]);
        EXPECT_EQ(reader->recordPos, reader->dataOffset);
    }
}

INSTANTIATE_TEST_SUITE_P(Reader, OpenFlvReaderCases, ::testing::ValuesIn(OpenCases()),
                         [](const ::testing::TestParamInfo<OpenCase> &info) { return info.param.name; });

// Files that open but hold no record: positioned at the first record there
// is nothing to peek, read or skip.
TEST(Reader, ShortAndHeaderOnlyFilesHaveNoRecords) {
    Bytes header = fixture::HeaderBytes();
    for (size_t size : {4, 5, 6, 7, 8, 9, 10, 24}) {
        Bytes bytes = Prefix(Concat(header, Bytes(20, 0x44)), size);
        SCOPED_TRACE("file of " + std::to_string(size) + " bytes");
        OpenedReader opened(bytes);
        ASSERT_NE(opened.reader, nullptr);
        RefillWindow(opened.reader, FLV_FIRST_RECORD);
        uint32_t type = untouched, size_out = untouched;
        EXPECT_EQ(PeekRecord(opened.reader, &type, &size_out), 0);
        EXPECT_EQ(type, untouched);
        EXPECT_EQ(size_out, 0u);
        uint8_t destination[64];
        size_out = untouched;
        EXPECT_EQ(ReadRecord(opened.reader, destination, sizeof destination, &type, &size_out), 0);
        EXPECT_EQ(size_out, 0u);
        EXPECT_EQ(SkipRecord(opened.reader), 0);
    }
}

TEST(Reader, PathsThatDoNotOpen) {
    EXPECT_EQ(OpenFlvReader(nullptr), nullptr);
    EXPECT_EQ(OpenFlvReader(fixture::Utf16("/nonexistent/folder/file.flv").c_str()), nullptr);
    fixture::TempFile file(fixture::HeaderBytes());
    std::u16string unpaired = file.Utf16Path();
    unpaired.push_back(0xD800);
    EXPECT_EQ(OpenFlvReader(unpaired.c_str()), nullptr);
}

TEST(Reader, DataOffsetIsKeptUntilTheFirstRepositioning) {
    for (uint32_t dataOffset : {0u, 17u, 0x12345678u, 0x80000000u, 0xFFFFFFFFu}) {
        SCOPED_TRACE("data offset " + std::to_string(dataOffset));
        fixture::Header header;
        header.dataOffset = dataOffset;
        Bytes payload = core::NonZeroPattern(30, 2);
        OpenedReader opened(fixture::FileBytes({{fixture::AUDIO, payload}}, header));
        ASSERT_NE(opened.reader, nullptr);
        EXPECT_EQ(opened.reader->dataOffset, dataOffset);
        EXPECT_EQ(opened.reader->recordPos, dataOffset);
        // The first record is found at 9 whatever the header says.
        RefillWindow(opened.reader, FLV_FIRST_RECORD);
        uint32_t type = 0, size = 0;
        ASSERT_EQ(PeekRecord(opened.reader, &type, &size), 1);
        EXPECT_EQ(type, fixture::AUDIO);
        EXPECT_EQ(size, 30u);
    }
}

// ---- The window and ReadRecord ----

struct GrowthCase {
    uint32_t payload;
    uint32_t before; // a record ahead of it, so it does not start the window
    uint32_t capacityAfter;
};

void PrintTo(const GrowthCase &c, std::ostream *out) { *out << "payload " << c.payload << " after " << c.before; }

struct WindowGrowth : FaultsOff, ::testing::WithParamInterface<GrowthCase> {};

TEST_P(WindowGrowth, GrowsToTheRecordAnd1024BytesOnlyWhenItDoesNotFit) {
    const GrowthCase &c = GetParam();
    std::vector<Tag> tags;
    if (c.before != 0)
        tags.push_back({fixture::VIDEO, core::NonZeroPattern(c.before, 3)});
    tags.push_back({fixture::AUDIO, core::NonZeroPattern(c.payload, 4)});
    OpenedReader opened(fixture::FileBytes(tags));
    ASSERT_NE(opened.reader, nullptr);
    FlvReader *reader = opened.reader;
    RefillWindow(reader, FLV_FIRST_RECORD);
    if (c.before != 0) {
        ASSERT_EQ(SkipRecord(reader), 1);
    }
    uint32_t start = reader->recordPos;
    Bytes destination(c.payload + 1, 0xEE);
    uint32_t type = 0, size = 0;
    ASSERT_EQ(ReadRecord(reader, destination.data(), c.payload, &type, &size), 1);
    EXPECT_EQ(type, fixture::AUDIO);
    EXPECT_EQ(size, c.payload);
    EXPECT_EQ(reader->capacity, c.capacityAfter);
    EXPECT_EQ(reader->recordPos, start + c.payload + 15);
    EXPECT_TRUE(std::equal(tags.back().payload.begin(), tags.back().payload.end(), destination.begin()));
    EXPECT_EQ(destination[c.payload], 0xEE) << "wrote past the payload";
    EXPECT_LE(reader->cursor, reader->valid);
    EXPECT_LE(reader->valid, reader->capacity);
}

INSTANTIATE_TEST_SUITE_P(Reader, WindowGrowth,
                         ::testing::Values(GrowthCase{0, 0, 1024}, GrowthCase{1, 0, 1024}, GrowthCase{1008, 0, 1024},
                                           GrowthCase{1008, 100, 1024}, GrowthCase{1009, 0, 2048},
                                           GrowthCase{1009, 100, 2048}, GrowthCase{1010, 0, 1010 + 1039},
                                           GrowthCase{5000, 7, 6039}, GrowthCase{16777215, 0, 16778254}),
                         [](const ::testing::TestParamInfo<GrowthCase> &info) {
                             return "payload_" + std::to_string(info.param.payload) + "_after_" +
                                    std::to_string(info.param.before);
                         });

TEST(Reader, EmptyPayloadIsFifteenBytesLong) {
    Bytes after = core::NonZeroPattern(5, 5);
    OpenedReader opened(fixture::FileBytes({{fixture::SCRIPT, {}}, {fixture::AUDIO, after}}));
    ASSERT_NE(opened.reader, nullptr);
    RefillWindow(opened.reader, FLV_FIRST_RECORD);
    uint8_t destination[8] = {0xEE};
    uint32_t type = 0, size = untouched;
    ASSERT_EQ(ReadRecord(opened.reader, destination, 0, &type, &size), 1);
    EXPECT_EQ(type, fixture::SCRIPT);
    EXPECT_EQ(size, 0u);
    EXPECT_EQ(destination[0], 0xEE);
    EXPECT_EQ(opened.reader->recordPos, 9u + 15u);
    ASSERT_EQ(ReadRecord(opened.reader, destination, sizeof destination, &type, &size), 1);
    EXPECT_EQ(type, fixture::AUDIO);
    EXPECT_EQ(Bytes(destination, destination + 5), after);
}

TEST(Reader, DestinationExactlyAsLargeAsThePayloadAndOneByteLess) {
    Bytes payload = core::NonZeroPattern(300, 6);
    OpenedReader opened(fixture::FileBytes({{fixture::VIDEO, payload}}));
    ASSERT_NE(opened.reader, nullptr);
    FlvReader *reader = opened.reader;
    RefillWindow(reader, FLV_FIRST_RECORD);
    Bytes destination(300);
    uint32_t type = untouched, size = untouched;
    EXPECT_EQ(ReadRecord(reader, destination.data(), 299, &type, &size), 0);
    EXPECT_EQ(type, fixture::VIDEO);
    EXPECT_EQ(size, 0u);
    EXPECT_EQ(reader->recordPos, 9u);
    ASSERT_EQ(ReadRecord(reader, destination.data(), 300, &type, &size), 1);
    EXPECT_EQ(size, 300u);
    EXPECT_EQ(destination, payload);
    EXPECT_EQ(reader->recordPos, 9u + 315u);
}

TEST(Reader, TooSmallADestinationKeepsTheEnlargedWindow) {
    OpenedReader opened(fixture::FileBytes({{fixture::AUDIO, core::NonZeroPattern(2000, 7)}}));
    ASSERT_NE(opened.reader, nullptr);
    RefillWindow(opened.reader, FLV_FIRST_RECORD);
    uint8_t small[16];
    uint32_t size = untouched;
    EXPECT_EQ(ReadRecord(opened.reader, small, sizeof small, nullptr, &size), 0);
    EXPECT_EQ(size, 0u);
    EXPECT_EQ(opened.reader->capacity, 2000u + 1039u);
    EXPECT_EQ(opened.reader->recordPos, 9u);
}

TEST(Reader, WithoutADestinationReadRecordIsAPeek) {
    OpenedReader opened(fixture::FileBytes({{fixture::AUDIO, core::NonZeroPattern(2000, 8)}}));
    ASSERT_NE(opened.reader, nullptr);
    RefillWindow(opened.reader, FLV_FIRST_RECORD);
    uint32_t type = 0, size = 0;
    EXPECT_EQ(ReadRecord(opened.reader, nullptr, 0, &type, &size), 1);
    EXPECT_EQ(type, fixture::AUDIO);
    EXPECT_EQ(size, 2000u);
    EXPECT_EQ(opened.reader->recordPos, 9u);
    EXPECT_EQ(opened.reader->capacity, 1024u);
    EXPECT_EQ(PeekRecord(opened.reader, nullptr, nullptr), 1);
}

// The whole tag-type byte is the type; previous tag size, timestamp and
// stream id change nothing.
TEST(Reader, ReportsTheWholeTypeByteAndIgnoresTheOtherFields) {
    core::Layout layout;
    Bytes a = core::NonZeroPattern(40, 9), b = core::NonZeroPattern(3, 10);
    layout.Add(0x28, 40, a);
    layout.Add(0xFF, 3, b);
    layout.Add(0, 0);
    auto file = core::WriteLayout(layout, layout.next + 4);
    FlvReader *reader = OpenFlvReader(file->Utf16Path().c_str());
    ASSERT_NE(reader, nullptr);
    RefillWindow(reader, FLV_FIRST_RECORD);
    uint8_t destination[64];
    uint32_t type = 0, size = 0;
    ASSERT_EQ(ReadRecord(reader, destination, sizeof destination, &type, &size), 1);
    EXPECT_EQ(type, 0x28u);
    EXPECT_EQ(Bytes(destination, destination + 40), a);
    ASSERT_EQ(ReadRecord(reader, destination, sizeof destination, &type, &size), 1);
    EXPECT_EQ(type, 0xFFu);
    EXPECT_EQ(Bytes(destination, destination + 3), b);
    ASSERT_EQ(PeekRecord(reader, &type, &size), 1);
    EXPECT_EQ(type, 0u);
    EXPECT_EQ(size, 0u);
    ReleaseReader(reader);
}

// ---- Records cut short by the end of the file ----

struct CutCase {
    const char *name;
    Bytes tail; // what follows the header
    int peek;
    int read;
    uint32_t readSize;
    int peekAfterSkip; // -1: skip is not tried
};

void PrintTo(const CutCase &c, std::ostream *out) { *out << c.name; }

std::vector<CutCase> CutCases() {
    Bytes record = fixture::RecordBytes({fixture::AUDIO, core::NonZeroPattern(100, 11)});
    Bytes empty = fixture::RecordBytes({fixture::AUDIO, {}});
    return {
        {"payload_cut_in_the_middle", Prefix(record, 15 + 50), 1, 0, 0, 0},
        {"payload_missing_its_last_byte", Prefix(record, 15 + 99), 1, 0, 0, 0},
        {"file_ends_right_after_the_payload", record, 1, 0, 0, 0},
        {"one_byte_after_the_payload", Concat(record, {0}), 1, 1, 100, 0},
        {"empty_payload_at_the_end", empty, 0, 0, 0, -1},
        {"empty_payload_and_one_byte", Concat(empty, {0}), 1, 1, 0, 0},
        {"header_cut", Prefix(record, 10), 0, 0, 0, -1},
    };
}

struct CutRecords : ::testing::TestWithParam<CutCase> {};

TEST_P(CutRecords, ReadOnlyWhatIsThereAndOneByteMore) {
    const CutCase &c = GetParam();
    OpenedReader opened(Concat(fixture::HeaderBytes(), c.tail));
    ASSERT_NE(opened.reader, nullptr);
    FlvReader *reader = opened.reader;
    RefillWindow(reader, FLV_FIRST_RECORD);
    EXPECT_EQ(PeekRecord(reader, nullptr, nullptr), c.peek);
    Bytes destination(200);
    uint32_t type = untouched, size = untouched;
    EXPECT_EQ(ReadRecord(reader, destination.data(), 200, &type, &size), c.read);
    EXPECT_EQ(size, c.readSize);
    EXPECT_EQ(type, c.peek == 1 ? (uint32_t)fixture::AUDIO : untouched);
    if (c.read == 0) {
        // Not advanced; the window was refilled at the record.
        EXPECT_EQ(reader->recordPos, 9u);
        EXPECT_EQ(reader->cursor, 0u);
        EXPECT_EQ(reader->valid, (uint32_t)c.tail.size());
        // Every later read stops at the same record the same way.
        EXPECT_EQ(ReadRecord(reader, destination.data(), 200, &type, &size), 0);
    }
    if (c.peekAfterSkip >= 0) {
        if (c.read == 0) {
            EXPECT_EQ(SkipRecord(reader), 1);
        }
        EXPECT_EQ(PeekRecord(reader, nullptr, nullptr), c.peekAfterSkip);
    }
}

INSTANTIATE_TEST_SUITE_P(Reader, CutRecords, ::testing::ValuesIn(CutCases()),
                         [](const ::testing::TestParamInfo<CutCase> &info) { return info.param.name; });

// ---- Stepping over records ----

TEST(Reader, SkipRecordStepsOverRecordsLargerThanTheWindowWithoutGrowingIt) {
    std::vector<Tag> tags = {{fixture::VIDEO, core::NonZeroPattern(10, 12)},
                             {fixture::VIDEO, core::NonZeroPattern(5000, 13)},
                             {fixture::AUDIO, core::NonZeroPattern(1000, 14)},
                             {fixture::SCRIPT, core::NonZeroPattern(2, 15)}};
    OpenedReader opened(fixture::FileBytes(tags));
    ASSERT_NE(opened.reader, nullptr);
    FlvReader *reader = opened.reader;
    RefillWindow(reader, FLV_FIRST_RECORD);
    uint32_t position = 9;
    for (const Tag &tag : tags) {
        uint32_t type = 0, size = 0;
        ASSERT_EQ(PeekRecord(reader, &type, &size), 1);
        EXPECT_EQ(type, tag.type);
        EXPECT_EQ(size, tag.payload.size());
        EXPECT_EQ(reader->recordPos, position);
        ASSERT_EQ(SkipRecord(reader), 1);
        position += (uint32_t)tag.payload.size() + 15;
        EXPECT_EQ(reader->recordPos, position);
        EXPECT_EQ(reader->capacity, 1024u);
    }
    EXPECT_EQ(PeekRecord(reader, nullptr, nullptr), 0);
    EXPECT_EQ(SkipRecord(reader), 0);
}

// ---- Positions of 2^31 or more ----

TEST_F(FaultsOff, PositionsOf2To31OrMoreReadAsTheEndWithoutTouchingTheFile) {
    OpenedReader opened(fixture::FileBytes({{fixture::AUDIO, core::NonZeroPattern(50, 16)}}));
    ASSERT_NE(opened.reader, nullptr);
    FlvReader *reader = opened.reader;
    for (uint32_t position : {0x80000000u, 0x80000001u, 0xFFFFFFF0u, 0xFFFFFFFFu}) {
        SCOPED_TRACE("position " + std::to_string(position));
        // A read at such a position would use up the armed fault.
        OsFailNthRead(1);
        RefillWindow(reader, position);
        EXPECT_EQ(reader->valid, 0u);
        EXPECT_EQ(reader->cursor, 0u);
        EXPECT_EQ(reader->recordPos, position);
        uint32_t size = untouched;
        EXPECT_EQ(PeekRecord(reader, nullptr, &size), 0);
        EXPECT_EQ(size, 0u);
        uint8_t destination[64];
        EXPECT_EQ(ReadRecord(reader, destination, sizeof destination, nullptr, &size), 0);
        EXPECT_EQ(SkipRecord(reader), 0);
        EXPECT_TRUE(core::ReadFaultPending(1)) << "a position out of range was read";
    }
    RefillWindow(reader, FLV_FIRST_RECORD);
    EXPECT_EQ(PeekRecord(reader, nullptr, nullptr), 1);
}

TEST(Reader, PositionJustBelow2To31BeyondTheFileIsTheEnd) {
    OpenedReader opened(fixture::FileBytes({{fixture::AUDIO, core::NonZeroPattern(50, 17)}}));
    ASSERT_NE(opened.reader, nullptr);
    RefillWindow(opened.reader, 0x7FFFFFFF);
    EXPECT_EQ(opened.reader->valid, 0u);
    EXPECT_EQ(PeekRecord(opened.reader, nullptr, nullptr), 0);
}

// ---- Failures of the system ----

TEST_F(FaultsOff, AFailedHeaderReadDoesNotOpen) {
    fixture::TempFile file(fixture::FileBytes({{fixture::AUDIO, core::NonZeroPattern(50, 18)}}));
    OsFailNthRead(1);
    EXPECT_EQ(OpenFlvReader(file.Utf16Path().c_str()), nullptr);
    FlvReader *reader = OpenFlvReader(file.Utf16Path().c_str());
    ASSERT_NE(reader, nullptr);
    ReleaseReader(reader);
}

TEST_F(FaultsOff, AFailedAllocationDoesNotOpen) {
    fixture::TempFile file(fixture::FileBytes({{fixture::AUDIO, core::NonZeroPattern(50, 19)}}));
    // The path's conversion, the reader record and its window.
    for (uint32_t n = 1; n <= 3; n++) {
        OsFailNthAllocation(n);
        EXPECT_EQ(OpenFlvReader(file.Utf16Path().c_str()), nullptr) << "allocation " << n;
    }
    OsFailNthAllocation(0);
}

TEST_F(FaultsOff, AReadErrorInARefillReadsAsTheEndAndPasses) {
    Bytes first = core::NonZeroPattern(1000, 20), second = core::NonZeroPattern(50, 23);
    OpenedReader opened(fixture::FileBytes({{fixture::AUDIO, first}, {fixture::VIDEO, second}}));
    ASSERT_NE(opened.reader, nullptr);
    FlvReader *reader = opened.reader;
    OsFailNthRead(1);
    RefillWindow(reader, FLV_FIRST_RECORD);
    EXPECT_EQ(reader->valid, 0u);
    EXPECT_EQ(reader->recordPos, 9u);
    // The next look refills at the same record, and the file is there again.
    Bytes destination(1000);
    uint32_t size = 0;
    ASSERT_EQ(ReadRecord(reader, destination.data(), 1000, nullptr, &size), 1);
    EXPECT_EQ(destination, first);
    // The second record's header lies beyond the window: the peek refills.
    OsFailNthRead(1);
    size = untouched;
    EXPECT_EQ(PeekRecord(reader, nullptr, &size), 0);
    EXPECT_EQ(size, 0u);
    EXPECT_EQ(reader->recordPos, 9u + 1015u);
    EXPECT_EQ(PeekRecord(reader, nullptr, &size), 1);
    EXPECT_EQ(size, 50u);
}

TEST_F(FaultsOff, AWindowThatCannotGrowKeepsTheReaderUsable) {
    Bytes payload = core::NonZeroPattern(2000, 21);
    OpenedReader opened(fixture::FileBytes({{fixture::AUDIO, payload}}));
    ASSERT_NE(opened.reader, nullptr);
    FlvReader *reader = opened.reader;
    RefillWindow(reader, FLV_FIRST_RECORD);
    uint8_t *window = reader->window;
    Bytes destination(2000);
    uint32_t type = untouched, size = untouched;
    OsFailNthAllocation(1);
    EXPECT_EQ(ReadRecord(reader, destination.data(), 2000, &type, &size), 0);
    EXPECT_EQ(type, fixture::AUDIO);
    EXPECT_EQ(size, 2000u);
    EXPECT_EQ(reader->capacity, 1024u);
    EXPECT_EQ(reader->window, window);
    EXPECT_EQ(reader->recordPos, 9u);
    EXPECT_EQ(PeekRecord(reader, &type, &size), 1);
    ASSERT_EQ(ReadRecord(reader, destination.data(), 2000, &type, &size), 1);
    EXPECT_EQ(destination, payload);
}

TEST_F(FaultsOff, ResizeWindowThatFailsKeepsTheOldWindow) {
    OpenedReader opened(fixture::FileBytes({{fixture::AUDIO, core::NonZeroPattern(50, 22)}}));
    ASSERT_NE(opened.reader, nullptr);
    FlvReader *reader = opened.reader;
    RefillWindow(reader, FLV_FIRST_RECORD);
    uint32_t valid = reader->valid;
    OsFailNthAllocation(1);
    EXPECT_EQ(ResizeWindow(reader, 32768), 0);
    EXPECT_EQ(reader->capacity, 1024u);
    EXPECT_EQ(reader->valid, valid);
    EXPECT_EQ(ResizeWindow(reader, 32768), 1);
    EXPECT_EQ(reader->capacity, 32768u);
    EXPECT_EQ(reader->recordPos, 9u);
    EXPECT_EQ(reader->valid, valid);
}

} // namespace

// Files of 2 GiB and more lie beyond the reader's 32-bit positions. Sparse
// files of exactly 2^31 bytes and of 4 GiB, each an FLV header and a few
// records, must neither crash nor hang: the stream holds the few records'
// audio and nothing from beyond the reader's range.
//   ZeroHole: the rest of the file is a hole, which reads as a run of empty
//     records; walking them costs one pass, like any file of that size.
//   HugeRecords: the rest is a chain of video records of the largest size,
//     the last of them running across 2^31, so reads walk to the limit too.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "tests/damage/damage_support.h"
#include "tests/support/flv_builder.h"

namespace {

using damage::Bytes;

const uint64_t positionLimit = 1ull << 31;
const uint32_t largestPayload = 16777215;

std::vector<fixture::Tag> FewRecords() {
    return {{fixture::AUDIO, fixture::Pattern(500, 1)},
            {fixture::VIDEO, fixture::Pattern(2000, 2)},
            {fixture::AUDIO, fixture::Pattern(300, 3)}};
}

// Video record headers every record length from `from`, up to the limit.
void WriteHugeRecordChain(const std::string &path, uint64_t from) {
    std::fstream file(path, std::ios::in | std::ios::out | std::ios::binary);
    Bytes header = fixture::RecordBytes({fixture::VIDEO, {}});
    header[5] = header[6] = header[7] = 0xFF;
    for (uint64_t at = from; at < positionLimit; at += 15 + (uint64_t)largestPayload) {
        file.seekp((std::streamoff)at);
        file.write((const char *)header.data(), (std::streamsize)header.size());
    }
}

struct Sparse {
    const char *name;
    uint64_t size;
    bool hugeRecords;
};

void PrintTo(const Sparse &sparse, std::ostream *out) { *out << sparse.name; }

class SparseFile : public ::testing::TestWithParam<Sparse> {};

TEST_P(SparseFile, HoldsOnlyTheRecordsBeforeTheHole) {
    std::vector<fixture::Tag> tags = FewRecords();
    Bytes audio = fixture::AudioStream(tags);
    Bytes start = fixture::FileBytes(tags, fixture::Header(), false);
    fixture::TempFile file(start);
    std::error_code error;
    std::filesystem::resize_file(file.path, GetParam().size, error);
    if (error)
        GTEST_SKIP() << "cannot make a sparse file of " << GetParam().size << " bytes: " << error.message();
    if (GetParam().hugeRecords)
        WriteHugeRecordChain(file.path, start.size());

    HostStream stream = damage::CreateOver(file.path);
    if (stream == 0)
        return; // a clean refusal is an answer too
    model::StreamCalls calls = damage::CallsOf(stream);
    ASSERT_EQ(calls.length(), audio.size()) << "nothing past the few records adds audio";

    model::Expected expected;
    expected.opens = true;
    expected.audioLength = (uint32_t)audio.size();
    expected.stream = audio;
    model::Cursor cursor{&expected};
    EXPECT_EQ(model::CheckRead(calls, cursor, (uint32_t)audio.size()), "");
    // Past the audio a read walks the rest of the file up to the limit.
    if (GetParam().hugeRecords) {
        EXPECT_EQ(model::CheckRead(calls, cursor, 4096), "") << "past the records lies nothing";
    }
    for (uint64_t offset : {(uint64_t)0, (uint64_t)audio.size() - 1, (uint64_t)audio.size(), GetParam().size}) {
        EXPECT_EQ(model::CheckSeek(calls, cursor, offset), "");
        if (GetParam().hugeRecords || cursor.position < audio.size()) {
            EXPECT_EQ(model::CheckRead(calls, cursor, 1), "") << "after a seek to " << offset;
        }
    }
    damage::CloseAndForget(stream);
}

INSTANTIATE_TEST_SUITE_P(Sizes, SparseFile,
                         ::testing::Values(Sparse{"ZeroHoleExactly2GiB", 1ull << 31, false},
                                           Sparse{"ZeroHoleFourGiB", 1ull << 32, false},
                                           Sparse{"HugeRecordsExactly2GiB", 1ull << 31, true},
                                           Sparse{"HugeRecordsFourGiB", 1ull << 32, true}),
                         [](const ::testing::TestParamInfo<Sparse> &info) { return std::string(info.param.name); });

} // namespace

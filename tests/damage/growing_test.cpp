// A file that grows while its stream is open, as a download in progress
// does: each read delivers what has arrived, in order, nothing twice and
// nothing missing, a read with nothing new is the zero fill, and once the
// file is whole the stream has delivered exactly its audio byte stream. The
// length and the seeks stay those of the file the stream was created over.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <random>

#include "tests/damage/damage_support.h"
#include "tests/support/flv_builder.h"

namespace {

using damage::Bytes;

const uint32_t readSize = 4096;

void Append(const std::string &path, const Bytes &whole, size_t from, size_t to) {
    std::ofstream out(path, std::ios::binary | std::ios::app);
    out.write((const char *)whole.data() + from, (std::streamsize)(to - from));
}

// Reads until the stream has given all that the file now holds, then once
// more, which must find nothing. Returns what is wrong, if anything.
std::string ReadWhatHasArrived(const model::StreamCalls &calls, const Bytes &now, Bytes &delivered) {
    Bytes due = model::Expect(now).stream;
    Bytes buffer(readSize);
    while (delivered.size() < due.size()) {
        uint32_t got = calls.read(buffer.data(), readSize);
        size_t want = std::min<size_t>(readSize, due.size() - delivered.size());
        if (got != want)
            return "read " + std::to_string(got) + " at stream offset " + std::to_string(delivered.size()) +
                   ", not " + std::to_string(want);
        if (!std::equal(buffer.begin(), buffer.begin() + got, due.begin() + (long)delivered.size()))
            return "wrong bytes at stream offset " + std::to_string(delivered.size());
        delivered.insert(delivered.end(), buffer.begin(), buffer.begin() + got);
    }
    std::fill(buffer.begin(), buffer.end(), 0x5A);
    if (calls.read(buffer.data(), readSize) != readSize ||
        std::any_of(buffer.begin(), buffer.end(), [](uint8_t b) { return b != 0; }))
        return "a read past what has arrived is not the zero fill";
    return "";
}

// Where the file stands when the stream is created.
enum Cut { HEADER_ONLY, INSIDE_RECORD_HEADER, AT_RECORD_END, ONE_BYTE_PAST_RECORD, INSIDE_PAYLOAD, INSIDE_LARGE_RECORD };

struct Arrival {
    const char *what;
    Cut cut;
};

const size_t largeRecordIndex = 60;

std::vector<size_t> RecordStarts(const Bytes &file) {
    std::vector<size_t> starts;
    for (size_t at = 9; at + 15 < file.size(); at += 15 + ((size_t)file[at + 5] << 16 | file[at + 6] << 8 | file[at + 7]))
        starts.push_back(at);
    return starts;
}

size_t FirstPart(Cut cut, const Bytes &file) {
    std::vector<size_t> starts = RecordStarts(file);
    switch (cut) {
    case HEADER_ONLY:
        return 9;
    case INSIDE_RECORD_HEADER:
        return 9 + 7;
    case AT_RECORD_END: // the record is there, but not the byte after it
        return starts[3];
    case ONE_BYTE_PAST_RECORD:
        return starts[3] + 1;
    case INSIDE_PAYLOAD:
        return (starts[10] + starts[11]) / 2;
    case INSIDE_LARGE_RECORD:
        return starts[largeRecordIndex] + 15 + 20000;
    }
    return 0;
}

void PrintTo(const Arrival &arrival, std::ostream *out) { *out << arrival.what; }

class GrowingFile : public ::testing::TestWithParam<Arrival> {};

TEST_P(GrowingFile, DeliversEachByteOnceAsItArrives) {
    std::mt19937 random(11);
    std::vector<fixture::Tag> tags = fixture::RandomTags(random, 120, 3000);
    tags.insert(tags.begin() + largeRecordIndex, fixture::Tag{fixture::VIDEO, fixture::Pattern(50000, 5)});
    Bytes whole = fixture::FileBytes(tags);
    size_t first = FirstPart(GetParam().cut, whole);
    ASSERT_LT(first, whole.size());

    fixture::TempFile file(Bytes(whole.begin(), whole.begin() + (long)first));
    model::Expected atCreation = model::Expect(Bytes(whole.begin(), whole.begin() + (long)first));
    HostStream stream = damage::CreateOver(file.path);
    ASSERT_NE(stream, 0u);
    model::StreamCalls calls = damage::CallsOf(stream);
    EXPECT_EQ(calls.length(), atCreation.audioLength);

    Bytes delivered;
    std::vector<size_t> steps = {first, first + 1, first + 7, whole.size() / 2, whole.size() * 3 / 4, whole.size()};
    std::sort(steps.begin(), steps.end());
    steps.erase(std::unique(steps.begin(), steps.end()), steps.end());
    for (size_t i = 1; i < steps.size(); i++) {
        Append(file.path, whole, steps[i - 1], steps[i]);
        std::string wrong = ReadWhatHasArrived(calls, Bytes(whole.begin(), whole.begin() + (long)steps[i]), delivered);
        ASSERT_EQ(wrong, "") << GetParam().what << ", file grown to " << steps[i] << " bytes";
    }
    EXPECT_EQ(delivered, fixture::AudioStream(tags));
    EXPECT_EQ(calls.length(), atCreation.audioLength) << "the length is the one the scan found";

    // Seeks stay within what the scan saw, and land on the bytes of the whole file.
    model::Expected grown = model::Expect(whole);
    model::Cursor cursor{&grown};
    for (uint64_t offset : {(uint64_t)0, (uint64_t)atCreation.audioLength / 2, (uint64_t)atCreation.audioLength - 1}) {
        if (offset >= atCreation.audioLength)
            continue;
        ASSERT_TRUE(calls.seek(offset)) << offset;
        cursor.position = offset;
        ASSERT_EQ(model::CheckRead(calls, cursor, 5000), "") << "after a seek to " << offset;
    }
    EXPECT_FALSE(calls.seek(atCreation.audioLength)) << "the stream is as long as the scan found";
    damage::CloseAndForget(stream);
}

INSTANTIATE_TEST_SUITE_P(Arrivals, GrowingFile,
                         ::testing::Values(Arrival{"header only", HEADER_ONLY},
                                           Arrival{"inside the first record header", INSIDE_RECORD_HEADER},
                                           Arrival{"a record with no byte after it", AT_RECORD_END},
                                           Arrival{"a record and one byte more", ONE_BYTE_PAST_RECORD},
                                           Arrival{"inside a payload", INSIDE_PAYLOAD},
                                           Arrival{"inside a large video record", INSIDE_LARGE_RECORD}),
                         [](const ::testing::TestParamInfo<Arrival> &info) {
                             std::string name = info.param.what;
                             for (char &c : name)
                                 if (!isalnum((unsigned char)c))
                                     c = '_';
                             return name;
                         });

} // namespace

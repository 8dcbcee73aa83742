// For random well-formed files and random reads and seeks: seeking to o and
// reading gives the audio byte stream from o on, on the index's owner and on
// an older stream alike.
#include <gtest/gtest.h>

#include <random>

#include "flv/stream.h"
#include "platform/platform.h"
#include "tests/core/core_support.h"
#include "tests/support/recording_host.h"

namespace {

using core::Bytes;

const uint8_t sentinel = 0xEE;

struct Subject {
    const char *role;
    FlvStream *stream;
    core::StreamModel model;
};

// One random step on a stream: a read of a random length, or a seek to a
// random offset (now and then one that must be refused).
std::string Step(std::mt19937 &random, Subject &subject) {
    FlvStream *stream = subject.stream;
    core::StreamModel &model = subject.model;
    uint64_t length = model.audio.size();
    std::uniform_int_distribution<int> choice(0, 9);
    int what = choice(random);
    if (what < 6) {
        uint32_t sizes[] = {0, 1, 2, 17, 256, 1000, 4096};
        uint32_t size = what < 3 ? (uint32_t)(random() % 3000) : sizes[random() % 7];
        Bytes buffer(size, sentinel);
        uint32_t got = FlvFileRead(buffer.data(), size, stream);
        return model.CheckRead(buffer.data(), size, got, sentinel);
    }
    uint64_t offset;
    if (what < 9 && length > 0)
        offset = random() % length;
    else
        offset = random() % 2 ? length + random() % 3 : (1ull << 32) + random() % (length + 1);
    Bool32 expected = offset < length ? 1 : 0;
    Bool32 result = FlvFileSeek(offset, stream);
    if (result != expected)
        return "seek to " + std::to_string(offset) + " of " + std::to_string(length) + " answered " +
               std::to_string(result);
    if (result)
        model.position = offset;
    return "";
}

TEST(Property, SeekThenReadGivesTheStreamFromTheOffset) {
    recording::Reset();
    for (uint32_t seed = 1; seed <= 60; seed++) {
        std::mt19937 random(seed);
        uint32_t largest = seed % 3 == 0 ? 3000 : 600;
        std::vector<fixture::Tag> olderTags = core::RandomNonZeroTags(seed, 1 + random() % 120, largest);
        std::vector<fixture::Tag> ownerTags = core::RandomNonZeroTags(seed + 1000, 1 + random() % 120, largest);
        fixture::TempFile olderFile(fixture::FileBytes(olderTags)), ownerFile(fixture::FileBytes(ownerTags));
        Subject subjects[2] = {{"older stream", core::OpenStream(olderFile), {fixture::AudioStream(olderTags)}},
                               {"owner", core::OpenStream(ownerFile), {fixture::AudioStream(ownerTags)}}};
        ASSERT_TRUE(subjects[0].stream != nullptr && subjects[1].stream != nullptr);
        for (int step = 0; step < 300; step++) {
            Subject &subject = subjects[random() % 2];
            std::string problem = Step(random, subject);
            ASSERT_EQ(problem, "") << "seed " << seed << ", step " << step << ", " << subject.role;
        }
        // From any offset to the end, in one go.
        for (Subject &subject : subjects) {
            if (subject.model.audio.empty())
                continue;
            uint64_t offset = random() % subject.model.audio.size();
            ASSERT_EQ(FlvFileSeek(offset, subject.stream), 1);
            subject.model.position = offset;
            EXPECT_EQ(core::ReadToEnd(subject.stream, 1 + random() % 5000),
                      Bytes(subject.model.audio.begin() + (long)offset, subject.model.audio.end()))
                << "seed " << seed << ", " << subject.role << ", from " << offset;
        }
        FlvFileClose(subjects[0].stream);
        FlvFileClose(subjects[1].stream);
        FreeClosedStreams();
        recording::Reset();
    }
}

} // namespace

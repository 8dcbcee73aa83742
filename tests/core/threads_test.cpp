// One thread keeps creating and scanning streams over several files while
// two others seek and read streams of their own, each of which owns the
// index now and then: every byte any of them reads must be right.
#include <gtest/gtest.h>

#include <random>
#include <thread>

#include "flv/stream.h"
#include "platform/platform.h"
#include "tests/core/core_support.h"

namespace {

using core::Bytes;
using fixture::Tag;

const uint8_t sentinel = 0xEE;
const int creations = 300;
const int roundsPerSeeker = 30;
const int stepsPerRound = 40;

struct SharedFile {
    std::vector<Tag> tags;
    Bytes audio;
    std::unique_ptr<fixture::TempFile> file;
    explicit SharedFile(uint32_t seed) : tags(core::RandomNonZeroTags(seed, 60 + seed % 40, 2500)) {
        audio = fixture::AudioStream(tags);
        file = std::make_unique<fixture::TempFile>(fixture::FileBytes(tags));
    }
};

// Creates, checks and closes streams over the files in turn.
void Create(const std::vector<SharedFile> &files, std::string &problem) {
    for (int i = 0; i < creations && problem.empty(); i++) {
        const SharedFile &shared = files[i % files.size()];
        FlvStream *stream = core::AssembleStream(*shared.file);
        if (stream == nullptr) {
            problem = "creation failed";
            return;
        }
        if (stream->audioLength != shared.audio.size())
            problem = "scan " + std::to_string(i) + " measured " + std::to_string(stream->audioLength);
        core::StreamModel model{shared.audio};
        Bytes buffer(300, sentinel);
        uint32_t got = FlvFileRead(buffer.data(), 300, stream);
        if (problem.empty())
            problem = model.CheckRead(buffer.data(), 300, got, sentinel);
        FlvFileClose(stream);
    }
}

// Opens its own stream again and again, seeking and reading on it.
void SeekAndRead(const SharedFile &shared, uint32_t seed, std::string &problem) {
    std::mt19937 random(seed);
    for (int round = 0; round < roundsPerSeeker && problem.empty(); round++) {
        FlvStream *stream = core::AssembleStream(*shared.file);
        if (stream == nullptr) {
            problem = "creation failed";
            return;
        }
        core::StreamModel model{shared.audio};
        for (int step = 0; step < stepsPerRound && problem.empty(); step++) {
            uint64_t offset = random() % shared.audio.size();
            if (!FlvFileSeek(offset, stream)) {
                problem = "seek to " + std::to_string(offset) + " refused";
                break;
            }
            model.position = offset;
            uint32_t length = 1 + random() % 3000;
            Bytes buffer(length, sentinel);
            uint32_t got = FlvFileRead(buffer.data(), length, stream);
            problem = model.CheckRead(buffer.data(), length, got, sentinel);
            if (!problem.empty())
                problem = "round " + std::to_string(round) + ", step " + std::to_string(step) + ": " + problem;
        }
        FlvFileClose(stream);
    }
}

TEST(Threads, CreationsNeverMixIntoOtherStreamsSeeks) {
    std::vector<SharedFile> creatorFiles;
    for (uint32_t seed = 1; seed <= 4; seed++)
        creatorFiles.emplace_back(seed);
    SharedFile first(11), second(12);
    ASSERT_TRUE(!first.audio.empty() && !second.audio.empty());
    std::string creatorProblem, firstProblem, secondProblem;
    std::thread creator(Create, std::cref(creatorFiles), std::ref(creatorProblem));
    std::thread seekerA(SeekAndRead, std::cref(first), 21u, std::ref(firstProblem));
    std::thread seekerB(SeekAndRead, std::cref(second), 22u, std::ref(secondProblem));
    creator.join();
    seekerA.join();
    seekerB.join();
    EXPECT_EQ(creatorProblem, "");
    EXPECT_EQ(firstProblem, "");
    EXPECT_EQ(secondProblem, "");
    FreeClosedStreams();
}

} // namespace

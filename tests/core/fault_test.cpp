// Every allocation and every file read failing in turn over a whole create,
// read, seek and close cycle: nothing crashes, nothing leaks, and no answer
// lies; what a read delivers is the stream's right bytes or zero fill.
#include <gtest/gtest.h>

#include "flv/stream.h"
#include "platform/platform.h"
#include "tests/core/core_support.h"
#include "tests/support/recording_host.h"

namespace {

using core::Bytes;
using fixture::Tag;

const uint8_t sentinel = 0xEE;
const uint32_t mostFaults = 5000; // a cycle makes far fewer calls than this

std::vector<Tag> CycleTags(uint32_t seed) {
    auto payload = [seed](uint32_t size, uint32_t n) { return core::NonZeroPattern(size, seed * 100 + n); };
    std::vector<Tag> tags = {{fixture::SCRIPT, payload(40, 1)},
                             {fixture::AUDIO, payload(300, 2)},
                             {fixture::VIDEO, payload(5000, 3)},
                             {fixture::AUDIO, payload(1, 4)},
                             {fixture::AUDIO, {}},
                             {fixture::AUDIO, payload(2000, 5)}};
    for (uint32_t i = 0; i < 24; i++)
        tags.push_back({i % 4 == 3 ? fixture::VIDEO : fixture::AUDIO, payload(60 + i * 29, 10 + i)});
    return tags;
}

struct Subject {
    FlvStream *stream;
    core::StreamModel model;
    std::string problems;
};

void CheckedRead(Subject &s, uint32_t length) {
    Bytes buffer(length, sentinel);
    uint32_t got = FlvFileRead(buffer.data(), length, s.stream);
    std::string problem = s.model.CheckRead(buffer.data(), length, got, sentinel);
    if (!problem.empty() && s.problems.empty())
        s.problems = problem;
}

// A seek that fails on a reachable offset leaves the stream at the end of
// the data: from then on only zero fill is sound, until the next seek.
void CheckedSeek(Subject &s, uint64_t offset) {
    if (FlvFileSeek(offset, s.stream))
        s.model.position = offset;
    else
        s.model.position = s.model.audio.size();
}

void Exercise(Subject &s, uint64_t recordStart) {
    uint64_t length = s.model.audio.size();
    if (FlvFileLength(s.stream) > length && s.problems.empty())
        s.problems = "length " + std::to_string(FlvFileLength(s.stream)) + " beyond the stream";
    CheckedRead(s, 500);
    CheckedRead(s, 1);
    CheckedSeek(s, length / 2 + 3);
    CheckedRead(s, 2000);
    CheckedSeek(s, recordStart);
    CheckedRead(s, 300);
    CheckedSeek(s, recordStart + 7);
    CheckedRead(s, 20);
    CheckedSeek(s, length - 1);
    CheckedRead(s, 10);
    CheckedSeek(s, 0);
    for (int i = 0; i < 40; i++)
        CheckedRead(s, 700);
}

struct Cycle {
    std::vector<Tag> olderTags = CycleTags(1), ownerTags = CycleTags(2);
    fixture::TempFile olderFile{fixture::FileBytes(olderTags)}, ownerFile{fixture::FileBytes(ownerTags)};

    // The count before an audio record past the middle that has bytes.
    static uint64_t RecordStart(const std::vector<Tag> &tags) {
        std::vector<core::Boundary> b = core::BoundariesOfFile(fixture::FileBytes(tags));
        for (size_t i = b.size() / 2; i + 1 < b.size(); i++)
            if (b[i + 1].count > b[i].count + 8)
                return b[i].count;
        return 0;
    }

    // Returns what went wrong, empty when every answer was sound.
    std::string Run() {
        Subject older{core::OpenStream(olderFile), {fixture::AudioStream(olderTags)}, ""};
        Subject owner{core::OpenStream(ownerFile), {fixture::AudioStream(ownerTags)}, ""};
        older.model.faultsAllowed = owner.model.faultsAllowed = true;
        if (owner.stream != nullptr)
            Exercise(owner, RecordStart(ownerTags));
        if (older.stream != nullptr)
            Exercise(older, RecordStart(olderTags));
        if (older.stream != nullptr)
            FlvFileClose(older.stream);
        if (owner.stream != nullptr)
            FlvFileClose(owner.stream);
        return !owner.problems.empty()   ? "owner: " + owner.problems
               : !older.problems.empty() ? "older stream: " + older.problems
                                         : "";
    }
};

struct FaultSweep : ::testing::Test {
    void SetUp() override { recording::Reset(); }
    void TearDown() override {
        OsFailNthAllocation(0);
        OsFailNthRead(0);
        FreeClosedStreams();
        recording::Reset();
    }

    // Runs the cycle with the n-th call failing, n = 1, 2, ... until a run
    // in which the fault never fired. Returns how many runs it fired in.
    uint32_t Sweep(void (*arm)(uint32_t), bool (*pending)(uint32_t)) {
        Cycle cycle;
        // A run without faults settles what the recording host keeps.
        EXPECT_EQ(cycle.Run(), "");
        FreeClosedStreams();
        recording::Reset();
        uint32_t n = 1;
        for (; n <= mostFaults; n++) {
            size_t before = core::HeapInUse();
            arm(n);
            std::string problem = cycle.Run();
            bool fired = !pending(n);
            arm(0);
            FreeClosedStreams();
            recording::Reset();
            size_t after = core::HeapInUse();
            EXPECT_EQ(problem, "") << "with call " << n << " failing";
            if (core::HeapCountIsExact()) {
                EXPECT_LE(after, before + core::heapCountSlack)
                    << "with call " << n << " failing, " << after - before << " bytes stay behind";
            }
            if (!fired || HasFailure())
                break;
        }
        EXPECT_LT(n, mostFaults);
        return n - 1;
    }
};

TEST_F(FaultSweep, EveryAllocationFailingInTurn) {
    uint32_t fired = Sweep(OsFailNthAllocation, core::AllocationFaultPending);
    EXPECT_GT(fired, 10u) << "the cycle allocates more than that";
}

TEST_F(FaultSweep, EveryReadFailingInTurn) {
    uint32_t fired = Sweep(OsFailNthRead, core::ReadFaultPending);
    EXPECT_GT(fired, 10u) << "the cycle reads more than that";
}

} // namespace

// Stream creation against the recording host: what TIMB is asked, in which
// order and with which values, on every road and every failure.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#include "flv/stream.h"
#include "plugin/plugin.h"
#include "tests/plugin/heap_count.h"
#include "tests/support/flv_builder.h"
#include "tests/support/recording_host.h"

namespace {

using fixture::AUDIO;
using fixture::Bytes;
using fixture::SCRIPT;
using fixture::Tag;
using fixture::VIDEO;
using recording::answers;

const HostFile openedSource = 0x51;
const uint64_t memoryOffset = 7, memoryLength = 1234;
const uint32_t urlOffset = 99;

std::vector<Tag> SomeTags() {
    return {{SCRIPT, fixture::Pattern(40, 1)}, {AUDIO, fixture::Pattern(300, 2)}, {VIDEO, fixture::Pattern(900, 3)},
            {AUDIO, fixture::Pattern(1, 4)},   {AUDIO, fixture::Pattern(77, 5)}};
}

// Where creation starts: one of the three exported functions, or TIMB
// calling the stream-create procedure itself.
struct Road {
    const char *name;
    const char *openEntry; // null on the plugin road
    std::function<HostStream(uint32_t flags)> create;
};

uint8_t memoryBlock[16];
FileProcTable callerProcs = {};
int callerUser;
void TIMBAPI Download(const void *, uint32_t, void *) {}

const std::vector<Road> &Roads() {
    static const std::vector<Road> roads = {
        {"file", "OpenFileSource",
         [](uint32_t flags) { return TIMB_FLV_StreamCreateFile(0, "clip.flv", 0, 0, flags); }},
        {"memory", "OpenFileSource",
         [](uint32_t flags) {
             return TIMB_FLV_StreamCreateFile(1, memoryBlock, memoryOffset, memoryLength, flags);
         }},
        {"url", "OpenUrlSource",
         [](uint32_t flags) {
             return TIMB_FLV_StreamCreateURL("http://example.invalid/clip.flv", urlOffset, flags, Download,
                                             &callerUser);
         }},
        {"user", "OpenUserSource",
         [](uint32_t flags) { return TIMB_FLV_StreamCreateFileUser(2, flags, &callerProcs, &callerUser); }},
        {"plugin", nullptr, [](uint32_t flags) { return CreateFlvStream(openedSource, flags); }},
    };
    return roads;
}

bool IsExported(const Road &road) { return road.openEntry != nullptr; }

class Creation : public ::testing::Test {
protected:
    void SetUp() override {
        recording::Reset();
        if (!AddOnAccepted()) {
            ASSERT_EQ(AttachAddOn(), 1);
        }
        recording::Reset();
        file = std::make_unique<fixture::TempFile>(fixture::FileBytes(SomeTags()));
        answers.sourceName = file->Utf16Path();
    }

    // Closes what a successful creation made, as TIMB freeing the stream would.
    void FreeStream(HostStream stream) {
        recording::Close(stream);
        FreeClosedStreams();
    }

    std::unique_ptr<fixture::TempFile> file;
};

std::vector<std::string> NamesAfterOpen(const Road &road) {
    std::vector<std::string> names = recording::CallNames();
    if (IsExported(road) && !names.empty() && names.front() == road.openEntry)
        names.erase(names.begin());
    return names;
}

const recording::Call *FindCall(const std::vector<recording::Call> &calls, const std::string &name) {
    for (const recording::Call &call : calls)
        if (call.name == name)
            return &call;
    return nullptr;
}

TEST_F(Creation, FlagsTimbSeesAreTheMaskedCallerFlagsAndOneSourceBit) {
    struct Case {
        uint32_t caller, source, expected;
    };
    const Case cases[] = {
        {0xFFFFFFFF, 0, 0x3F24019D},
        {0, 0xFFFFFFFF, 0x100000},
        {0xFFFFFFFF, 0xFFFFFFFF, 0x3F34019D},
        {0x100000, 0, 0},          // the caller cannot set the source bit
        {0xC0DBFE62, 0xFFEFFFFF, 0}, // every bit outside both masks
        {0, 0, 0},
    };
    for (const Road &road : Roads()) {
        for (const Case &c : cases) {
            recording::Reset();
            answers.sourceName = file->Utf16Path();
            answers.sourceFlags = c.source;
            HostStream stream = road.create(c.caller);
            ASSERT_NE(stream, 0u) << road.name;
            std::vector<recording::Call> calls = recording::Calls();
            const recording::Call *create = FindCall(calls, "TIMB_StreamCreateFileUser");
            ASSERT_NE(create, nullptr);
            EXPECT_EQ(create->args[0], 0u) << road.name << ": system";
            EXPECT_EQ(create->args[1], c.expected)
                << road.name << ": caller flags 0x" << std::hex << c.caller << ", source flags 0x" << c.source;
            EXPECT_EQ(recording::Streams().at(stream).flags, c.expected);
            FreeStream(stream);
        }
    }
}

TEST_F(Creation, SuccessBindsTheSourceThenSetsItsParameterThenReportsNoError) {
    for (const Road &road : Roads()) {
        recording::Reset();
        answers.sourceName = file->Utf16Path();
        answers.sourceFlags = 0x1;
        HostStream stream = road.create(0);
        ASSERT_NE(stream, 0u) << road.name;
        std::vector<std::string> expected = {"QuerySourceFlags", "QuerySourceName", "TIMB_StreamCreateFileUser",
                                             "BindSourceToStream", "SetSourceParameter", "ReportErrorCode"};
        EXPECT_EQ(NamesAfterOpen(road), expected) << road.name;
        std::vector<recording::Call> calls = recording::Calls();
        EXPECT_EQ(*FindCall(calls, "BindSourceToStream"), (recording::Call{"BindSourceToStream", {openedSource, stream}}));
        EXPECT_EQ(*FindCall(calls, "SetSourceParameter"),
                  (recording::Call{"SetSourceParameter", {openedSource, 409600, 0}}));
        EXPECT_EQ(*FindCall(calls, "ReportErrorCode"), (recording::Call{"ReportErrorCode", {0}}));
        EXPECT_EQ(*FindCall(calls, "QuerySourceName"), (recording::Call{"QuerySourceName", {openedSource, 1}}));
        // The handle returned is the one TIMB made, and the procedures got the
        // record that answers for it.
        ASSERT_EQ(recording::Streams().count(stream), 1u);
        EXPECT_EQ(recording::Length(stream), fixture::AudioStream(SomeTags()).size());
        EXPECT_EQ(recording::CountCalls("CloseSource"), 0);
        FreeStream(stream);
    }
}

TEST_F(Creation, SourceParameterIsSetOnlyForSourcesWithBitOne) {
    for (const Road &road : Roads()) {
        for (uint32_t sourceFlags : {0u, 0xFFFFFFFEu, 0x100000u}) {
            recording::Reset();
            answers.sourceName = file->Utf16Path();
            answers.sourceFlags = sourceFlags;
            HostStream stream = road.create(0xFFFFFFFF);
            ASSERT_NE(stream, 0u) << road.name;
            EXPECT_EQ(recording::CountCalls("SetSourceParameter"), 0) << road.name << std::hex << sourceFlags;
            EXPECT_EQ(recording::CountCalls("BindSourceToStream"), 1);
            FreeStream(stream);
        }
    }
}

TEST_F(Creation, ExportedFunctionsPassTheirArgumentsOnWithAFinalOne) {
    answers.openedSource = 0;
    auto address = [](const void *p) { return (uint64_t)(uintptr_t)p; };
    const char *path = "clip.flv";
    TIMB_FLV_StreamCreateFile(0, path, 5, 6, 0xABCD);
    TIMB_FLV_StreamCreateFile(1, memoryBlock, memoryOffset, memoryLength, 0x1234);
    const char *url = "http://example.invalid/a.flv";
    TIMB_FLV_StreamCreateURL(url, urlOffset, 0x77, Download, &callerUser);
    TIMB_FLV_StreamCreateFileUser(3, 0x88, &callerProcs, &callerUser);
    std::vector<recording::Call> expected = {
        {"OpenFileSource", {0, address(path), 5, 6, 0xABCD, 1}},
        {"OpenFileSource", {1, address(memoryBlock), memoryOffset, memoryLength, 0x1234, 1}},
        {"OpenUrlSource", {address(url), urlOffset, 0x77, address((const void *)Download), address(&callerUser), 1}},
        {"OpenUserSource", {3, 0x88, address(&callerProcs), address(&callerUser), 1}},
    };
    EXPECT_EQ(recording::Calls(), expected);
}

TEST_F(Creation, WhenTimbCannotOpenTheSourceNothingButTheOpenEntryIsCalled) {
    for (const Road &road : Roads()) {
        if (!IsExported(road))
            continue;
        recording::Reset();
        answers.openedSource = 0;
        answers.sourceName = file->Utf16Path();
        EXPECT_EQ(road.create(0xFFFFFFFF), 0u) << road.name;
        EXPECT_EQ(recording::CallNames(), std::vector<std::string>{road.openEntry}) << road.name;
    }
}

// Every failure inside creation reports 2 once; the exported functions then
// close the source exactly once, the plugin road leaves it to TIMB; nothing
// the attempt allocated or opened stays behind.
TEST_F(Creation, EveryFailureReportsTwoAndLeavesTheSourceToTheCaller) {
    fixture::TempFile notFlv(Bytes{'F', 'L', 'X', 1, 5, 0, 0, 0, 9, 0, 0, 0, 0});
    fixture::Header version2;
    version2.version = 2;
    fixture::TempFile wrongVersion(fixture::FileBytes(SomeTags(), version2));
    fixture::TempFile noAudio(fixture::FileBytes({{VIDEO, fixture::Pattern(50, 9)}}));
    struct Failure {
        const char *what;
        std::u16string name;
        bool refuse;
    };
    const Failure failures[] = {
        {"no local name", u"", false},
        {"no such file", fixture::Utf16(file->path + ".missing"), false},
        {"not FLV", notFlv.Utf16Path(), false},
        {"FLV version 2", wrongVersion.Utf16Path(), false},
        {"TIMB refuses the stream", file->Utf16Path(), true},
        {"no audio, TIMB refuses the stream", noAudio.Utf16Path(), true},
    };
    for (const Road &road : Roads()) {
        for (const Failure &failure : failures) {
            recording::Reset();
            answers.sourceName = failure.name;
            answers.refuseStreams = failure.refuse;
            answers.sourceFlags = 0x1;
            counting::Live before = counting::Now();
            EXPECT_EQ(road.create(0), 0u) << road.name << ", " << failure.what;
            EXPECT_TRUE(counting::Now() == before) << road.name << ", " << failure.what << ": left allocated or open";
            std::vector<recording::Call> calls = recording::Calls();
            std::vector<std::string> names = recording::CallNames();
            EXPECT_EQ(recording::CountCalls("ReportErrorCode"), 1) << road.name << ", " << failure.what;
            const recording::Call *report = FindCall(calls, "ReportErrorCode");
            ASSERT_NE(report, nullptr);
            EXPECT_EQ(report->args, std::vector<uint64_t>{2}) << road.name << ", " << failure.what;
            EXPECT_EQ(recording::CountCalls("BindSourceToStream"), 0);
            EXPECT_EQ(recording::CountCalls("SetSourceParameter"), 0);
            if (IsExported(road)) {
                EXPECT_EQ(recording::CountCalls("CloseSource"), 1) << road.name << ", " << failure.what;
                EXPECT_EQ(calls.back(), (recording::Call{"CloseSource", {openedSource}}))
                    << road.name << ", " << failure.what << ": the source is closed last, after the report";
            } else {
                EXPECT_EQ(recording::CountCalls("CloseSource"), 0) << failure.what;
                EXPECT_EQ(names.back(), "ReportErrorCode") << failure.what;
            }
        }
    }
}

TEST_F(Creation, AFileWithoutAudioIsStillOfferedWithLengthZero) {
    fixture::TempFile noAudio(fixture::FileBytes({{VIDEO, fixture::Pattern(50, 9)}, {SCRIPT, fixture::Pattern(9, 1)}}));
    answers.sourceName = noAudio.Utf16Path();
    HostStream stream = CreateFlvStream(openedSource, 0);
    ASSERT_NE(stream, 0u);
    EXPECT_EQ(recording::Length(stream), 0u);
    std::vector<recording::Call> calls = recording::Calls();
    EXPECT_EQ(FindCall(calls, "ReportErrorCode")->args, std::vector<uint64_t>{0});
    FreeStream(stream);
}

// Freeing the stream releases everything creation took: the reader's file,
// its window and record, the payload buffer and the stream record.
TEST_F(Creation, FreeingAStreamReleasesEverythingCreationTook) {
    for (const Road &road : Roads()) {
        recording::Reset();
        answers.sourceName = file->Utf16Path();
        counting::Live before = counting::Now();
        HostStream stream = road.create(0);
        ASSERT_NE(stream, 0u) << road.name;
        EXPECT_EQ(counting::Now().files, before.files + 1) << road.name;
        FreeStream(stream);
        EXPECT_TRUE(counting::Now() == before) << road.name;
        EXPECT_EQ(recording::CountCalls("CloseSource"), 1) << road.name << ": the stream's close closes its source";
    }
}

// Each allocation in creation fails in turn. Whichever it is, creation gives
// 0 with error code 2, frees at once what it allocated (the stream record and
// the payload buffer included), releases the reader and leaves the source.
TEST_F(Creation, AllocationFailuresReportTwoAndFreeEverythingAtOnce) {
    const size_t payloadBuffer = 128;
    counting::ClearAttempts();
    HostStream clean = CreateFlvStream(openedSource, 0);
    ASSERT_NE(clean, 0u);
    // The platform layer allocates for itself too, beyond what is counted.
    uint32_t bound = 2 * (uint32_t)counting::Attempts().size() + 2;
    FreeStream(clean);

    bool streamRecordFailed = false, payloadFailed = false;
    for (uint32_t n = 1; n <= bound; n++) {
        recording::Reset();
        answers.sourceName = file->Utf16Path();
        counting::Live live = counting::Now();
        counting::ClearAttempts();
        OsFailNthAllocation(n);
        HostStream stream = CreateFlvStream(openedSource, 0);
        OsFailNthAllocation(0);
        if (stream != 0) {
            // A failed window resize during the scan is not a failure.
            EXPECT_EQ(recording::Length(stream), fixture::AudioStream(SomeTags()).size()) << "allocation " << n;
            FreeStream(stream);
            EXPECT_TRUE(counting::Now() == live) << "allocation " << n;
            continue;
        }
        EXPECT_TRUE(counting::Now() == live) << "allocation " << n << " failed: something stays allocated or open";
        EXPECT_EQ(recording::CountCalls("CloseSource"), 0) << "allocation " << n;
        EXPECT_EQ(recording::CountCalls("TIMB_StreamCreateFileUser"), 0) << "allocation " << n;
        std::vector<recording::Call> calls = recording::Calls();
        ASSERT_FALSE(calls.empty());
        EXPECT_EQ(calls.back(), (recording::Call{"ReportErrorCode", {2}})) << "allocation " << n;
        EXPECT_EQ(recording::CountCalls("ReportErrorCode"), 1) << "allocation " << n;
        std::vector<counting::Attempt> attempts = counting::Attempts();
        if (!attempts.empty() && attempts.front().failed && attempts.front().size == sizeof(FlvStream)) {
            // The stream record: nothing more is asked of TIMB.
            EXPECT_EQ(recording::CallNames(), (std::vector<std::string>{"QuerySourceFlags", "ReportErrorCode"}));
            streamRecordFailed = true;
        }
        if (!attempts.empty() && attempts.back().failed && attempts.back().size == payloadBuffer) {
            EXPECT_EQ(recording::CountCalls("QuerySourceName"), 1);
            payloadFailed = true;
        }
    }
    EXPECT_TRUE(streamRecordFailed);
    EXPECT_TRUE(payloadFailed);
}

TEST_F(Creation, ARefusedStreamFreesTheRecordAndPayloadAtOnce) {
    answers.refuseStreams = true;
    counting::Live before = counting::Now();
    EXPECT_EQ(CreateFlvStream(openedSource, 0), 0u);
    // Nothing waits for a later release: the count is back before any
    // clean-up runs.
    EXPECT_TRUE(counting::Now() == before);
}

} // namespace

// End to end: the real libtimb_flv loaded beside the stand-in host, as a
// plugin and through its own exports. Every road must deliver exactly the
// audio byte stream computed from the file, seek anywhere in it, and leave
// no source or stream behind once freed.
#include <gtest/gtest.h>

#include <string.h>

#include <algorithm>
#include <functional>

#include "platform/library.h"
#include "standin/timb_standin.h"
#include "tests/support/flv_builder.h"

namespace {

using fixture::Bytes;

typedef HostStream(TIMBAPI *CreateFileProc)(Bool32 memory, const void *file, uint64_t offset, uint64_t length,
                                            uint32_t flags);
typedef HostStream(TIMBAPI *CreateUrlProc)(const char *url, uint32_t offset, uint32_t flags, DownloadProc proc,
                                           void *user);
typedef HostStream(TIMBAPI *CreateUserProc)(uint32_t system, uint32_t flags, const FileProcTable *procs, void *user);

// A caller's own file for the user-procedure road: the FLV bytes in memory.
struct MemoryFile {
    const Bytes *bytes;
    uint64_t at;
};
void TIMBAPI MemoryClose(void *) {}
uint64_t TIMBAPI MemoryLength(void *user) { return ((MemoryFile *)user)->bytes->size(); }
uint32_t TIMBAPI MemoryRead(void *buffer, uint32_t length, void *user) {
    MemoryFile *file = (MemoryFile *)user;
    uint64_t left = file->bytes->size() - file->at;
    uint32_t count = (uint32_t)std::min<uint64_t>(length, left);
    memcpy(buffer, file->bytes->data() + file->at, count);
    file->at += count;
    return count;
}
Bool32 TIMBAPI MemorySeek(uint64_t offset, void *user) {
    MemoryFile *file = (MemoryFile *)user;
    if (offset > file->bytes->size())
        return 0;
    file->at = offset;
    return 1;
}
const FileProcTable memoryProcs = {MemoryClose, MemoryLength, MemoryRead, MemorySeek};

class ThroughStandin : public ::testing::Test {
protected:
    void SetUp() override {
        plugin = TimbPluginLoad(TIMB_FLV_LIBRARY);
        ASSERT_NE(plugin, 0u);
        library = OsLoadLibrary(TIMB_FLV_LIBRARY);
        ASSERT_NE(library, nullptr);
        createFile = (CreateFileProc)OsLibrarySymbol(library, "TIMB_FLV_StreamCreateFile");
        createUrl = (CreateUrlProc)OsLibrarySymbol(library, "TIMB_FLV_StreamCreateURL");
        createUser = (CreateUserProc)OsLibrarySymbol(library, "TIMB_FLV_StreamCreateFileUser");
        ASSERT_TRUE(createFile && createUrl && createUser);
        std::mt19937 random(7);
        tags = fixture::RandomTags(random, 200, 5000);
        bytes = fixture::FileBytes(tags);
        audio = fixture::AudioStream(tags);
        ASSERT_EQ(fixture::AudioStreamOfFile(bytes), audio);
        file = std::make_unique<fixture::TempFile>(bytes);
        memoryFile = {&bytes, 0};
    }
    void TearDown() override {
        TimbArrangeSourceName(nullptr);
        EXPECT_EQ(TimbOpenStreamCount(), 0u);
        EXPECT_EQ(TimbOpenSourceCount(), 0u);
        EXPECT_EQ(TimbBadHandleCount(), 0u) << "a source or stream was used after it was closed";
        OsUnloadLibrary(library);
        EXPECT_EQ(TimbPluginFree(plugin), 1);
    }

    struct Road {
        const char *name;
        std::function<HostStream(const std::string &path, uint32_t flags)> create;
    };

    // The roads; `arrange` false leaves memory, URL and user sources nameless.
    std::vector<Road> Roads(bool arrange) {
        auto name = [arrange](const std::string &path) { TimbArrangeSourceName(arrange ? path.c_str() : nullptr); };
        return {
            {"file", [this](const std::string &path, uint32_t flags) {
                 return createFile(0, path.c_str(), 0, 0, flags);
             }},
            {"memory", [this, name](const std::string &path, uint32_t flags) {
                 name(path);
                 return createFile(1, bytes.data(), 0, bytes.size(), flags);
             }},
            {"url", [this, name](const std::string &path, uint32_t flags) {
                 name(path);
                 return createUrl("http://example.invalid/clip.flv", 0, flags, nullptr, nullptr);
             }},
            {"user", [this, name](const std::string &path, uint32_t flags) {
                 name(path);
                 return createUser(0, flags, &memoryProcs, &memoryFile);
             }},
            {"plugin", [](const std::string &path, uint32_t flags) {
                 return TimbStreamCreateFile(path.c_str(), flags);
             }},
        };
    }

    // Reads the stream from where it stands to its end in pieces of the
    // sizes given in turn, and checks every byte against the audio.
    void ExpectReadsFrom(HostStream stream, uint64_t from, const std::vector<uint32_t> &pieces, const char *road) {
        std::vector<uint8_t> buffer;
        uint64_t at = from;
        for (size_t i = 0; at < audio.size(); i++) {
            uint32_t want = (uint32_t)std::min<uint64_t>(pieces[i % pieces.size()], audio.size() - at);
            buffer.assign(want, 0xEE);
            uint32_t got = TimbStreamRead(stream, buffer.data(), want);
            ASSERT_GT(got, 0u) << road << ": read at audio byte " << at;
            ASSERT_LE(got, want);
            ASSERT_TRUE(std::equal(buffer.begin(), buffer.begin() + got, audio.begin() + (long)at))
                << road << ": wrong bytes in a read of " << want << " at audio byte " << at;
            at += got;
        }
        // Past the end: zeros and the full length.
        buffer.assign(100, 0xEE);
        EXPECT_EQ(TimbStreamRead(stream, buffer.data(), 100), 100u) << road;
        EXPECT_EQ(std::count(buffer.begin(), buffer.end(), 0), 100) << road;
    }

    uint32_t plugin = 0;
    void *library = nullptr;
    CreateFileProc createFile = nullptr;
    CreateUrlProc createUrl = nullptr;
    CreateUserProc createUser = nullptr;
    std::vector<fixture::Tag> tags;
    Bytes bytes, audio;
    std::unique_ptr<fixture::TempFile> file;
    MemoryFile memoryFile;
};

TEST_F(ThroughStandin, EveryRoadDeliversTheAudioSeeksAndFrees) {
    ASSERT_GT(audio.size(), 10000u);
    for (const Road &road : Roads(true)) {
        TimbClearErrorCode();
        HostStream stream = road.create(file->path, 0);
        ASSERT_NE(stream, 0u) << road.name;
        EXPECT_EQ(TimbGetErrorCode(), 0) << road.name;
        EXPECT_NE(TimbStreamSource(stream), 0u) << road.name << ": the source is bound to the stream";
        EXPECT_EQ(TimbOpenSourceCount(), 1u) << road.name;
        EXPECT_EQ(TimbStreamLength(stream), audio.size()) << road.name;
        ExpectReadsFrom(stream, 0, {1, 4096, 7, 333, 65536}, road.name);

        std::mt19937 random(11);
        std::vector<uint64_t> offsets = {0, 1, audio.size() / 2, audio.size() - 1};
        for (int i = 0; i < 8; i++)
            offsets.push_back(random() % audio.size());
        for (uint64_t offset : offsets) {
            ASSERT_EQ(TimbStreamSeek(stream, offset), 1) << road.name << " " << offset;
            uint8_t piece[200];
            uint32_t want = (uint32_t)std::min<uint64_t>(sizeof piece, audio.size() - offset);
            uint32_t got = TimbStreamRead(stream, piece, want);
            ASSERT_EQ(got, want) << road.name << ": read after seeking to " << offset;
            EXPECT_TRUE(std::equal(piece, piece + got, audio.begin() + (long)offset))
                << road.name << ": wrong bytes after seeking to " << offset;
        }
        EXPECT_EQ(TimbStreamSeek(stream, audio.size()), 0) << road.name;
        EXPECT_EQ(TimbStreamSeek(stream, 1ull << 32), 0) << road.name;
        ASSERT_EQ(TimbStreamSeek(stream, 5), 1);
        ExpectReadsFrom(stream, 5, {1000}, road.name);

        EXPECT_EQ(TimbStreamFree(stream), 1) << road.name;
        EXPECT_EQ(TimbOpenStreamCount(), 0u) << road.name;
        EXPECT_EQ(TimbOpenSourceCount(), 0u) << road.name << ": freeing the stream closes its source";
    }
}

TEST_F(ThroughStandin, SourcesWithoutALocalNameFailWithErrorTwo) {
    for (const Road &road : Roads(false)) {
        if (strcmp(road.name, "file") == 0 || strcmp(road.name, "plugin") == 0)
            continue;
        TimbClearErrorCode();
        EXPECT_EQ(road.create(file->path, 0), 0u) << road.name;
        EXPECT_EQ(TimbGetErrorCode(), 2) << road.name;
        EXPECT_EQ(TimbOpenSourceCount(), 0u) << road.name << ": the exported function closes the source";
    }
}

TEST_F(ThroughStandin, APathWithCyrillicCjkAndAnEmojiOpens) {
    fixture::TempFile named(bytes, "_\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82_\xE6\xBC\xA2\xE5\xAD\x97_"
                                   "\xF0\x9F\x8E\xB5.flv"); // _Привет_漢字_🎵.flv
    for (const Road &road : Roads(true)) {
        HostStream stream = road.create(named.path, 0);
        ASSERT_NE(stream, 0u) << road.name << ": " << named.path;
        EXPECT_EQ(TimbStreamLength(stream), audio.size());
        ExpectReadsFrom(stream, 0, {10000}, road.name);
        EXPECT_EQ(TimbStreamFree(stream), 1);
    }
}

TEST_F(ThroughStandin, FailuresLeaveNoSourceOpen) {
    fixture::TempFile notFlv(Bytes{'F', 'L', 'V', 2, 5, 0, 0, 0, 9, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0});
    std::string missing = file->path + ".missing";
    for (const Road &road : Roads(true)) {
        bool plugin = strcmp(road.name, "plugin") == 0;
        TimbClearErrorCode();
        EXPECT_EQ(road.create(notFlv.path, 0), 0u) << road.name;
        EXPECT_EQ(TimbGetErrorCode(), plugin ? TIMB_STANDIN_ERROR_FORMAT : 2) << road.name;
        EXPECT_EQ(TimbOpenSourceCount(), 0u) << road.name;

        TimbClearErrorCode();
        TimbRefuseNextStream();
        EXPECT_EQ(road.create(file->path, 0), 0u) << road.name << ": TIMB refuses the stream";
        EXPECT_EQ(TimbGetErrorCode(), plugin ? TIMB_STANDIN_ERROR_FORMAT : 2) << road.name;
        EXPECT_EQ(TimbOpenSourceCount(), 0u) << road.name;
        EXPECT_EQ(TimbOpenStreamCount(), 0u) << road.name;
    }
    // A file the host cannot open: its own code stands.
    TimbClearErrorCode();
    EXPECT_EQ(createFile(0, missing.c_str(), 0, 0, 0), 0u);
    EXPECT_EQ(TimbGetErrorCode(), TIMB_STANDIN_ERROR_SOURCE);
    TimbClearErrorCode();
    EXPECT_EQ(TimbStreamCreateFile(missing.c_str(), 0), 0u);
    EXPECT_EQ(TimbGetErrorCode(), TIMB_STANDIN_ERROR_SOURCE);
}

TEST_F(ThroughStandin, FlagsReachTheStreamAndBitOneSetsTheSourceParameter) {
    for (const Road &road : Roads(true)) {
        HostStream stream = road.create(file->path, 0xFFFFFFFF);
        ASSERT_NE(stream, 0u) << road.name;
        EXPECT_EQ(TimbStreamFlags(stream), 0x3F34019Du) << road.name;
        uint32_t value = 0xDEAD;
        EXPECT_EQ(TimbSourceParameter(TimbStreamSource(stream), 409600, &value), 1) << road.name;
        EXPECT_EQ(value, 0u);
        EXPECT_EQ(TimbStreamFree(stream), 1);

        stream = road.create(file->path, 0x3F24019C);
        ASSERT_NE(stream, 0u) << road.name;
        EXPECT_EQ(TimbStreamFlags(stream), 0x3F24019Cu) << road.name;
        EXPECT_EQ(TimbSourceParameter(TimbStreamSource(stream), 409600, &value), 0) << road.name;
        EXPECT_EQ(TimbStreamFree(stream), 1);
    }
}

TEST_F(ThroughStandin, PluginRecordAndSettingsReachTheHost) {
    const PluginInfo *info = TimbPluginGetInfo(plugin);
    ASSERT_NE(info, nullptr);
    EXPECT_EQ(info->version, 0x02040000u);
    ASSERT_EQ(info->formatCount, 1u);
    EXPECT_EQ(info->formats[0].type, 0x13000u);
    EXPECT_STREQ(info->formats[0].name, "FLV AudioStream");
    EXPECT_STREQ(info->formats[0].filter, "*.flv");
    EXPECT_EQ(TimbSettingsProcCount(), 1u) << "loaded twice, attached once";

    uint32_t first = 0, second = 0;
    ASSERT_EQ(TimbGetConfig(0x11000, &first), 1);
    ASSERT_EQ(TimbGetConfig(0x11001, &second), 1);
    EXPECT_EQ(TimbSetConfig(0x11001, 6), 1);
    uint32_t value = 0;
    EXPECT_EQ(TimbGetConfig(0x11001, &value), 1);
    EXPECT_EQ(value, 6u);
    value = 123;
    EXPECT_EQ(TimbGetConfig(0x11002, &value), 0);
    EXPECT_EQ(value, 123u);
    EXPECT_EQ(TimbSetConfig(0x11002, 1), 0);
    EXPECT_EQ(TimbSetConfig(0x11001, second), 1);
    EXPECT_EQ(first, 44100u);
}

} // namespace

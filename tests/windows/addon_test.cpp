// timb_flv.dll as an application meets it on Windows: loaded with
// LoadLibrary beside the stand-in TIMB.dll, its four exports found by name,
// streams created through each road and read, seeked and freed through
// TIMB, files named in any script, and the version the DLL carries.
#include <windows.h>

#include <gtest/gtest.h>

#include <stdint.h>
#include <string.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "standin/timb_standin.h"
// After the host's header, so the function types below are the public
// header's declarations over the host's types.
#include "include/timb_flv.h"
#include "tests/support/flv_builder.h"

namespace {

using fixture::Bytes;
using fixture::Tag;

const uint32_t allFlags = 0xFFFFFFFF;
// What TIMB receives for a stream created with allFlags on a source opened
// with allFlags: the caller's bits the add-on passes on, and its one source bit.
const uint32_t streamFlagsForAllFlags = 0x3F24019D | 0x100000;
const uint32_t sourceParameter = 409600;

std::wstring ProgramFolder() {
    wchar_t path[MAX_PATH];
    DWORD length = GetModuleFileNameW(NULL, path, MAX_PATH);
    std::wstring folder(path, length);
    return folder.substr(0, folder.find_last_of(L"\\/") + 1);
}

std::wstring AddOnPath() { return ProgramFolder() + L"timb_flv.dll"; }

std::string Utf8(const std::wstring &wide) {
    int size = WideCharToMultiByte(CP_UTF8, 0, wide.c_str(), -1, NULL, 0, NULL, NULL);
    std::string out((size_t)size, '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide.c_str(), -1, &out[0], size, NULL, NULL);
    out.resize((size_t)size - 1);
    return out;
}

// A file in the temporary folder written and named through the wide API, so
// any script survives; removed again with the value.
struct WideTempFile {
    WideTempFile(const std::wstring &name, const Bytes &contents) {
        wchar_t folder[MAX_PATH];
        GetTempPathW(MAX_PATH, folder);
        path = std::wstring(folder) + name;
        HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
        DWORD written = 0;
        written_ = file != INVALID_HANDLE_VALUE &&
                   WriteFile(file, contents.data(), (DWORD)contents.size(), &written, NULL) &&
                   written == contents.size();
        if (file != INVALID_HANDLE_VALUE)
            CloseHandle(file);
    }
    ~WideTempFile() { DeleteFileW(path.c_str()); }
    WideTempFile(const WideTempFile &) = delete;
    WideTempFile &operator=(const WideTempFile &) = delete;
    bool Written() const { return written_; }
    std::string Utf8Path() const { return Utf8(path); }
    std::wstring path;

  private:
    bool written_ = false;
};

// The four exports, found by name as a host finds them.
struct AddOn {
    HMODULE module = NULL;
    decltype(&TIMB_FLV_StreamCreateFile) createFile = nullptr;
    decltype(&TIMB_FLV_StreamCreateURL) createUrl = nullptr;
    decltype(&TIMB_FLV_StreamCreateFileUser) createFileUser = nullptr;
    decltype(&TIMBplugin) plugin = nullptr;
};

template <typename Proc> void FindExport(HMODULE module, const char *name, Proc *proc) {
    *proc = reinterpret_cast<Proc>(reinterpret_cast<void *>(GetProcAddress(module, name)));
}

AddOn LoadAddOn() {
    AddOn addOn;
    addOn.module = LoadLibraryW(AddOnPath().c_str());
    if (addOn.module == NULL)
        return addOn;
    FindExport(addOn.module, "TIMB_FLV_StreamCreateFile", &addOn.createFile);
    FindExport(addOn.module, "TIMB_FLV_StreamCreateURL", &addOn.createUrl);
    FindExport(addOn.module, "TIMB_FLV_StreamCreateFileUser", &addOn.createFileUser);
    FindExport(addOn.module, "TIMBplugin", &addOn.plugin);
    return addOn;
}

// A file with every kind of record: script and video between the audio,
// one-byte and empty audio payloads, records far larger than the reader's
// first window, and enough records for every slot of the position index.
std::vector<Tag> MixedTags() {
    std::vector<Tag> tags = {
        {fixture::SCRIPT, fixture::Pattern(40, 1)},   {fixture::VIDEO, fixture::Pattern(300, 2)},
        {fixture::AUDIO, fixture::Pattern(1, 3)},     {fixture::AUDIO, {}},
        {fixture::AUDIO, fixture::Pattern(20000, 4)}, {fixture::VIDEO, fixture::Pattern(5000, 5)},
        {fixture::AUDIO, fixture::Pattern(417, 6)},
    };
    std::mt19937 random(20260);
    for (const Tag &tag : fixture::RandomTags(random, 400, 3000))
        tags.push_back(tag);
    return tags;
}

// Offsets where an audio record with audio bytes starts in the audio byte
// stream, counted independently of the add-on.
std::vector<uint64_t> AudioRecordStarts(const std::vector<Tag> &tags) {
    std::vector<uint64_t> starts;
    uint64_t count = 0;
    for (const Tag &tag : tags) {
        if (tag.type != fixture::AUDIO || tag.payload.size() < 2)
            continue;
        starts.push_back(count);
        count += tag.payload.size() - 1;
    }
    return starts;
}

// Reads `count` bytes in chunks of varied size; each read must deliver all it
// was asked for.
Bytes ReadBytes(HostStream stream, uint64_t count) {
    static const uint32_t chunkSizes[] = {1, 777, 4096, 13, 65536};
    Bytes out;
    size_t turn = 0;
    while (out.size() < count) {
        uint32_t want = (uint32_t)std::min<uint64_t>(chunkSizes[turn++ % 5], count - out.size());
        Bytes chunk(want);
        uint32_t got = TimbStreamRead(stream, chunk.data(), want);
        EXPECT_EQ(got, want) << "read at byte " << out.size();
        if (got != want)
            break;
        out.insert(out.end(), chunk.begin(), chunk.end());
    }
    return out;
}

// Where two byte strings first differ, for a failure message.
std::string FirstDifference(const Bytes &got, const Bytes &want) {
    size_t at = 0;
    while (at < got.size() && at < want.size() && got[at] == want[at])
        at++;
    if (at == got.size() && at == want.size())
        return "none";
    return "byte " + std::to_string(at) + " (got " + std::to_string(got.size()) + " bytes, want " +
           std::to_string(want.size()) + ")";
}

class WindowsAddOn : public ::testing::Test {
  protected:
    void SetUp() override {
        TimbSetVersion(0x02040000);
        addOn = LoadAddOn();
        ASSERT_NE(addOn.module, (HMODULE)NULL) << "LoadLibrary failed, error " << GetLastError();
        ASSERT_TRUE(addOn.createFile && addOn.createUrl && addOn.createFileUser && addOn.plugin);
    }
    void TearDown() override {
        if (plugin != 0)
            TimbPluginFree(plugin);
        if (addOn.module != NULL)
            FreeLibrary(addOn.module);
    }
    AddOn addOn;
    uint32_t plugin = 0;
};

TEST_F(WindowsAddOn, PluginQueryAnswersTheFormatRecordAndTheCreateProcedure) {
    const PluginInfo *info = static_cast<const PluginInfo *>(addOn.plugin(TIMB_FLV_PLUGIN_INFO));
    ASSERT_NE(info, nullptr);
    EXPECT_EQ(info->version, 0x02040000u);
    ASSERT_EQ(info->formatCount, 1u);
    EXPECT_EQ(info->formats[0].type, (uint32_t)TIMB_FLV_STREAM_TYPE);
    EXPECT_STREQ(info->formats[0].name, "FLV AudioStream");
    EXPECT_STREQ(info->formats[0].filter, "*.flv");
    EXPECT_NE(addOn.plugin(TIMB_FLV_PLUGIN_CREATE), nullptr);
    for (uint32_t query : {2u, 0x100u, 0xFFFFFFFFu})
        EXPECT_EQ(addOn.plugin(query), nullptr) << "query " << query;
}

TEST_F(WindowsAddOn, SettingsAnswerTheirLoadValuesAndKeepWhatIsStored) {
    uint32_t value = 0;
    ASSERT_TRUE(TimbGetConfig(0x11000, &value));
    EXPECT_EQ(value, 44100u);
    ASSERT_TRUE(TimbGetConfig(0x11001, &value));
    EXPECT_EQ(value, 2u);
    ASSERT_TRUE(TimbSetConfig(0x11000, 48000));
    ASSERT_TRUE(TimbGetConfig(0x11000, &value));
    EXPECT_EQ(value, 48000u);
    EXPECT_FALSE(TimbGetConfig(0x11002, &value));
}

// The roads to a stream, each over a file in the temporary folder.
enum class Road { File, Memory, Url, FileUser, Plugin };

// A user-procedure source over bytes in memory, for the FileUser road: TIMB
// holds it, the add-on reads the file by its name.
struct MemoryFile {
    const Bytes *bytes;
    uint64_t position;
};
void TIMBAPI MemoryClose(void *) {}
uint64_t TIMBAPI MemoryLength(void *user) { return static_cast<MemoryFile *>(user)->bytes->size(); }
uint32_t TIMBAPI MemoryRead(void *buffer, uint32_t length, void *user) {
    MemoryFile *file = static_cast<MemoryFile *>(user);
    uint64_t left = file->bytes->size() - file->position;
    uint32_t count = (uint32_t)std::min<uint64_t>(length, left);
    memcpy(buffer, file->bytes->data() + file->position, count);
    file->position += count;
    return count;
}
Bool32 TIMBAPI MemorySeek(uint64_t offset, void *user) {
    MemoryFile *file = static_cast<MemoryFile *>(user);
    if (offset > file->bytes->size())
        return 0;
    file->position = offset;
    return 1;
}
const FileProcTable memoryProcs = {MemoryClose, MemoryLength, MemoryRead, MemorySeek};

struct RoadCase {
    const char *label;
    Road road;
    const wchar_t *fileName;
};

std::string RoadCaseName(const ::testing::TestParamInfo<RoadCase> &info) { return info.param.label; }

class CreationRoad : public WindowsAddOn, public ::testing::WithParamInterface<RoadCase> {
  protected:
    // The stream over `file`, created the way the case names.
    HostStream Create(const WideTempFile &file, const Bytes &contents) {
        std::string path = file.Utf8Path();
        memoryFile = {&contents, 0};
        switch (GetParam().road) {
        case Road::File:
            return addOn.createFile(0, path.c_str(), 0, 0, allFlags);
        case Road::Memory:
            TimbArrangeSourceName(path.c_str());
            return addOn.createFile(1, contents.data(), 0, contents.size(), allFlags);
        case Road::Url:
            TimbArrangeSourceName(path.c_str());
            return addOn.createUrl("stream://fixture.flv", 0, allFlags, NULL, NULL);
        case Road::FileUser:
            TimbArrangeSourceName(path.c_str());
            return addOn.createFileUser(0, allFlags, &memoryProcs, &memoryFile);
        case Road::Plugin:
            plugin = TimbPluginLoad(Utf8(AddOnPath()).c_str());
            if (plugin == 0)
                return 0;
            return TimbStreamCreateFile(path.c_str(), allFlags);
        }
        return 0;
    }
    MemoryFile memoryFile = {};
};

TEST_P(CreationRoad, StreamsTheAudioBytesSeeksAndFrees) {
    std::vector<Tag> tags = MixedTags();
    Bytes contents = fixture::FileBytes(tags);
    Bytes audio = fixture::AudioStream(tags);
    WideTempFile file(GetParam().fileName, contents);
    ASSERT_TRUE(file.Written());

    TimbClearErrorCode();
    HostStream stream = Create(file, contents);
    ASSERT_NE(stream, 0u) << "creation failed, error code " << TimbGetErrorCode();
    EXPECT_EQ(TimbGetErrorCode(), 0);
    EXPECT_EQ(TimbStreamFlags(stream), streamFlagsForAllFlags);
    uint32_t parameter = 1;
    EXPECT_TRUE(TimbSourceParameter(TimbStreamSource(stream), sourceParameter, &parameter));
    EXPECT_EQ(parameter, 0u);

    ASSERT_EQ(TimbStreamLength(stream), (uint64_t)audio.size());
    Bytes whole = ReadBytes(stream, audio.size());
    EXPECT_TRUE(whole == audio) << "full read differs at " << FirstDifference(whole, audio);
    Bytes beyond(64, 0xAA);
    EXPECT_EQ(TimbStreamRead(stream, beyond.data(), 64), 64u) << "a read past the end reports the full length";
    EXPECT_TRUE(beyond == Bytes(64, 0)) << "a read past the end delivers zeros";

    std::vector<uint64_t> starts = AudioRecordStarts(tags);
    const uint64_t length = audio.size();
    const std::vector<uint64_t> offsets = {
        length - 1,    0,          1,         starts[1], starts[1] + 1, starts[2] - 1, starts[starts.size() / 2],
        starts.back(), length / 3, length - 2};
    for (uint64_t offset : offsets) {
        ASSERT_TRUE(TimbStreamSeek(stream, offset)) << "seek to " << offset;
        uint64_t count = std::min<uint64_t>(3000, length - offset);
        Bytes got = ReadBytes(stream, count);
        Bytes want(audio.begin() + (ptrdiff_t)offset, audio.begin() + (ptrdiff_t)(offset + count));
        EXPECT_TRUE(got == want) << "after seek to " << offset << ", read differs at " << FirstDifference(got, want);
    }

    // Refused offsets leave the stream where it was: the next read goes on.
    const uint64_t before = starts[3] + 5;
    ASSERT_TRUE(TimbStreamSeek(stream, before));
    for (uint64_t refused : {length, length + 1, 1ull << 32, (1ull << 32) + before, ~0ull})
        EXPECT_FALSE(TimbStreamSeek(stream, refused)) << "seek to " << refused;
    Bytes next = ReadBytes(stream, 100);
    Bytes want(audio.begin() + (ptrdiff_t)before, audio.begin() + (ptrdiff_t)before + 100);
    EXPECT_TRUE(next == want) << "read after refused seeks differs at " << FirstDifference(next, want);

    EXPECT_TRUE(TimbStreamFree(stream));
    EXPECT_EQ(TimbOpenStreamCount(), 0u);
    EXPECT_EQ(TimbOpenSourceCount(), 0u) << "freeing the stream closes its source";
    EXPECT_EQ(TimbBadHandleCount(), 0u);
}

// Cyrillic, CJK and an emoji beyond the Basic Multilingual Plane, which
// UTF-16 holds as a surrogate pair.
const wchar_t nonAsciiName[] = L"timb_flv_\u0417\u0432\u0443\u043a_\u97f3\u58f0_\U0001F3B5.flv";
const wchar_t asciiName[] = L"timb_flv_windows_test.flv";

INSTANTIATE_TEST_SUITE_P(Roads, CreationRoad,
                         ::testing::Values(RoadCase{"File", Road::File, asciiName},
                                           RoadCase{"Memory", Road::Memory, asciiName},
                                           RoadCase{"Url", Road::Url, asciiName},
                                           RoadCase{"FileUser", Road::FileUser, asciiName},
                                           RoadCase{"Plugin", Road::Plugin, asciiName},
                                           RoadCase{"FileNonAsciiName", Road::File, nonAsciiName},
                                           RoadCase{"MemoryNonAsciiName", Road::Memory, nonAsciiName},
                                           RoadCase{"PluginNonAsciiName", Road::Plugin, nonAsciiName}),
                         RoadCaseName);

TEST_F(WindowsAddOn, FileThatIsNotFlvFailsWithCodeTwoAndItsSourceClosedOnce) {
    Bytes contents = fixture::FileBytes({{fixture::AUDIO, fixture::Pattern(100, 1)}});
    contents[0] = 'X';
    WideTempFile file(L"timb_flv_not_flv.flv", contents);
    ASSERT_TRUE(file.Written());
    TimbClearErrorCode();
    EXPECT_EQ(addOn.createFile(0, file.Utf8Path().c_str(), 0, 0, 0), 0u);
    EXPECT_EQ(TimbGetErrorCode(), 2);
    EXPECT_EQ(TimbOpenSourceCount(), 0u);
    EXPECT_EQ(TimbBadHandleCount(), 0u);
}

TEST_F(WindowsAddOn, SourceTimbCannotOpenLeavesTimbsOwnErrorCode) {
    TimbClearErrorCode();
    EXPECT_EQ(addOn.createFile(0, "C:\\no such folder\\missing.flv", 0, 0, 0), 0u);
    EXPECT_NE(TimbGetErrorCode(), 2);
    EXPECT_NE(TimbGetErrorCode(), -1) << "the stand-in reports its own failure";
    EXPECT_EQ(TimbOpenSourceCount(), 0u);
}

TEST_F(WindowsAddOn, EmptyAudioTrackStillMakesAStreamOfLengthZero) {
    WideTempFile file(L"timb_flv_video_only.flv", fixture::FileBytes({{fixture::VIDEO, fixture::Pattern(900, 7)}}));
    ASSERT_TRUE(file.Written());
    HostStream stream = addOn.createFile(0, file.Utf8Path().c_str(), 0, 0, 0);
    ASSERT_NE(stream, 0u);
    EXPECT_EQ(TimbStreamLength(stream), 0u);
    EXPECT_FALSE(TimbStreamSeek(stream, 0));
    Bytes buffer(32, 0xAA);
    EXPECT_EQ(TimbStreamRead(stream, buffer.data(), 32), 32u);
    EXPECT_TRUE(buffer == Bytes(32, 0));
    EXPECT_TRUE(TimbStreamFree(stream));
}

// The version resource, read the way Explorer's properties page reads it.
std::wstring VersionString(const std::vector<uint8_t> &block, const wchar_t *name) {
    std::wstring key = std::wstring(L"\\StringFileInfo\\040904B0\\") + name;
    void *value = NULL;
    UINT size = 0;
    if (!VerQueryValueW(block.data(), key.c_str(), &value, &size) || size == 0)
        return L"(missing)";
    return std::wstring(static_cast<const wchar_t *>(value));
}

TEST(WindowsAddOnFile, VersionResourceCarriesTheProjectVersion) {
    std::wstring path = AddOnPath();
    DWORD handle = 0;
    DWORD size = GetFileVersionInfoSizeW(path.c_str(), &handle);
    ASSERT_NE(size, 0u) << "no version resource, error " << GetLastError();
    std::vector<uint8_t> block(size);
    ASSERT_TRUE(GetFileVersionInfoW(path.c_str(), 0, size, block.data()));

    VS_FIXEDFILEINFO *fixed = NULL;
    UINT fixedSize = 0;
    ASSERT_TRUE(VerQueryValueW(block.data(), L"\\", reinterpret_cast<void **>(&fixed), &fixedSize));
    ASSERT_GE(fixedSize, sizeof(VS_FIXEDFILEINFO));
    EXPECT_EQ(fixed->dwSignature, 0xFEEF04BDu);
    const DWORD versionHigh = (DWORD)TIMB_FLV_VERSION_MAJOR << 16 | TIMB_FLV_VERSION_MINOR;
    const DWORD versionLow = (DWORD)TIMB_FLV_VERSION_PATCH << 16;
    EXPECT_EQ(fixed->dwFileVersionMS, versionHigh);
    EXPECT_EQ(fixed->dwFileVersionLS, versionLow);
    EXPECT_EQ(fixed->dwProductVersionMS, versionHigh);
    EXPECT_EQ(fixed->dwProductVersionLS, versionLow);
    EXPECT_EQ(fixed->dwFileType, (DWORD)VFT_DLL);

    const std::wstring version = L"" TIMB_FLV_VERSION;
    EXPECT_TRUE(VersionString(block, L"FileVersion") == version);
    EXPECT_TRUE(VersionString(block, L"ProductVersion") == version);
    EXPECT_TRUE(VersionString(block, L"OriginalFilename") == L"timb_flv.dll");
    EXPECT_TRUE(VersionString(block, L"ProductName") == L"timb_flv");
}

} // namespace

// The stand-in host used from several threads at once: streams created, read
// and freed concurrently through the real add-on, each thread keeping its
// own error code.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "platform/library.h"
#include "standin/timb_standin.h"
#include "tests/support/flv_builder.h"

namespace {

typedef HostStream(TIMBAPI *CreateFileProc)(Bool32 memory, const void *file, uint64_t offset, uint64_t length,
                                            uint32_t flags);

TEST(StandinThreads, StreamsOnSeveralThreadsDeliverTheirOwnAudioAndErrorCodes) {
    uint32_t plugin = TimbPluginLoad(TIMB_FLV_LIBRARY);
    ASSERT_NE(plugin, 0u);
    void *library = OsLoadLibrary(TIMB_FLV_LIBRARY);
    ASSERT_NE(library, nullptr);
    CreateFileProc createFile = (CreateFileProc)OsLibrarySymbol(library, "TIMB_FLV_StreamCreateFile");
    ASSERT_NE(createFile, nullptr);

    const int threads = 4, rounds = 15;
    std::vector<std::vector<fixture::Tag>> tags;
    std::vector<std::unique_ptr<fixture::TempFile>> files;
    for (int t = 0; t < threads; t++) {
        std::mt19937 random(100 + t);
        tags.push_back(fixture::RandomTags(random, 80, 2000));
        files.push_back(std::make_unique<fixture::TempFile>(fixture::FileBytes(tags.back())));
    }
    fixture::TempFile notFlv(fixture::Bytes{'N', 'O', 'T', 1, 0, 0, 0, 0, 9});
    std::atomic<int> wrong{0};

    auto work = [&](int t) {
        fixture::Bytes audio = fixture::AudioStream(tags[t]);
        for (int round = 0; round < rounds; round++) {
            // Odd threads fail a creation between their streams; the even
            // threads' codes must not see it.
            if (t % 2 == 1 && createFile(0, notFlv.path.c_str(), 0, 0, 0) != 0)
                wrong++;
            if (t % 2 == 1 && TimbGetErrorCode() != 2)
                wrong++;
            HostStream stream = round % 2 == 0 ? createFile(0, files[t]->path.c_str(), 0, 0, 0)
                                               : TimbStreamCreateFile(files[t]->path.c_str(), 0);
            if (stream == 0 || TimbGetErrorCode() != 0) {
                wrong++;
                continue;
            }
            fixture::Bytes got(audio.size());
            for (size_t at = 0; at < got.size();)
                at += TimbStreamRead(stream, got.data() + at, (uint32_t)std::min<size_t>(777, got.size() - at));
            if (got != audio)
                wrong++;
            size_t middle = audio.size() / 2;
            uint8_t byte = 0;
            if (!TimbStreamSeek(stream, middle) || TimbStreamRead(stream, &byte, 1) != 1 || byte != audio[middle])
                wrong++;
            if (!TimbStreamFree(stream))
                wrong++;
        }
    };
    std::vector<std::thread> running;
    for (int t = 0; t < threads; t++)
        running.emplace_back(work, t);
    for (std::thread &thread : running)
        thread.join();

    EXPECT_EQ(wrong.load(), 0);
    EXPECT_EQ(TimbOpenStreamCount(), 0u);
    EXPECT_EQ(TimbOpenSourceCount(), 0u);
    EXPECT_EQ(TimbBadHandleCount(), 0u);
    OsUnloadLibrary(library);
    EXPECT_EQ(TimbPluginFree(plugin), 1);
    EXPECT_EQ(TimbSettingsProcCount(), 0u);
}

} // namespace

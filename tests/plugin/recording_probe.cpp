// Loads libtimb_flv into a process whose host is the recording host, TIMB
// reporting the version given, and prints what the add-on did, one line per
// step, for library_test to read:
//   recording_probe LIBRARY VERSION FLV-FILE
#include <stdio.h>
#include <stdlib.h>

#include <string>

#include "platform/library.h"
#include "tests/support/flv_builder.h"
#include "tests/support/recording_host.h"

namespace {

typedef const void *(TIMBAPI *PluginQuery)(uint32_t query);
typedef HostStream(TIMBAPI *CreateFile)(Bool32 memory, const void *file, uint64_t offset, uint64_t length,
                                        uint32_t flags);

std::string Describe(const std::vector<recording::Call> &calls) {
    std::string out;
    for (const recording::Call &call : calls) {
        out += " " + call.name;
        if (call.name == "ManageSettingsProc")
            out += "(" + std::to_string(call.args[1]) + ")";
        if (call.name == "ReportErrorCode")
            out += "(" + std::to_string((int64_t)call.args[0]) + ")";
    }
    return out;
}

void PrintQueries(PluginQuery query) {
    for (uint32_t q : {0u, 1u, 2u, 0xFFFFFFFFu})
        printf("query%u %s\n", q, query(q) != nullptr ? "set" : "null");
    const PluginInfo *info = (const PluginInfo *)query(0);
    if (info != nullptr)
        printf("info %08x %u %05x %s|%s\n", info->version, info->formatCount, info->formats[0].type,
               info->formats[0].name, info->formats[0].filter);
}

void PrintSettings() {
    std::vector<SettingsProc> procs = recording::SettingsProcs();
    printf("settings %zu\n", procs.size());
    for (uint32_t option : {0x11000u, 0x11001u}) {
        uint32_t value = 0;
        if (!procs.empty() && procs.front()(option, 0, &value))
            printf("setting%x %u\n", option, value);
    }
}

// The audio byte stream's size and FNV-1a hash, read through the procedures.
void PrintAudio(HostStream stream) {
    uint64_t length = recording::Length(stream), hash = 0xcbf29ce484222325ull;
    uint8_t buffer[1000];
    for (uint64_t at = 0; at < length;) {
        uint32_t want = (uint32_t)std::min<uint64_t>(sizeof buffer, length - at);
        uint32_t got = recording::Read(stream, buffer, want);
        for (uint32_t i = 0; i < got; i++)
            hash = (hash ^ buffer[i]) * 0x100000001b3ull;
        at += got;
    }
    printf("audio %llu %016llx\n", (unsigned long long)length, (unsigned long long)hash);
}

} // namespace

int main(int argc, char **argv) {
    if (argc != 4)
        return 2;
    recording::answers.version = (uint32_t)strtoul(argv[2], nullptr, 16);
    void *library = OsLoadLibrary(argv[1]);
    if (library == nullptr) {
        printf("load failed\n");
        return 1;
    }
    printf("load%s\n", Describe(recording::Calls()).c_str());
    PrintQueries((PluginQuery)OsLibrarySymbol(library, "TIMBplugin"));
    PrintSettings();

    recording::Reset();
    recording::answers.sourceName = fixture::Utf16(argv[3]);
    CreateFile create = (CreateFile)OsLibrarySymbol(library, "TIMB_FLV_StreamCreateFile");
    HostStream stream = create(0, argv[3], 0, 0, 0);
    printf("create %s%s\n", stream != 0 ? "stream" : "0", Describe(recording::Calls()).c_str());
    if (stream != 0) {
        PrintAudio(stream);
        recording::Close(stream);
    }

    recording::Reset();
    OsUnloadLibrary(library);
    printf("unload%s\n", Describe(recording::Calls()).c_str());
    return 0;
}

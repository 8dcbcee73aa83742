#include "bench/bench_host.h"

#include "plugin/plugin.h"

namespace {

const HostFile benchSource = 1;
std::u16string sourceName;
FlvStream *createdStream;
HostStream nextStream = 1;

void TIMBAPI ReportErrorCode(int32_t) {}
void TIMBAPI CloseSource(HostFile) {}
const HostChar16 *TIMBAPI QuerySourceName(HostFile, uint32_t *) { return sourceName.c_str(); }
void TIMBAPI BindSourceToStream(HostFile, HostStream) {}
uint32_t TIMBAPI QuerySourceFlags(HostFile) { return 0; }

template <typename Proc>
HostEntry Entry(Proc proc) {
    return reinterpret_cast<HostEntry>(proc);
}

// Paths here are ASCII: the generated files live in the build folder.
std::u16string Utf16(const std::string &path) { return std::u16string(path.begin(), path.end()); }

} // namespace

extern "C" {

HostEntry _[HOST_FUNCTION_TABLE_SIZE] = {
    Entry(ReportErrorCode), nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
    nullptr, nullptr, nullptr, nullptr, nullptr, Entry(CloseSource), Entry(QuerySourceName),
    Entry(BindSourceToStream), Entry(QuerySourceFlags),
};

uint32_t TIMBAPI TIMB_GetVersion(void) { return PLUGIN_HOST_VERSION; }

HostStream TIMBAPI TIMB_StreamCreateFileUser(uint32_t, uint32_t, const FileProcTable *, void *user) {
    createdStream = (FlvStream *)user;
    return nextStream++;
}

} // extern "C"

namespace benchhost {

FlvStream *CreateStream(const std::string &path) {
    sourceName = Utf16(path);
    createdStream = nullptr;
    return CreateFlvStream(benchSource, 0) != 0 ? createdStream : nullptr;
}

void CloseStream(FlvStream *stream) {
    FlvFileClose(stream);
    FreeClosedStreams();
}

} // namespace benchhost

// Streams: a byte stream read through the FileProcTable it was created with.
// The host keeps a copy of the table; every procedure runs without the lock.
#include "standin/standin_state.h"

namespace standin {

namespace {

thread_local bool refuseNextStream = false;

// A copy of the stream's procedures and user value, or false after counting
// a bad handle.
bool FindStream(HostStream handle, Stream *stream) {
    State &host = Host();
    std::lock_guard<std::mutex> guard(host.lock);
    auto found = host.streams.find(handle);
    if (found == host.streams.end()) {
        NoteBadHandle(host);
        return false;
    }
    *stream = found->second;
    return true;
}

// Forgets the stream and gives back what its close procedure needs.
bool TakeStream(HostStream handle, Stream *stream) {
    State &host = Host();
    std::lock_guard<std::mutex> guard(host.lock);
    auto found = host.streams.find(handle);
    if (found == host.streams.end()) {
        NoteBadHandle(host);
        return false;
    }
    *stream = found->second;
    host.streams.erase(found);
    return true;
}

void CloseStream(const Stream &stream) {
    if (stream.procs.close != nullptr)
        stream.procs.close(stream.user);
}

} // namespace

void FreeStreamsOfPlugin(uint32_t plugin) {
    std::vector<Stream> taken;
    {
        State &host = Host();
        std::lock_guard<std::mutex> guard(host.lock);
        for (auto at = host.streams.begin(); at != host.streams.end();) {
            if (at->second.plugin == plugin) {
                taken.push_back(at->second);
                at = host.streams.erase(at);
            } else {
                ++at;
            }
        }
    }
    for (const Stream &stream : taken)
        CloseStream(stream);
}

void MarkStreamPlugin(HostStream stream, uint32_t plugin) {
    State &host = Host();
    std::lock_guard<std::mutex> guard(host.lock);
    auto found = host.streams.find(stream);
    if (found != host.streams.end())
        found->second.plugin = plugin;
}

} // namespace standin

using namespace standin;

extern "C" {

// A table without read or length procedures is no stream.
TIMB_STANDIN_API HostStream TIMBAPI TIMB_StreamCreateFileUser(uint32_t system, uint32_t flags,
                                                              const FileProcTable *procs, void *user) {
    bool refuse = refuseNextStream;
    refuseNextStream = false;
    if (refuse || procs == nullptr || procs->read == nullptr || procs->length == nullptr) {
        SetErrorCode(TIMB_STANDIN_ERROR_STREAM);
        return 0;
    }
    Stream stream = {*procs, user, system, flags, 0, 0};
    State &host = Host();
    std::lock_guard<std::mutex> guard(host.lock);
    HostStream handle = host.nextStream++;
    host.streams.emplace(handle, stream);
    return handle;
}

void TimbRefuseNextStream(void) { refuseNextStream = true; }

uint32_t TimbStreamRead(HostStream handle, void *buffer, uint32_t length) {
    Stream stream;
    if (!FindStream(handle, &stream))
        return 0;
    return stream.procs.read(buffer, length, stream.user);
}

Bool32 TimbStreamSeek(HostStream handle, uint64_t offset) {
    Stream stream;
    if (!FindStream(handle, &stream) || stream.procs.seek == nullptr)
        return 0;
    return stream.procs.seek(offset, stream.user);
}

uint64_t TimbStreamLength(HostStream handle) {
    Stream stream;
    if (!FindStream(handle, &stream))
        return 0;
    return stream.procs.length(stream.user);
}

Bool32 TimbStreamFree(HostStream handle) {
    Stream stream;
    if (!TakeStream(handle, &stream))
        return 0;
    CloseStream(stream);
    return 1;
}

uint32_t TimbStreamFlags(HostStream handle) {
    Stream stream;
    return FindStream(handle, &stream) ? stream.flags : 0;
}

HostFile TimbStreamSource(HostStream handle) {
    Stream stream;
    return FindStream(handle, &stream) ? stream.source : 0;
}

uint32_t TimbOpenStreamCount(void) {
    State &host = Host();
    std::lock_guard<std::mutex> guard(host.lock);
    return (uint32_t)host.streams.size();
}

} // extern "C"

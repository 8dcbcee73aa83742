// Sources: what the host opens for a stream to be made from. File sources
// are UTF-8 paths whose file must exist; memory, URL and user-procedure
// sources have no local file unless the thread arranged a name first.
#include "standin/standin_state.h"

namespace standin {

namespace {

// The name the next memory, URL or user source on this thread reports.
thread_local bool nameArranged = false;
thread_local std::string arrangedName;

// Takes the arranged name, if any, for a source being opened. False when the
// arranged name is not valid UTF-8.
bool TakeArrangedName(std::u16string *name) {
    bool arranged = nameArranged;
    nameArranged = false;
    name->clear();
    return !arranged || Utf8ToUtf16(arrangedName.c_str(), name);
}

Source BlankSource(SourceKind kind, uint32_t flags) {
    Source source = {};
    source.kind = kind;
    source.flags = flags;
    source.file = OS_FILE_NONE;
    return source;
}

HostFile Register(Source &&source) {
    State &host = Host();
    std::lock_guard<std::mutex> guard(host.lock);
    HostFile handle = host.nextSource++;
    host.sources.emplace(handle, std::move(source));
    return handle;
}

HostFile Refuse(void) {
    SetErrorCode(TIMB_STANDIN_ERROR_SOURCE);
    return 0;
}

HostFile OpenLocalFile(const char *path, uint64_t offset, uint64_t length, uint32_t flags) {
    Source source = BlankSource(SOURCE_FILE, flags);
    if (path == nullptr || !Utf8ToUtf16(path, &source.name) || source.name.empty())
        return Refuse();
    source.file = OsOpenFile(source.name.c_str());
    if (source.file == OS_FILE_NONE)
        return Refuse();
    source.offset = offset;
    source.length = length;
    return Register(std::move(source));
}

HostFile OpenMemoryBlock(const void *address, uint64_t offset, uint64_t length, uint32_t flags) {
    Source source = BlankSource(SOURCE_MEMORY, flags);
    if (!TakeArrangedName(&source.name) || address == nullptr || length == 0)
        return Refuse();
    source.memory = address;
    source.offset = offset;
    source.length = length;
    return Register(std::move(source));
}

// Under the lock: the open source, or null after counting a bad handle.
Source *FindSource(State &host, HostFile file) {
    auto found = host.sources.find(file);
    if (found == host.sources.end()) {
        NoteBadHandle(host);
        return nullptr;
    }
    return &found->second;
}

} // namespace

HostFile TIMBAPI OpenFileSource(Bool32 memory, const void *file, uint64_t offset, uint64_t length, uint32_t flags,
                                uint32_t) {
    if (memory)
        return OpenMemoryBlock(file, offset, length, flags);
    return OpenLocalFile((const char *)file, offset, length, flags);
}

// No download happens: the stand-in has no network. The source stands for the
// URL and reports the arranged local name, if any.
HostFile TIMBAPI OpenUrlSource(const char *url, uint32_t offset, uint32_t flags, DownloadProc, void *user, uint32_t) {
    Source source = BlankSource(SOURCE_URL, flags);
    if (!TakeArrangedName(&source.name) || url == nullptr || url[0] == 0)
        return Refuse();
    source.url = url;
    source.offset = offset;
    source.user = user;
    return Register(std::move(source));
}

HostFile TIMBAPI OpenUserSource(uint32_t, uint32_t flags, const FileProcTable *procs, void *user, uint32_t) {
    Source source = BlankSource(SOURCE_USER, flags);
    if (!TakeArrangedName(&source.name) || procs == nullptr)
        return Refuse();
    source.procs = *procs;
    source.user = user;
    return Register(std::move(source));
}

void TIMBAPI CloseSource(HostFile file) {
    State &host = Host();
    OsFile opened = OS_FILE_NONE;
    {
        std::lock_guard<std::mutex> guard(host.lock);
        Source *source = FindSource(host, file);
        if (source == nullptr)
            return;
        opened = source->file;
        host.sources.erase(file);
    }
    if (opened != OS_FILE_NONE)
        OsCloseFile(opened);
}

// The pointer stays valid until the source is closed.
const HostChar16 *TIMBAPI QuerySourceName(HostFile file, uint32_t *) {
    State &host = Host();
    std::lock_guard<std::mutex> guard(host.lock);
    Source *source = FindSource(host, file);
    if (source == nullptr || source->name.empty())
        return nullptr;
    return source->name.c_str();
}

uint32_t TIMBAPI QuerySourceFlags(HostFile file) {
    State &host = Host();
    std::lock_guard<std::mutex> guard(host.lock);
    Source *source = FindSource(host, file);
    return source == nullptr ? 0 : source->flags;
}

void TIMBAPI SetSourceParameter(HostFile file, uint32_t param, uint32_t value) {
    State &host = Host();
    std::lock_guard<std::mutex> guard(host.lock);
    Source *source = FindSource(host, file);
    if (source != nullptr)
        source->parameters[param] = value;
}

void TIMBAPI BindSourceToStream(HostFile file, HostStream stream) {
    State &host = Host();
    std::lock_guard<std::mutex> guard(host.lock);
    Source *source = FindSource(host, file);
    auto bound = host.streams.find(stream);
    if (source == nullptr)
        return;
    if (bound == host.streams.end()) {
        NoteBadHandle(host);
        return;
    }
    source->stream = stream;
    bound->second.source = file;
}

bool Utf8ToUtf16(const char *utf8, std::u16string *out) {
    out->clear();
    const uint8_t *at = (const uint8_t *)utf8;
    while (*at != 0) {
        uint32_t lead = *at++;
        int extra = lead < 0x80 ? 0 : lead >= 0xC2 && lead < 0xE0 ? 1 : lead >= 0xE0 && lead < 0xF0 ? 2
                                   : lead >= 0xF0 && lead < 0xF5 ? 3 : -1;
        if (extra < 0)
            return false;
        uint32_t point = extra == 0 ? lead : lead & (0x3Fu >> extra);
        for (int k = 0; k < extra; k++, at++) {
            if ((*at & 0xC0) != 0x80)
                return false; // also stops at the terminating NUL
            point = point << 6 | (*at & 0x3Fu);
        }
        static const uint32_t smallestOfLength[4] = {0, 0x80, 0x800, 0x10000};
        if (point < smallestOfLength[extra] || point > 0x10FFFF || (point >= 0xD800 && point <= 0xDFFF))
            return false;
        if (point >= 0x10000) {
            out->push_back((char16_t)(0xD800 + ((point - 0x10000) >> 10)));
            out->push_back((char16_t)(0xDC00 + ((point - 0x10000) & 0x3FF)));
        } else {
            out->push_back((char16_t)point);
        }
    }
    return true;
}

} // namespace standin

using namespace standin;

extern "C" {

void TimbArrangeSourceName(const char *utf8Path) {
    nameArranged = utf8Path != nullptr;
    arrangedName = utf8Path != nullptr ? utf8Path : "";
}

uint32_t TimbOpenSourceCount(void) {
    State &host = Host();
    std::lock_guard<std::mutex> guard(host.lock);
    return (uint32_t)host.sources.size();
}

Bool32 TimbSourceParameter(HostFile file, uint32_t param, uint32_t *value) {
    State &host = Host();
    std::lock_guard<std::mutex> guard(host.lock);
    auto source = host.sources.find(file);
    if (source == host.sources.end())
        return 0;
    auto found = source->second.parameters.find(param);
    if (found == source->second.parameters.end())
        return 0;
    if (value != nullptr)
        *value = found->second;
    return 1;
}

} // extern "C"

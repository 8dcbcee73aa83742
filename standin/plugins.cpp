// Plugins: add-on libraries the host asks for a format record and a
// stream-create procedure, and tries in load order on every file it opens.
#include "platform/library.h"
#include "standin/standin_state.h"

namespace standin {

namespace {

typedef const void *(TIMBAPI *PluginQueryProc)(uint32_t query);

const uint32_t queryInfo = 0;
const uint32_t queryCreate = 1;

// The library's answers to both queries; false when it has no TIMBplugin or
// answers neither.
bool AskPlugin(void *library, Plugin *plugin) {
    PluginQueryProc query = (PluginQueryProc)OsLibrarySymbol(library, "TIMBplugin");
    if (query == nullptr)
        return false;
    plugin->library = library;
    plugin->info = (const PluginInfo *)query(queryInfo);
    plugin->create = (StreamCreateProc)query(queryCreate);
    return plugin->info != nullptr || plugin->create != nullptr;
}

std::vector<std::pair<uint32_t, StreamCreateProc>> CreateProcsInLoadOrder() {
    State &host = Host();
    std::lock_guard<std::mutex> guard(host.lock);
    std::vector<std::pair<uint32_t, StreamCreateProc>> procs;
    for (const auto &plugin : host.plugins)
        if (plugin.second.create != nullptr)
            procs.emplace_back(plugin.first, plugin.second.create);
    return procs;
}

} // namespace

} // namespace standin

using namespace standin;

extern "C" {

// Loading runs the library's attach, which calls back into the host: the
// lock is not held meanwhile.
uint32_t TimbPluginLoad(const char *utf8Path) {
    void *library = utf8Path != nullptr ? OsLoadLibrary(utf8Path) : nullptr;
    Plugin plugin = {};
    if (library == nullptr || !AskPlugin(library, &plugin)) {
        if (library != nullptr)
            OsUnloadLibrary(library);
        SetErrorCode(TIMB_STANDIN_ERROR_PLUGIN);
        return 0;
    }
    State &host = Host();
    std::lock_guard<std::mutex> guard(host.lock);
    uint32_t handle = host.nextPlugin++;
    host.plugins.emplace(handle, plugin);
    return handle;
}

const PluginInfo *TimbPluginGetInfo(uint32_t handle) {
    State &host = Host();
    std::lock_guard<std::mutex> guard(host.lock);
    auto found = host.plugins.find(handle);
    if (found == host.plugins.end()) {
        SetErrorCode(TIMB_STANDIN_ERROR_HANDLE);
        return nullptr;
    }
    return found->second.info;
}

// The plugin's streams are freed first: their procedures live in the library.
Bool32 TimbPluginFree(uint32_t handle) {
    void *library = nullptr;
    {
        State &host = Host();
        std::lock_guard<std::mutex> guard(host.lock);
        auto found = host.plugins.find(handle);
        if (found == host.plugins.end()) {
            SetErrorCode(TIMB_STANDIN_ERROR_HANDLE);
            return 0;
        }
        library = found->second.library;
        host.plugins.erase(found);
    }
    FreeStreamsOfPlugin(handle);
    OsUnloadLibrary(library);
    return 1;
}

HostStream TimbStreamCreateFile(const char *utf8Path, uint32_t flags) {
    HostFile file = OpenFileSource(0, utf8Path, 0, 0, flags, 1);
    if (file == 0)
        return 0;
    for (const auto &plugin : CreateProcsInLoadOrder()) {
        HostStream stream = plugin.second(file, flags);
        if (stream != 0) {
            MarkStreamPlugin(stream, plugin.first);
            return stream;
        }
    }
    CloseSource(file);
    SetErrorCode(TIMB_STANDIN_ERROR_FORMAT);
    return 0;
}

} // extern "C"

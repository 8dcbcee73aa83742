// The stand-in host's own state, shared by its files: open sources, live
// streams, loaded plugins and registered settings procedures, all under one
// mutex. The mutex is never held while a stream's procedure, a settings
// procedure or a plugin runs, so those may call back into the host.
#ifndef TIMB_STANDIN_STATE_H
#define TIMB_STANDIN_STATE_H

#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "standin/timb_standin.h"

namespace standin {

enum SourceKind : uint32_t { SOURCE_FILE, SOURCE_MEMORY, SOURCE_URL, SOURCE_USER };

struct Source {
    SourceKind kind;
    uint32_t flags;        // as opened; QuerySourceFlags answers them
    std::u16string name;   // the local file; empty: none
    OsFile file;           // file sources keep their file open until closed
    const void *memory;    // memory sources: the block at address + offset
    uint64_t offset;
    uint64_t length;
    std::string url;
    FileProcTable procs;   // user sources: the caller's table, copied
    void *user;
    HostStream stream;     // bound by BindSourceToStream; 0: none
    std::map<uint32_t, uint32_t> parameters;
};

struct Stream {
    FileProcTable procs; // copied: the creator's table need not outlive the call
    void *user;
    uint32_t system;
    uint32_t flags;
    HostFile source;  // bound by BindSourceToStream; 0: none
    uint32_t plugin;  // the plugin that created it; 0: none known
};

struct Plugin {
    void *library;
    const PluginInfo *info;
    StreamCreateProc create;
};

struct State {
    std::mutex lock;
    std::map<HostFile, Source> sources;
    std::map<HostStream, Stream> streams;
    std::map<uint32_t, Plugin> plugins; // by handle; handles grow, so this is load order
    std::vector<SettingsProc> settingsProcs; // in the order added
    HostFile nextSource = 0x100;
    HostStream nextStream = 0x10000000;
    uint32_t nextPlugin = 1;
    uint32_t badHandles = 0;
};

// Made once and never destroyed: an add-on's library destructor may call the
// host after the process's static objects are gone.
State &Host();

// The calling thread's error code, as ReportErrorCode and failing entries
// leave it.
void SetErrorCode(int32_t code);

// A call named a source or stream that is not open: counted, and the
// thread's error code says so. Call with the lock held.
void NoteBadHandle(State &host);

// Strict UTF-8 to UTF-16; false for malformed input (overlong forms,
// surrogates, code points past U+10FFFF, cut-off sequences).
bool Utf8ToUtf16(const char *utf8, std::u16string *out);

// Calls every stream's close procedure for streams `plugin` created, and
// forgets them; for unloading that plugin.
void FreeStreamsOfPlugin(uint32_t plugin);

// The host's function table entries TimbStreamCreateFile needs directly.
HostFile TIMBAPI OpenFileSource(Bool32 memory, const void *file, uint64_t offset, uint64_t length, uint32_t flags,
                                uint32_t one);
HostFile TIMBAPI OpenUrlSource(const char *url, uint32_t offset, uint32_t flags, DownloadProc proc, void *user,
                               uint32_t one);
HostFile TIMBAPI OpenUserSource(uint32_t system, uint32_t flags, const FileProcTable *procs, void *user,
                                uint32_t one);
void TIMBAPI CloseSource(HostFile file);
const HostChar16 *TIMBAPI QuerySourceName(HostFile file, uint32_t *one);
void TIMBAPI BindSourceToStream(HostFile file, HostStream stream);
uint32_t TIMBAPI QuerySourceFlags(HostFile file);
void TIMBAPI SetSourceParameter(HostFile file, uint32_t param, uint32_t value);

// Records which plugin created `stream`.
void MarkStreamPlugin(HostStream stream, uint32_t plugin);

} // namespace standin

#endif

// The add-on's face towards TIMB: the exported creation functions, the
// plugin query, the settings procedure and the library's attach and detach.
#ifndef TIMB_FLV_PLUGIN_H
#define TIMB_FLV_PLUGIN_H

#include "host/timb_host.h"

#if defined(_WIN32)
#define TIMB_FLV_EXPORT // the module-definition file names the exports
#else
#define TIMB_FLV_EXPORT __attribute__((visibility("default")))
#endif

enum : uint32_t {
    REQUIRED_HOST_VERSION = 0x0204,        // high 16 bits of TIMB_GetVersion: 2.4
    PLUGIN_HOST_VERSION = 0x02040000,
    FLV_STREAM_TYPE = 0x13000,
    CALLER_FLAGS_PASSED_ON = 0x3F24019D,   // the caller's flags TIMB may see on our stream
    SOURCE_FLAGS_PASSED_ON = 0x100000,     // the one source flag added to them
    SOURCE_FLAG_SET_PARAMETER = 0x1,       // sources with this flag get SetSourceParameter
    SOURCE_PARAMETER = 409600,
    ERROR_NONE = 0,
    ERROR_CREATION_FAILED = 2,
    SETTING_FIRST = 0x11000,               // load value 44100
    SETTING_SECOND = 0x11001,              // load value 2
    SETTINGS_STORE = 0x1,                  // SettingsProc flag: store *value
    SETTINGS_REFUSE = 0x2,                 // SettingsProc flag: answer false, touch nothing
    PLUGIN_QUERY_INFO = 0,
    PLUGIN_QUERY_CREATE = 1,
};

extern "C" {
TIMB_FLV_EXPORT HostStream TIMBAPI TIMB_FLV_StreamCreateFile(Bool32 memory, const void *file, uint64_t offset,
                                                             uint64_t length, uint32_t flags);
TIMB_FLV_EXPORT HostStream TIMBAPI TIMB_FLV_StreamCreateURL(const char *url, uint32_t offset, uint32_t flags,
                                                            DownloadProc proc, void *user);
TIMB_FLV_EXPORT HostStream TIMBAPI TIMB_FLV_StreamCreateFileUser(uint32_t system, uint32_t flags,
                                                                 const FileProcTable *procs, void *user);
TIMB_FLV_EXPORT const void *TIMBAPI TIMBplugin(uint32_t query);
}

// The stream-create procedure: opens the source's local file itself, scans
// it and hands TIMB a stream over the four user-file procedures. On failure
// the HostFile stays with the caller and TIMB's error code is 2.
HostStream TIMBAPI CreateFlvStream(HostFile file, uint32_t flags);

// The two settings; no range test is applied to what is stored. In a
// namespace of its own: the host interface already names its type
// SettingsProc.
namespace plugin {
Bool32 TIMBAPI SettingsProc(uint32_t option, uint32_t flags, void *value);
}

// Library attach: 1 when TIMB's version is 2.4 and the settings procedure
// has been offered; 0 after telling the user, and the add-on then refuses
// all work. Detach withdraws the procedure only when attach offered it.
int AttachAddOn(void);
void DetachAddOn(void);
int AddOnAccepted(void);

#endif

/* The TIMB host interface as the add-on uses it: handles, procedure tables,
   plugin records and the host's function table `_`. Valid C and C++.

   TIMB itself is outside this project; any library that exports
   TIMB_GetVersion, TIMB_StreamCreateFileUser and `_` with these types is a
   host (our own stand-in in standin/ is one). */
#ifndef TIMB_HOST_H
#define TIMB_HOST_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef uint32_t HostFile;   /* an opened source; 0: failure */
typedef uint32_t HostStream; /* a stream; 0: failure */
typedef int32_t Bool32;      /* TRUE 1, FALSE 0 */

/* 32-bit Windows: everything that crosses the host boundary is __stdcall. */
#if defined(_WIN32) && !defined(_WIN64)
#define TIMBAPI __stdcall
#else
#define TIMBAPI
#endif

/* The host's data symbol `_` lives in TIMB.dll; the stand-in host defines
   TIMB_HOST_BUILD when it builds that library. */
#if defined(_WIN32) && defined(TIMB_HOST_BUILD)
#define TIMB_HOST_DATA __declspec(dllexport)
#elif defined(_WIN32)
#define TIMB_HOST_DATA __declspec(dllimport)
#else
#define TIMB_HOST_DATA
#endif

/* A user-supplied file. TIMB passes each procedure, as its last argument,
   the user value given to TIMB_StreamCreateFileUser.
   close:  the stream is being freed; no result.
   length: the file's length in bytes.
   read:   deliver up to `length` bytes into `buffer`; the count delivered.
   seek:   move to `offset` from the start; TRUE when positioned. */
typedef struct FileProcTable {
    void(TIMBAPI *close)(void *user);
    uint64_t(TIMBAPI *length)(void *user);
    uint32_t(TIMBAPI *read)(void *buffer, uint32_t length, void *user);
    Bool32(TIMBAPI *seek)(uint64_t offset, void *user);
} FileProcTable;

typedef void(TIMBAPI *DownloadProc)(const void *buffer, uint32_t length, void *user);
typedef HostStream(TIMBAPI *StreamCreateProc)(HostFile file, uint32_t flags);
typedef Bool32(TIMBAPI *SettingsProc)(uint32_t option, uint32_t flags, void *value);

typedef struct PluginFormat {
    uint32_t type;      /* stream type code */
    const char *name;   /* display name */
    const char *filter; /* file-name filter, e.g. "*.flv" */
} PluginFormat;

typedef struct PluginInfo {
    uint32_t version; /* host version the add-on was built for */
    uint32_t formatCount;
    const PluginFormat *formats;
} PluginInfo;

/* UTF-16 code unit of file names the host reports. */
#ifdef __cplusplus
typedef char16_t HostChar16;
#else
typedef uint16_t HostChar16;
#endif

/* Entries of `_`, counted from 0. */
enum HostEntryIndex {
    HOST_REPORT_ERROR_CODE = 0,
    HOST_MANAGE_SETTINGS_PROC = 1,
    HOST_OPEN_FILE_SOURCE = 10,
    HOST_OPEN_URL_SOURCE = 11,
    HOST_OPEN_USER_SOURCE = 12,
    HOST_CLOSE_SOURCE = 13,
    HOST_QUERY_SOURCE_NAME = 14,
    HOST_BIND_SOURCE_TO_STREAM = 15,
    HOST_QUERY_SOURCE_FLAGS = 16,
    HOST_SET_SOURCE_PARAMETER = 23,
    HOST_FUNCTION_TABLE_SIZE = 24
};

typedef void(TIMBAPI *ReportErrorCodeProc)(int32_t code);
typedef void(TIMBAPI *ManageSettingsProcProc)(SettingsProc proc, uint32_t mode); /* 0 add, 1 remove */
typedef HostFile(TIMBAPI *OpenFileSourceProc)(Bool32 memory, const void *file, uint64_t offset,
                                              uint64_t length, uint32_t flags, uint32_t one);
typedef HostFile(TIMBAPI *OpenUrlSourceProc)(const char *url, uint32_t offset, uint32_t flags,
                                             DownloadProc proc, void *user, uint32_t one);
typedef HostFile(TIMBAPI *OpenUserSourceProc)(uint32_t system, uint32_t flags,
                                              const FileProcTable *procs, void *user, uint32_t one);
typedef void(TIMBAPI *CloseSourceProc)(HostFile file);
/* A NUL-terminated UTF-16 path of the source's local file, or null. */
typedef const HostChar16 *(TIMBAPI *QuerySourceNameProc)(HostFile file, uint32_t *one);
typedef void(TIMBAPI *BindSourceToStreamProc)(HostFile file, HostStream stream);
typedef uint32_t(TIMBAPI *QuerySourceFlagsProc)(HostFile file);
typedef void(TIMBAPI *SetSourceParameterProc)(HostFile file, uint32_t param, uint32_t value);

/* One slot of `_`: a procedure of one of the types above. */
typedef void(TIMBAPI *HostEntry)(void);

/* What TIMB exports. */
uint32_t TIMBAPI TIMB_GetVersion(void);
HostStream TIMBAPI TIMB_StreamCreateFileUser(uint32_t system, uint32_t flags,
                                             const FileProcTable *procs, void *user);
extern TIMB_HOST_DATA HostEntry _[HOST_FUNCTION_TABLE_SIZE];

#ifdef __cplusplus
}

/* The entry at `index` of the host's table, as the procedure type it holds. */
template <typename Proc>
inline Proc HostProc(int index) {
    return reinterpret_cast<Proc>(_[index]);
}
#endif

#endif

/* Our own small TIMB: a real host library (libtimb.so, TIMB.dll) that
   exports TIMB_GetVersion, TIMB_StreamCreateFileUser and the function table
   `_`, and gives applications, tools and tests the small API below.

   Sources: file sources are UTF-8 paths (memory flag 0) and report their
   name back as UTF-16; memory, URL and user-procedure sources have no local
   file unless TimbArrangeSourceName names one first.
   Streams: a stream reads through the FileProcTable it was created with;
   TimbStreamFree calls its close procedure exactly once.
   Every call is safe from any thread; the host holds no lock while it calls
   a stream's procedures. */
#ifndef TIMB_STANDIN_H
#define TIMB_STANDIN_H

#include "host/timb_host.h"

#if defined(_WIN32) && defined(TIMB_HOST_BUILD)
#define TIMB_STANDIN_API __declspec(dllexport)
#elif defined(_WIN32)
#define TIMB_STANDIN_API __declspec(dllimport)
#else
#define TIMB_STANDIN_API __attribute__((visibility("default")))
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* The version word TIMB_GetVersion reports; 0x02040000 until set. Set it
   before an add-on is loaded to test its version check. */
TIMB_STANDIN_API void TimbSetVersion(uint32_t version);

/* The last code given to ReportErrorCode on the calling thread; -1 before
   any. TimbClearErrorCode sets it back to -1. */
TIMB_STANDIN_API int32_t TimbGetErrorCode(void);
TIMB_STANDIN_API void TimbClearErrorCode(void);

/* The next memory, URL or user-procedure source opened on this thread
   reports `utf8Path` as its local file name (null: none again). */
TIMB_STANDIN_API void TimbArrangeSourceName(const char *utf8Path);

/* Sources currently open, and streams currently alive: a test's leak check. */
TIMB_STANDIN_API uint32_t TimbOpenSourceCount(void);
TIMB_STANDIN_API uint32_t TimbOpenStreamCount(void);

/* Plugins. TimbPluginLoad opens an add-on library (UTF-8 path), asks its
   TIMBplugin for the format record (query 0) and the stream-create procedure
   (query 1); 0 when the library does not load or offers neither. */
TIMB_STANDIN_API uint32_t TimbPluginLoad(const char *utf8Path);
TIMB_STANDIN_API const PluginInfo *TimbPluginGetInfo(uint32_t plugin);
TIMB_STANDIN_API Bool32 TimbPluginFree(uint32_t plugin);

/* Opens a file source and offers it to each loaded plugin in load order, as a
   host tries its plugins; the first stream created wins. 0 when none accepts
   (the source is closed again) or the file does not open. */
TIMB_STANDIN_API HostStream TimbStreamCreateFile(const char *utf8Path, uint32_t flags);

/* A stream's bytes through its procedures. Read returns what the read
   procedure reported; seek what the seek procedure answered. All three answer
   0 for an unknown handle. */
TIMB_STANDIN_API uint32_t TimbStreamRead(HostStream stream, void *buffer, uint32_t length);
TIMB_STANDIN_API Bool32 TimbStreamSeek(HostStream stream, uint64_t offset);
TIMB_STANDIN_API uint64_t TimbStreamLength(HostStream stream);

/* Calls the stream's close procedure once and forgets the stream; FALSE for
   an unknown handle. */
TIMB_STANDIN_API Bool32 TimbStreamFree(HostStream stream);

/* The flags the stream was created with, and the source bound to it (0 if
   none). */
TIMB_STANDIN_API uint32_t TimbStreamFlags(HostStream stream);
TIMB_STANDIN_API HostFile TimbStreamSource(HostStream stream);

/* Settings through the registered settings procedures, newest first, as
   TIMB's own configuration calls would: TRUE when one handled the option.
   TimbSettingsProcCount: how many are registered now. */
TIMB_STANDIN_API Bool32 TimbSetConfig(uint32_t option, uint32_t value);
TIMB_STANDIN_API Bool32 TimbGetConfig(uint32_t option, uint32_t *value);
TIMB_STANDIN_API uint32_t TimbSettingsProcCount(void);

/* Codes the stand-in itself leaves as the thread's error code when one of its
   own entries fails; a successful entry leaves the code as it was. An
   add-on's ReportErrorCode overwrites them. */
enum TimbStandinError {
    TIMB_STANDIN_ERROR_SOURCE = 40, /* a source did not open (no such file, bad arguments) */
    TIMB_STANDIN_ERROR_HANDLE = 41, /* a source, stream or plugin handle that is not open */
    TIMB_STANDIN_ERROR_STREAM = 42, /* TIMB_StreamCreateFileUser refused the stream */
    TIMB_STANDIN_ERROR_FORMAT = 43, /* TimbStreamCreateFile: no loaded plugin took the file */
    TIMB_STANDIN_ERROR_PLUGIN = 44  /* TimbPluginLoad: no library, or it offers nothing */
};

/* How many calls, through `_` or this API, named a source or stream that was
   not open (a source closed twice, for one): a test's misuse check. */
TIMB_STANDIN_API uint32_t TimbBadHandleCount(void);

/* The next TIMB_StreamCreateFileUser on this thread returns 0, as a host
   that cannot create the stream would. */
TIMB_STANDIN_API void TimbRefuseNextStream(void);

/* The value SetSourceParameter last gave `param` of an open source: TRUE and
   *value, or FALSE when it never did or the source is not open. */
TIMB_STANDIN_API Bool32 TimbSourceParameter(HostFile file, uint32_t param, uint32_t *value);

#ifdef __cplusplus
}
#endif

#endif

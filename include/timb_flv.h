/* timb_flv: the audio track of FLV files as TIMB streams.

   timb_flv.dll (libtimb_flv.so on Linux) is an add-on for the TIMB host audio
   library. It reads an FLV file's audio tags and hands TIMB their bytes as a
   seekable stream; TIMB recognises and decodes the audio itself. This header
   needs nothing but <stdint.h> and serves C and C++ alike.

   Use, with TIMB.dll and timb_flv.dll beside the program and the program
   linked against timb_flv.lib (or the library loaded at run time):

       HostStream stream = TIMB_FLV_StreamCreateFile(0, path, 0, 0, flags);
       if (stream == 0) {
           // TIMB's error code says why: 2 when the file is no FLV file of
           // version 1 or TIMB refused the stream; otherwise TIMB's own code.
       }
       // Play, seek and free `stream` with TIMB's stream functions, as any
       // TIMB stream. Freeing it closes the file.

   The arguments mean what they mean to TIMB's own creation functions, and the
   add-on passes them on untouched: `path` is a file name in the form TIMB
   takes, `flags` TIMB's stream flags. The add-on reads the FLV file itself,
   from TIMB's name for the source, so memory, URL and user-procedure sources
   work only when TIMB reports a local FLV file for them.

   TIMB can also take the add-on as a plugin: TIMBplugin(0) answers the format
   record ("FLV AudioStream", "*.flv") and TIMBplugin(1) the stream-create
   procedure TIMB calls for each source it opens.

   The library loads only beside TIMB 2.4; with any other version it shows a
   message box and refuses to load (on Linux: a message on standard error, and
   every function answers 0). */
#ifndef TIMB_FLV_H
#define TIMB_FLV_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* The types are TIMB's binary interface; a translation unit that has them
   from the host interface header already keeps those. */
#ifndef TIMB_HOST_H

/* 32-bit Windows: every function and procedure here is __stdcall. */
#if defined(_WIN32) && !defined(_WIN64)
#define TIMBAPI __stdcall
#else
#define TIMBAPI
#endif

typedef uint32_t HostFile;   /* a source TIMB opened; 0: none */
typedef uint32_t HostStream; /* a TIMB stream; 0: failure */
typedef int32_t Bool32;      /* TRUE 1, FALSE 0 */

/* A file the application reads itself; TIMB passes each procedure, last, the
   user value given with the table. */
typedef struct FileProcTable {
    void(TIMBAPI *close)(void *user);
    uint64_t(TIMBAPI *length)(void *user);
    uint32_t(TIMBAPI *read)(void *buffer, uint32_t length, void *user);
    Bool32(TIMBAPI *seek)(uint64_t offset, void *user);
} FileProcTable;

/* Receives the bytes TIMB downloads from a URL. */
typedef void(TIMBAPI *DownloadProc)(const void *buffer, uint32_t length, void *user);

/* The plugin road: TIMB hands an opened source and stream flags. */
typedef HostStream(TIMBAPI *StreamCreateProc)(HostFile file, uint32_t flags);

typedef struct PluginFormat {
    uint32_t type;      /* stream type code */
    const char *name;   /* display name */
    const char *filter; /* file-name filter */
} PluginFormat;

typedef struct PluginInfo {
    uint32_t version; /* the TIMB version the add-on requires, 0x02040000 */
    uint32_t formatCount;
    const PluginFormat *formats;
} PluginInfo;

#endif /* TIMB_HOST_H */

/* TIMBplugin's queries, and the type code of the one format it offers. */
#define TIMB_FLV_PLUGIN_INFO 0   /* answers a const PluginInfo * */
#define TIMB_FLV_PLUGIN_CREATE 1 /* answers the StreamCreateProc */
#define TIMB_FLV_STREAM_TYPE 0x13000

/* Each returns the new stream, or 0. A source TIMB opened but the add-on
   could not use is closed again before the function returns. */

/* memory 0: `file` is a file name; otherwise the address of a memory block.
   offset and length select a part of it as TIMB's own functions do. */
HostStream TIMBAPI TIMB_FLV_StreamCreateFile(Bool32 memory, const void *file, uint64_t offset, uint64_t length,
                                             uint32_t flags);
HostStream TIMBAPI TIMB_FLV_StreamCreateURL(const char *url, uint32_t offset, uint32_t flags, DownloadProc proc,
                                            void *user);
HostStream TIMBAPI TIMB_FLV_StreamCreateFileUser(uint32_t system, uint32_t flags, const FileProcTable *procs,
                                                 void *user);

/* query TIMB_FLV_PLUGIN_INFO or TIMB_FLV_PLUGIN_CREATE; null for any other,
   and for every query when the library refused TIMB's version. */
const void *TIMBAPI TIMBplugin(uint32_t query);

#ifdef __cplusplus
}
#endif

#endif

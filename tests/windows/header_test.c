/* An application in plain C that knows timb_flv only through timb_flv.h and
   its import library: the program starts only if all four imports bind by
   their plain names, and the calls go through the header's types and
   calling convention. Exits 0 when all holds. */
#include <stddef.h>
#include <stdio.h>
#include <string.h>

#include "timb_flv.h"

_Static_assert(sizeof(FileProcTable) == 4 * sizeof(void *), "four procedure pointers");
_Static_assert(offsetof(PluginFormat, name) == sizeof(void *), "type code, then the two names");
_Static_assert(offsetof(PluginInfo, formats) == 8, "version and count, then the formats");

static int failures = 0;

static void Check(int holds, const char *what) {
    if (!holds) {
        printf("FAILED: %s\n", what);
        failures++;
    }
}

static void TIMBAPI NoClose(void *user) { (void)user; }
static uint64_t TIMBAPI NoLength(void *user) {
    (void)user;
    return 0;
}
static uint32_t TIMBAPI NoRead(void *buffer, uint32_t length, void *user) {
    (void)buffer, (void)length, (void)user;
    return 0;
}
static Bool32 TIMBAPI NoSeek(uint64_t offset, void *user) {
    (void)offset, (void)user;
    return 0;
}

int main(void) {
    const PluginInfo *info = (const PluginInfo *)TIMBplugin(TIMB_FLV_PLUGIN_INFO);
    Check(info != NULL, "TIMBplugin(TIMB_FLV_PLUGIN_INFO) answers the format record");
    if (info != NULL) {
        Check(info->version == 0x02040000, "the record names TIMB 2.4");
        Check(info->formatCount == 1, "one format");
        Check(info->formatCount == 1 && info->formats[0].type == TIMB_FLV_STREAM_TYPE, "its type code");
        Check(info->formatCount == 1 && strcmp(info->formats[0].name, "FLV AudioStream") == 0, "its name");
        Check(info->formatCount == 1 && strcmp(info->formats[0].filter, "*.flv") == 0, "its filter");
    }
    StreamCreateProc create = (StreamCreateProc)TIMBplugin(TIMB_FLV_PLUGIN_CREATE);
    Check(create != NULL, "TIMBplugin(TIMB_FLV_PLUGIN_CREATE) answers the create procedure");
    Check(TIMBplugin(2) == NULL, "TIMBplugin(2) answers null");

    /* Sources the stand-in cannot open, or has no local file for. */
    Check(TIMB_FLV_StreamCreateFile(0, "C:\\no such folder\\missing.flv", 0, 0, 0) == 0,
          "TIMB_FLV_StreamCreateFile on a missing file returns 0");
    Check(TIMB_FLV_StreamCreateFile(1, "not an flv", 3, 7, 0x4) == 0,
          "TIMB_FLV_StreamCreateFile on memory without a local file returns 0");
    Check(TIMB_FLV_StreamCreateURL("stream://fixture.flv", 10, 0, NULL, NULL) == 0,
          "TIMB_FLV_StreamCreateURL without a local file returns 0");
    FileProcTable procs = {NoClose, NoLength, NoRead, NoSeek};
    Check(TIMB_FLV_StreamCreateFileUser(0, 0, &procs, NULL) == 0,
          "TIMB_FLV_StreamCreateFileUser without a local file returns 0");

    printf("%s\n", failures == 0 ? "ok" : "FAILED");
    return failures == 0 ? 0 : 1;
}

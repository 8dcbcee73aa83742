// Loads libtimb_flv as a plugin of the stand-in host, whose version is set
// first, and prints what the host saw, for library_test to read:
//   standin_probe LIBRARY VERSION
#include <stdio.h>
#include <stdlib.h>

#include "platform/library.h"
#include "standin/timb_standin.h"

typedef HostStream(TIMBAPI *CreateFile)(Bool32 memory, const void *file, uint64_t offset, uint64_t length,
                                        uint32_t flags);

int main(int argc, char **argv) {
    if (argc != 3)
        return 2;
    TimbSetVersion((uint32_t)strtoul(argv[2], nullptr, 16));
    uint32_t plugin = TimbPluginLoad(argv[1]);
    printf("plugin %s settings %u\n", plugin != 0 ? "loaded" : "refused", TimbSettingsProcCount());

    // The library's own exports, loaded again by hand: a refused add-on
    // does no work and does not call the host.
    void *library = OsLoadLibrary(argv[1]);
    CreateFile create = library != nullptr ? (CreateFile)OsLibrarySymbol(library, "TIMB_FLV_StreamCreateFile") : nullptr;
    TimbClearErrorCode();
    HostStream stream = create != nullptr ? create(0, "no such file.flv", 0, 0, 0) : 0;
    printf("create %u sources %u error %d\n", stream, TimbOpenSourceCount(), TimbGetErrorCode());
    if (library != nullptr)
        OsUnloadLibrary(library);
    if (plugin != 0)
        TimbPluginFree(plugin);
    printf("after settings %u\n", TimbSettingsProcCount());
    return 0;
}

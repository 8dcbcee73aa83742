// flvaudio: the FLV audio add-on as a command-line program. It loads the
// add-on into the stand-in TIMB host, as an application would, and reads
// audio only through the add-on's stream.
#include <stdio.h>

#include "platform/program.h"
#include "tools/command_line.h"
#include "tools/commands.h"
#include "tools/exit_status.h"
#include "tools/input.h"

namespace {

int RunCommand(const Options *options, const char *argv0) {
    AddOn addOn = {};
    int status = LoadAddOn(argv0, &addOn);
    if (status != STATUS_OK)
        return status;
    status = options->command == COMMAND_INFO ? RunInfo(options) : RunExtract(options);
    UnloadAddOn(&addOn);
    return status;
}

} // namespace

int main(int argc, char **argv) {
    Options options;
    int status = ParseCommandLine(OsProgramArguments(argc, argv), &options);
    if (status != STATUS_OK)
        return status;
    switch (options.command) {
    case COMMAND_HELP:
        PrintHelp();
        return STATUS_OK;
    case COMMAND_VERSION:
        PrintVersion();
        return STATUS_OK;
    default:
        break;
    }
    status = RunCommand(&options, argc > 0 ? argv[0] : nullptr);
    if (fflush(stdout) != 0 && status == STATUS_OK) {
        perror("flvaudio: standard output");
        status = STATUS_WRITE_FAILED;
    }
    return status;
}

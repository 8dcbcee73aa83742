// flvaudio's command line: the commands, their options, --help and --version.
#ifndef FLVAUDIO_COMMAND_LINE_H
#define FLVAUDIO_COMMAND_LINE_H

#include <stdint.h>

#include <string>
#include <vector>

enum Command { COMMAND_NONE, COMMAND_HELP, COMMAND_VERSION, COMMAND_INFO, COMMAND_EXTRACT };

struct Options {
    Command command;
    std::vector<std::string> files;
    bool json;
    bool quiet;
    bool adts;
    bool toStandardOutput; // -o -
    std::string output;    // -o OUT; empty: named after the input
    uint32_t from;         // --from BYTE
};

// STATUS_OK with the options, or STATUS_USAGE after saying what is wrong.
int ParseCommandLine(const std::vector<std::string> &arguments, Options *options);

void PrintHelp(void);
void PrintVersion(void);

#endif

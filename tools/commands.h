// flvaudio's two commands. Each returns the program's exit status.
#ifndef FLVAUDIO_COMMANDS_H
#define FLVAUDIO_COMMANDS_H

#include "tools/command_line.h"

int RunInfo(const Options *options);
int RunExtract(const Options *options);

#endif

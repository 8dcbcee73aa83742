// An FLV file as flvaudio works with it: the add-on's stream over it, loaded
// into the stand-in host the way an application loads a plugin, and the
// tool's own survey of its records. Bad input is told apart here, once, for
// every command.
#ifndef FLVAUDIO_INPUT_H
#define FLVAUDIO_INPUT_H

#include <string>

#include "host/timb_host.h"
#include "tools/survey.h"

struct AddOn {
    uint32_t plugin; // the stand-in host's handle; 0 when not loaded
    std::string path;
};

// Loads the add-on library that lies beside the program. STATUS_OK, or
// STATUS_ADDON after saying why.
int LoadAddOn(const char *argv0, AddOn *addOn);
void UnloadAddOn(AddOn *addOn);

struct Input {
    std::string path;
    FileSurvey survey;
    HostStream stream;   // the add-on's stream; 0 when not open
    uint32_t audioBytes; // the stream's length
};

// Opens `path` through the add-on and surveys it. STATUS_OK, or the status
// of the kind of bad input after a one-line message that names the file.
// On failure nothing stays open.
int OpenInput(const std::string &path, Input *input);
void CloseInput(Input *input);

// "flvaudio: PATH: reason" on standard error.
void ReportBadFile(const std::string &path, const std::string &reason);

#endif

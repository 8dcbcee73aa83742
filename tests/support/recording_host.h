// A host written for tests: it defines TIMB_GetVersion,
// TIMB_StreamCreateFileUser and the table `_` in the test program itself,
// records every call the add-on makes, and answers as the test arranges.
// Link it instead of the stand-in host when a test must see the exact calls.
#ifndef TIMB_FLV_TESTS_RECORDING_HOST_H
#define TIMB_FLV_TESTS_RECORDING_HOST_H

#include <stdint.h>

#include <map>
#include <string>
#include <vector>

#include "host/timb_host.h"

namespace recording {

struct Call {
    std::string name;
    std::vector<uint64_t> args;
    bool operator==(const Call &other) const { return name == other.name && args == other.args; }
};

struct Stream {
    FileProcTable procs;
    void *user;
    uint32_t flags;
};

// What the host answers. Reset() brings back these defaults.
struct Answers {
    uint32_t version = 0x02040000;
    HostFile openedSource = 0x51;   // what every Open*Source returns
    uint32_t sourceFlags = 0;       // QuerySourceFlags
    std::u16string sourceName;      // QuerySourceName; empty: null
    bool refuseStreams = false;     // TIMB_StreamCreateFileUser returns 0
};

extern Answers answers;

// Clears the record and the answers, and forgets every stream.
void Reset();

// Every call since the last Reset, in order.
std::vector<Call> Calls();
std::vector<std::string> CallNames();
int CountCalls(const std::string &name);

// The streams created since the last Reset, by handle.
std::map<HostStream, Stream> Streams();

// Calls through a created stream's procedures.
uint32_t Read(HostStream stream, void *buffer, uint32_t length);
Bool32 Seek(HostStream stream, uint64_t offset);
uint64_t Length(HostStream stream);
void Close(HostStream stream);

// The settings procedures currently offered.
std::vector<SettingsProc> SettingsProcs();

} // namespace recording

#endif

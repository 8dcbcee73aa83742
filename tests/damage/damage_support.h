// Streams over damaged files, created through the recording host and held
// against the model.
#ifndef TIMB_FLV_TESTS_DAMAGE_SUPPORT_H
#define TIMB_FLV_TESTS_DAMAGE_SUPPORT_H

#include <string>
#include <vector>

#include "tests/damage/stream_check.h"

namespace damage {

using model::Bytes;

// Creates a stream over the file at `path`, whose bytes are `bytes`, reads it
// whole, seeks, reads, and closes it; checks every answer, the error code and
// that the host file is closed exactly once. Empty when all was as it must be.
std::string ExerciseFile(const std::string &path, const Bytes &bytes, uint32_t seed);

// Creation over `path` through CreateFlvStream: the stream, or 0.
HostStream CreateOver(const std::string &path);
model::StreamCalls CallsOf(HostStream stream);
// Closes through the close procedure and forgets the closed record.
void CloseAndForget(HostStream stream);

Bytes ReadFile(const std::string &path);

// The FLV files of a folder, sorted; none when it does not exist.
std::vector<std::string> FlvFilesIn(const std::string &folder);

} // namespace damage

#endif

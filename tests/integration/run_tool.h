// Runs flvaudio, ffmpeg and ffprobe as child processes and collects their
// exit status and output.
#ifndef INTEGRATION_RUN_TOOL_H
#define INTEGRATION_RUN_TOOL_H

#include <string>
#include <vector>

namespace run {

struct Result {
    int status; // exit status; 128 + signal number when killed
    std::string out;
    std::string err;
};

// `program` with `arguments`, standard input from /dev/null, output
// collected through files in `scratch`.
Result Run(const std::string &program, const std::vector<std::string> &arguments, const std::string &scratch);

// Like Run, but standard error is a terminal; what it showed is in err.
Result RunWithTerminalStderr(const std::string &program, const std::vector<std::string> &arguments,
                             const std::string &scratch);

// How many frames ffprobe decodes from the first audio stream of `path`; -1
// when ffprobe fails.
long DecodedAudioFrames(const std::string &path, const std::string &scratch);

} // namespace run

#endif

// The least host that lets the benchmarks create streams in process: it
// defines TIMB's exports, names the one file a creation asks for, and hands
// back the user value so the benchmark calls the four procedures directly,
// with no host in between to blur the figures.
#ifndef TIMB_FLV_BENCH_HOST_H
#define TIMB_FLV_BENCH_HOST_H

#include <string>

#include "flv/stream.h"

namespace benchhost {

// Creates a stream over `path` through CreateFlvStream; null when creation
// fails.
FlvStream *CreateStream(const std::string &path);

// Closes the stream through its close procedure and frees its record.
void CloseStream(FlvStream *stream);

} // namespace benchhost

#endif

// In-process figures for each FLV file named on the command line, all in
// one run so they can be set against each other:
//   RawRead     the file read front to back with 32 KiB reads: the limit
//   Create      stream creation, which scans the whole file
//   Extract     the whole audio byte stream through FlvFileRead, 32 KiB a call
//   SeekOwner   100 random seeks on the stream that owns the position index
//   SeekOlder   the same on a stream created before it
//   Memory      peak resident memory over the baseline during create, read,
//               seek and close, against the largest record
// Bytes and read calls per seek come from /proc/self/io (every read(2) the
// process makes, file cache or not); memory from VmHWM after clear_refs.
//
//   flv_bench [--benchmark_...] FILE...
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <random>
#include <string>
#include <vector>

#include "bench/bench_host.h"

namespace {

const uint32_t rawReadSize = 32768;
const uint32_t extractReadSize = 32768;
const int seeksPerRun = 100;
const uint32_t seekSeed = 20240611;
const uint64_t memorySlack = 1 << 20;

// Reads of the process so far, from /proc/self/io. Reading that file is a
// read itself; Since() takes it out again.
struct IoSample {
    uint64_t bytes;
    uint64_t calls;
    uint64_t ownBytes; // what reading this sample returned
};

int ioFile = -1;

uint64_t IoField(const char *text, const char *name) {
    const char *at = strstr(text, name);
    return at == nullptr ? 0 : strtoull(at + strlen(name), nullptr, 10);
}

IoSample SampleIo() {
    if (ioFile < 0)
        ioFile = open("/proc/self/io", O_RDONLY);
    char text[512];
    ssize_t n = pread(ioFile, text, sizeof text - 1, 0);
    if (n <= 0) {
        fprintf(stderr, "flv_bench: /proc/self/io cannot be read\n");
        exit(1);
    }
    text[n] = 0;
    return {IoField(text, "rchar: "), IoField(text, "syscr: "), (uint64_t)n};
}

IoSample IoSince(const IoSample &before) {
    IoSample now = SampleIo();
    return {now.bytes - before.bytes - before.ownBytes, now.calls - before.calls - 1, 0};
}

uint64_t StatusKb(const char *field) {
    FILE *status = fopen("/proc/self/status", "r");
    char line[256];
    uint64_t kb = 0;
    size_t length = strlen(field);
    while (status != nullptr && fgets(line, sizeof line, status) != nullptr)
        if (strncmp(line, field, length) == 0 && line[length] == ':')
            kb = strtoull(line + length + 1, nullptr, 10);
    if (status != nullptr)
        fclose(status);
    return kb;
}

// Sets the high-water mark back to the present resident size.
void ResetPeakMemory() {
    FILE *refs = fopen("/proc/self/clear_refs", "w");
    if (refs == nullptr || fputs("5", refs) < 0 || fclose(refs) != 0) {
        fprintf(stderr, "flv_bench: cannot reset the memory high-water mark\n");
        exit(1);
    }
}

// The largest payload in the file, by a plain walk over its record headers.
uint32_t LargestPayload(const std::string &path) {
    int file = open(path.c_str(), O_RDONLY);
    uint32_t largest = 0;
    uint8_t header[15];
    for (off_t at = 9; file >= 0 && pread(file, header, sizeof header, at) == (ssize_t)sizeof header;) {
        uint32_t size = (uint32_t)header[5] << 16 | (uint32_t)header[6] << 8 | header[7];
        if (size > largest)
            largest = size;
        at += size + 15;
    }
    if (file >= 0)
        close(file);
    return largest;
}

FlvStream *CreateOrDie(const std::string &path) {
    FlvStream *stream = benchhost::CreateStream(path);
    if (stream == nullptr) {
        fprintf(stderr, "flv_bench: no stream over %s\n", path.c_str());
        exit(1);
    }
    return stream;
}

uint64_t ReadAll(FlvStream *stream, std::vector<uint8_t> &buffer) {
    uint64_t delivered = 0;
    while (delivered < stream->audioLength) {
        uint32_t got = FlvFileRead(buffer.data(), (uint32_t)buffer.size(), stream);
        delivered += got;
        if (got < buffer.size())
            break;
    }
    return delivered;
}

std::vector<uint64_t> SeekOffsets(uint32_t audioLength) {
    std::mt19937 random(seekSeed);
    std::uniform_int_distribution<uint32_t> offset(0, audioLength - 1);
    std::vector<uint64_t> offsets;
    for (int i = 0; i < seeksPerRun; i++)
        offsets.push_back(offset(random));
    return offsets;
}

void RawRead(benchmark::State &state, std::string path) {
    std::vector<uint8_t> buffer(rawReadSize);
    uint64_t total = 0;
    for (auto _ : state) {
        int file = open(path.c_str(), O_RDONLY);
        ssize_t n;
        while ((n = read(file, buffer.data(), buffer.size())) > 0)
            total += (uint64_t)n;
        close(file);
    }
    state.SetBytesProcessed((int64_t)total);
}

// Bytes read per byte of the file, and read calls, for what `work` does.
template <typename Work>
void CountReads(benchmark::State &state, const std::string &path, Work work) {
    struct stat info;
    stat(path.c_str(), &info);
    IoSample before = SampleIo();
    work();
    IoSample used = IoSince(before);
    state.counters["read_bytes_per_file_byte"] = (double)used.bytes / (double)info.st_size;
    state.counters["read_calls"] = (double)used.calls;
}

void Create(benchmark::State &state, std::string path) {
    CountReads(state, path, [&] { benchhost::CloseStream(CreateOrDie(path)); });
    for (auto _ : state) {
        FlvStream *stream = CreateOrDie(path);
        state.PauseTiming();
        benchhost::CloseStream(stream);
        state.ResumeTiming();
    }
}

void Extract(benchmark::State &state, std::string path) {
    std::vector<uint8_t> buffer(extractReadSize);
    FlvStream *counted = CreateOrDie(path);
    CountReads(state, path, [&] { ReadAll(counted, buffer); });
    benchhost::CloseStream(counted);
    uint64_t total = 0;
    for (auto _ : state) {
        state.PauseTiming();
        FlvStream *stream = CreateOrDie(path);
        state.ResumeTiming();
        uint64_t delivered = ReadAll(stream, buffer);
        state.PauseTiming();
        bool whole = delivered == stream->audioLength;
        benchhost::CloseStream(stream);
        if (!whole) {
            state.SkipWithError("the stream ended before its length");
            break;
        }
        total += delivered;
        state.ResumeTiming();
    }
    state.SetBytesProcessed((int64_t)total);
}

// Seeks `stream` to every offset once, measuring each seek's reads.
void CountSeekReads(benchmark::State &state, FlvStream *stream, const std::vector<uint64_t> &offsets) {
    uint64_t bytes = 0, calls = 0, mostBytes = 0;
    for (uint64_t offset : offsets) {
        IoSample before = SampleIo();
        if (!FlvFileSeek(offset, stream))
            state.SkipWithError("a seek inside the stream was refused");
        IoSample used = IoSince(before);
        bytes += used.bytes;
        calls += used.calls;
        if (used.bytes > mostBytes)
            mostBytes = used.bytes;
    }
    state.counters["bytes_per_seek"] = (double)bytes / (double)offsets.size();
    state.counters["most_bytes_per_seek"] = (double)mostBytes;
    state.counters["reads_per_seek"] = (double)calls / (double)offsets.size();
}

void TimeSeeks(benchmark::State &state, FlvStream *stream, const std::vector<uint64_t> &offsets) {
    for (auto _ : state)
        for (uint64_t offset : offsets)
            benchmark::DoNotOptimize(FlvFileSeek(offset, stream));
    state.SetItemsProcessed((int64_t)(state.iterations() * offsets.size()));
}

void SeekOwner(benchmark::State &state, std::string path) {
    FlvStream *stream = CreateOrDie(path);
    std::vector<uint64_t> offsets = SeekOffsets(stream->audioLength);
    CountSeekReads(state, stream, offsets);
    TimeSeeks(state, stream, offsets);
    benchhost::CloseStream(stream);
}

void SeekOlder(benchmark::State &state, std::string path) {
    FlvStream *older = CreateOrDie(path);
    FlvStream *owner = CreateOrDie(path); // takes the index over
    std::vector<uint64_t> offsets = SeekOffsets(older->audioLength);
    CountSeekReads(state, older, offsets);
    TimeSeeks(state, older, offsets);
    benchhost::CloseStream(owner);
    benchhost::CloseStream(older);
}

void Memory(benchmark::State &state, std::string path) {
    uint32_t largest = LargestPayload(path);
    std::vector<uint8_t> buffer(extractReadSize);
    uint64_t peak = 0;
    for (auto _ : state) {
        uint64_t baselineKb = StatusKb("VmRSS");
        ResetPeakMemory();
        FlvStream *stream = CreateOrDie(path);
        ReadAll(stream, buffer);
        for (uint64_t offset : SeekOffsets(stream->audioLength)) {
            FlvFileSeek(offset, stream);
            FlvFileRead(buffer.data(), (uint32_t)buffer.size(), stream);
        }
        benchhost::CloseStream(stream);
        peak = (StatusKb("VmHWM") - baselineKb) * 1024;
    }
    state.counters["peak_over_baseline"] = (double)peak;
    state.counters["largest_payload"] = (double)largest;
    state.counters["limit"] = (double)(2 * (uint64_t)largest + memorySlack);
}

std::string BaseName(const std::string &path) {
    size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

void RegisterFor(const std::string &path) {
    std::string name = BaseName(path);
    benchmark::RegisterBenchmark(("RawRead/" + name).c_str(), RawRead, path)->UseRealTime()->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark(("Create/" + name).c_str(), Create, path)->UseRealTime()->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark(("Extract/" + name).c_str(), Extract, path)->UseRealTime()->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark(("SeekOwner/" + name).c_str(), SeekOwner, path)->UseRealTime()->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark(("SeekOlder/" + name).c_str(), SeekOlder, path)->UseRealTime()->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark(("Memory/" + name).c_str(), Memory, path)->Iterations(1)->Unit(benchmark::kMillisecond);
}

} // namespace

int main(int argc, char **argv) {
    benchmark::Initialize(&argc, argv);
    if (argc < 2) {
        fprintf(stderr, "usage: flv_bench [--benchmark_...] FILE...\n");
        return 2;
    }
    for (int i = 1; i < argc; i++)
        RegisterFor(argv[i]);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

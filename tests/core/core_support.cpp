#include "tests/core/core_support.h"

#include <malloc.h>
#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>

#include "platform/platform.h"
#include "plugin/plugin.h"
#include "tests/support/recording_host.h"

#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define CORE_TESTS_UNDER_ASAN 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__)
#define CORE_TESTS_UNDER_ASAN 1
#endif
#ifdef CORE_TESTS_UNDER_ASAN
#include <sanitizer/allocator_interface.h>
#endif

namespace core {

namespace {

const uint32_t initialPayloadBuffer = 128;
const HostFile openedSource = 0x51;

Bytes RecordHeader(uint8_t type, uint32_t size) {
    // Previous tag size, timestamp and stream id hold values nothing may read.
    return {0xDE, 0xAD, 0xBE, 0xEF, type, (uint8_t)(size >> 16), (uint8_t)(size >> 8), (uint8_t)size, 0x12, 0x34,
            0x56, 0x78, 0x9A, 0xBC, 0xDE};
}

uint32_t BigEndian24(const Bytes &bytes, size_t at) {
    return (uint32_t)bytes[at] << 16 | (uint32_t)bytes[at + 1] << 8 | bytes[at + 2];
}

} // namespace

Bytes NonZeroPattern(size_t count, uint32_t seed) {
    Bytes bytes = fixture::Pattern(count, seed);
    for (uint8_t &byte : bytes)
        if (byte == 0)
            byte = 0x5A;
    return bytes;
}

std::vector<Tag> RandomNonZeroTags(uint32_t seed, size_t count, uint32_t largestPayload) {
    std::mt19937 random(seed);
    std::vector<Tag> tags = fixture::RandomTags(random, count, largestPayload);
    for (size_t i = 0; i < tags.size(); i++)
        tags[i].payload = NonZeroPattern(tags[i].payload.size(), seed * 1000 + (uint32_t)i);
    return tags;
}

std::vector<Boundary> BoundariesOfFile(const Bytes &file) {
    std::vector<Boundary> boundaries;
    uint64_t at = FLV_FIRST_RECORD;
    uint32_t count = 0;
    while (at + 15 < file.size()) {
        uint8_t type = file[at + 4];
        uint32_t size = BigEndian24(file, at + 5);
        at += 15 + (uint64_t)size;
        if (type == fixture::AUDIO) {
            count += size > 0 ? size - 1 : 0;
            boundaries.push_back({at, count});
        }
    }
    return boundaries;
}

std::vector<IndexSlot> ExpectedSlots(const std::vector<Boundary> &boundaries, uint64_t fileSize) {
    std::vector<IndexSlot> slots;
    for (uint64_t i = 0; i < SEEK_INDEX_SLOTS; i++) {
        IndexSlot slot = {FLV_FIRST_RECORD, 0};
        for (const Boundary &b : boundaries)
            if (b.end < fileSize && b.end * SEEK_INDEX_SLOTS / fileSize <= i)
                slot = {(uint32_t)b.end, b.count};
        slots.push_back(slot);
    }
    return slots;
}

SeekIndex IndexSnapshot() {
    OsLock();
    SeekIndex copy = seekIndex;
    OsUnlock();
    return copy;
}

Layout::Layout() { pieces.push_back({0, fixture::HeaderBytes()}); }

uint64_t Layout::Add(uint8_t type, uint32_t size, const Bytes &payload) {
    if (!payload.empty() && payload.size() != size)
        throw std::logic_error("payload does not match its size");
    uint64_t start = next;
    Bytes bytes = RecordHeader(type, size);
    bytes.insert(bytes.end(), payload.begin(), payload.end());
    pieces.push_back({start, bytes});
    next = start + FLV_RECORD_OVERHEAD + size;
    if (type == fixture::AUDIO) {
        audioCount += size > 0 ? size - 1 : 0;
        boundaries.push_back({next, audioCount});
    }
    return start;
}

void Layout::FillTo(uint64_t position) {
    const uint64_t largest = FLV_RECORD_OVERHEAD + 0xFFFFFF;
    while (position > next) {
        uint64_t left = position - next;
        if (left < FLV_RECORD_OVERHEAD)
            throw std::logic_error("cannot fill fewer than 15 bytes");
        // Keep what remains after this record fillable too.
        uint64_t take = left <= largest ? left : (left - largest < FLV_RECORD_OVERHEAD ? largest - 64 : largest);
        Add(fixture::VIDEO, (uint32_t)(take - FLV_RECORD_OVERHEAD));
    }
}

std::unique_ptr<fixture::TempFile> WriteLayout(const Layout &layout, uint64_t size) {
    auto file = std::make_unique<fixture::TempFile>(Bytes());
    std::filesystem::resize_file(file->path, size);
    std::fstream out(file->path, std::ios::in | std::ios::out | std::ios::binary);
    for (const Layout::Piece &piece : layout.pieces) {
        uint64_t fits = piece.at >= size ? 0 : std::min<uint64_t>(piece.bytes.size(), size - piece.at);
        out.seekp((std::streamoff)piece.at);
        out.write((const char *)piece.bytes.data(), (std::streamsize)fits);
    }
    if (!out)
        throw std::runtime_error("cannot write " + file->path);
    return file;
}

FlvStream *OpenStream(const fixture::TempFile &file) {
    recording::answers.sourceName = file.Utf16Path();
    HostStream handle = CreateFlvStream(openedSource, 0);
    if (handle == 0)
        return nullptr;
    return (FlvStream *)recording::Streams().at(handle).user;
}

FlvStream *AssembleStream(const fixture::TempFile &file) {
    FlvStream *stream = (FlvStream *)OsAlloc(sizeof(FlvStream), 1);
    if (stream == nullptr)
        return nullptr;
    stream->source = openedSource;
    stream->reader = OpenFlvReader(file.Utf16Path().c_str());
    stream->payload = (uint8_t *)OsAlloc(initialPayloadBuffer, 0);
    if (stream->reader == nullptr || stream->payload == nullptr) {
        if (stream->reader != nullptr)
            ReleaseStreamObjects(stream);
        DiscardStream(stream);
        return nullptr;
    }
    stream->audioLength = ScanAudio(stream->reader);
    return stream;
}

Bytes ReadToEnd(FlvStream *stream, uint32_t chunk) {
    Bytes out;
    Bytes buffer(chunk);
    for (;;) {
        uint32_t got = FlvFileRead(buffer.data(), chunk, stream);
        bool zeroFill = got == chunk;
        for (uint32_t i = 0; zeroFill && i < chunk; i++)
            zeroFill = buffer[i] == 0;
        if (zeroFill || got == 0)
            return out;
        out.insert(out.end(), buffer.begin(), buffer.begin() + got);
    }
}

size_t HeapInUse() {
#ifdef CORE_TESTS_UNDER_ASAN
    return __sanitizer_get_current_allocated_bytes();
#else
    struct mallinfo2 info = mallinfo2();
    return info.uordblks + info.hblkhd;
#endif
}

bool HeapCountIsExact() {
#ifdef CORE_TESTS_UNDER_ASAN
    return true;
#else
    const char *tunables = getenv("GLIBC_TUNABLES");
    return tunables != nullptr && strstr(tunables, "glibc.malloc.tcache_count=0") != nullptr;
#endif
}

std::string StreamModel::CheckRead(const uint8_t *buffer, uint32_t length, uint32_t got, uint8_t sentinel) {
    std::ostringstream problem;
    problem << "read of " << length << " at stream offset " << position << ": ";
    uint64_t remaining = position < audio.size() ? audio.size() - position : 0;
    bool zeroFill = length != 0 && got == length;
    for (uint32_t i = 0; zeroFill && i < length; i++)
        zeroFill = buffer[i] == 0;
    bool zeroFillAllowed = faultsAllowed || remaining == 0;
    if (got > length) {
        problem << "reported " << got;
        return problem.str();
    }
    if (got > remaining) {
        if (zeroFill && zeroFillAllowed)
            return "";
        problem << "delivered " << got << " bytes, only " << remaining << " left in the stream";
        return problem.str();
    }
    if (!faultsAllowed && got != std::min<uint64_t>(length, remaining)) {
        problem << "delivered " << got << " bytes, " << remaining << " left in the stream";
        return problem.str();
    }
    for (uint32_t i = 0; i < got; i++) {
        if (buffer[i] != audio[position + i]) {
            if (zeroFill && zeroFillAllowed)
                return "";
            problem << "byte " << i << " (stream offset " << position + i << ") is " << (int)buffer[i] << ", expected "
                    << (int)audio[position + i];
            if (zeroFill)
                problem << " (zero fill with bytes left to deliver)";
            return problem.str();
        }
    }
    for (uint32_t i = got; i < length; i++) {
        if (buffer[i] != sentinel) {
            problem << "answered " << got << " bytes but wrote byte " << i << " after them";
            return problem.str();
        }
    }
    position += got;
    return "";
}

bool AllocationFaultPending(uint32_t upTo) {
    for (uint32_t i = 0; i < upTo; i++) {
        void *block = OsAlloc(1, 0);
        if (block == nullptr)
            return true;
        OsFree(block);
    }
    return false;
}

bool ReadFaultPending(uint32_t upTo) {
    fixture::TempFile probe(Bytes(1, 0x33));
    OsFile file = OsOpenFile(probe.Utf16Path().c_str());
    if (file == OS_FILE_NONE)
        throw std::runtime_error("cannot open " + probe.path);
    bool pending = false;
    for (uint32_t i = 0; i < upTo && !pending; i++) {
        uint8_t byte = 0;
        uint32_t got = 0;
        OsSetFilePosition(file, 0);
        pending = !OsReadFile(file, &byte, 1, &got);
    }
    OsCloseFile(file);
    return pending;
}

void StreamProcTest::SetUp() { recording::Reset(); }

void StreamProcTest::TearDown() {
    OsFailNthAllocation(0);
    OsFailNthRead(0);
    FreeClosedStreams();
    recording::Reset();
}

uint32_t StreamProcTest::Read(FlvStream *stream, StreamModel &model, uint32_t length) {
    Bytes buffer(length, sentinel);
    uint32_t got = FlvFileRead(buffer.data(), length, stream);
    EXPECT_EQ(model.CheckRead(buffer.data(), length, got, sentinel), "");
    return got;
}

} // namespace core

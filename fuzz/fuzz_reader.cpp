// The record reader under a sequence of operations decoded from the input:
// refills at any position, resizes to any capacity, peeks, reads into
// destinations of any capacity, skips, and faults injected into one
// operation. After each, the reader must hold what the file holds at its
// position, and every answer must be the one the file's bytes call for.
#include <string.h>

#include <memory>

#include "flv/reader.h"
#include "fuzz/fuzz_support.h"

namespace {

using fuzz::Bytes;
using fuzz::Fail;

const uint32_t positionLimit = FLV_POSITION_LIMIT;
const uint32_t untouched = 0xDEADBEEF;

enum Operation { REFILL, RESIZE, PEEK, READ, READ_NOWHERE, SKIP, FAULT, OPERATION_COUNT };

struct Check {
    const Bytes &file;
    FlvReader *reader;
    bool faulted; // a fault was armed for this operation: a read may have failed
};

uint32_t Size24(const Bytes &file, uint64_t at) {
    return (uint32_t)file[at] << 16 | (uint32_t)file[at + 1] << 8 | file[at + 2];
}

// Whether the record header at the reader's position can be had: 16 bytes of
// the file from there, within range, and a window that can hold them.
bool HeaderThere(const Check &c) {
    const FlvReader *r = c.reader;
    return r->recordPos < positionLimit && (uint64_t)r->recordPos + 16 <= c.file.size() && r->capacity >= 16;
}

void CheckWindow(const Check &c, const char *after) {
    const FlvReader *r = c.reader;
    if (r->cursor > r->valid || r->valid > r->capacity)
        Fail(std::string(after) + ": cursor, valid and capacity out of order");
    if (r->valid == 0)
        return;
    uint64_t start = (uint64_t)r->recordPos - r->cursor;
    if (r->cursor > r->recordPos || start + r->valid > c.file.size() ||
        memcmp(r->window, c.file.data() + start, r->valid) != 0)
        Fail(std::string(after) + ": the window does not hold the file's bytes at its position");
}

void Refill(const Check &c, uint32_t word) {
    uint32_t pos = word & 0x80000000u ? word : word % (uint32_t)(c.file.size() + 32);
    RefillWindow(c.reader, pos);
    uint64_t left = pos < positionLimit && pos < c.file.size() ? c.file.size() - pos : 0;
    uint32_t expected = (uint32_t)(left < c.reader->capacity ? left : c.reader->capacity);
    if (c.reader->recordPos != pos || c.reader->cursor != 0)
        Fail("refill: not at the position asked");
    if (c.reader->valid != expected && !(c.faulted && c.reader->valid == 0))
        Fail("refill: " + std::to_string(c.reader->valid) + " bytes in the window, not " + std::to_string(expected));
}

void Resize(const Check &c, uint32_t word) {
    uint32_t capacity = 1 + word % 40000;
    uint32_t before = c.reader->capacity;
    int result = ResizeWindow(c.reader, capacity);
    if (!result && !c.faulted)
        Fail("resize failed with memory to spare");
    if (c.reader->capacity != (result ? capacity : before))
        Fail("resize: the capacity is not the one the result says");
}

void Peek(const Check &c) {
    bool there = HeaderThere(c);
    uint32_t type = untouched, size = untouched;
    uint32_t pos = c.reader->recordPos;
    int result = PeekRecord(c.reader, &type, &size);
    if (c.reader->recordPos != pos)
        Fail("peek moved the reader");
    if (!result) {
        if (there && !c.faulted)
            Fail("peek found no record where the file has one");
        if (type != untouched || size != 0)
            Fail("peek at the end: type out changed or size out not 0");
        return;
    }
    if (!there)
        Fail("peek found a record the file does not hold");
    if (type != c.file[pos + 4] || size != Size24(c.file, pos + 5))
        Fail("peek: type or size differs from the file");
}

void Read(const Check &c, uint32_t word, bool toNowhere) {
    FlvReader *r = c.reader;
    bool there = HeaderThere(c);
    uint32_t pos = r->recordPos;
    uint32_t recordSize = there ? Size24(c.file, pos + 5) : 0;
    uint32_t capacity = word % (recordSize + 2);
    // Exactly as large as said, so overruns are caught; left uninitialised,
    // as claimed sizes reach megabytes.
    std::unique_ptr<uint8_t[]> destination(new uint8_t[capacity == 0 ? 1 : capacity]);
    uint32_t type = untouched, size = untouched;
    int result = ReadRecord(r, toNowhere ? nullptr : destination.get(), capacity, &type, &size);
    bool whole = there && (uint64_t)pos + recordSize + 16 <= c.file.size();
    bool expected = there && (toNowhere || (capacity >= recordSize && whole));
    if (result && !expected)
        Fail("read succeeded where it must fail");
    if (!result && expected && !c.faulted)
        Fail("read failed where the file holds the record");
    if (result) {
        if (type != c.file[pos + 4] || size != recordSize)
            Fail("read: type or size differs from the file");
        if (toNowhere ? r->recordPos != pos : r->recordPos != pos + recordSize + 15)
            Fail("read: the reader is not past the record");
        if (!toNowhere && recordSize > 0 && memcmp(destination.get(), c.file.data() + pos + 15, recordSize) != 0)
            Fail("read: the payload copied differs from the file");
        return;
    }
    if (r->recordPos != pos)
        Fail("a failed read moved the reader");
    if (!there && (type != untouched || size != 0))
        Fail("read at the end: type out changed or size out not 0");
    if (there && !c.faulted && size != 0)
        Fail("a failed read left a size in size out");
}

void Skip(const Check &c) {
    bool there = HeaderThere(c);
    uint32_t pos = c.reader->recordPos;
    int result = SkipRecord(c.reader);
    if (result && !there)
        Fail("skip found a record the file does not hold");
    if (!result && there && !c.faulted)
        Fail("skip found no record where the file has one");
    if (result && c.reader->recordPos != pos + Size24(c.file, pos + 5) + 15)
        Fail("skip: the reader is not past the record");
}

void CloseReader(FlvReader *reader) {
    OsCloseFile(reader->file);
    OsFree(reader->window);
    OsFree(reader);
}

bool OpensAsFlv(const Bytes &file) {
    return file.size() >= 4 && memcmp(file.data(), "FLV\x01", 4) == 0;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    fuzz::Input input = fuzz::SplitInput(data, size);
    fuzz::WriteFile(input.file);
    std::u16string path(fuzz::FilePath().begin(), fuzz::FilePath().end());
    FlvReader *reader = OpenFlvReader(path.c_str());
    if ((reader != nullptr) != OpensAsFlv(input.file))
        Fail(reader ? "a file that is no FLV of version 1 opened" : "an FLV file did not open");
    if (reader == nullptr)
        return 0;
    if (reader->cursor != 0 || reader->valid != 0 || reader->capacity != FLV_OPEN_WINDOW)
        Fail("the open left the window other than empty at 1024 bytes");
    bool armed = false;
    while (!input.operations.Done()) {
        Check c = {input.file, reader, armed};
        uint8_t operation = input.operations.Byte() % OPERATION_COUNT;
        armed = false;
        switch (operation) {
        case REFILL: Refill(c, input.operations.Word()); break;
        case RESIZE: Resize(c, input.operations.Word()); break;
        case PEEK: Peek(c); break;
        case READ: Read(c, input.operations.Word(), false); break;
        case READ_NOWHERE: Read(c, 0, true); break;
        case SKIP: Skip(c); break;
        case FAULT:
            fuzz::ArmFault(input.operations.Byte());
            armed = true;
            continue;
        }
        fuzz::Disarm();
        CheckWindow(c, "after an operation");
    }
    fuzz::Disarm();
    CloseReader(reader);
    return 0;
}

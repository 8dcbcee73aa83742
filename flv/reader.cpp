#include "flv/reader.h"

#include <string.h>

namespace {

const uint8_t flvSignature[3] = {'F', 'L', 'V'};
const uint8_t flvVersion = 1;

uint32_t BigEndian24(const uint8_t *bytes) { return (uint32_t)bytes[0] << 16 | (uint32_t)bytes[1] << 8 | bytes[2]; }

uint32_t BigEndian32(const uint8_t *bytes) { return (uint32_t)bytes[0] << 24 | BigEndian24(bytes + 1); }

// A record at 2^31 or beyond is out of range even when a window loaded from
// below that reaches it: it reads as the end, as a refill there would.
bool HeaderPresent(const FlvReader *reader) {
    return reader->recordPos < FLV_POSITION_LIMIT && reader->valid > reader->cursor + FLV_RECORD_OVERHEAD;
}

bool WholeRecordPresent(const FlvReader *reader, uint32_t size) {
    return reader->valid > reader->cursor + size + FLV_RECORD_OVERHEAD;
}

uint32_t CurrentType(const FlvReader *reader) { return reader->window[reader->cursor + 4]; }

uint32_t CurrentSize(const FlvReader *reader) { return BigEndian24(reader->window + reader->cursor + 5); }

void StepPastRecord(FlvReader *reader, uint32_t size) {
    reader->cursor += size + FLV_RECORD_OVERHEAD;
    reader->recordPos += size + FLV_RECORD_OVERHEAD;
}

// Only bytes that were read take part: a file shorter than the signature and
// version byte is no FLV file.
bool IsFlvVersion1(const uint8_t *header, uint32_t got) {
    return got >= 4 && memcmp(header, flvSignature, sizeof flvSignature) == 0 && header[3] == flvVersion;
}

} // namespace

FlvReader *OpenFlvReader(const char16_t *path) {
    if (path == NULL)
        return NULL;
    OsFile file = OsOpenFile(path);
    if (file == OS_FILE_NONE)
        return NULL;
    uint8_t header[FLV_HEADER_SIZE] = {0};
    uint32_t got = 0;
    FlvReader *reader = NULL;
    if (OsReadFile(file, header, FLV_HEADER_SIZE, &got) && IsFlvVersion1(header, got))
        reader = (FlvReader *)OsAlloc(sizeof(FlvReader), 1);
    if (reader != NULL) {
        reader->window = (uint8_t *)OsAlloc(FLV_OPEN_WINDOW, 0);
        if (reader->window == NULL) {
            OsFree(reader);
            reader = NULL;
        }
    }
    if (reader == NULL) {
        OsCloseFile(file);
        return NULL;
    }
    reader->version = header[3];
    reader->flags = header[4];
    reader->dataOffset = BigEndian32(header + 5);
    reader->recordPos = reader->dataOffset;
    reader->file = file;
    reader->cursor = 0;
    reader->capacity = FLV_OPEN_WINDOW;
    return reader;
}

void RefillWindow(FlvReader *reader, uint32_t pos) {
    reader->recordPos = pos;
    reader->cursor = 0;
    reader->valid = 0;
    // The system takes a signed 32-bit distance: beyond it lies the end of the data.
    if (pos >= FLV_POSITION_LIMIT)
        return;
    uint32_t got = 0;
    if (OsReadFileAt(reader->file, pos, reader->window, reader->capacity, &got))
        reader->valid = got;
}

int ResizeWindow(FlvReader *reader, uint32_t capacity) {
    uint8_t *window = (uint8_t *)OsRealloc(reader->window, capacity);
    if (window == NULL)
        return 0;
    reader->window = window;
    reader->capacity = capacity;
    RefillWindow(reader, reader->recordPos);
    return 1;
}

int PeekRecord(FlvReader *reader, uint32_t *type, uint32_t *size) {
    if (!HeaderPresent(reader))
        RefillWindow(reader, reader->recordPos);
    if (reader->valid <= FLV_RECORD_OVERHEAD) {
        if (size != NULL)
            *size = 0;
        return 0;
    }
    if (type != NULL)
        *type = CurrentType(reader);
    if (size != NULL)
        *size = CurrentSize(reader);
    return 1;
}

int ReadRecord(FlvReader *reader, void *destination, uint32_t destinationCapacity, uint32_t *type,
               uint32_t *size) {
    uint32_t recordSize = 0;
    if (!PeekRecord(reader, type, &recordSize)) {
        if (size != NULL)
            *size = 0;
        return 0;
    }
    if (size != NULL)
        *size = recordSize;
    if (destination == NULL)
        return 1;
    if (recordSize + FLV_RECORD_OVERHEAD >= reader->capacity &&
        !ResizeWindow(reader, recordSize + FLV_RECORD_OVERHEAD + FLV_WINDOW_SLACK))
        return 0;
    if (destinationCapacity < recordSize) {
        if (size != NULL)
            *size = 0;
        return 0;
    }
    if (!WholeRecordPresent(reader, recordSize)) {
        RefillWindow(reader, reader->recordPos);
        if (reader->valid <= recordSize + FLV_RECORD_OVERHEAD) {
            if (size != NULL)
                *size = 0;
            return 0;
        }
    }
    memcpy(destination, reader->window + reader->cursor + FLV_RECORD_OVERHEAD, recordSize);
    StepPastRecord(reader, recordSize);
    return 1;
}

int SkipRecord(FlvReader *reader) {
    if (!HeaderPresent(reader)) {
        RefillWindow(reader, reader->recordPos);
        if (reader->valid <= FLV_RECORD_OVERHEAD)
            return 0;
    }
    uint32_t size = CurrentSize(reader);
    if (WholeRecordPresent(reader, size))
        StepPastRecord(reader, size);
    else
        RefillWindow(reader, reader->recordPos + size + FLV_RECORD_OVERHEAD);
    return 1;
}

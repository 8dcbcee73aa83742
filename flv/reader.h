// The FLV record reader: one open FLV file and a read-ahead window over it.
//
// A record is the 4-byte previous-tag-size field, the 11-byte tag header and
// the payload, so it is payload size + 15 bytes long; the first one starts at
// file offset 9. The reader gives tag types no meaning.
//
// Presence rule: a stretch of the file counts as present in the window only
// when the window holds at least one byte beyond it. A record header is
// present when valid > cursor + 15; a whole record when
// valid > cursor + size + 15.
//
// Read errors are never reported as such: a failed read leaves an empty
// window and reads as the end of the data.
#ifndef TIMB_FLV_READER_H
#define TIMB_FLV_READER_H

#include <stdint.h>

#include "platform/platform.h"

enum : uint32_t {
    FLV_HEADER_SIZE = 9,
    FLV_FIRST_RECORD = 9,       // the first record is always here, whatever the header says
    FLV_RECORD_OVERHEAD = 15,   // previous tag size and tag header
    FLV_OPEN_WINDOW = 1024,     // the window after the open, and for playback
    FLV_WINDOW_SLACK = 1024,    // room kept after a record that forced the window to grow
    FLV_POSITION_LIMIT = 0x80000000u, // positions from here on are out of range
};

struct FlvReader {
    OsFile file;
    uint32_t recordPos; // file position of the current record
    uint32_t cursor;    // offset of the current record in the window
    uint32_t valid;     // file bytes in the window, from its start
    uint32_t capacity;  // size of the window buffer
    uint8_t *window;    // file bytes from recordPos - cursor on
    uint8_t version;    // header fields: written by the open, read by nobody
    uint8_t flags;
    uint32_t dataOffset;
};

// Opens the file and checks for the "FLV" signature and version 1. The new
// reader stands at the header's data offset with an empty 1024-byte window.
// Null when the file does not open, is not an FLV file of version 1, or
// memory runs out.
FlvReader *OpenFlvReader(const char16_t *path);

// Fills the window from file position `pos` on, which becomes the current
// record. A read error or a position of 2^31 or more gives an empty window.
void RefillWindow(FlvReader *reader, uint32_t pos);

// Gives the window a new capacity and refills it at the current record.
// 0 when the buffer cannot be had; the old window and capacity then stand.
int ResizeWindow(FlvReader *reader, uint32_t capacity);

// 1 with the current record's type and payload size when a record header is
// present (refilling once if needed); 0 at the end of the data, with size
// out 0 and type out untouched. The reader does not move. Out-values may be
// null.
int PeekRecord(FlvReader *reader, uint32_t *type, uint32_t *size);

// Copies the current record's payload to `destination` and steps past it.
// Without a destination it is PeekRecord. On failure the reader still stands
// at the record and size out is 0, except when the window could not be
// enlarged for the record: then size out keeps the payload size.
int ReadRecord(FlvReader *reader, void *destination, uint32_t destinationCapacity, uint32_t *type,
               uint32_t *size);

// Steps past the current record without loading it: inside the window, or by
// refilling just past it. 0 only when no record header is present.
int SkipRecord(FlvReader *reader);

#endif

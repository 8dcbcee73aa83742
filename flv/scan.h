// The audio length scan and the process-wide position index.
//
// Contribution of a record: the bytes it adds to the audio byte stream, its
// payload size less the audio tag header byte for an audio record (type 8)
// with a non-empty payload, nothing for any other record.
#ifndef TIMB_FLV_SCAN_H
#define TIMB_FLV_SCAN_H

#include <stdint.h>

#include "flv/reader.h"

enum : uint32_t {
    FLV_AUDIO_TAG = 8,
    SEEK_INDEX_SLOTS = 20, // slot i ties the i-th twentieth of the file to a record boundary
    SCAN_WINDOW = 32768,
};

struct IndexSlot {
    uint32_t position; // a record boundary: just past an audio record's payload
    uint32_t count;    // audio byte stream bytes before position
};

// One for the process. Written only by ScanAudio, read only by FlvFileSeek,
// both under the platform lock, so a seek never sees half of one scan's slots
// and half of another's. `owner` is only ever compared, never followed: it
// may name a reader that has since been released.
struct SeekIndex {
    const FlvReader *owner;
    IndexSlot slots[SEEK_INDEX_SLOTS];
};

extern SeekIndex seekIndex;

uint32_t RecordContribution(uint32_t type, uint32_t size);

// Walks the whole file once and returns the length of its audio byte stream.
// Makes `reader` the owner of the index, every slot a valid starting point in
// its file, and leaves the reader at the first record with a 1024-byte window.
uint32_t ScanAudio(FlvReader *reader);

// The starting point of a seek to `offset` on `reader`'s stream: the last
// indexed boundary whose count does not exceed offset when reader owns the
// index, else the first record with count 0.
IndexSlot SeekStartingPoint(const FlvReader *reader, uint32_t offset);

#endif

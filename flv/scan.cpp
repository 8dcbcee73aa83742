#include "flv/scan.h"

#include <string.h>

SeekIndex seekIndex;

namespace {

const IndexSlot firstRecordSlot = {FLV_FIRST_RECORD, 0};

// The slots one scan writes, built aside and published whole.
struct ScanSlots {
    IndexSlot slots[SEEK_INDEX_SLOTS];
    bool written[SEEK_INDEX_SLOTS];
};

// An audio record ending at `end` goes to the twentieth of the file it ends
// in, the integer part of end * 20 / fileSize, computed in 64 bits. One
// ending at or past the file size (no closing previous-tag-size, or cut off)
// has no slot; with a size of 0 no record has one.
void RecordBoundary(ScanSlots *scan, uint32_t fileSize, uint32_t end, uint32_t count) {
    if (end >= fileSize)
        return;
    uint32_t slot = (uint32_t)((uint64_t)end * SEEK_INDEX_SLOTS / fileSize);
    scan->slots[slot].position = end;
    scan->slots[slot].count = count;
    scan->written[slot] = true;
}

// A slot the walk did not reach starts seeks where the nearest earlier
// written slot does, or at the first record, so every slot names a boundary
// of this file with the exact count before it.
void FillUnwrittenSlots(ScanSlots *scan) {
    IndexSlot last = firstRecordSlot;
    for (uint32_t i = 0; i < SEEK_INDEX_SLOTS; i++) {
        if (scan->written[i])
            last = scan->slots[i];
        else
            scan->slots[i] = last;
    }
}

void PublishIndex(const FlvReader *owner, const ScanSlots *scan) {
    OsLock();
    seekIndex.owner = owner;
    memcpy(seekIndex.slots, scan->slots, sizeof seekIndex.slots);
    OsUnlock();
}

} // namespace

uint32_t RecordContribution(uint32_t type, uint32_t size) {
    return type == FLV_AUDIO_TAG && size > 0 ? size - 1 : 0;
}

uint32_t ScanAudio(FlvReader *reader) {
    ScanSlots scan;
    memset(&scan, 0, sizeof scan);
    RefillWindow(reader, FLV_FIRST_RECORD);
    ResizeWindow(reader, SCAN_WINDOW);
    uint32_t fileSize = OsFileSize(reader->file);
    uint32_t total = 0;
    uint32_t type = 0, size = 0;
    while (PeekRecord(reader, &type, &size)) {
        SkipRecord(reader);
        if (type == FLV_AUDIO_TAG) {
            total += RecordContribution(type, size);
            RecordBoundary(&scan, fileSize, reader->recordPos, total);
        }
    }
    FillUnwrittenSlots(&scan);
    PublishIndex(reader, &scan);
    RefillWindow(reader, FLV_FIRST_RECORD);
    ResizeWindow(reader, FLV_OPEN_WINDOW);
    return total;
}

IndexSlot SeekStartingPoint(const FlvReader *reader, uint32_t offset) {
    IndexSlot start = firstRecordSlot;
    OsLock();
    if (seekIndex.owner == reader && offset >= seekIndex.slots[0].count) {
        uint32_t chosen = SEEK_INDEX_SLOTS - 1;
        for (uint32_t i = 1; i < SEEK_INDEX_SLOTS; i++) {
            if (seekIndex.slots[i].count > offset) {
                chosen = i - 1;
                break;
            }
        }
        start = seekIndex.slots[chosen];
    }
    OsUnlock();
    return start;
}

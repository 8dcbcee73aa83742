#include "flv/scan.h"

#include <string.h>

SeekIndex seekIndex;

namespace {

const IndexSlot firstRecordSlot = {FLV_FIRST_RECORD, 0};

// The slots one scan writes, built aside and published whole. The walk's
// record ends only grow, so the twentieth an end falls in is found by moving
// `slot` forward past the starts of later twentieths: no division for each
// of the many small records of a long file.
struct ScanSlots {
    IndexSlot slots[SEEK_INDEX_SLOTS];
    bool written[SEEK_INDEX_SLOTS];
    uint64_t fileSize;
    uint32_t slot;
    uint64_t nextSlotStart; // first position of twentieth slot + 1
};

// The first position p with p * 20 / fileSize >= slot, that is
// ceil(slot * fileSize / 20).
uint64_t SlotStart(uint64_t fileSize, uint32_t slot) {
    return (slot * fileSize + SEEK_INDEX_SLOTS - 1) / SEEK_INDEX_SLOTS;
}

void StartSlots(ScanSlots *scan, uint32_t fileSize) {
    memset(scan, 0, sizeof *scan);
    scan->fileSize = fileSize;
    scan->nextSlotStart = SlotStart(fileSize, 1);
}

// An audio record ending at `end` goes to the twentieth of the file it ends
// in, the integer part of end * 20 / fileSize. One ending at or past the
// file size (no closing previous-tag-size, or cut off) has no slot; with a
// size of 0 no record has one.
void RecordBoundary(ScanSlots *scan, uint32_t end, uint32_t count) {
    if (end >= scan->fileSize)
        return;
    while (end >= scan->nextSlotStart) {
        scan->slot++;
        scan->nextSlotStart = SlotStart(scan->fileSize, scan->slot + 1);
    }
    scan->slots[scan->slot].position = end;
    scan->slots[scan->slot].count = count;
    scan->written[scan->slot] = true;
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
    RefillWindow(reader, FLV_FIRST_RECORD);
    ResizeWindow(reader, SCAN_WINDOW);
    StartSlots(&scan, OsFileSize(reader->file));
    uint32_t total = 0;
    uint32_t type = 0, size = 0;
    while (PeekRecord(reader, &type, &size)) {
        SkipRecord(reader);
        if (type == FLV_AUDIO_TAG) {
            total += RecordContribution(type, size);
            RecordBoundary(&scan, reader->recordPos, total);
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

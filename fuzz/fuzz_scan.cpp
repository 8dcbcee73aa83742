// The audio length scan over any file: its total must be the plain walk's,
// the index must name this reader and hold, in every slot, a record
// boundary of this file with the exact count of audio bytes before it, in
// order, and the reader must be left at the first record with its
// 1024-byte window.
#include <algorithm>

#include "flv/scan.h"
#include "fuzz/fuzz_support.h"
#include "tests/damage/flv_model.h"

namespace {

using fuzz::Fail;

bool IsBoundary(const model::Expected &expected, const IndexSlot &slot) {
    return std::any_of(expected.boundaries.begin(), expected.boundaries.end(), [&](const model::Boundary &b) {
        return b.position == slot.position && b.count == slot.count;
    });
}

void CheckIndex(const model::Expected &expected, const FlvReader *reader) {
    if (seekIndex.owner != reader)
        Fail("the scan did not make its reader the index's owner");
    for (uint32_t i = 0; i < SEEK_INDEX_SLOTS; i++) {
        const IndexSlot &slot = seekIndex.slots[i];
        if (!IsBoundary(expected, slot))
            Fail("slot " + std::to_string(i) + " (" + std::to_string(slot.position) + ", " +
                 std::to_string(slot.count) + ") is no boundary of this file");
        if (i > 0 && (slot.position < seekIndex.slots[i - 1].position || slot.count < seekIndex.slots[i - 1].count))
            Fail("slot " + std::to_string(i) + " lies before the slot ahead of it");
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    fuzz::Bytes file(data, data + size);
    fuzz::WriteFile(file);
    std::u16string path(fuzz::FilePath().begin(), fuzz::FilePath().end());
    FlvReader *reader = OpenFlvReader(path.c_str());
    if (reader == nullptr)
        return 0;
    model::Expected expected = model::Expect(file);
    uint32_t total = ScanAudio(reader);
    if (total != expected.audioLength)
        Fail("the scan counted " + std::to_string(total) + " audio bytes, not " +
             std::to_string(expected.audioLength));
    CheckIndex(expected, reader);
    if (reader->recordPos != FLV_FIRST_RECORD || reader->cursor != 0 || reader->capacity != FLV_OPEN_WINDOW)
        Fail("the scan did not leave the reader at the first record with a 1024-byte window");
    OsCloseFile(reader->file);
    OsFree(reader->window);
    OsFree(reader);
    return 0;
}

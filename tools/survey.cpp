#include "tools/survey.h"

#include <string.h>

namespace {

const uint32_t VIDEO_TAG = 9;
const uint32_t SCRIPT_TAG = 18;
const uint32_t TIMESTAMP_OFFSET = 8;  // in the record: 24 low bits, then 8 high bits
const uint32_t AAC_CONFIG_OFFSET = 2; // in the payload: after the tag header and packet type

// PeekRecord has made sure the whole record header is in the window.
uint32_t CurrentTimestamp(const FlvReader *reader) {
    const uint8_t *at = reader->window + reader->cursor + TIMESTAMP_OFFSET;
    return (uint32_t)at[3] << 24 | (uint32_t)at[0] << 16 | (uint32_t)at[1] << 8 | at[2];
}

void NoteRecord(FileSurvey *survey, uint32_t type, uint32_t size, uint32_t position, uint32_t timestamp) {
    survey->records[RecordKindOf(type)]++;
    if (!survey->anyRecord || timestamp < survey->firstTimestamp)
        survey->firstTimestamp = timestamp;
    if (!survey->anyRecord || timestamp > survey->lastTimestamp)
        survey->lastTimestamp = timestamp;
    if (!survey->anyRecord || size > survey->largestSize) {
        survey->largestType = type;
        survey->largestSize = size;
        survey->largestPosition = position;
    }
    survey->anyRecord = true;
}

void NoteAudioPayload(FileSurvey *survey, const uint8_t *payload, uint32_t size) {
    if (size == 0)
        return;
    if (!survey->haveAudioHeader) {
        survey->haveAudioHeader = true;
        survey->audioHeader = payload[0];
    }
    bool sequenceHeader =
        (payload[0] >> 4) == SOUND_FORMAT_AAC && size > AAC_CONFIG_OFFSET && payload[1] == AAC_PACKET_SEQUENCE_HEADER;
    if (sequenceHeader && !survey->haveAacConfig)
        survey->haveAacConfig =
            ParseAacConfig(payload + AAC_CONFIG_OFFSET, size - AAC_CONFIG_OFFSET, &survey->aacConfig) == 1;
}

// Loads an audio record to learn its header bytes; a record the reader
// cannot load (cut short by the end of the file) is stepped over.
void WalkAudioRecord(FlvReader *reader, FileSurvey *survey, uint32_t size, uint32_t *streamOffset,
                     std::vector<uint8_t> *payload) {
    payload->resize(size > 0 ? size : 1);
    uint32_t got = 0;
    bool whole = ReadRecord(reader, payload->data(), size, nullptr, &got) == 1;
    if (!whole)
        SkipRecord(reader);
    AudioChunk chunk;
    chunk.offset = *streamOffset;
    chunk.length = RecordContribution(FLV_AUDIO_TAG, size);
    chunk.packetType = whole && size > 1 ? (*payload)[1] : 0;
    chunk.whole = whole;
    if (whole)
        NoteAudioPayload(survey, payload->data(), size);
    else
        survey->unreadableAudioBytes += chunk.length;
    survey->chunks.push_back(chunk);
    *streamOffset += chunk.length;
}

void WalkRecords(FlvReader *reader, FileSurvey *survey) {
    std::vector<uint8_t> payload;
    uint32_t streamOffset = 0;
    uint32_t type = 0, size = 0;
    RefillWindow(reader, FLV_FIRST_RECORD);
    ResizeWindow(reader, SCAN_WINDOW);
    while (PeekRecord(reader, &type, &size)) {
        NoteRecord(survey, type, size, reader->recordPos, CurrentTimestamp(reader));
        if (type == FLV_AUDIO_TAG)
            WalkAudioRecord(reader, survey, size, &streamOffset, &payload);
        else
            SkipRecord(reader);
    }
}

} // namespace

const char *RecordKindName(uint32_t kind) {
    static const char *const names[RECORD_KINDS] = {"audio", "video", "script", "other"};
    return kind < RECORD_KINDS ? names[kind] : "other";
}

uint32_t RecordKindOf(uint32_t type) {
    switch (type) {
    case FLV_AUDIO_TAG:
        return RECORD_AUDIO;
    case VIDEO_TAG:
        return RECORD_VIDEO;
    case SCRIPT_TAG:
        return RECORD_SCRIPT;
    default:
        return RECORD_OTHER;
    }
}

void SurveyFile(FlvReader *reader, FileSurvey *survey) {
    survey->fileSize = OsFileSize(reader->file);
    // For the index it builds; the length info reports is the add-on stream's own.
    ScanAudio(reader);
    memcpy(survey->index, seekIndex.slots, sizeof survey->index);
    WalkRecords(reader, survey);
    RefillWindow(reader, FLV_FIRST_RECORD);
    ResizeWindow(reader, FLV_OPEN_WINDOW);
}

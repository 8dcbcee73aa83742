// flvaudio's own look at an FLV file, for what `info` reports and for the
// record boundaries ADTS framing needs. It walks the records with the core's
// reader and runs the core's scan, so the position index it shows is exactly
// the one the add-on builds; the audio bytes themselves always come from the
// add-on's stream.
#ifndef FLVAUDIO_SURVEY_H
#define FLVAUDIO_SURVEY_H

#include <stdint.h>

#include <vector>

#include "flv/scan.h"
#include "tools/audio_format.h"

enum RecordKind : uint32_t { RECORD_AUDIO, RECORD_VIDEO, RECORD_SCRIPT, RECORD_OTHER, RECORD_KINDS };

const char *RecordKindName(uint32_t kind);
uint32_t RecordKindOf(uint32_t type);

// One audio record's share of the audio byte stream.
struct AudioChunk {
    uint32_t offset;    // in the audio byte stream
    uint32_t length;    // the record's contribution
    uint8_t packetType; // the first stream byte (AACPacketType for AAC); 0 when length is 0
    bool whole;         // the file holds the whole record, so the stream can deliver it
};

struct FileSurvey {
    uint32_t fileSize;
    IndexSlot index[SEEK_INDEX_SLOTS];
    uint32_t records[RECORD_KINDS];
    bool anyRecord;
    uint32_t largestType, largestSize, largestPosition;
    uint32_t firstTimestamp, lastTimestamp; // milliseconds, smallest and largest
    bool haveAudioHeader;
    uint8_t audioHeader; // of the first audio record with a payload
    bool haveAacConfig;
    AacConfig aacConfig;           // from the first sequence header
    uint32_t unreadableAudioBytes; // in records the end of the file cuts short
    std::vector<AudioChunk> chunks;
};

// Scans and walks the file the reader has open. The reader ends where the
// scan leaves it; the file is not otherwise changed.
void SurveyFile(FlvReader *reader, FileSurvey *survey);

#endif

#include "flv/stream.h"

#include <string.h>

#include "flv/scan.h"

namespace {

FlvStream *closedStreams; // guarded by the platform lock

bool IsClosed(const FlvStream *stream) { return stream->reader == NULL; }

uint32_t AvailableInPayload(const FlvStream *stream) {
    uint32_t available = stream->held - stream->consumed;
    // consumed runs ahead of held only while held is 0 (an empty audio
    // payload, or a seek that emptied the buffer): nothing is available then.
    return available >= stream->held ? stream->held : available;
}

void CopyFromPayload(FlvStream *stream, uint8_t *to, uint32_t count) {
    if (count == 0)
        return;
    memcpy(to, stream->payload + stream->consumed, count);
    stream->consumed += count;
}

// payloadSize changes only with the buffer, so it never promises more room
// than the buffer has, even after a failed resize.
bool ResizePayload(FlvStream *stream, uint32_t size) {
    uint8_t *payload = (uint8_t *)OsRealloc(stream->payload, size);
    if (payload == NULL)
        return false;
    stream->payload = payload;
    stream->payloadSize = size;
    return true;
}

// Loads the current record into the payload buffer, growing the buffer once
// when the record does not fit. A failed load leaves the buffer empty: a
// window that could not grow reports the record's size in `held` though
// nothing was copied.
bool LoadRecord(FlvStream *stream, uint32_t *type) {
    FlvReader *reader = stream->reader;
    if (ReadRecord(reader, stream->payload, stream->payloadSize, type, &stream->held))
        return true;
    uint32_t size = 0;
    if (!PeekRecord(reader, type, &size)) {
        stream->payloadSize = 0;
        stream->held = 0;
        return false;
    }
    if (ResizePayload(stream, size) &&
        ReadRecord(reader, stream->payload, stream->payloadSize, type, &stream->held))
        return true;
    stream->held = 0;
    return false;
}

// Loads records until an audio one is in the buffer, its header byte passed.
bool LoadNextAudioRecord(FlvStream *stream) {
    uint32_t type = 0;
    do {
        if (!LoadRecord(stream, &type))
            return false;
    } while (type != FLV_AUDIO_TAG);
    stream->consumed = 1;
    return true;
}

uint32_t AnswerWithZeros(void *buffer, uint32_t length) {
    if (length != 0)
        memset(buffer, 0, length);
    return length;
}

// Steps the reader to the audio record holding `offset`, starting at `start`.
// Returns the count of audio bytes before that record, or false when the
// records run out first.
bool WalkToAudioRecord(FlvReader *reader, IndexSlot start, uint32_t offset, uint32_t *countBefore) {
    RefillWindow(reader, start.position);
    uint32_t count = start.count;
    uint32_t type = 0, size = 0;
    while (PeekRecord(reader, &type, &size)) {
        uint32_t contribution = RecordContribution(type, size);
        if ((uint64_t)count + contribution > offset) {
            *countBefore = count;
            return true;
        }
        count += contribution;
        SkipRecord(reader);
    }
    return false;
}

// A seek that cannot reach its offset must not leave the stream anywhere a
// read would take for the offset: it leaves it at the end of the data, where
// reads find nothing until the next seek, and reports the failure.
Bool32 SeekFailed(FlvStream *stream) {
    stream->held = 0;
    stream->consumed = 0;
    RefillWindow(stream->reader, FLV_POSITION_LIMIT);
    return 0;
}

} // namespace

uint32_t TIMBAPI FlvFileRead(void *buffer, uint32_t length, void *user) {
    FlvStream *stream = (FlvStream *)user;
    if (IsClosed(stream))
        return AnswerWithZeros(buffer, length);
    uint8_t *out = (uint8_t *)buffer;
    uint32_t delivered = 0;
    do {
        uint32_t available = AvailableInPayload(stream);
        uint32_t remaining = length - delivered;
        if (remaining <= available) {
            CopyFromPayload(stream, out + delivered, remaining);
            delivered += remaining;
            break;
        }
        CopyFromPayload(stream, out + delivered, available);
        delivered += available;
        stream->held = 0;
        stream->consumed = 0;
        if (!LoadNextAudioRecord(stream))
            break;
    } while (delivered < length);
    return delivered != 0 ? delivered : AnswerWithZeros(buffer, length);
}

uint64_t TIMBAPI FlvFileLength(void *user) {
    const FlvStream *stream = (const FlvStream *)user;
    return IsClosed(stream) ? 0 : (uint64_t)stream->audioLength;
}

Bool32 TIMBAPI FlvFileSeek(uint64_t offset, void *user) {
    FlvStream *stream = (FlvStream *)user;
    if (IsClosed(stream) || offset >= stream->audioLength)
        return 0;
    uint32_t target = (uint32_t)offset;
    uint32_t count = 0;
    // Below the length the offset's record is there unless a read failed
    // (or the file shrank since the scan).
    if (!WalkToAudioRecord(stream->reader, SeekStartingPoint(stream->reader, target), target, &count))
        return SeekFailed(stream);
    stream->held = 0;
    uint32_t discard = target - count;
    if (discard == 0)
        return 1;
    void *scratch = OsAlloc(discard, 0);
    if (scratch == NULL)
        return SeekFailed(stream);
    FlvFileRead(scratch, discard, stream);
    OsFree(scratch);
    // The discard holds the offset's record loaded; without it the next read
    // would begin before the offset.
    return stream->held != 0 ? 1 : SeekFailed(stream);
}

void ReleaseStreamObjects(FlvStream *stream) {
    FlvReader *reader = stream->reader;
    OsCloseFile(reader->file);
    OsFree(reader->window);
    OsFree(reader);
    stream->reader = NULL;
}

void TIMBAPI FlvFileClose(void *user) {
    FlvStream *stream = (FlvStream *)user;
    // A second close would close the host file twice and free the reader again.
    if (IsClosed(stream))
        return;
    HostProc<CloseSourceProc>(HOST_CLOSE_SOURCE)(stream->source);
    stream->source = 0;
    ReleaseStreamObjects(stream);
    OsFree(stream->payload);
    stream->payload = NULL;
    stream->payloadSize = 0;
    stream->held = 0;
    stream->consumed = 0;
    OsLock();
    stream->nextClosed = closedStreams;
    closedStreams = stream;
    OsUnlock();
}

void DiscardStream(FlvStream *stream) {
    OsFree(stream->payload);
    OsFree(stream);
}

void FreeClosedStreams(void) {
    OsLock();
    FlvStream *stream = closedStreams;
    closedStreams = NULL;
    OsUnlock();
    while (stream != NULL) {
        FlvStream *next = stream->nextClosed;
        OsFree(stream);
        stream = next;
    }
}

const FileProcTable flvFileProcs = {FlvFileClose, FlvFileLength, FlvFileRead, FlvFileSeek};

// The audio byte stream: the payloads of the audio records in file order,
// each less its first byte, delivered to TIMB through four user-file
// procedures. The stream's position is the record the reader stands at
// together with the payload buffer's state (held, consumed).
#ifndef TIMB_FLV_STREAM_H
#define TIMB_FLV_STREAM_H

#include <stdint.h>

#include "flv/reader.h"
#include "host/timb_host.h"

struct FlvStream {
    HostStream stream;    // the TIMB stream over this record; read by nobody here
    HostFile source;      // owned once creation succeeded; 0 after close
    FlvReader *reader;    // owned; null means the stream is closed
    uint32_t audioLength; // length of the audio byte stream
    uint8_t *payload;     // the whole payload of the record loaded last
    uint32_t held;        // bytes in payload, header byte included; 0: empty
    uint32_t payloadSize; // the capacity passed to ReadRecord; payload holds at least this
    uint32_t consumed;    // offset in payload of the next byte to deliver
    FlvStream *nextClosed; // closed records, kept answerable until FreeClosedStreams
};

// Delivers up to `length` bytes of the audio byte stream from where the
// stream stands. Returns the count delivered; when nothing can be delivered
// (closed stream, end of the data) it zero-fills the whole buffer and returns
// `length`, so a non-empty request is never answered with 0. A partial answer
// leaves the rest of the buffer as it was.
uint32_t TIMBAPI FlvFileRead(void *buffer, uint32_t length, void *user);

// audioLength, or 0 on a closed stream.
uint64_t TIMBAPI FlvFileLength(void *user);

// Moves to `offset` in the audio byte stream. FALSE for a closed stream and
// for an offset not below the length, which change nothing. FALSE too when
// the offset cannot be reached (a read fails, memory runs out, the file has
// shrunk since the scan): the stream is then at the end of the data until
// the next seek, so no read delivers bytes from before the offset.
Bool32 TIMBAPI FlvFileSeek(uint64_t offset, void *user);

// Closes the host file, releases the reader and the payload buffer. The
// record stays answerable as a closed stream until FreeClosedStreams.
void TIMBAPI FlvFileClose(void *user);

// Closes the reader's file, frees its window and record; reader becomes null.
void ReleaseStreamObjects(FlvStream *stream);

// Frees the payload buffer and the record of a stream that never reached
// TIMB. The add-on keeps no reference to it afterwards.
void DiscardStream(FlvStream *stream);

// Frees every closed record; for library detach, when TIMB can no longer call.
void FreeClosedStreams(void);

extern const FileProcTable flvFileProcs;

#endif

#include <stddef.h>

#include "flv/scan.h"
#include "flv/stream.h"
#include "platform/platform.h"
#include "plugin/plugin.h"

namespace {

const uint32_t initialPayloadBuffer = 128;

HostStream ReportFailure(void) {
    HostProc<ReportErrorCodeProc>(HOST_REPORT_ERROR_CODE)(ERROR_CREATION_FAILED);
    return 0;
}

// Frees what the failed creation allocated, so nothing of it stays behind.
HostStream FailCreation(FlvStream *stream) {
    if (stream->reader != NULL)
        ReleaseStreamObjects(stream);
    DiscardStream(stream);
    return ReportFailure();
}

// What every exported function does once TIMB has tried to open the source.
HostStream CreateOverOpenedSource(HostFile file, uint32_t flags) {
    if (file == 0)
        return 0;
    HostStream stream = CreateFlvStream(file, flags);
    if (stream == 0)
        HostProc<CloseSourceProc>(HOST_CLOSE_SOURCE)(file);
    return stream;
}

} // namespace

HostStream TIMBAPI CreateFlvStream(HostFile file, uint32_t flags) {
    uint32_t sourceFlags = HostProc<QuerySourceFlagsProc>(HOST_QUERY_SOURCE_FLAGS)(file);
    FlvStream *stream = (FlvStream *)OsAlloc(sizeof(FlvStream), 1);
    if (stream == NULL)
        return ReportFailure();
    stream->source = file;
    uint32_t one = 1;
    const HostChar16 *name = HostProc<QuerySourceNameProc>(HOST_QUERY_SOURCE_NAME)(file, &one);
    stream->reader = OpenFlvReader(name);
    if (stream->reader == NULL)
        return FailCreation(stream);
    stream->payload = (uint8_t *)OsAlloc(initialPayloadBuffer, 0);
    if (stream->payload == NULL)
        return FailCreation(stream);
    stream->audioLength = ScanAudio(stream->reader);
    uint32_t streamFlags = (flags & CALLER_FLAGS_PASSED_ON) | (sourceFlags & SOURCE_FLAGS_PASSED_ON);
    stream->stream = TIMB_StreamCreateFileUser(0, streamFlags, &flvFileProcs, stream);
    // A host that closed the stream while refusing it has made it a closed
    // record already; that one stays answerable and is not freed here.
    if (stream->stream == 0)
        return stream->reader == NULL ? ReportFailure() : FailCreation(stream);
    HostProc<BindSourceToStreamProc>(HOST_BIND_SOURCE_TO_STREAM)(file, stream->stream);
    if (sourceFlags & SOURCE_FLAG_SET_PARAMETER)
        HostProc<SetSourceParameterProc>(HOST_SET_SOURCE_PARAMETER)(file, SOURCE_PARAMETER, 0);
    HostProc<ReportErrorCodeProc>(HOST_REPORT_ERROR_CODE)(ERROR_NONE);
    return stream->stream;
}

extern "C" {

HostStream TIMBAPI TIMB_FLV_StreamCreateFile(Bool32 memory, const void *file, uint64_t offset, uint64_t length,
                                             uint32_t flags) {
    if (!AddOnAccepted())
        return 0;
    HostFile source =
        HostProc<OpenFileSourceProc>(HOST_OPEN_FILE_SOURCE)(memory, file, offset, length, flags, 1);
    return CreateOverOpenedSource(source, flags);
}

HostStream TIMBAPI TIMB_FLV_StreamCreateURL(const char *url, uint32_t offset, uint32_t flags, DownloadProc proc,
                                            void *user) {
    if (!AddOnAccepted())
        return 0;
    HostFile source = HostProc<OpenUrlSourceProc>(HOST_OPEN_URL_SOURCE)(url, offset, flags, proc, user, 1);
    return CreateOverOpenedSource(source, flags);
}

HostStream TIMBAPI TIMB_FLV_StreamCreateFileUser(uint32_t system, uint32_t flags, const FileProcTable *procs,
                                                 void *user) {
    if (!AddOnAccepted())
        return 0;
    HostFile source = HostProc<OpenUserSourceProc>(HOST_OPEN_USER_SOURCE)(system, flags, procs, user, 1);
    return CreateOverOpenedSource(source, flags);
}

} // extern "C"

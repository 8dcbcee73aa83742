// Stream creation the way an application meets it: the add-on loaded as a
// plugin of the stand-in TIMB, a stream created over the input's file by
// TimbStreamCreateFile, read whole, sought and freed. Every answer is held
// against the plain walk over the file, and the host must be left with no
// source or stream open.
#include "fuzz/fuzz_support.h"
#include "standin/timb_standin.h"
#include "tests/damage/stream_check.h"

namespace {

using fuzz::Fail;

void LoadAddOnOnce() {
    static bool loaded = false;
    if (loaded)
        return;
    if (TimbPluginLoad(TIMB_FLV_FUZZ_PLUGIN) == 0)
        Fail("the add-on " TIMB_FLV_FUZZ_PLUGIN " does not load as a plugin");
    loaded = true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    LoadAddOnOnce();
    fuzz::Bytes file(data, data + size);
    fuzz::WriteFile(file);
    model::Expected expected = model::Expect(file);
    HostStream stream = TimbStreamCreateFile(fuzz::FilePath().c_str(), 0);
    if ((stream != 0) != expected.opens)
        Fail(stream ? "a file that is no FLV of version 1 made a stream" : "an FLV file made no stream");
    if (stream != 0) {
        model::StreamCalls calls = {[stream](void *b, uint32_t n) { return TimbStreamRead(stream, b, n); },
                                    [stream](uint64_t offset) { return TimbStreamSeek(stream, offset); },
                                    [stream]() { return TimbStreamLength(stream); }};
        std::string wrong = model::CheckWholeStream(calls, expected, (uint32_t)size, 3);
        if (!wrong.empty())
            Fail(wrong);
        if (!TimbStreamFree(stream))
            Fail("the stand-in did not know the stream it made");
    }
    if (TimbOpenSourceCount() != 0 || TimbOpenStreamCount() != 0)
        Fail("a source or a stream is still open");
    return 0;
}

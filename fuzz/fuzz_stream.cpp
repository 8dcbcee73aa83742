// A stream created over the input's file through CreateFlvStream, driven by
// reads, seeks and length queries decoded from the input, with faults
// injected into single operations. Without a fault every answer is the one
// the plain walk over the file calls for; after one, a read still never
// reports more than asked and delivers only zeros or a run of the file's
// audio payloads, until a seek puts the stream at a known offset again.
#include "flv/stream.h"
#include "fuzz/fuzz_support.h"
#include "plugin/plugin.h"
#include "tests/damage/stream_check.h"
#include "tests/support/recording_host.h"

namespace {

using fuzz::Fail;

enum Operation { READ, SEEK_INSIDE, SEEK_ANYWHERE, LENGTH, FAULT, OPERATION_COUNT };

const uint32_t largestRead = 70000;

struct Run {
    model::StreamCalls calls;
    model::Expected expected;
    model::Cursor cursor{nullptr};
    bool known = true; // the stream's offset is the cursor's
};

void Stop(const std::string &wrong) {
    if (!wrong.empty())
        Fail(wrong);
}

void Read(Run &run, uint32_t length, bool faulted) {
    if (run.known && !faulted)
        return Stop(model::CheckRead(run.calls, run.cursor, length));
    run.known = false;
    Stop(model::CheckReadIsPlausible(run.calls, run.expected.stream, length));
}

void Seek(Run &run, uint64_t offset, bool faulted) {
    if (!faulted) {
        model::Cursor probe = run.cursor;
        bool lands = probe.Seek(offset) != model::Cursor::REFUSED;
        Stop(model::CheckSeek(run.calls, run.cursor, offset));
        run.known = run.known || lands;
        return;
    }
    Bool32 positioned = run.calls.seek(offset);
    if (positioned && offset >= run.expected.audioLength)
        Fail("a seek to " + std::to_string(offset) + ", not below the length, succeeded");
    run.known = false;
}

HostStream Create(const fuzz::Bytes &file, bool faulted) {
    fuzz::WriteFile(file);
    recording::Reset();
    recording::answers.sourceName = std::u16string(fuzz::FilePath().begin(), fuzz::FilePath().end());
    HostStream stream = CreateFlvStream(recording::answers.openedSource, 0);
    bool opens = model::Expect(file).opens;
    if (stream != 0 && !opens)
        Fail("a file that is no FLV of version 1 made a stream");
    if (stream == 0 && opens && !faulted)
        Fail("an FLV file made no stream");
    return stream;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    fuzz::Input input = fuzz::SplitInput(data, size);
    // A fault in the creation itself, when the operations start with one.
    bool createFaulted = input.operations.left >= 2 && input.operations.at[0] % OPERATION_COUNT == FAULT;
    if (createFaulted) {
        input.operations.Byte();
        fuzz::ArmFault(input.operations.Byte());
    }
    HostStream stream = Create(input.file, createFaulted);
    fuzz::Disarm();
    if (stream == 0)
        return 0;

    Run run;
    run.calls = {[stream](void *b, uint32_t n) { return recording::Read(stream, b, n); },
                 [stream](uint64_t offset) { return recording::Seek(stream, offset); },
                 [stream]() { return recording::Length(stream); }};
    run.expected = model::Expect(input.file);
    if (createFaulted) {
        // A read that failed during the scan ends it early: the length is
        // shorter, and seeks are measured against it.
        uint64_t length = run.calls.length();
        if (length > run.expected.audioLength)
            Fail("a scan cut short by a fault counted more than the file holds");
        run.expected.audioLength = (uint32_t)length;
    } else {
        Stop(model::CheckLength(run.calls, run.expected));
    }
    run.cursor.expected = &run.expected;

    bool armed = false;
    while (!input.operations.Done()) {
        uint8_t operation = input.operations.Byte() % OPERATION_COUNT;
        bool faulted = armed;
        armed = false;
        switch (operation) {
        case READ: Read(run, input.operations.Word() % largestRead, faulted); break;
        case SEEK_INSIDE: {
            uint64_t range = (uint64_t)run.expected.audioLength + 2;
            Seek(run, input.operations.Word() % range, faulted);
            break;
        }
        case SEEK_ANYWHERE: Seek(run, (uint64_t)input.operations.Word() << (input.operations.Byte() % 33), faulted); break;
        case LENGTH:
            if (run.calls.length() != run.expected.audioLength)
                Fail("the length changed");
            break;
        case FAULT:
            fuzz::ArmFault(input.operations.Byte());
            armed = true;
            continue;
        }
        fuzz::Disarm();
    }
    fuzz::Disarm();
    recording::Close(stream);
    if (recording::CountCalls("CloseSource") != 1)
        Fail("close did not close the host file exactly once");
    FreeClosedStreams();
    return 0;
}

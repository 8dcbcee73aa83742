// flvaudio extract: the audio byte stream, exactly as the add-on's stream
// delivers it, or for AAC framed as ADTS.
//
// ADTS framing needs to know where one audio record's bytes end and the
// next one's begin, which the stream alone does not say. The survey's walk
// supplies those boundaries (each audio record's contribution); the bytes
// themselves are still read from the add-on, one record's share at a time.
#include <inttypes.h>
#include <stdio.h>

#include <string>
#include <vector>

#include "platform/program.h"
#include "standin/timb_standin.h"
#include "tools/commands.h"
#include "tools/exit_status.h"
#include "tools/input.h"
#include "tools/output.h"

namespace {

const uint32_t COPY_CHUNK = 65536;

struct Extraction {
    const Options *options;
    Input input;
    Output output;
    Progress progress;
};

std::string DefaultOutputName(const std::string &input, const char *extension) {
    std::string name = OsFileNameOf(input);
    size_t dot = name.find_last_of('.');
    std::string stem =
        dot == std::string::npos || dot == 0 ? input : input.substr(0, input.size() - (name.size() - dot));
    // An input that already has the output's extension keeps it, so it is
    // never overwritten by its own audio.
    if (stem + extension == input)
        stem = input;
    return stem + extension;
}

uint32_t SoundFormatOf(const Input *input) {
    return input->survey.haveAudioHeader ? input->survey.audioHeader >> 4 : 0;
}

// Reads exactly `count` bytes of the add-on's stream. The stream never
// answers a non-empty read with 0; a count beyond what was asked would be a
// broken stream.
bool ReadStream(HostStream stream, uint8_t *buffer, uint32_t count) {
    while (count > 0) {
        uint32_t got = TimbStreamRead(stream, buffer, count);
        if (got == 0 || got > count)
            return false;
        buffer += got;
        count -= got;
    }
    return true;
}

int StreamFailure(Extraction *extraction, const char *what) {
    EndProgress(&extraction->progress);
    ReportBadFile(extraction->input.path, std::string("the add-on's stream failed: ") + what);
    return STATUS_ADDON;
}

int WriteFailure(Extraction *extraction) {
    EndProgress(&extraction->progress);
    CommitOutput(&extraction->output); // says why and removes the temporary file
    return STATUS_WRITE_FAILED;
}

int CopyStream(Extraction *extraction) {
    HostStream stream = extraction->input.stream;
    uint32_t from = extraction->options->from;
    uint32_t remaining = extraction->input.audioBytes - from;
    if (from > 0 && remaining > 0 && !TimbStreamSeek(stream, from))
        return StreamFailure(extraction, "it refused to seek");
    std::vector<uint8_t> buffer(COPY_CHUNK);
    uint64_t done = 0;
    while (remaining > 0) {
        uint32_t want = remaining < COPY_CHUNK ? remaining : COPY_CHUNK;
        if (!ReadStream(stream, buffer.data(), want))
            return StreamFailure(extraction, "a read delivered nothing");
        if (!WriteOutput(&extraction->output, buffer.data(), want))
            return WriteFailure(extraction);
        remaining -= want;
        done += want;
        AdvanceProgress(&extraction->progress, done);
    }
    return STATUS_OK;
}

int RefuseAdts(Extraction *extraction, const std::string &reason) {
    EndProgress(&extraction->progress);
    ReportBadFile(extraction->input.path, "cannot write ADTS: " + reason);
    return STATUS_NOT_ADTS;
}

// The first whole chunk that starts at or after `from`.
size_t FirstChunkFrom(const std::vector<AudioChunk> &chunks, uint32_t from) {
    size_t at = 0;
    while (at < chunks.size() && (chunks[at].offset < from || chunks[at].length == 0))
        at++;
    return at;
}

// The configuration in force at chunk `start`: the last sequence header
// before it, read from the stream.
int ConfigurationBefore(Extraction *extraction, size_t start, AacConfig *config, bool *known) {
    const std::vector<AudioChunk> &chunks = extraction->input.survey.chunks;
    *known = false;
    size_t header = start;
    for (size_t at = start; at-- > 0;) {
        if (chunks[at].whole && chunks[at].length > 1 && chunks[at].packetType == AAC_PACKET_SEQUENCE_HEADER) {
            header = at;
            break;
        }
    }
    if (header == start)
        return STATUS_OK;
    std::vector<uint8_t> bytes(chunks[header].length);
    if (!TimbStreamSeek(extraction->input.stream, chunks[header].offset))
        return StreamFailure(extraction, "it refused to seek");
    if (!ReadStream(extraction->input.stream, bytes.data(), chunks[header].length))
        return StreamFailure(extraction, "a read delivered nothing");
    if (!ParseAacConfig(bytes.data() + 1, bytes.size() - 1, config))
        return RefuseAdts(extraction, "its AAC sequence header is malformed");
    *known = true;
    return STATUS_OK;
}

int WriteAdtsFrame(Extraction *extraction, const AacConfig *config, const uint8_t *frame, uint32_t size) {
    if (size + ADTS_HEADER_SIZE > ADTS_FRAME_LIMIT)
        return RefuseAdts(extraction, "an AAC frame of " + std::to_string(size) + " bytes is too large for ADTS");
    uint8_t header[ADTS_HEADER_SIZE];
    BuildAdtsHeader(config, size, header);
    if (!WriteOutput(&extraction->output, header, sizeof header) || !WriteOutput(&extraction->output, frame, size))
        return WriteFailure(extraction);
    return STATUS_OK;
}

// One audio record's share of the stream: a sequence header changes the
// configuration, a raw frame is written behind its ADTS header.
int FrameChunk(Extraction *extraction, const std::vector<uint8_t> &bytes, AacConfig *config, bool *known,
               uint32_t *framesWithoutConfig) {
    if (bytes[0] == AAC_PACKET_SEQUENCE_HEADER) {
        if (!ParseAacConfig(bytes.data() + 1, bytes.size() - 1, config))
            return RefuseAdts(extraction, "its AAC sequence header is malformed");
        const char *refusal = AdtsRefusal(config);
        if (refusal != nullptr)
            return RefuseAdts(extraction, refusal);
        *known = true;
        return STATUS_OK;
    }
    if (bytes[0] != AAC_PACKET_RAW || bytes.size() < 2)
        return STATUS_OK;
    if (!*known) {
        (*framesWithoutConfig)++;
        return STATUS_OK;
    }
    return WriteAdtsFrame(extraction, config, bytes.data() + 1, (uint32_t)bytes.size() - 1);
}

int WriteAdts(Extraction *extraction) {
    const std::vector<AudioChunk> &chunks = extraction->input.survey.chunks;
    size_t start = FirstChunkFrom(chunks, extraction->options->from);
    AacConfig config = {};
    bool known = false;
    int status = ConfigurationBefore(extraction, start, &config, &known);
    if (status != STATUS_OK)
        return status;
    if (known && AdtsRefusal(&config) != nullptr)
        return RefuseAdts(extraction, AdtsRefusal(&config));
    if (start < chunks.size() && !TimbStreamSeek(extraction->input.stream, chunks[start].offset))
        return StreamFailure(extraction, "it refused to seek");
    uint32_t framesWithoutConfig = 0;
    std::vector<uint8_t> bytes;
    for (size_t at = start; at < chunks.size() && chunks[at].whole; at++) {
        if (chunks[at].length == 0)
            continue;
        bytes.resize(chunks[at].length);
        if (!ReadStream(extraction->input.stream, bytes.data(), chunks[at].length))
            return StreamFailure(extraction, "a read delivered nothing");
        status = FrameChunk(extraction, bytes, &config, &known, &framesWithoutConfig);
        if (status != STATUS_OK)
            return status;
        AdvanceProgress(&extraction->progress, chunks[at].offset + chunks[at].length - chunks[start].offset);
    }
    if (framesWithoutConfig > 0 && !extraction->options->quiet)
        fprintf(stderr, "flvaudio: %s: %" PRIu32 " AAC frames before the first sequence header were left out\n",
                extraction->input.path.c_str(), framesWithoutConfig);
    return STATUS_OK;
}

int CheckExtractable(Extraction *extraction) {
    const Input *input = &extraction->input;
    const Options *options = extraction->options;
    if (input->audioBytes == 0) {
        ReportBadFile(input->path, input->survey.records[RECORD_AUDIO] == 0
                                       ? "has no audio"
                                       : "has audio records, but they hold no audio bytes");
        return STATUS_NO_AUDIO;
    }
    if (options->from > input->audioBytes) {
        fprintf(stderr, "flvaudio: --from %" PRIu32 " lies beyond the %" PRIu32 " bytes of audio in %s\n",
                options->from, input->audioBytes, input->path.c_str());
        return STATUS_USAGE;
    }
    if (options->adts && SoundFormatOf(input) != SOUND_FORMAT_AAC) {
        ReportBadFile(input->path, std::string("cannot write ADTS: the audio is ") +
                                       DescribeAudioTag(input->survey.audioHeader).name + ", not AAC");
        return STATUS_NOT_ADTS;
    }
    if (options->adts && !input->survey.haveAacConfig) {
        ReportBadFile(input->path, "cannot write ADTS: it has no usable AAC sequence header");
        return STATUS_NOT_ADTS;
    }
    if (options->toStandardOutput && OsIsTerminal(stdout)) {
        fprintf(stderr, "flvaudio: standard output is a terminal; redirect it or give -o OUT\n");
        return STATUS_USAGE;
    }
    return STATUS_OK;
}

void WarnOfCutOffAudio(const Extraction *extraction) {
    uint32_t missing = extraction->input.survey.unreadableAudioBytes;
    if (missing == 0 || extraction->options->quiet)
        return;
    std::string consequence = extraction->options->adts
                                  ? "its frames are left out"
                                  : "the stream delivers its " + std::to_string(missing) + " bytes as zeros";
    fprintf(stderr, "flvaudio: %s: the end of the file cuts an audio record short; %s\n",
            extraction->input.path.c_str(), consequence.c_str());
}

int WriteAudio(Extraction *extraction) {
    const Options *options = extraction->options;
    std::string target = options->output;
    if (target.empty() && !options->toStandardOutput)
        target = DefaultOutputName(extraction->input.path,
                                   ExtensionForAudio(SoundFormatOf(&extraction->input), options->adts));
    if (!OpenOutput(target, &extraction->output))
        return STATUS_WRITE_FAILED;
    WarnOfCutOffAudio(extraction);
    bool shown = !options->quiet && OsIsTerminal(stderr);
    StartProgress(&extraction->progress, shown, "extracting " + extraction->input.path,
                  extraction->input.audioBytes - options->from);
    int status = options->adts ? WriteAdts(extraction) : CopyStream(extraction);
    if (status != STATUS_OK) {
        DiscardOutput(&extraction->output);
        return status;
    }
    EndProgress(&extraction->progress);
    return CommitOutput(&extraction->output) ? STATUS_OK : STATUS_WRITE_FAILED;
}

} // namespace

int RunExtract(const Options *options) {
    Extraction extraction = {};
    extraction.options = options;
    int status = OpenInput(options->files[0], &extraction.input);
    if (status == STATUS_OK)
        status = CheckExtractable(&extraction);
    if (status == STATUS_OK)
        status = WriteAudio(&extraction);
    CloseInput(&extraction.input);
    return status;
}

// flvaudio info: what the add-on makes of each file, and what its records are.
#include <inttypes.h>
#include <stdio.h>

#include <string>

#include "tools/commands.h"
#include "tools/exit_status.h"
#include "tools/input.h"
#include "tools/text.h"

namespace {

const double MILLISECONDS_PER_SECOND = 1000.0;

double DurationSeconds(const FileSurvey *survey) {
    return (survey->lastTimestamp - survey->firstTimestamp) / MILLISECONDS_PER_SECOND;
}

std::string ChannelWord(uint32_t channels) { return channels == 1 ? "mono" : channels == 2 ? "stereo" : ""; }

std::string AacProfileText(const AacConfig *config) {
    const char *name = AacProfileName(config->objectType);
    return name != nullptr ? name : "object type " + std::to_string(config->objectType);
}

void PrintAudioFormatText(const FileSurvey *survey) {
    if (!survey->haveAudioHeader) {
        printf("  audio format     none\n");
        return;
    }
    AudioTagFormat format = DescribeAudioTag(survey->audioHeader);
    printf("  audio format     %s, %" PRIu32 " Hz, %" PRIu32 "-bit, %s (tag header 0x%02x)\n", format.name, format.rate,
           format.sampleBits, ChannelWord(format.channels).c_str(), survey->audioHeader);
    if (format.soundFormat != SOUND_FORMAT_AAC)
        return;
    if (!survey->haveAacConfig) {
        printf("  AAC              no sequence header\n");
        return;
    }
    const AacConfig *config = &survey->aacConfig;
    printf("  AAC              %s, %" PRIu32 " Hz, channel configuration %" PRIu32 "\n", AacProfileText(config).c_str(),
           config->rate, config->channelConfig);
}

void PrintInfoText(const Input *input) {
    const FileSurvey *survey = &input->survey;
    printf("%s\n", input->path.c_str());
    printf("  audio bytes      %" PRIu32 "\n", input->audioBytes);
    printf("  records          audio %" PRIu32 ", video %" PRIu32 ", script %" PRIu32 ", other %" PRIu32 "\n",
           survey->records[RECORD_AUDIO], survey->records[RECORD_VIDEO], survey->records[RECORD_SCRIPT],
           survey->records[RECORD_OTHER]);
    PrintAudioFormatText(survey);
    printf("  duration         %.3f s (timestamps %" PRIu32 " to %" PRIu32 " ms)\n", DurationSeconds(survey),
           survey->firstTimestamp, survey->lastTimestamp);
    if (survey->anyRecord)
        printf("  largest record   %s, %" PRIu32 " bytes, at file position %" PRIu32 "\n",
               RecordKindName(RecordKindOf(survey->largestType)), survey->largestSize, survey->largestPosition);
    if (survey->unreadableAudioBytes != 0)
        printf("  cut off          %" PRIu32 " audio bytes lie in a record the end of the file cuts short\n",
               survey->unreadableAudioBytes);
    printf("  position index   slot  position     count\n");
    for (uint32_t slot = 0; slot < SEEK_INDEX_SLOTS; slot++)
        printf("                   %4" PRIu32 "  %8" PRIu32 "  %8" PRIu32 "\n", slot, survey->index[slot].position,
               survey->index[slot].count);
}

std::string JsonAudioFormat(const FileSurvey *survey) {
    if (!survey->haveAudioHeader)
        return "null";
    AudioTagFormat format = DescribeAudioTag(survey->audioHeader);
    std::string json =
        "{\"codec\":" + JsonString(format.id) + ",\"codec_name\":" + JsonString(format.name) +
        ",\"sound_format\":" + std::to_string(format.soundFormat) + ",\"rate\":" + std::to_string(format.rate) +
        ",\"sample_size\":" + std::to_string(format.sampleBits) + ",\"channels\":" + std::to_string(format.channels);
    if (format.soundFormat == SOUND_FORMAT_AAC && survey->haveAacConfig) {
        const AacConfig *config = &survey->aacConfig;
        json += ",\"aac\":{\"profile\":" + JsonString(AacProfileText(config)) +
                ",\"object_type\":" + std::to_string(config->objectType) + ",\"rate\":" + std::to_string(config->rate) +
                ",\"channel_config\":" + std::to_string(config->channelConfig) + "}";
    } else if (format.soundFormat == SOUND_FORMAT_AAC) {
        json += ",\"aac\":null";
    }
    return json + "}";
}

std::string JsonIndex(const FileSurvey *survey) {
    std::string json = "[";
    for (uint32_t slot = 0; slot < SEEK_INDEX_SLOTS; slot++) {
        json += slot == 0 ? "" : ",";
        json += "{\"position\":" + std::to_string(survey->index[slot].position) +
                ",\"count\":" + std::to_string(survey->index[slot].count) + "}";
    }
    return json + "]";
}

void PrintInfoJson(const Input *input) {
    const FileSurvey *survey = &input->survey;
    char duration[32];
    snprintf(duration, sizeof duration, "%.3f", DurationSeconds(survey));
    std::string largest = "null";
    if (survey->anyRecord)
        largest = "{\"type\":" + std::to_string(survey->largestType) +
                  ",\"kind\":" + JsonString(RecordKindName(RecordKindOf(survey->largestType))) +
                  ",\"size\":" + std::to_string(survey->largestSize) +
                  ",\"position\":" + std::to_string(survey->largestPosition) + "}";
    std::string json =
        "{\"file\":" + JsonString(input->path) + ",\"audio_bytes\":" + std::to_string(input->audioBytes) +
        ",\"file_size\":" + std::to_string(survey->fileSize) +
        ",\"records\":{\"audio\":" + std::to_string(survey->records[RECORD_AUDIO]) +
        ",\"video\":" + std::to_string(survey->records[RECORD_VIDEO]) +
        ",\"script\":" + std::to_string(survey->records[RECORD_SCRIPT]) +
        ",\"other\":" + std::to_string(survey->records[RECORD_OTHER]) +
        "},\"audio_format\":" + JsonAudioFormat(survey) + ",\"duration\":" + duration +
        ",\"largest_record\":" + largest + ",\"cut_off_audio_bytes\":" + std::to_string(survey->unreadableAudioBytes) +
        ",\"index\":" + JsonIndex(survey) + "}";
    printf("%s\n", json.c_str());
}

void PrintInfoError(const std::string &path, int status) {
    printf("{\"file\":%s,\"error\":%d}\n", JsonString(path).c_str(), status);
}

} // namespace

int RunInfo(const Options *options) {
    int firstFailure = STATUS_OK;
    for (size_t i = 0; i < options->files.size(); i++) {
        Input input = {};
        int status = OpenInput(options->files[i], &input);
        if (status == STATUS_OK && options->json)
            PrintInfoJson(&input);
        else if (status == STATUS_OK)
            PrintInfoText(&input);
        else if (options->json)
            PrintInfoError(options->files[i], status);
        CloseInput(&input);
        if (firstFailure == STATUS_OK)
            firstFailure = status;
        fflush(stdout);
    }
    return firstFailure;
}

#include "tools/audio_format.h"

namespace {

struct SoundFormatEntry {
    const char *id;
    const char *name;
    const char *extension;
    uint32_t fixedRate; // 0: the header's rate bits hold
};

// Indexed by the header's high nibble.
const SoundFormatEntry soundFormats[16] = {
    {"pcm", "Linear PCM, platform endian", ".pcm", 0},
    {"adpcm", "ADPCM", ".adpcm", 0},
    {"mp3", "MP3", ".mp3", 0},
    {"pcm_le", "Linear PCM, little endian", ".pcm", 0},
    {"nellymoser_16k", "Nellymoser, 16 kHz mono", ".nelly", 16000},
    {"nellymoser_8k", "Nellymoser, 8 kHz mono", ".nelly", 8000},
    {"nellymoser", "Nellymoser", ".nelly", 0},
    {"g711_alaw", "G.711 A-law", ".alaw", 0},
    {"g711_mulaw", "G.711 mu-law", ".ulaw", 0},
    {"reserved", "reserved format 9", ".raw", 0},
    {"aac", "AAC", ".raw", 0},
    {"speex", "Speex", ".speex", 16000},
    {"reserved", "reserved format 12", ".raw", 0},
    {"reserved", "reserved format 13", ".raw", 0},
    {"mp3_8k", "MP3, 8 kHz", ".mp3", 8000},
    {"device_specific", "device-specific sound", ".raw", 0},
};

const uint32_t headerRates[4] = {5512, 11025, 22050, 44100};

const uint32_t aacRates[13] = {96000, 88200, 64000, 48000, 44100, 32000, 24000, 22050, 16000, 12000, 11025, 8000, 7350};

const uint32_t AAC_ESCAPE_OBJECT_TYPE = 31;
const uint32_t AAC_EXPLICIT_RATE = 15;
const uint32_t AAC_SBR = 5;
const uint32_t AAC_PS = 29;
const uint32_t ADTS_LARGEST_PROFILE_TYPE = 4; // two bits hold object type - 1
const uint32_t ADTS_LARGEST_CHANNEL_CONFIG = 7;
const uint32_t ADTS_BUFFER_FULLNESS_VBR = 0x7FF;

struct BitReader {
    const uint8_t *bytes;
    size_t size;
    size_t bit;
    bool overrun;
};

uint32_t ReadBits(BitReader *reader, uint32_t count) {
    uint32_t value = 0;
    for (uint32_t i = 0; i < count; i++) {
        if (reader->bit >= reader->size * 8) {
            reader->overrun = true;
            return 0;
        }
        uint32_t bit = (reader->bytes[reader->bit / 8] >> (7 - reader->bit % 8)) & 1;
        value = value << 1 | bit;
        reader->bit++;
    }
    return value;
}

uint32_t ReadObjectType(BitReader *reader) {
    uint32_t type = ReadBits(reader, 5);
    return type == AAC_ESCAPE_OBJECT_TYPE ? 32 + ReadBits(reader, 6) : type;
}

// The rate index and, for index 15, the explicit 24-bit rate.
void ReadRate(BitReader *reader, uint32_t *index, uint32_t *rate) {
    *index = ReadBits(reader, 4);
    if (*index == AAC_EXPLICIT_RATE)
        *rate = ReadBits(reader, 24);
    else
        *rate = *index < sizeof aacRates / sizeof aacRates[0] ? aacRates[*index] : 0;
}

} // namespace

AudioTagFormat DescribeAudioTag(uint8_t header) {
    const SoundFormatEntry &entry = soundFormats[header >> 4];
    AudioTagFormat format;
    format.soundFormat = header >> 4;
    format.id = entry.id;
    format.name = entry.name;
    format.rate = entry.fixedRate != 0 ? entry.fixedRate : headerRates[(header >> 2) & 3];
    format.sampleBits = (header & 2) ? 16 : 8;
    format.channels = (header & 1) ? 2 : 1;
    return format;
}

const char *ExtensionForAudio(uint32_t soundFormat, bool adts) {
    if (soundFormat == SOUND_FORMAT_AAC && adts)
        return ".aac";
    return soundFormats[soundFormat & 15].extension;
}

int ParseAacConfig(const uint8_t *bytes, size_t size, AacConfig *config) {
    BitReader reader = {bytes, size, 0, false};
    config->objectType = ReadObjectType(&reader);
    ReadRate(&reader, &config->rateIndex, &config->rate);
    config->channelConfig = ReadBits(&reader, 4);
    config->coreObjectType = config->objectType;
    if (config->objectType == AAC_SBR || config->objectType == AAC_PS) {
        uint32_t extensionIndex = 0, extensionRate = 0;
        ReadRate(&reader, &extensionIndex, &extensionRate);
        config->coreObjectType = ReadObjectType(&reader);
    }
    return !reader.overrun && config->objectType != 0 && config->rate != 0;
}

const char *AacProfileName(uint32_t objectType) {
    switch (objectType) {
    case 1:
        return "Main";
    case 2:
        return "LC";
    case 3:
        return "SSR";
    case 4:
        return "LTP";
    case AAC_SBR:
        return "HE-AAC";
    case AAC_PS:
        return "HE-AACv2";
    default:
        return nullptr;
    }
}

const char *AdtsRefusal(const AacConfig *config) {
    if (config->coreObjectType < 1 || config->coreObjectType > ADTS_LARGEST_PROFILE_TYPE)
        return "its AAC object type has no ADTS profile";
    if (config->rateIndex >= sizeof aacRates / sizeof aacRates[0])
        return "its AAC sample rate has no ADTS rate index";
    if (config->channelConfig < 1 || config->channelConfig > ADTS_LARGEST_CHANNEL_CONFIG)
        return "its AAC channel layout (a program config element) is not supported for ADTS";
    return nullptr;
}

// MPEG-4, layer 0, no CRC; not original, no home, no copyright bits;
// variable bit rate; one raw data block.
void BuildAdtsHeader(const AacConfig *config, uint32_t frameSize, uint8_t header[ADTS_HEADER_SIZE]) {
    uint32_t length = frameSize + ADTS_HEADER_SIZE;
    uint32_t profile = config->coreObjectType - 1;
    header[0] = 0xFF;
    header[1] = 0xF1;
    header[2] = (uint8_t)(profile << 6 | config->rateIndex << 2 | config->channelConfig >> 2);
    header[3] = (uint8_t)((config->channelConfig & 3) << 6 | length >> 11);
    header[4] = (uint8_t)(length >> 3);
    header[5] = (uint8_t)((length & 7) << 5 | ADTS_BUFFER_FULLNESS_VBR >> 6);
    header[6] = (uint8_t)((ADTS_BUFFER_FULLNESS_VBR & 0x3F) << 2);
}

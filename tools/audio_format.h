// What flvaudio reads of the audio format: the FLV audio tag header byte, the
// AAC AudioSpecificConfig, and the ADTS header built from it. The add-on
// itself never looks at any of this.
#ifndef FLVAUDIO_AUDIO_FORMAT_H
#define FLVAUDIO_AUDIO_FORMAT_H

#include <stddef.h>
#include <stdint.h>

enum : uint32_t {
    SOUND_FORMAT_MP3 = 2,
    SOUND_FORMAT_AAC = 10,
    SOUND_FORMAT_MP3_8K = 14,
    AAC_PACKET_SEQUENCE_HEADER = 0, // the byte after the audio tag header
    AAC_PACKET_RAW = 1,
    ADTS_HEADER_SIZE = 7,    // without CRC
    ADTS_FRAME_LIMIT = 8191, // the 13-bit frame length, header included
};

// The audio tag header byte: format in the high nibble, then rate, sample
// size and channels.
struct AudioTagFormat {
    uint32_t soundFormat;
    const char *id;      // short, for JSON: "mp3", "aac", "pcm_le", ...
    const char *name;    // for people: "MP3", "Linear PCM, little endian", ...
    uint32_t rate;       // Hz; the codec's own rate where the format fixes it
    uint32_t sampleBits; // 8 or 16
    uint32_t channels;   // 1 or 2
};

AudioTagFormat DescribeAudioTag(uint8_t header);

// The extension for the bytes extract writes: ".mp3", ".aac" for ADTS, ...
const char *ExtensionForAudio(uint32_t soundFormat, bool adts);

struct AacConfig {
    uint32_t objectType;     // as signalled: 5 (SBR) and 29 (PS) for HE-AAC
    uint32_t coreObjectType; // the AAC core under SBR or PS, else objectType
    uint32_t rateIndex;      // of the core; 15 means an explicit rate
    uint32_t rate;           // Hz, of the core
    uint32_t channelConfig;  // 0: described by a program config element
};

// 1 when the bytes begin a well-formed AudioSpecificConfig.
int ParseAacConfig(const uint8_t *bytes, size_t size, AacConfig *config);

// "LC", "HE-AAC", "Main", ... or null for other object types.
const char *AacProfileName(uint32_t objectType);

// Null when the configuration can be written as ADTS, else why not.
const char *AdtsRefusal(const AacConfig *config);

// The 7-byte ADTS header of a raw frame of `frameSize` bytes (the header
// itself not counted). The configuration must pass AdtsRefusal and
// frameSize + 7 must not exceed ADTS_FRAME_LIMIT.
void BuildAdtsHeader(const AacConfig *config, uint32_t frameSize, uint8_t header[ADTS_HEADER_SIZE]);

#endif

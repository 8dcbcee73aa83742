// Writes large, realistic FLV files for the benchmarks, fast and the same on
// every run: a script tag with onMetaData, AAC and H.264 sequence headers,
// then audio and video tags interleaved by timestamp. Payloads after the
// codec headers are pseudo-random bytes; nothing here decodes them.
//
//   make_flv av    BYTES OUT   audio ~400 B every 26 ms, video 4-30 KB every
//                              33 ms, a 150-400 KB keyframe every 2 s
//   make_flv audio BYTES OUT   the audio tags alone
//   make_flv huge  BYTES OUT   few video records of 12-16 MiB, a second of
//                              audio tags between them
//
// Prints the largest payload written, which the memory figure is set against.
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

namespace {

enum : uint8_t { AUDIO_TAG = 8, VIDEO_TAG = 9, SCRIPT_TAG = 18 };

const uint32_t audioInterval = 26;    // ms
const double videoInterval = 1000.0 / 30;
const uint32_t keyframeInterval = 2000;
const uint32_t hugeVideoMin = 12u << 20, hugeVideoMax = 16777215; // the largest payload a tag can say

// AAC LC, 44100 Hz, stereo.
const uint8_t aacSequenceHeader[] = {0xAF, 0x00, 0x12, 0x10};
// H.264 main profile 1280x720, as an encoder writes it.
const uint8_t avcSequenceHeader[] = {0x17, 0x00, 0x00, 0x00, 0x00, 0x01, 0x4d, 0x40, 0x1f, 0xff, 0xe1, 0x00,
                                     0x19, 0x67, 0x4d, 0x40, 0x1f, 0xec, 0xa0, 0x28, 0x02, 0xdd, 0x80, 0x88,
                                     0x00, 0x00, 0x03, 0x00, 0x08, 0x00, 0x00, 0x03, 0x01, 0xe0, 0x78, 0xc1,
                                     0x8c, 0xb0, 0x01, 0x00, 0x05, 0x68, 0xeb, 0xe3, 0xcb, 0x20};

struct Random {
    uint64_t state;
    uint64_t Next() {
        state ^= state << 13;
        state ^= state >> 7;
        state ^= state << 17;
        return state;
    }
    uint32_t Between(uint32_t low, uint32_t high) { return low + (uint32_t)(Next() % (high - low + 1)); }
};

struct Writer {
    FILE *out;
    uint64_t written;
    uint32_t previousTagSize;
    uint32_t largestPayload;
    Random random;
    std::vector<uint8_t> scratch;
};

void Put(Writer *w, const void *bytes, size_t count) {
    if (fwrite(bytes, 1, count, w->out) != count) {
        perror("make_flv: write");
        exit(1);
    }
    w->written += count;
}

void PutBigEndian(uint8_t *at, uint32_t value, int bytes) {
    for (int i = bytes - 1; i >= 0; i--, value >>= 8)
        at[i] = (uint8_t)value;
}

// One record: the previous tag size, the tag header, the codec header bytes
// and `size` payload bytes in all, the rest pseudo-random.
void PutTag(Writer *w, uint8_t type, uint32_t timestamp, const uint8_t *head, uint32_t headSize, uint32_t size) {
    uint8_t header[15];
    PutBigEndian(header, w->previousTagSize, 4);
    header[4] = type;
    PutBigEndian(header + 5, size, 3);
    PutBigEndian(header + 8, timestamp & 0xFFFFFF, 3);
    header[11] = (uint8_t)(timestamp >> 24);
    PutBigEndian(header + 12, 0, 3);
    Put(w, header, sizeof header);
    w->scratch.resize(size + 8);
    memcpy(w->scratch.data(), head, headSize);
    for (uint32_t i = headSize; i < size; i += 8) {
        uint64_t bits = w->random.Next();
        memcpy(w->scratch.data() + i, &bits, 8);
    }
    Put(w, w->scratch.data(), size);
    w->previousTagSize = size + 11;
    if (size > w->largestPayload)
        w->largestPayload = size;
}

void PutAmfString(std::string &out, const char *text) {
    size_t n = strlen(text);
    out.push_back((char)(n >> 8));
    out.push_back((char)n);
    out.append(text, n);
}

void PutAmfNumber(std::string &out, const char *key, double value) {
    PutAmfString(out, key);
    out.push_back(0x00);
    uint64_t bits;
    memcpy(&bits, &value, 8);
    for (int shift = 56; shift >= 0; shift -= 8)
        out.push_back((char)(bits >> shift));
}

void PutMetadata(Writer *w, bool video) {
    std::string amf;
    amf.push_back(0x02);
    PutAmfString(amf, "onMetaData");
    amf.push_back(0x08);
    amf.append(std::string("\0\0\0", 3)).push_back(video ? 5 : 2);
    PutAmfNumber(amf, "duration", 0);
    PutAmfNumber(amf, "audiocodecid", 10);
    if (video) {
        PutAmfNumber(amf, "videocodecid", 7);
        PutAmfNumber(amf, "width", 1280);
        PutAmfNumber(amf, "height", 720);
    }
    PutAmfNumber(amf, "audiosamplerate", 44100);
    amf.append("\0\0\x09", 3);
    PutTag(w, SCRIPT_TAG, 0, (const uint8_t *)amf.data(), (uint32_t)amf.size(), (uint32_t)amf.size());
}

void PutFileHeader(Writer *w, bool video) {
    const uint8_t header[9] = {'F', 'L', 'V', 1, (uint8_t)(video ? 5 : 4), 0, 0, 0, 9};
    Put(w, header, sizeof header);
}

void PutAudio(Writer *w, uint32_t timestamp) {
    static const uint8_t rawFrame[] = {0xAF, 0x01};
    PutTag(w, AUDIO_TAG, timestamp, rawFrame, sizeof rawFrame, w->random.Between(360, 440));
}

void PutVideo(Writer *w, uint32_t timestamp, bool keyframe) {
    static const uint8_t key[] = {0x17, 0x01, 0, 0, 0};
    static const uint8_t inter[] = {0x27, 0x01, 0, 0, 0};
    uint32_t size = keyframe ? w->random.Between(150000, 400000) : w->random.Between(4000, 30000);
    PutTag(w, VIDEO_TAG, timestamp, keyframe ? key : inter, sizeof key, size);
}

void WriteAudioVideo(Writer *w, uint64_t target, bool video) {
    PutFileHeader(w, video);
    PutMetadata(w, video);
    if (video)
        PutTag(w, VIDEO_TAG, 0, avcSequenceHeader, sizeof avcSequenceHeader, sizeof avcSequenceHeader);
    PutTag(w, AUDIO_TAG, 0, aacSequenceHeader, sizeof aacSequenceHeader, sizeof aacSequenceHeader);
    uint32_t audioFrame = 0, videoFrame = 0;
    while (w->written < target) {
        uint32_t audioTime = audioFrame * audioInterval;
        uint32_t videoTime = (uint32_t)(videoFrame * videoInterval);
        if (!video || audioTime <= videoTime) {
            PutAudio(w, audioTime);
            audioFrame++;
        } else {
            uint32_t previousKey = videoFrame == 0 ? 0 : (uint32_t)((videoFrame - 1) * videoInterval) / keyframeInterval;
            PutVideo(w, videoTime, videoFrame == 0 || videoTime / keyframeInterval != previousKey);
            videoFrame++;
        }
    }
}

void WriteHugeRecords(Writer *w, uint64_t target) {
    PutFileHeader(w, true);
    PutMetadata(w, true);
    PutTag(w, VIDEO_TAG, 0, avcSequenceHeader, sizeof avcSequenceHeader, sizeof avcSequenceHeader);
    PutTag(w, AUDIO_TAG, 0, aacSequenceHeader, sizeof aacSequenceHeader, sizeof aacSequenceHeader);
    static const uint8_t key[] = {0x17, 0x01, 0, 0, 0};
    uint32_t second = 0;
    while (w->written < target) {
        PutTag(w, VIDEO_TAG, second * 1000, key, sizeof key, w->random.Between(hugeVideoMin, hugeVideoMax));
        for (uint32_t t = 0; t < 1000; t += audioInterval)
            PutAudio(w, second * 1000 + t);
        second++;
    }
}

} // namespace

int main(int argc, char **argv) {
    if (argc != 4) {
        fprintf(stderr, "usage: make_flv av|audio|huge BYTES OUT\n");
        return 2;
    }
    std::string kind = argv[1];
    uint64_t target = strtoull(argv[2], NULL, 10);
    if (target >= 0x7F000000u) {
        fprintf(stderr, "make_flv: files must stay below 2 GiB\n");
        return 2;
    }
    Writer w = {fopen(argv[3], "wb"), 0, 0, 0, {0x9E3779B97F4A7C15ull}, {}};
    if (w.out == NULL) {
        perror(argv[3]);
        return 1;
    }
    static char buffer[1 << 20];
    setvbuf(w.out, buffer, _IOFBF, sizeof buffer);
    if (kind == "av" || kind == "audio") {
        WriteAudioVideo(&w, target, kind == "av");
    } else if (kind == "huge") {
        WriteHugeRecords(&w, target);
    } else {
        fprintf(stderr, "make_flv: unknown kind %s\n", kind.c_str());
        return 2;
    }
    uint8_t closing[4];
    PutBigEndian(closing, w.previousTagSize, 4);
    Put(&w, closing, sizeof closing);
    if (fclose(w.out) != 0) {
        perror("make_flv: close");
        return 1;
    }
    printf("%llu %u\n", (unsigned long long)w.written, w.largestPayload);
    return 0;
}

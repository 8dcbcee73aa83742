// Small FLV files built in code, and the audio byte stream they should give,
// computed without the add-on's code.
#ifndef TIMB_FLV_TESTS_FLV_BUILDER_H
#define TIMB_FLV_TESTS_FLV_BUILDER_H

#include <stdint.h>

#include <random>
#include <string>
#include <vector>

namespace fixture {

using Bytes = std::vector<uint8_t>;

enum : uint8_t { AUDIO = 8, VIDEO = 9, SCRIPT = 18 };

struct Tag {
    uint8_t type;
    Bytes payload;
    uint32_t timestamp = 0;
};

struct Header {
    char signature[3] = {'F', 'L', 'V'};
    uint8_t version = 1;
    uint8_t flags = 5;
    uint32_t dataOffset = 9;
};

// `count` bytes that differ from record to record, so a byte delivered from
// the wrong place is caught.
Bytes Pattern(size_t count, uint32_t seed);

Bytes HeaderBytes(const Header &header = Header());

// One record: previous tag size, tag header, payload.
Bytes RecordBytes(const Tag &tag, uint32_t previousTagSize = 0);

// A whole file: header, the records, and (unless `closing` is false) the
// 4-byte previous-tag-size field that ends a well-formed file.
Bytes FileBytes(const std::vector<Tag> &tags, const Header &header = Header(), bool closing = true);

// The payloads of the audio tags in order, each less its first byte.
Bytes AudioStream(const std::vector<Tag> &tags);

// The audio byte stream of a well-formed file, found by walking its bytes.
Bytes AudioStreamOfFile(const Bytes &file);

// A random well-formed file: audio, video and script tags of varied sizes,
// including empty and one-byte audio payloads.
std::vector<Tag> RandomTags(std::mt19937 &random, size_t count, uint32_t largestPayload);

// A file on disk that is removed when the value goes out of scope.
struct TempFile {
    explicit TempFile(const Bytes &contents, const std::string &suffix = ".flv");
    ~TempFile();
    TempFile(const TempFile &) = delete;
    TempFile &operator=(const TempFile &) = delete;
    std::string path;
    std::u16string Utf16Path() const;
};

std::u16string Utf16(const std::string &utf8);

} // namespace fixture

#endif

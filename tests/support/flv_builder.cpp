#include "tests/support/flv_builder.h"

#include <stdio.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <stdexcept>

namespace fixture {

namespace {

void PutBigEndian(Bytes &out, uint32_t value, int bytes) {
    for (int shift = (bytes - 1) * 8; shift >= 0; shift -= 8)
        out.push_back((uint8_t)(value >> shift));
}

uint32_t GetBigEndian(const Bytes &in, size_t at, int bytes) {
    uint32_t value = 0;
    for (int i = 0; i < bytes; i++)
        value = value << 8 | in[at + i];
    return value;
}

std::atomic<unsigned> tempFileSerial{0};

} // namespace

Bytes Pattern(size_t count, uint32_t seed) {
    Bytes bytes(count);
    uint32_t state = seed * 2654435761u + 12345u;
    for (size_t i = 0; i < count; i++) {
        state = state * 1103515245u + 12345u;
        bytes[i] = (uint8_t)(state >> 16);
    }
    return bytes;
}

Bytes HeaderBytes(const Header &header) {
    Bytes out(header.signature, header.signature + 3);
    out.push_back(header.version);
    out.push_back(header.flags);
    PutBigEndian(out, header.dataOffset, 4);
    return out;
}

Bytes RecordBytes(const Tag &tag, uint32_t previousTagSize) {
    Bytes out;
    PutBigEndian(out, previousTagSize, 4);
    out.push_back(tag.type);
    PutBigEndian(out, (uint32_t)tag.payload.size(), 3);
    PutBigEndian(out, tag.timestamp & 0xFFFFFF, 3);
    out.push_back((uint8_t)(tag.timestamp >> 24));
    PutBigEndian(out, 0, 3);
    out.insert(out.end(), tag.payload.begin(), tag.payload.end());
    return out;
}

Bytes FileBytes(const std::vector<Tag> &tags, const Header &header, bool closing) {
    Bytes out = HeaderBytes(header);
    uint32_t previous = 0;
    for (const Tag &tag : tags) {
        Bytes record = RecordBytes(tag, previous);
        out.insert(out.end(), record.begin(), record.end());
        previous = (uint32_t)tag.payload.size() + 11;
    }
    if (closing)
        PutBigEndian(out, previous, 4);
    return out;
}

Bytes AudioStream(const std::vector<Tag> &tags) {
    Bytes out;
    for (const Tag &tag : tags)
        if (tag.type == AUDIO && !tag.payload.empty())
            out.insert(out.end(), tag.payload.begin() + 1, tag.payload.end());
    return out;
}

Bytes AudioStreamOfFile(const Bytes &file) {
    Bytes out;
    size_t at = 9;
    while (at + 15 < file.size()) {
        uint8_t type = file[at + 4];
        uint32_t size = GetBigEndian(file, at + 5, 3);
        if (at + 15 + size > file.size())
            throw std::runtime_error("record runs past the end of the file");
        if (type == AUDIO && size > 0)
            out.insert(out.end(), file.begin() + (long)(at + 16), file.begin() + (long)(at + 15 + size));
        at += 15 + size;
    }
    return out;
}

std::vector<Tag> RandomTags(std::mt19937 &random, size_t count, uint32_t largestPayload) {
    std::vector<Tag> tags;
    std::uniform_int_distribution<int> kind(0, 9);
    std::uniform_int_distribution<uint32_t> size(0, largestPayload);
    for (size_t i = 0; i < count; i++) {
        int k = kind(random);
        Tag tag;
        tag.type = k < 6 ? AUDIO : k < 9 ? VIDEO : SCRIPT;
        uint32_t bytes = size(random);
        if (tag.type == AUDIO && k == 0)
            bytes = (uint32_t)(random() % 2); // empty and one-byte audio payloads contribute nothing
        tag.payload = Pattern(bytes, (uint32_t)i + 1);
        tag.timestamp = (uint32_t)i * 23;
        tags.push_back(tag);
    }
    return tags;
}

TempFile::TempFile(const Bytes &contents, const std::string &suffix) {
    std::filesystem::path folder = std::filesystem::temp_directory_path();
    std::random_device entropy;
    path = (folder / ("timb_flv_test_" + std::to_string(entropy()) + "_" + std::to_string(tempFileSerial++) + suffix))
               .string();
    std::ofstream out(path, std::ios::binary);
    out.write((const char *)contents.data(), (std::streamsize)contents.size());
    if (!out)
        throw std::runtime_error("cannot write " + path);
}

TempFile::~TempFile() { remove(path.c_str()); }

std::u16string TempFile::Utf16Path() const { return Utf16(path); }

std::u16string Utf16(const std::string &utf8) {
    std::u16string out;
    for (size_t i = 0; i < utf8.size();) {
        uint8_t lead = (uint8_t)utf8[i];
        int extra = lead < 0x80 ? 0 : lead < 0xE0 ? 1 : lead < 0xF0 ? 2 : 3;
        uint32_t point = extra == 0 ? lead : lead & (0x3F >> extra);
        for (int k = 1; k <= extra; k++)
            point = point << 6 | ((uint8_t)utf8[i + k] & 0x3F);
        i += (size_t)extra + 1;
        if (point >= 0x10000) {
            point -= 0x10000;
            out.push_back((char16_t)(0xD800 + (point >> 10)));
            out.push_back((char16_t)(0xDC00 + (point & 0x3FF)));
        } else {
            out.push_back((char16_t)point);
        }
    }
    return out;
}

} // namespace fixture

#include "tools/text.h"

#include <stdint.h>
#include <stdio.h>

namespace {

const uint32_t REPLACEMENT_CHARACTER = 0xFFFD;
const uint32_t LARGEST_CODE_POINT = 0x10FFFF;

bool IsContinuation(unsigned char byte) { return (byte & 0xC0) == 0x80; }

// Decodes one code point at `at`; 0 bytes used means malformed.
size_t DecodeUtf8(const std::string &text, size_t at, uint32_t *point) {
    unsigned char lead = (unsigned char)text[at];
    size_t length = lead < 0x80 ? 1 : (lead >> 5) == 6 ? 2 : (lead >> 4) == 14 ? 3 : (lead >> 3) == 30 ? 4 : 0;
    if (length == 0 || at + length > text.size())
        return 0;
    static const uint32_t leadMask[5] = {0, 0x7F, 0x1F, 0x0F, 0x07};
    static const uint32_t smallest[5] = {0, 0, 0x80, 0x800, 0x10000};
    uint32_t value = lead & leadMask[length];
    for (size_t i = 1; i < length; i++) {
        if (!IsContinuation((unsigned char)text[at + i]))
            return 0;
        value = value << 6 | ((unsigned char)text[at + i] & 0x3F);
    }
    bool surrogate = value >= 0xD800 && value <= 0xDFFF;
    if (value < smallest[length] || value > LARGEST_CODE_POINT || surrogate)
        return 0;
    *point = value;
    return length;
}

void AppendUtf8(std::string *out, uint32_t point) {
    if (point < 0x80) {
        *out += (char)point;
    } else if (point < 0x800) {
        *out += (char)(0xC0 | point >> 6);
        *out += (char)(0x80 | (point & 0x3F));
    } else if (point < 0x10000) {
        *out += (char)(0xE0 | point >> 12);
        *out += (char)(0x80 | ((point >> 6) & 0x3F));
        *out += (char)(0x80 | (point & 0x3F));
    } else {
        *out += (char)(0xF0 | point >> 18);
        *out += (char)(0x80 | ((point >> 12) & 0x3F));
        *out += (char)(0x80 | ((point >> 6) & 0x3F));
        *out += (char)(0x80 | (point & 0x3F));
    }
}

void AppendJsonCharacter(std::string *out, uint32_t point) {
    switch (point) {
    case '"':
        *out += "\\\"";
        return;
    case '\\':
        *out += "\\\\";
        return;
    case '\n':
        *out += "\\n";
        return;
    case '\t':
        *out += "\\t";
        return;
    default:
        break;
    }
    if (point < 0x20) {
        char escaped[8];
        snprintf(escaped, sizeof escaped, "\\u%04x", (unsigned)point);
        *out += escaped;
        return;
    }
    AppendUtf8(out, point);
}

} // namespace

int Utf8ToUtf16(const std::string &utf8, std::u16string *utf16) {
    utf16->clear();
    for (size_t at = 0; at < utf8.size();) {
        uint32_t point = 0;
        size_t used = DecodeUtf8(utf8, at, &point);
        if (used == 0 || point == 0)
            return 0;
        if (point >= 0x10000) {
            point -= 0x10000;
            *utf16 += (char16_t)(0xD800 + (point >> 10));
            *utf16 += (char16_t)(0xDC00 + (point & 0x3FF));
        } else {
            *utf16 += (char16_t)point;
        }
        at += used;
    }
    return 1;
}

std::string JsonString(const std::string &text) {
    std::string out = "\"";
    for (size_t at = 0; at < text.size();) {
        uint32_t point = REPLACEMENT_CHARACTER;
        size_t used = DecodeUtf8(text, at, &point);
        AppendJsonCharacter(&out, used == 0 ? REPLACEMENT_CHARACTER : point);
        at += used == 0 ? 1 : used;
    }
    return out + "\"";
}

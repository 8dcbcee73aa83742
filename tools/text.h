// Text conversions flvaudio needs: UTF-8 names to the UTF-16 the core's
// reader takes, and JSON string literals.
#ifndef FLVAUDIO_TEXT_H
#define FLVAUDIO_TEXT_H

#include <string>

// 0 when `utf8` is not well-formed UTF-8 (or holds a NUL).
int Utf8ToUtf16(const std::string &utf8, std::u16string *utf16);

// A quoted JSON string; bytes that are not well-formed UTF-8 become U+FFFD.
std::string JsonString(const std::string &text);

#endif

// What the fuzz targets share: splitting an input into operations and file
// bytes, the file the add-on opens, fault injection for one operation, and
// stopping with a message when an invariant breaks.
//
// Inputs of the targets that take operations: two bytes (little-endian)
// giving the length of the operations, the operations, then the file.
#ifndef TIMB_FLV_FUZZ_SUPPORT_H
#define TIMB_FLV_FUZZ_SUPPORT_H

#include <stddef.h>
#include <stdint.h>

#include <string>
#include <vector>

namespace fuzz {

using Bytes = std::vector<uint8_t>;

struct Operations {
    const uint8_t *at;
    size_t left;
    bool Done() const { return left == 0; }
    uint8_t Byte();
    uint32_t Word(); // up to four bytes, big-endian; 0 past the end
};

struct Input {
    Operations operations;
    Bytes file;
};

Input SplitInput(const uint8_t *data, size_t size);

// The input written as a seed: the operations' length, them, the file.
Bytes JoinInput(const Bytes &operations, const Bytes &file);

// One file per fuzzing process, rewritten for every input.
const std::string &FilePath();
void WriteFile(const Bytes &bytes);

// Makes the n-th allocation or file read from now fail (n from 1 to 4),
// chosen by `choice`; Disarm() turns both off again.
void ArmFault(uint8_t choice);
void Disarm();

[[noreturn]] void Fail(const std::string &what);

} // namespace fuzz

#endif

#include "fuzz/fuzz_support.h"

#include <stdio.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <random>

#include "platform/platform.h"

namespace fuzz {

uint8_t Operations::Byte() {
    if (left == 0)
        return 0;
    left--;
    return *at++;
}

uint32_t Operations::Word() {
    uint32_t word = 0;
    for (int i = 0; i < 4; i++)
        word = word << 8 | Byte();
    return word;
}

Input SplitInput(const uint8_t *data, size_t size) {
    if (size < 2)
        return {{data, 0}, Bytes(data, data + size)};
    size_t operations = (size_t)data[0] | (size_t)data[1] << 8;
    if (operations > size - 2)
        operations = size - 2;
    return {{data + 2, operations}, Bytes(data + 2 + operations, data + size)};
}

Bytes JoinInput(const Bytes &operations, const Bytes &file) {
    Bytes input = {(uint8_t)operations.size(), (uint8_t)(operations.size() >> 8)};
    input.insert(input.end(), operations.begin(), operations.end());
    input.insert(input.end(), file.begin(), file.end());
    return input;
}

namespace {

std::string NewFilePath() {
    std::string path =
        (std::filesystem::temp_directory_path() / ("timb_flv_fuzz_" + std::to_string(std::random_device()()) + ".flv"))
            .string();
    std::atexit([] { remove(FilePath().c_str()); });
    return path;
}

} // namespace

// Never destroyed, so the removal at exit still finds it.
const std::string &FilePath() {
    static const std::string *path = new std::string(NewFilePath());
    return *path;
}

void WriteFile(const Bytes &bytes) {
    std::ofstream out(FilePath(), std::ios::binary | std::ios::trunc);
    out.write((const char *)bytes.data(), (std::streamsize)bytes.size());
    if (!out)
        Fail("cannot write " + FilePath());
}

void ArmFault(uint8_t choice) {
    uint32_t n = 1 + (choice >> 1) % 4;
    if (choice & 1)
        OsFailNthRead(n);
    else
        OsFailNthAllocation(n);
}

void Disarm() {
    OsFailNthRead(0);
    OsFailNthAllocation(0);
}

void Fail(const std::string &what) {
    fprintf(stderr, "invariant broken: %s\n", what.c_str());
    abort();
}

} // namespace fuzz

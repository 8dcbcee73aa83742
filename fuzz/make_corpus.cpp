// Writes the seed corpus of every fuzz target: FLV files built in code (well
// formed, empty, header-only, not FLV at all), the FLV files of any folders
// named on the command line cut to the fuzzers' input size, and for the
// targets that take operations, each file behind a few operations.
//
//   fuzz_corpus OUT [FOLDER...]     writes OUT/reader, OUT/scan, OUT/stream, OUT/standin
#include <stdio.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>

#include "fuzz/fuzz_support.h"
#include "tests/support/flv_builder.h"

namespace {

using fuzz::Bytes;
namespace fs = std::filesystem;

const size_t largestSeed = 32768; // the fuzzers' -max_len
const size_t operationBytes = 64;

std::vector<Bytes> BuiltFiles() {
    std::vector<Bytes> files;
    struct Shape {
        uint32_t seed;
        size_t tags;
        uint32_t largest;
    } shapes[] = {{1, 20, 300}, {2, 40, 1500}, {3, 8, 5000}, {4, 60, 60}};
    for (const Shape &shape : shapes) {
        std::mt19937 random(shape.seed);
        files.push_back(fixture::FileBytes(fixture::RandomTags(random, shape.tags, shape.largest)));
    }
    files.push_back(fixture::FileBytes({{fixture::AUDIO, fixture::Pattern(1200, 9)}}, fixture::Header(), false));
    files.push_back(fixture::FileBytes({}));
    files.push_back(fixture::HeaderBytes());
    files.push_back({'F', 'L', 'V', 1});
    files.push_back({'F', 'L', 'V', 2, 5, 0, 0, 0, 9});
    return files;
}

std::vector<Bytes> FilesIn(const std::string &folder) {
    std::vector<Bytes> files;
    std::error_code error;
    for (const auto &entry : fs::directory_iterator(folder, error)) {
        if (entry.path().extension() != ".flv")
            continue;
        std::ifstream in(entry.path(), std::ios::binary);
        Bytes bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        if (bytes.size() > largestSeed)
            bytes.resize(largestSeed);
        files.push_back(bytes);
    }
    return files;
}

Bytes SomeOperations(std::mt19937 &random) {
    Bytes operations(operationBytes);
    for (uint8_t &byte : operations)
        byte = (uint8_t)random();
    return operations;
}

void Write(const fs::path &folder, size_t number, const Bytes &bytes) {
    fs::create_directories(folder);
    std::ofstream out(folder / ("seed" + std::to_string(number)), std::ios::binary | std::ios::trunc);
    out.write((const char *)bytes.data(), (std::streamsize)bytes.size());
}

} // namespace

int main(int argc, char **argv) {
    if (argc < 2) {
        fprintf(stderr, "usage: fuzz_corpus OUT [FOLDER...]\n");
        return 2;
    }
    std::vector<Bytes> files = BuiltFiles();
    for (int i = 2; i < argc; i++)
        for (Bytes &file : FilesIn(argv[i]))
            files.push_back(file);
    fs::path out = argv[1];
    std::mt19937 random(2024);
    for (size_t i = 0; i < files.size(); i++) {
        Write(out / "scan", i, files[i]);
        Write(out / "standin", i, files[i]);
        Write(out / "reader", i, fuzz::JoinInput(SomeOperations(random), files[i]));
        Write(out / "stream", i, fuzz::JoinInput(SomeOperations(random), files[i]));
    }
    printf("fuzz_corpus: %zu seeds for each target in %s\n", files.size(), argv[1]);
    return 0;
}

// FLV files cut short at every offset of their first 4 KiB and at random
// offsets beyond, and copies with random bytes changed: a stream over each
// is created, read whole, sought and closed, and must answer as the plain
// walk over its bytes says. Sources: a file built here, files ffmpeg made
// (the damage_ffmpeg_flvs fixture) and, when present, the shared samples.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <random>

#include "tests/damage/damage_support.h"
#include "tests/support/flv_builder.h"

namespace {

using damage::Bytes;

const uint32_t everyOffsetUpTo = 4096;
const int randomCuts = 200;
const int flippedCopies = 200;
const int failuresShown = 5;

struct Source {
    std::string label;
    Bytes bytes;
};

// Small records, empty and one-byte audio payloads, and records larger than
// the playback window and the scan window.
Source BuiltSource() {
    std::mt19937 random(7);
    std::vector<fixture::Tag> tags = fixture::RandomTags(random, 300, 2500);
    tags.insert(tags.begin() + 5, fixture::Tag{fixture::VIDEO, fixture::Pattern(40000, 91)});
    tags.insert(tags.begin() + 150, fixture::Tag{fixture::AUDIO, fixture::Pattern(70000, 92)});
    return {"built file", fixture::FileBytes(tags)};
}

std::vector<Source> SourcesIn(const std::string &folder) {
    std::vector<Source> sources;
    for (const std::string &path : damage::FlvFilesIn(folder))
        sources.push_back({std::filesystem::path(path).filename().string(), damage::ReadFile(path)});
    return sources;
}

std::vector<size_t> CutOffsets(size_t size) {
    std::vector<size_t> cuts;
    for (size_t at = 0; at <= std::min<size_t>(everyOffsetUpTo, size); at++)
        cuts.push_back(at);
    std::mt19937 random((uint32_t)size);
    for (int i = 0; i < randomCuts && size > everyOffsetUpTo + 1; i++)
        cuts.push_back(everyOffsetUpTo + 1 + random() % (size - everyOffsetUpTo - 1));
    // Longest first, so one file serves every cut by shortening it.
    std::sort(cuts.rbegin(), cuts.rend());
    return cuts;
}

void CutEverywhere(const Source &source) {
    fixture::TempFile file(source.bytes);
    int failures = 0;
    for (size_t cut : CutOffsets(source.bytes.size())) {
        std::filesystem::resize_file(file.path, cut);
        Bytes kept(source.bytes.begin(), source.bytes.begin() + (long)cut);
        std::string wrong = damage::ExerciseFile(file.path, kept, (uint32_t)cut);
        if (!wrong.empty() && failures++ < failuresShown)
            ADD_FAILURE() << source.label << " cut to " << cut << " bytes: " << wrong;
    }
    EXPECT_EQ(failures, 0) << source.label;
}

struct Flip {
    size_t at;
    uint8_t mask;
};

// Half the copies change bytes among the header and the first records,
// where one byte decides the most; the rest anywhere.
std::vector<Flip> FlipsFor(std::mt19937 &random, size_t size, int copy) {
    size_t range = copy % 2 == 0 ? std::min<size_t>(size, everyOffsetUpTo) : size;
    std::vector<Flip> flips(1 + random() % 4);
    for (Flip &flip : flips)
        flip = {random() % range, (uint8_t)(1 + random() % 255)};
    return flips;
}

void Apply(std::fstream &file, Bytes &bytes, const std::vector<Flip> &flips) {
    for (const Flip &flip : flips) {
        bytes[flip.at] ^= flip.mask;
        file.seekp((std::streamoff)flip.at);
        file.put((char)bytes[flip.at]);
    }
    file.flush();
}

void FlipEverywhere(const Source &source) {
    fixture::TempFile file(source.bytes);
    std::fstream out(file.path, std::ios::in | std::ios::out | std::ios::binary);
    Bytes bytes = source.bytes;
    std::mt19937 random((uint32_t)bytes.size() * 31u);
    int failures = 0;
    for (int copy = 0; copy < flippedCopies && !bytes.empty(); copy++) {
        std::vector<Flip> flips = FlipsFor(random, bytes.size(), copy);
        Apply(out, bytes, flips);
        std::string wrong = damage::ExerciseFile(file.path, bytes, (uint32_t)copy);
        if (!wrong.empty() && failures++ < failuresShown) {
            std::string where;
            for (const Flip &flip : flips)
                where += " " + std::to_string(flip.at);
            ADD_FAILURE() << source.label << " with bytes changed at" << where << ": " << wrong;
        }
        std::reverse(flips.begin(), flips.end());
        Apply(out, bytes, flips); // the same masks again restore the file
    }
    EXPECT_EQ(failures, 0) << source.label;
}

std::vector<Source> FfmpegSources() { return SourcesIn(TIMB_FLV_FFMPEG_DIR); }
std::vector<Source> SampleSources() { return SourcesIn(TIMB_FLV_SAMPLES_DIR); }

TEST(Truncation, BuiltFile) { CutEverywhere(BuiltSource()); }

TEST(Truncation, FilesFfmpegMade) {
    std::vector<Source> sources = FfmpegSources();
    if (sources.empty())
        GTEST_SKIP() << "no FLV files from ffmpeg in " << TIMB_FLV_FFMPEG_DIR << " (is ffmpeg installed?)";
    for (const Source &source : sources) {
        EXPECT_TRUE(model::Expect(source.bytes).wellFormed) << source.label << " is not well formed as made";
        CutEverywhere(source);
    }
}

TEST(Truncation, SharedSamples) {
    std::vector<Source> sources = SampleSources();
    if (sources.empty())
        GTEST_SKIP() << "no samples in " << TIMB_FLV_SAMPLES_DIR;
    for (const Source &source : sources)
        CutEverywhere(source);
}

TEST(ByteFlips, BuiltFile) { FlipEverywhere(BuiltSource()); }

TEST(ByteFlips, FilesFfmpegMade) {
    std::vector<Source> sources = FfmpegSources();
    if (sources.empty())
        GTEST_SKIP() << "no FLV files from ffmpeg in " << TIMB_FLV_FFMPEG_DIR << " (is ffmpeg installed?)";
    for (const Source &source : sources)
        FlipEverywhere(source);
}

TEST(ByteFlips, SharedSamples) {
    std::vector<Source> sources = SampleSources();
    if (sources.empty())
        GTEST_SKIP() << "no samples in " << TIMB_FLV_SAMPLES_DIR;
    for (const Source &source : sources)
        FlipEverywhere(source);
}

} // namespace

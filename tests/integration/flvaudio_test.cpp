// flvaudio on FLV files made by a real muxer (ffmpeg, from synthetic
// sources): what it extracts is compared with the tests' own walk of the
// file, with ffmpeg's own extraction and with ffprobe's frame counts.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <sstream>
#include <regex>
#include <string>
#include <vector>

#include "flv_walk.h"
#include "run_tool.h"

namespace {

namespace fs = std::filesystem;

const uint32_t AUDIO_TAG = 8;
const uint32_t VIDEO_TAG = 9;
const uint32_t INDEX_SLOTS = 20;
const uint32_t FIRST_RECORD = 9;
const uint32_t ONE_MIB = 1024 * 1024;
const uint32_t AAC_SEQUENCE_HEADER = 0;
const uint32_t AAC_RAW = 1;
const uint32_t ADTS_HEADER = 7;
const uintmax_t BUNDLED_SAMPLE_LIMIT = 300 * 1024;

enum Status { OK = 0, WRITE_FAILED = 1, USAGE = 2, NO_FILE = 3, FOLDER = 4, NOT_FLV = 5, NO_AUDIO = 6, NOT_ADTS = 7 };

std::string FixturePath(const std::string &name) { return std::string(FIXTURE_DIR) + "/" + name; }

std::string Flv(const std::string &name) { return FixturePath(name + ".flv"); }

void WriteFile(const std::string &path, const std::string &bytes) {
    std::ofstream out(path, std::ios::binary);
    out << bytes;
}

// Names where two byte strings part, for a failure message.
::testing::AssertionResult SameBytes(const std::string &what, const std::string &got, const std::string &expected) {
    size_t common = std::min(got.size(), expected.size());
    for (size_t at = 0; at < common; at++)
        if (got[at] != expected[at])
            return ::testing::AssertionFailure() << what << ": byte " << at << " is " << (int)(uint8_t)got[at]
                                                 << ", expected " << (int)(uint8_t)expected[at];
    if (got.size() != expected.size())
        return ::testing::AssertionFailure() << what << ": " << got.size() << " bytes, expected " << expected.size();
    return ::testing::AssertionSuccess();
}

long JsonNumber(const std::string &json, const std::string &key) {
    std::smatch match;
    if (!std::regex_search(json, match, std::regex("\"" + key + "\":(-?[0-9]+)")))
        return -1;
    return std::stol(match[1]);
}

std::string JsonText(const std::string &json, const std::string &key) {
    std::smatch match;
    if (!std::regex_search(json, match, std::regex("\"" + key + "\":\"([^\"]*)\"")))
        return "";
    return match[1];
}

struct Slot {
    uint32_t position;
    uint32_t count;
};

std::vector<Slot> JsonIndex(const std::string &json) {
    std::vector<Slot> slots;
    size_t index = json.find("\"index\":[");
    if (index == std::string::npos)
        return slots;
    std::string rest = json.substr(index);
    std::regex slot("\\{\"position\":([0-9]+),\"count\":([0-9]+)\\}");
    for (std::sregex_iterator at(rest.begin(), rest.end(), slot), end; at != end; ++at)
        slots.push_back({(uint32_t)std::stoul((*at)[1]), (uint32_t)std::stoul((*at)[2])});
    return slots;
}

size_t LineCount(const std::string &text) { return (size_t)std::count(text.begin(), text.end(), '\n'); }

// Makes the fixtures when a run of this program did not come through ctest,
// whose setup test makes them first.
class FixtureEnvironment : public ::testing::Environment {
  public:
    void SetUp() override {
        if (fs::exists(FixturePath("READY")))
            return;
        std::string command = std::string(FIXTURE_SCRIPT) + " " + FIXTURE_DIR;
        ASSERT_EQ(system(command.c_str()), 0) << "could not make the fixtures: " << command;
    }
};

const ::testing::Environment *const fixtureEnvironment = ::testing::AddGlobalTestEnvironment(new FixtureEnvironment);

// Each test gets an empty folder of its own for what it writes.
class Integration : public ::testing::Test {
  protected:
    void SetUp() override {
        const ::testing::TestInfo *test = ::testing::UnitTest::GetInstance()->current_test_info();
        std::string name = std::string(test->test_suite_name()) + "." + test->name();
        std::replace(name.begin(), name.end(), '/', '_');
        scratch = std::string(SCRATCH_DIR) + "/" + name;
        fs::remove_all(scratch);
        fs::create_directories(scratch);
    }

    run::Result Flvaudio(const std::vector<std::string> &arguments) { return run::Run(FLVAUDIO, arguments, scratch); }

    std::string Scratch(const std::string &name) const { return scratch + "/" + name; }

    // The files in the scratch folder, to show that nothing was left behind.
    std::vector<std::string> ScratchFiles() const {
        std::vector<std::string> names;
        for (const auto &entry : fs::directory_iterator(scratch))
            names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

    std::string scratch;
};

// ---------------------------------------------------------------------------
// Every codec the FLV muxer writes: the output is the audio byte stream.

struct CodecCase {
    const char *fixture;
    const char *codec; // as info --json names it
    long rate;
    long sampleSize;
};

const CodecCase codecCases[] = {
    {"mp3_h263", "mp3", 44100, 16}, {"mp3_only", "mp3", 22050, 16},        {"mp3_large_keyframes", "mp3", 44100, 16},
    {"aac_h264", "aac", 44100, 16}, {"aac_stereo_only", "aac", 44100, 16}, {"pcm_s16le", "pcm_le", 44100, 16},
    {"pcm_u8", "pcm", 22050, 8},    {"adpcm", "adpcm", 22050, 16},         {"nellymoser", "nellymoser_16k", 16000, 16},
    {"speex", "speex", 16000, 16},
};

class EveryCodec : public Integration, public ::testing::WithParamInterface<CodecCase> {};

TEST_P(EveryCodec, ExtractWritesTheAudioByteStream) {
    walk::Flv flv = walk::WalkFlv(walk::ReadFile(Flv(GetParam().fixture)));
    ASSERT_FALSE(flv.audio.empty());
    run::Result result = Flvaudio({"extract", Flv(GetParam().fixture), "-o", Scratch("out")});
    ASSERT_EQ(result.status, OK) << result.err;
    EXPECT_EQ(result.err, "") << "nothing on standard error when it is not a terminal";
    EXPECT_TRUE(SameBytes(std::string(GetParam().fixture) + " extract", walk::ReadFile(Scratch("out")), flv.audio));
    EXPECT_EQ(ScratchFiles(), std::vector<std::string>{"out"});
}

// Each slot names a boundary just past an audio tag, or the first record,
// with the exact count of stream bytes before it; slots never go backwards.
void ExpectIndexOfFile(const std::vector<Slot> &slots, const walk::Flv &flv, const std::string &name) {
    ASSERT_EQ(slots.size(), INDEX_SLOTS) << name;
    std::map<uint32_t, uint32_t> countAtBoundary = {{FIRST_RECORD, 0}};
    for (const walk::Tag &tag : flv.tags)
        if (tag.type == AUDIO_TAG)
            countAtBoundary[tag.payload + tag.size] = tag.streamOffset + (tag.size > 0 ? tag.size - 1 : 0);
    for (uint32_t i = 0; i < INDEX_SLOTS; i++) {
        auto boundary = countAtBoundary.find(slots[i].position);
        ASSERT_NE(boundary, countAtBoundary.end())
            << name << " slot " << i << ": " << slots[i].position << " is no audio boundary";
        EXPECT_EQ(slots[i].count, boundary->second) << name << " slot " << i;
        EXPECT_LE((uint64_t)slots[i].position * INDEX_SLOTS / flv.bytes.size(), i) << name << " slot " << i;
        if (i > 0) {
            EXPECT_GE(slots[i].position, slots[i - 1].position) << name << " slot " << i;
        }
    }
}

TEST_P(EveryCodec, InfoDescribesTheFileAndTheScansIndex) {
    walk::Flv flv = walk::WalkFlv(walk::ReadFile(Flv(GetParam().fixture)));
    run::Result result = Flvaudio({"info", "--json", Flv(GetParam().fixture)});
    ASSERT_EQ(result.status, OK) << result.err;
    ASSERT_EQ(LineCount(result.out), 1u) << result.out;
    EXPECT_EQ(JsonNumber(result.out, "audio_bytes"), (long)flv.audio.size());
    EXPECT_EQ(JsonNumber(result.out, "audio"), (long)walk::CountTags(flv, AUDIO_TAG));
    EXPECT_EQ(JsonNumber(result.out, "video"), (long)walk::CountTags(flv, VIDEO_TAG));
    EXPECT_EQ(JsonText(result.out, "codec"), GetParam().codec);
    EXPECT_EQ(JsonNumber(result.out, "rate"), GetParam().rate);
    EXPECT_EQ(JsonNumber(result.out, "sample_size"), GetParam().sampleSize);
    ExpectIndexOfFile(JsonIndex(result.out), flv, GetParam().fixture);

    run::Result text = Flvaudio({"info", Flv(GetParam().fixture)});
    ASSERT_EQ(text.status, OK) << text.err;
    EXPECT_NE(text.out.find("audio bytes      " + std::to_string(flv.audio.size()) + "\n"), std::string::npos)
        << text.out;
}

TEST_P(EveryCodec, FromAnOffsetWritesTheSuffix) {
    walk::Flv flv = walk::WalkFlv(walk::ReadFile(Flv(GetParam().fixture)));
    uint32_t length = (uint32_t)flv.audio.size();
    std::vector<uint32_t> offsets = {0, 1, length / 2, length - 1, length};
    std::mt19937 random(length); // fixed per file, so a failure repeats
    for (int i = 0; i < 5; i++)
        offsets.push_back(std::uniform_int_distribution<uint32_t>(0, length)(random));
    for (uint32_t offset : offsets) {
        std::string out = Scratch("from_" + std::to_string(offset));
        run::Result result =
            Flvaudio({"extract", Flv(GetParam().fixture), "--from", std::to_string(offset), "-o", out});
        ASSERT_EQ(result.status, OK) << "--from " << offset << ": " << result.err;
        EXPECT_TRUE(SameBytes(std::string(GetParam().fixture) + " --from " + std::to_string(offset),
                              walk::ReadFile(out), flv.audio.substr(offset)));
    }
}

INSTANTIATE_TEST_SUITE_P(Ffmpeg, EveryCodec, ::testing::ValuesIn(codecCases),
                         [](const ::testing::TestParamInfo<CodecCase> &info) { return info.param.fixture; });

// ---------------------------------------------------------------------------
// MP3: a playable file, byte for byte what ffmpeg extracts.

class Mp3File : public Integration, public ::testing::WithParamInterface<const char *> {};

TEST_P(Mp3File, EqualsFfmpegsExtractionAndDecodesToTheSameFrames) {
    std::string out = Scratch("out.mp3");
    run::Result result = Flvaudio({"extract", Flv(GetParam()), "-o", out});
    ASSERT_EQ(result.status, OK) << result.err;
    EXPECT_TRUE(SameBytes(std::string(GetParam()) + " against ffmpeg", walk::ReadFile(out),
                          walk::ReadFile(FixturePath(std::string(GetParam()) + ".ffmpeg.mp3"))));
    long flvFrames = run::DecodedAudioFrames(Flv(GetParam()), scratch);
    EXPECT_GT(flvFrames, 0);
    EXPECT_EQ(run::DecodedAudioFrames(out, scratch), flvFrames);
}

std::string FixtureName(const ::testing::TestParamInfo<const char *> &info) { return info.param; }

INSTANTIATE_TEST_SUITE_P(Ffmpeg, Mp3File, ::testing::Values("mp3_h263", "mp3_only", "mp3_large_keyframes"),
                         FixtureName);

TEST(Fixtures, TheLargeKeyframeFileHasVideoTagsOfMoreThanOneMebibyte) {
    walk::Flv flv = walk::WalkFlv(walk::ReadFile(Flv("mp3_large_keyframes")));
    EXPECT_GT(walk::LargestTag(flv, VIDEO_TAG), ONE_MIB);
}

// ---------------------------------------------------------------------------
// AAC: --adts gives frames ffmpeg and ffprobe accept.

// The ADTS frames ffmpeg wrote, one per raw AAC tag in file order.
std::vector<std::string> SplitAdts(const std::string &adts) {
    std::vector<std::string> frames;
    for (size_t at = 0; at + ADTS_HEADER <= adts.size();) {
        size_t length =
            ((size_t)(adts[at + 3] & 3) << 11) | ((size_t)(uint8_t)adts[at + 4] << 3) | ((uint8_t)adts[at + 5] >> 5);
        if (length < ADTS_HEADER)
            break;
        frames.push_back(adts.substr(at, length));
        at += length;
    }
    return frames;
}

class AacFile : public Integration, public ::testing::WithParamInterface<const char *> {};

TEST_P(AacFile, AdtsEqualsFfmpegsAndDecodesToTheSameFrames) {
    std::string out = Scratch("out.aac");
    run::Result result = Flvaudio({"extract", Flv(GetParam()), "--adts", "-o", out});
    ASSERT_EQ(result.status, OK) << result.err;
    EXPECT_TRUE(SameBytes(std::string(GetParam()) + " --adts against ffmpeg", walk::ReadFile(out),
                          walk::ReadFile(FixturePath(std::string(GetParam()) + ".ffmpeg.aac"))));
    long flvFrames = run::DecodedAudioFrames(Flv(GetParam()), scratch);
    EXPECT_GT(flvFrames, 0);
    EXPECT_EQ(run::DecodedAudioFrames(out, scratch), flvFrames);
}

TEST_P(AacFile, AdtsFromAnOffsetStartsAtTheNextTag) {
    walk::Flv flv = walk::WalkFlv(walk::ReadFile(Flv(GetParam())));
    std::vector<std::string> frames = SplitAdts(walk::ReadFile(FixturePath(std::string(GetParam()) + ".ffmpeg.aac")));
    std::vector<uint32_t> rawOffsets;
    for (const walk::Tag &tag : flv.tags)
        if (tag.type == AUDIO_TAG && tag.size > 2 && (uint8_t)flv.bytes[tag.payload + 1] == AAC_RAW)
            rawOffsets.push_back(tag.streamOffset);
    ASSERT_EQ(rawOffsets.size(), frames.size());
    for (uint32_t from : {rawOffsets[rawOffsets.size() / 3], rawOffsets[rawOffsets.size() / 2] + 1}) {
        std::string expected;
        for (size_t i = 0; i < frames.size(); i++)
            if (rawOffsets[i] >= from)
                expected += frames[i];
        std::string out = Scratch("from_" + std::to_string(from) + ".aac");
        run::Result result =
            Flvaudio({"extract", Flv(GetParam()), "--adts", "--from", std::to_string(from), "-o", out});
        ASSERT_EQ(result.status, OK) << result.err;
        EXPECT_TRUE(SameBytes(std::string(GetParam()) + " --adts --from " + std::to_string(from), walk::ReadFile(out),
                              expected));
    }
}

INSTANTIATE_TEST_SUITE_P(Ffmpeg, AacFile, ::testing::Values("aac_h264", "aac_stereo_only"), FixtureName);

// ---------------------------------------------------------------------------
// Bad input: a message naming the file and the reason, its own status, and
// no file, not even over an existing target.

struct BadInputCase {
    const char *title;
    const char *input; // "@name" is a file the test makes in its scratch folder
    std::vector<std::string> extra;
    int status;
    const char *reason;
};

const BadInputCase badInputCases[] = {
    {"missing", "@absent.flv", {}, NO_FILE, "no such file"},
    {"folder", "@folder", {}, FOLDER, "is a folder"},
    {"text", "@text.flv", {}, NOT_FLV, "not an FLV file"},
    {"mp3", "@mp3.flv", {}, NOT_FLV, "not an FLV file"},
    {"version2", "@version2.flv", {}, NOT_FLV, "not an FLV file"},
    {"empty", "@empty.flv", {}, NOT_FLV, "not an FLV file"},
    {"header_only", "@header.flv", {}, NO_AUDIO, "has no audio"},
    {"video_only", "video_only", {}, NO_AUDIO, "has no audio"},
    {"empty_audio_tags", "@empty_audio.flv", {}, NO_AUDIO, "hold no audio bytes"},
    {"adts_of_mp3", "mp3_only", {"--adts"}, NOT_ADTS, "not AAC"},
    {"adts_of_pcm", "pcm_u8", {"--adts"}, NOT_ADTS, "not AAC"},
};

class BadInput : public Integration, public ::testing::WithParamInterface<BadInputCase> {
  protected:
    // Files the cases name with "@"; fixtures are copied, so that an output
    // named after the input would land in the scratch folder too.
    std::string MakeInput(const std::string &input) {
        if (input[0] != '@') {
            fs::copy_file(Flv(input), Scratch("input.flv"));
            return Scratch("input.flv");
        }
        std::string path = Scratch(input.substr(1));
        std::string header("FLV\x01\x05\x00\x00\x00\x09", 9);
        std::string closing("\x00\x00\x00\x00", 4);
        if (input == "@folder")
            fs::create_directory(path);
        else if (input == "@text.flv")
            WriteFile(path, "this is a text file, not a video\n");
        else if (input == "@mp3.flv")
            WriteFile(path, walk::ReadFile(FixturePath("mp3_only.ffmpeg.mp3")));
        else if (input == "@version2.flv")
            WriteFile(path, std::string("FLV\x02\x05\x00\x00\x00\x09", 9) + closing);
        else if (input == "@empty.flv")
            WriteFile(path, "");
        else if (input == "@header.flv")
            WriteFile(path, header + closing);
        else if (input == "@empty_audio.flv") // two audio tags: one empty, one of just the header byte
            WriteFile(path, header + closing + std::string("\x08\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00", 11) +
                                std::string("\x00\x00\x00\x0b", 4) +
                                std::string("\x08\x00\x00\x01\x00\x00\x00\x00\x00\x00\x00\x2e", 12) +
                                std::string("\x00\x00\x00\x0c", 4));
        return path;
    }
};

TEST_P(BadInput, SaysWhyExitsWithItsStatusAndWritesNothing) {
    const BadInputCase &bad = GetParam();
    std::string input = MakeInput(bad.input);
    std::vector<std::string> before = ScratchFiles();

    // Named after the input (when that lies in the scratch folder), and an
    // explicit target that already exists.
    std::vector<std::string> arguments = {"extract", input};
    arguments.insert(arguments.end(), bad.extra.begin(), bad.extra.end());
    run::Result named = Flvaudio(arguments);
    EXPECT_EQ(named.status, bad.status) << named.err;
    EXPECT_EQ(ScratchFiles(), before);

    WriteFile(Scratch("existing"), "keep me");
    arguments.insert(arguments.end(), {"-o", Scratch("existing")});
    run::Result result = Flvaudio(arguments);
    EXPECT_EQ(result.status, bad.status) << result.err;
    EXPECT_EQ(LineCount(result.err), 1u) << result.err;
    EXPECT_NE(result.err.find(input), std::string::npos) << "names the file: " << result.err;
    EXPECT_NE(result.err.find(bad.reason), std::string::npos) << "says why: " << result.err;
    EXPECT_EQ(walk::ReadFile(Scratch("existing")), "keep me");
    before.push_back("existing");
    std::sort(before.begin(), before.end());
    EXPECT_EQ(ScratchFiles(), before) << "no temporary file is left";
}

INSTANTIATE_TEST_SUITE_P(Extract, BadInput, ::testing::ValuesIn(badInputCases),
                         [](const ::testing::TestParamInfo<BadInputCase> &info) { return info.param.title; });

TEST_F(Integration, InfoGoesOnPastBadFilesAndExitsWithTheFirstFailure) {
    fs::create_directory(Scratch("folder"));
    run::Result result =
        Flvaudio({"info", "--json", Flv("mp3_only"), Scratch("folder"), Scratch("absent.flv"), Flv("video_only")});
    EXPECT_EQ(result.status, FOLDER);
    ASSERT_EQ(LineCount(result.out), 4u) << result.out;
    EXPECT_EQ(LineCount(result.err), 2u) << result.err;
    std::istringstream lines(result.out);
    std::string line;
    std::vector<long> audioBytes, errors;
    while (std::getline(lines, line)) {
        audioBytes.push_back(JsonNumber(line, "audio_bytes"));
        errors.push_back(JsonNumber(line, "error"));
    }
    long mp3Bytes = (long)walk::WalkFlv(walk::ReadFile(Flv("mp3_only"))).audio.size();
    EXPECT_EQ(audioBytes, (std::vector<long>{mp3Bytes, -1, -1, 0}));
    EXPECT_EQ(errors, (std::vector<long>{-1, FOLDER, NO_FILE, -1}));
}

// A failure halfway through the writing: a sequence header in the middle of
// the AAC stream that cannot be read. The target keeps its old contents and
// no temporary file remains.
TEST_F(Integration, AFailureAfterWritingBeganLeavesNoFile) {
    walk::Flv flv = walk::WalkFlv(walk::ReadFile(Flv("aac_h264")));
    std::vector<const walk::Tag *> raw;
    for (const walk::Tag &tag : flv.tags)
        if (tag.type == AUDIO_TAG && tag.size > 2 && (uint8_t)flv.bytes[tag.payload + 1] == AAC_RAW)
            raw.push_back(&tag);
    ASSERT_GT(raw.size(), 10u);
    std::string damaged = flv.bytes;
    damaged[raw[raw.size() / 2]->payload + 1] = (char)AAC_SEQUENCE_HEADER;
    damaged[raw[raw.size() / 2]->payload + 2] = 0; // object type 0: no AudioSpecificConfig
    WriteFile(Scratch("damaged.flv"), damaged);
    WriteFile(Scratch("existing.aac"), "keep me");

    run::Result result = Flvaudio({"extract", Scratch("damaged.flv"), "--adts", "-o", Scratch("existing.aac")});
    EXPECT_EQ(result.status, NOT_ADTS) << result.err;
    EXPECT_NE(result.err.find("sequence header is malformed"), std::string::npos) << result.err;
    EXPECT_EQ(walk::ReadFile(Scratch("existing.aac")), "keep me");
    EXPECT_EQ(ScratchFiles(), (std::vector<std::string>{"damaged.flv", "existing.aac"}));
}

// A file whose last audio tag the end of the file cuts short: the stream
// still counts it and delivers zeros for it; the tool says so.
TEST_F(Integration, ACutOffLastAudioTagIsReportedAndDeliveredAsZeros) {
    walk::Flv whole = walk::WalkFlv(walk::ReadFile(Flv("mp3_only")));
    const walk::Tag *last = nullptr;
    for (const walk::Tag &tag : whole.tags)
        if (tag.type == AUDIO_TAG && tag.size > 1)
            last = &tag;
    ASSERT_NE(last, nullptr);
    std::string cut = whole.bytes.substr(0, last->payload + last->size / 2);
    WriteFile(Scratch("cut.flv"), cut);
    walk::Flv flv = walk::WalkFlv(cut);
    uint32_t missing = last->size - 1;

    run::Result info = Flvaudio({"info", "--json", Scratch("cut.flv")});
    ASSERT_EQ(info.status, OK) << info.err;
    EXPECT_EQ(JsonNumber(info.out, "audio_bytes"), (long)(flv.audio.size() + missing));
    EXPECT_EQ(JsonNumber(info.out, "cut_off_audio_bytes"), (long)missing);

    run::Result result = Flvaudio({"extract", Scratch("cut.flv"), "-o", Scratch("cut.mp3")});
    ASSERT_EQ(result.status, OK) << result.err;
    EXPECT_NE(result.err.find("cuts an audio record short"), std::string::npos) << result.err;
    EXPECT_TRUE(SameBytes("cut-off file", walk::ReadFile(Scratch("cut.mp3")), flv.audio + std::string(missing, '\0')));
}

// ---------------------------------------------------------------------------
// The command line.

struct UsageCase {
    const char *title;
    std::vector<std::string> arguments; // "@mp3" stands for an MP3 fixture
    int status;
    const char *shows; // on standard output for status 0, else on standard error
};

const UsageCase usageCases[] = {
    {"nothing", {}, USAGE, "a command is needed"},
    {"unknown_command", {"play", "@mp3"}, USAGE, "unknown command play"},
    {"extract_without_file", {"extract"}, USAGE, "extract needs a FILE"},
    {"info_without_file", {"info", "--json"}, USAGE, "info needs a FILE"},
    {"extract_two_files", {"extract", "@mp3", "@mp3"}, USAGE, "extract takes one FILE"},
    {"from_not_a_number", {"extract", "@mp3", "--from", "12k"}, USAGE, "--from needs a byte offset"},
    {"from_too_large", {"extract", "@mp3", "--from", "4294967296"}, USAGE, "--from needs a byte offset"},
    {"from_beyond_the_audio", {"extract", "@mp3", "--from", "4000000000", "-o", "@out"}, USAGE, "lies beyond"},
    {"output_without_name", {"extract", "@mp3", "-o"}, USAGE, "-o needs a file name"},
    {"unknown_option", {"extract", "@mp3", "--loud"}, USAGE, "unknown option --loud"},
    {"adts_for_info", {"info", "--adts", "@mp3"}, USAGE, "unknown option --adts"},
    {"json_for_extract", {"extract", "--json", "@mp3"}, USAGE, "unknown option --json"},
    {"value_for_a_flag", {"extract", "@mp3", "--adts=yes"}, USAGE, "takes no value"},
    {"help", {"--help"}, OK, "Exit status:"},
    {"help_of_a_command", {"extract", "--help"}, OK, "Usage:"},
    {"version", {"--version"}, OK, "flvaudio 1.0.0"},
    {"version_with_more", {"--version", "x"}, USAGE, "takes nothing more"},
};

class CommandLine : public Integration, public ::testing::WithParamInterface<UsageCase> {};

TEST_P(CommandLine, AnswersWithItsStatus) {
    std::vector<std::string> arguments;
    for (const std::string &argument : GetParam().arguments)
        arguments.push_back(argument == "@mp3" ? Flv("mp3_only") : argument == "@out" ? Scratch("out") : argument);
    run::Result result = Flvaudio(arguments);
    EXPECT_EQ(result.status, GetParam().status) << result.err;
    const std::string &shown = GetParam().status == OK ? result.out : result.err;
    EXPECT_NE(shown.find(GetParam().shows), std::string::npos) << shown;
    EXPECT_EQ(ScratchFiles(), std::vector<std::string>{});
}

INSTANTIATE_TEST_SUITE_P(Flvaudio, CommandLine, ::testing::ValuesIn(usageCases),
                         [](const ::testing::TestParamInfo<UsageCase> &info) { return info.param.title; });

TEST_F(Integration, HelpListsEveryExitStatus) {
    run::Result result = Flvaudio({"--help"});
    ASSERT_EQ(result.status, OK);
    for (int status = OK; status <= 8; status++)
        EXPECT_NE(result.out.find("\n  " + std::to_string(status) + "  "), std::string::npos) << status;
}

// ---------------------------------------------------------------------------
// Where the output goes.

struct NamingCase {
    const char *title;
    const char *fixture;
    const char *copiedAs;
    std::vector<std::string> extra;
    const char *written;
};

const NamingCase namingCases[] = {
    {"mp3", "mp3_h263", "clip.flv", {}, "clip.mp3"},
    {"aac_adts", "aac_h264", "clip.flv", {"--adts"}, "clip.aac"},
    {"aac_as_delivered", "aac_h264", "clip.flv", {}, "clip.raw"},
    {"pcm", "pcm_s16le", "clip.flv", {}, "clip.pcm"},
    {"speex", "speex", "clip.flv", {}, "clip.speex"},
    {"no_extension", "mp3_only", "noextension", {}, "noextension.mp3"},
    {"never_over_its_input", "mp3_only", "named.mp3", {}, "named.mp3.mp3"},
};

class OutputName : public Integration, public ::testing::WithParamInterface<NamingCase> {};

TEST_P(OutputName, FollowsTheInputAndTheCodec) {
    fs::copy_file(Flv(GetParam().fixture), Scratch(GetParam().copiedAs));
    std::vector<std::string> arguments = {"extract", Scratch(GetParam().copiedAs), "-q"};
    arguments.insert(arguments.end(), GetParam().extra.begin(), GetParam().extra.end());
    run::Result result = Flvaudio(arguments);
    ASSERT_EQ(result.status, OK) << result.err;
    std::vector<std::string> expected = {GetParam().copiedAs, GetParam().written};
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(ScratchFiles(), expected);
}

INSTANTIATE_TEST_SUITE_P(Extract, OutputName, ::testing::ValuesIn(namingCases),
                         [](const ::testing::TestParamInfo<NamingCase> &info) { return info.param.title; });

TEST_F(Integration, DashWritesToStandardOutput) {
    run::Result result = Flvaudio({"extract", Flv("mp3_h263"), "-o", "-"});
    ASSERT_EQ(result.status, OK) << result.err;
    EXPECT_TRUE(SameBytes("standard output", result.out, walk::ReadFile(FixturePath("mp3_h263.ffmpeg.mp3"))));
    EXPECT_EQ(ScratchFiles(), std::vector<std::string>{});
}

TEST_F(Integration, ADeviceTargetIsWrittenInPlaceNotReplaced) {
    run::Result result = Flvaudio({"extract", Flv("mp3_only"), "-o", "/dev/null"});
    ASSERT_EQ(result.status, OK) << result.err;
    struct stat status;
    ASSERT_EQ(stat("/dev/null", &status), 0);
    EXPECT_TRUE(S_ISCHR(status.st_mode)) << "/dev/null is still a device";
}

TEST_F(Integration, AnUnwritableTargetFailsWithStatusOne) {
    fs::create_directory(Scratch("folder"));
    for (const std::string &target : {Scratch("folder"), Scratch("absent/out.mp3")}) {
        run::Result result = Flvaudio({"extract", Flv("mp3_only"), "-o", target});
        EXPECT_EQ(result.status, WRITE_FAILED) << target;
        EXPECT_NE(result.err.find(target + ": cannot write"), std::string::npos) << result.err;
    }
    EXPECT_EQ(ScratchFiles(), std::vector<std::string>{"folder"});
    EXPECT_TRUE(fs::is_empty(Scratch("folder")));
}

TEST_F(Integration, ProgressShowsOnATerminalUnlessQuiet) {
    run::Result shown =
        run::RunWithTerminalStderr(FLVAUDIO, {"extract", Flv("pcm_s16le"), "-o", Scratch("a")}, scratch);
    ASSERT_EQ(shown.status, OK) << shown.err;
    EXPECT_NE(shown.err.find("100%"), std::string::npos) << shown.err;
    run::Result quiet =
        run::RunWithTerminalStderr(FLVAUDIO, {"extract", Flv("pcm_s16le"), "-q", "-o", Scratch("b")}, scratch);
    ASSERT_EQ(quiet.status, OK) << quiet.err;
    EXPECT_EQ(quiet.err, "");
}

// ---------------------------------------------------------------------------
// Files nobody here wrote, when they are at hand; and the bundled sample.

struct SharedSample {
    const char *name;
    bool aac;
    bool hasAudio;
};

const SharedSample sharedSamples[] = {
    {"legacy_mp3_vp6", false, true},       {"aac_avc_short", true, true},   {"aac_avc_33s", true, true},
    {"aac_audio_only_33s", true, true},    {"aac_avc_testsrc", true, true}, {"avc_video_only", false, false},
    {"avc_video_only_tiny", false, false},
};

class FromTheWild : public Integration, public ::testing::WithParamInterface<SharedSample> {};

TEST_P(FromTheWild, ExtractsWhatTheWalkAndFfmpegExtract) {
    std::string input = std::string(SHARED_SAMPLES) + "/" + GetParam().name + ".flv";
    if (!fs::exists(input))
        GTEST_SKIP() << input << " is absent: the samples from the wild are not on this machine";
    walk::Flv flv = walk::WalkFlv(walk::ReadFile(input));
    run::Result result = Flvaudio({"extract", input, "-o", Scratch("out")});
    if (!GetParam().hasAudio) {
        EXPECT_EQ(result.status, NO_AUDIO) << result.err;
        return;
    }
    ASSERT_EQ(result.status, OK) << result.err;
    EXPECT_TRUE(SameBytes(std::string(GetParam().name), walk::ReadFile(Scratch("out")), flv.audio));

    std::string reference = Scratch(GetParam().aac ? "ffmpeg.aac" : "ffmpeg.mp3");
    std::vector<std::string> ffmpeg = {"-nostdin", "-loglevel", "error", "-i", input, "-map", "0:a", "-c", "copy"};
    if (GetParam().aac)
        ffmpeg.insert(ffmpeg.end(), {"-f", "adts", reference});
    else
        ffmpeg.insert(ffmpeg.end(),
                      {"-f", "mp3", "-write_xing", "0", "-id3v2_version", "0", "-write_id3v1", "0", reference});
    ASSERT_EQ(run::Run(FFMPEG, ffmpeg, scratch).status, 0);
    std::string out = Scratch("out");
    if (GetParam().aac) {
        out = Scratch("out.aac");
        ASSERT_EQ(Flvaudio({"extract", input, "--adts", "-o", out}).status, OK);
    }
    EXPECT_TRUE(
        SameBytes(std::string(GetParam().name) + " against ffmpeg", walk::ReadFile(out), walk::ReadFile(reference)));
    EXPECT_EQ(run::DecodedAudioFrames(out, scratch), run::DecodedAudioFrames(input, scratch));
}

INSTANTIATE_TEST_SUITE_P(SharedSamples, FromTheWild, ::testing::ValuesIn(sharedSamples),
                         [](const ::testing::TestParamInfo<SharedSample> &info) { return info.param.name; });

TEST_F(Integration, TheLegacyMp3SampleGivesExactly122096Bytes) {
    std::string input = std::string(SHARED_SAMPLES) + "/legacy_mp3_vp6.flv";
    if (!fs::exists(input))
        GTEST_SKIP() << input << " is absent: the samples from the wild are not on this machine";
    run::Result result = Flvaudio({"info", "--json", input});
    ASSERT_EQ(result.status, OK) << result.err;
    EXPECT_EQ(JsonNumber(result.out, "audio_bytes"), 122096);
}

TEST_F(Integration, TheBundledSampleHoldsMp3AndVideoAndExtracts) {
    ASSERT_TRUE(fs::exists(BUNDLED_SAMPLE));
    EXPECT_LT(fs::file_size(BUNDLED_SAMPLE), BUNDLED_SAMPLE_LIMIT);
    run::Result info = Flvaudio({"info", "--json", BUNDLED_SAMPLE});
    ASSERT_EQ(info.status, OK) << info.err;
    EXPECT_EQ(JsonText(info.out, "codec"), "mp3");
    EXPECT_GT(JsonNumber(info.out, "video"), 0);
    run::Result result = Flvaudio({"extract", BUNDLED_SAMPLE, "-o", Scratch("sample.mp3")});
    ASSERT_EQ(result.status, OK) << result.err;
    EXPECT_TRUE(SameBytes("bundled sample", walk::ReadFile(Scratch("sample.mp3")),
                          walk::WalkFlv(walk::ReadFile(BUNDLED_SAMPLE)).audio));
    EXPECT_GT(run::DecodedAudioFrames(Scratch("sample.mp3"), scratch), 0);
}

} // namespace

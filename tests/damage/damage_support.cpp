#include "tests/damage/damage_support.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "flv/stream.h"
#include "plugin/plugin.h"
#include "tests/support/flv_builder.h"
#include "tests/support/recording_host.h"

namespace damage {

namespace {

int32_t LastErrorCode() {
    int32_t code = -1;
    for (const recording::Call &call : recording::Calls())
        if (call.name == "ReportErrorCode")
            code = (int32_t)call.args[0];
    return code;
}

} // namespace

HostStream CreateOver(const std::string &path) {
    recording::Reset();
    recording::answers.sourceName = fixture::Utf16(path);
    return CreateFlvStream(recording::answers.openedSource, 0);
}

model::StreamCalls CallsOf(HostStream stream) {
    return {[stream](void *buffer, uint32_t length) { return recording::Read(stream, buffer, length); },
            [stream](uint64_t offset) { return recording::Seek(stream, offset); },
            [stream]() { return recording::Length(stream); }};
}

void CloseAndForget(HostStream stream) {
    recording::Close(stream);
    FreeClosedStreams();
}

std::string ExerciseFile(const std::string &path, const Bytes &bytes, uint32_t seed) {
    model::Expected expected = model::Expect(bytes);
    HostStream stream = CreateOver(path);
    if (!expected.opens) {
        if (stream != 0)
            return "a file that is no FLV file of version 1 made a stream";
        if (LastErrorCode() != ERROR_CREATION_FAILED)
            return "a refused file reported error code " + std::to_string(LastErrorCode());
        if (recording::CountCalls("CloseSource") != 0)
            return "creation closed the host file it was given";
        return "";
    }
    if (stream == 0)
        return "an FLV file made no stream";
    if (LastErrorCode() != ERROR_NONE)
        return "a created stream reported error code " + std::to_string(LastErrorCode());
    std::string wrong = model::CheckWholeStream(CallsOf(stream), expected, seed, 4);
    CloseAndForget(stream);
    if (wrong.empty() && recording::CountCalls("CloseSource") != 1)
        wrong = "close closed the host file " + std::to_string(recording::CountCalls("CloseSource")) + " times";
    return wrong;
}

Bytes ReadFile(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::vector<std::string> FlvFilesIn(const std::string &folder) {
    std::vector<std::string> files;
    std::error_code error;
    for (const auto &entry : std::filesystem::directory_iterator(folder, error))
        if (entry.path().extension() == ".flv")
            files.push_back(entry.path().string());
    std::sort(files.begin(), files.end());
    return files;
}

} // namespace damage

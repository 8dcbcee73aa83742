#include "tests/support/recording_host.h"

#include <algorithm>
#include <mutex>

namespace recording {

Answers answers;

namespace {

std::mutex lock; // creation and seeks may come from several threads
std::vector<Call> calls;
std::map<HostStream, Stream> streams;
std::vector<SettingsProc> settingsProcs;
HostStream nextStream = 0x1000;

void Record(const char *name, std::vector<uint64_t> args) {
    std::lock_guard<std::mutex> guard(lock);
    calls.push_back({name, std::move(args)});
}

uint64_t Address(const void *pointer) { return (uint64_t)(uintptr_t)pointer; }

void TIMBAPI ReportErrorCode(int32_t code) { Record("ReportErrorCode", {(uint64_t)(int64_t)code}); }

void TIMBAPI ManageSettingsProc(SettingsProc proc, uint32_t mode) {
    Record("ManageSettingsProc", {Address((const void *)proc), mode});
    std::lock_guard<std::mutex> guard(lock);
    if (mode == 0)
        settingsProcs.push_back(proc);
    else
        settingsProcs.erase(std::remove(settingsProcs.begin(), settingsProcs.end(), proc), settingsProcs.end());
}

HostFile TIMBAPI OpenFileSource(Bool32 memory, const void *file, uint64_t offset, uint64_t length, uint32_t flags,
                                uint32_t one) {
    Record("OpenFileSource", {(uint64_t)memory, Address(file), offset, length, flags, one});
    return answers.openedSource;
}

HostFile TIMBAPI OpenUrlSource(const char *url, uint32_t offset, uint32_t flags, DownloadProc proc, void *user,
                               uint32_t one) {
    Record("OpenUrlSource", {Address(url), offset, flags, Address((const void *)proc), Address(user), one});
    return answers.openedSource;
}

HostFile TIMBAPI OpenUserSource(uint32_t system, uint32_t flags, const FileProcTable *procs, void *user,
                                uint32_t one) {
    Record("OpenUserSource", {system, flags, Address(procs), Address(user), one});
    return answers.openedSource;
}

void TIMBAPI CloseSource(HostFile file) { Record("CloseSource", {file}); }

const HostChar16 *TIMBAPI QuerySourceName(HostFile file, uint32_t *one) {
    Record("QuerySourceName", {file, one != nullptr ? *one : 0});
    return answers.sourceName.empty() ? nullptr : answers.sourceName.c_str();
}

void TIMBAPI BindSourceToStream(HostFile file, HostStream stream) { Record("BindSourceToStream", {file, stream}); }

uint32_t TIMBAPI QuerySourceFlags(HostFile file) {
    Record("QuerySourceFlags", {file});
    return answers.sourceFlags;
}

void TIMBAPI SetSourceParameter(HostFile file, uint32_t param, uint32_t value) {
    Record("SetSourceParameter", {file, param, value});
}

template <typename Proc>
HostEntry Entry(Proc proc) {
    return reinterpret_cast<HostEntry>(proc);
}

Stream Find(HostStream stream) {
    std::lock_guard<std::mutex> guard(lock);
    return streams.at(stream);
}

} // namespace

std::vector<Call> Calls() {
    std::lock_guard<std::mutex> guard(lock);
    return calls;
}

std::vector<std::string> CallNames() {
    std::vector<std::string> names;
    for (const Call &call : Calls())
        names.push_back(call.name);
    return names;
}

int CountCalls(const std::string &name) {
    std::vector<std::string> names = CallNames();
    return (int)std::count(names.begin(), names.end(), name);
}

std::map<HostStream, Stream> Streams() {
    std::lock_guard<std::mutex> guard(lock);
    return streams;
}

std::vector<SettingsProc> SettingsProcs() {
    std::lock_guard<std::mutex> guard(lock);
    return settingsProcs;
}

void Reset() {
    std::lock_guard<std::mutex> guard(lock);
    calls.clear();
    streams.clear();
    answers = Answers();
}

uint32_t Read(HostStream stream, void *buffer, uint32_t length) {
    Stream s = Find(stream);
    return s.procs.read(buffer, length, s.user);
}

Bool32 Seek(HostStream stream, uint64_t offset) {
    Stream s = Find(stream);
    return s.procs.seek(offset, s.user);
}

uint64_t Length(HostStream stream) {
    Stream s = Find(stream);
    return s.procs.length(s.user);
}

void Close(HostStream stream) {
    Stream s = Find(stream);
    s.procs.close(s.user);
}

} // namespace recording

extern "C" {

HostEntry _[HOST_FUNCTION_TABLE_SIZE] = {
    recording::Entry(recording::ReportErrorCode),
    recording::Entry(recording::ManageSettingsProc),
    nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
    recording::Entry(recording::OpenFileSource),
    recording::Entry(recording::OpenUrlSource),
    recording::Entry(recording::OpenUserSource),
    recording::Entry(recording::CloseSource),
    recording::Entry(recording::QuerySourceName),
    recording::Entry(recording::BindSourceToStream),
    recording::Entry(recording::QuerySourceFlags),
    nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
    recording::Entry(recording::SetSourceParameter),
};

uint32_t TIMBAPI TIMB_GetVersion(void) {
    recording::Record("TIMB_GetVersion", {});
    return recording::answers.version;
}

HostStream TIMBAPI TIMB_StreamCreateFileUser(uint32_t system, uint32_t flags, const FileProcTable *procs, void *user) {
    recording::Record("TIMB_StreamCreateFileUser", {system, flags, recording::Address(procs), recording::Address(user)});
    if (recording::answers.refuseStreams)
        return 0;
    std::lock_guard<std::mutex> guard(recording::lock);
    HostStream stream = recording::nextStream++;
    recording::streams[stream] = {*procs, user, flags};
    return stream;
}

} // extern "C"

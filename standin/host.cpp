// The stand-in's version word, error codes, settings procedures and the
// function table `_` it exports.
#include <algorithm>
#include <atomic>

#include "standin/standin_state.h"

namespace standin {

namespace {

const uint32_t defaultVersion = 0x02040000; // 2.4
const int32_t noErrorYet = -1;
const uint32_t settingsStore = 0x1;
const uint32_t settingsLoad = 0x0;
const uint32_t manageAdd = 0;
const uint32_t manageRemove = 1;

std::atomic<uint32_t> version{defaultVersion};
thread_local int32_t errorCode = noErrorYet;

void TIMBAPI ReportErrorCode(int32_t code) { errorCode = code; }

// Every add is kept, repeats included, so a test sees exactly how often an
// add-on offered its procedure; a remove takes back the newest copy.
void TIMBAPI ManageSettingsProc(SettingsProc proc, uint32_t mode) {
    State &host = Host();
    std::lock_guard<std::mutex> guard(host.lock);
    std::vector<SettingsProc> &procs = host.settingsProcs;
    if (mode == manageAdd && proc != nullptr) {
        procs.push_back(proc);
    } else if (mode == manageRemove) {
        auto found = std::find(procs.rbegin(), procs.rend(), proc);
        if (found != procs.rend())
            procs.erase(std::next(found).base());
    }
}

std::vector<SettingsProc> SettingsProcsNewestFirst() {
    State &host = Host();
    std::lock_guard<std::mutex> guard(host.lock);
    return std::vector<SettingsProc>(host.settingsProcs.rbegin(), host.settingsProcs.rend());
}

// Offers the option to each procedure until one handles it.
Bool32 ConfigThroughProcs(uint32_t option, uint32_t flags, uint32_t *value) {
    for (SettingsProc proc : SettingsProcsNewestFirst())
        if (proc(option, flags, value))
            return 1;
    return 0;
}

template <typename Proc>
HostEntry Entry(Proc proc) {
    return reinterpret_cast<HostEntry>(proc);
}

} // namespace

State &Host() {
    static State *state = new State;
    return *state;
}

void SetErrorCode(int32_t code) { errorCode = code; }

void NoteBadHandle(State &host) {
    host.badHandles++;
    errorCode = TIMB_STANDIN_ERROR_HANDLE;
}

} // namespace standin

using namespace standin;

extern "C" {

TIMB_STANDIN_API HostEntry _[HOST_FUNCTION_TABLE_SIZE] = {
    Entry(ReportErrorCode),
    Entry(ManageSettingsProc),
    nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
    Entry(OpenFileSource),
    Entry(OpenUrlSource),
    Entry(OpenUserSource),
    Entry(CloseSource),
    Entry(QuerySourceName),
    Entry(BindSourceToStream),
    Entry(QuerySourceFlags),
    nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
    Entry(SetSourceParameter),
};

TIMB_STANDIN_API uint32_t TIMBAPI TIMB_GetVersion(void) { return version.load(); }

void TimbSetVersion(uint32_t word) { version.store(word); }

int32_t TimbGetErrorCode(void) { return errorCode; }

void TimbClearErrorCode(void) { errorCode = noErrorYet; }

Bool32 TimbSetConfig(uint32_t option, uint32_t value) { return ConfigThroughProcs(option, settingsStore, &value); }

Bool32 TimbGetConfig(uint32_t option, uint32_t *value) {
    if (value == nullptr)
        return 0;
    return ConfigThroughProcs(option, settingsLoad, value);
}

uint32_t TimbSettingsProcCount(void) {
    State &host = Host();
    std::lock_guard<std::mutex> guard(host.lock);
    return (uint32_t)host.settingsProcs.size();
}

uint32_t TimbBadHandleCount(void) {
    State &host = Host();
    std::lock_guard<std::mutex> guard(host.lock);
    return host.badHandles;
}

} // extern "C"

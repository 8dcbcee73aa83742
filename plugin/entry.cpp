// Attach and detach, the plugin query and the two settings.
#include <atomic>
#include <stddef.h>

#include "flv/stream.h"
#include "platform/platform.h"
#include "plugin/plugin.h"

namespace {

const char versionMessage[] = "Incorrect TIMB.DLL version (2.4 is required)";
const char messageCaption[] = "TIMB_FLV";

const PluginFormat flvFormat = {FLV_STREAM_TYPE, "FLV AudioStream", "*.flv"};
const PluginInfo pluginInfo = {PLUGIN_HOST_VERSION, 1, &flvFormat};

// Whole 32-bit values, read and written without a lock from any thread.
std::atomic<uint32_t> firstSetting{44100};
std::atomic<uint32_t> secondSetting{2};

// Until attach accepts TIMB's version the add-on does no work.
std::atomic<bool> accepted{false};

std::atomic<uint32_t> *SettingFor(uint32_t option) {
    if (option == SETTING_FIRST)
        return &firstSetting;
    if (option == SETTING_SECOND)
        return &secondSetting;
    return NULL;
}

} // namespace

Bool32 TIMBAPI plugin::SettingsProc(uint32_t option, uint32_t flags, void *value) {
    if (flags & SETTINGS_REFUSE)
        return 0;
    std::atomic<uint32_t> *setting = SettingFor(option);
    if (setting == NULL)
        return 0;
    uint32_t *integer = (uint32_t *)value;
    if (flags & SETTINGS_STORE)
        setting->store(*integer, std::memory_order_relaxed);
    else
        *integer = setting->load(std::memory_order_relaxed);
    return 1;
}

extern "C" const void *TIMBAPI TIMBplugin(uint32_t query) {
    if (!AddOnAccepted())
        return NULL;
    if (query == PLUGIN_QUERY_INFO)
        return &pluginInfo;
    if (query == PLUGIN_QUERY_CREATE)
        return reinterpret_cast<const void *>(&CreateFlvStream);
    return NULL;
}

int AttachAddOn(void) {
    if (TIMB_GetVersion() >> 16 != REQUIRED_HOST_VERSION) {
        OsShowError(versionMessage, messageCaption);
        return 0;
    }
    HostProc<ManageSettingsProcProc>(HOST_MANAGE_SETTINGS_PROC)(plugin::SettingsProc, 0);
    accepted.store(true);
    return 1;
}

void DetachAddOn(void) {
    if (accepted.exchange(false))
        HostProc<ManageSettingsProcProc>(HOST_MANAGE_SETTINGS_PROC)(plugin::SettingsProc, 1);
    FreeClosedStreams();
}

int AddOnAccepted(void) { return accepted.load(); }

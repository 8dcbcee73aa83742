// Loads timb_flv.dll beside the stand-in TIMB.dll reporting the version word
// given on the command line, and checks what the load did to TIMB.
// usage: windows_load_check VERSION accepted|refused
//   accepted: the load succeeds and offers one settings procedure; unloading
//             withdraws that same procedure.
//   refused:  the load fails in the library's initialisation, and nothing is
//             offered or withdrawn. (Whether the message box was shown is
//             for the caller to see in Wine's relay trace.)
// Exits 0 when every check holds; prints each one that does not.
#include <windows.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

#include "standin/timb_standin.h"

namespace {

struct SettingsCall {
    SettingsProc proc;
    uint32_t mode;
};

std::vector<SettingsCall> settingsCalls;
ManageSettingsProcProc hostManageSettings;

// Stands between the add-on and TIMB's ManageSettingsProc in the table `_`.
void TIMBAPI RecordManageSettings(SettingsProc proc, uint32_t mode) {
    settingsCalls.push_back({proc, mode});
    hostManageSettings(proc, mode);
}

void InterposeManageSettings() {
    hostManageSettings = reinterpret_cast<ManageSettingsProcProc>(_[HOST_MANAGE_SETTINGS_PROC]);
    _[HOST_MANAGE_SETTINGS_PROC] = reinterpret_cast<HostEntry>(RecordManageSettings);
}

int failures = 0;

void Check(bool holds, const char *what) {
    if (!holds) {
        printf("FAILED: %s\n", what);
        failures++;
    }
}

std::wstring AddOnPath() {
    wchar_t path[MAX_PATH];
    DWORD length = GetModuleFileNameW(NULL, path, MAX_PATH);
    std::wstring folder(path, length);
    return folder.substr(0, folder.find_last_of(L"\\/") + 1) + L"timb_flv.dll";
}

void CheckAccepted(HMODULE module) {
    Check(module != NULL, "the library loads");
    if (module == NULL)
        return;
    Check(settingsCalls.size() == 1, "attach calls ManageSettingsProc once");
    Check(settingsCalls.size() == 1 && settingsCalls[0].mode == 0 && settingsCalls[0].proc != nullptr,
          "attach adds (mode 0) a settings procedure");
    Check(TimbSettingsProcCount() == 1, "TIMB holds one settings procedure");
    Check(GetProcAddress(module, "TIMBplugin") != NULL, "TIMBplugin is exported");
    FreeLibrary(module);
    Check(settingsCalls.size() == 2, "detach calls ManageSettingsProc once more");
    Check(settingsCalls.size() == 2 && settingsCalls[1].mode == 1 && settingsCalls[1].proc == settingsCalls[0].proc,
          "detach removes (mode 1) the procedure attach added");
    Check(TimbSettingsProcCount() == 0, "TIMB holds no settings procedure after unload");
}

void CheckRefused(HMODULE module, DWORD error) {
    Check(module == NULL, "the library does not load");
    if (module != NULL)
        FreeLibrary(module);
    Check(error == ERROR_DLL_INIT_FAILED, "the load fails in the library's initialisation");
    Check(settingsCalls.empty(), "nothing is offered or withdrawn");
    Check(TimbSettingsProcCount() == 0, "TIMB holds no settings procedure");
    Check(GetModuleHandleW(L"timb_flv.dll") == NULL, "the library is not left in the process");
}

} // namespace

int main(int argc, char **argv) {
    if (argc != 3 || (strcmp(argv[2], "accepted") != 0 && strcmp(argv[2], "refused") != 0)) {
        fprintf(stderr, "usage: %s VERSION accepted|refused\n", argv[0]);
        return 2;
    }
    uint32_t version = (uint32_t)strtoul(argv[1], NULL, 0);
    bool accepted = strcmp(argv[2], "accepted") == 0;

    TimbSetVersion(version);
    InterposeManageSettings();
    SetLastError(0);
    HMODULE module = LoadLibraryW(AddOnPath().c_str());
    DWORD error = GetLastError();
    if (accepted)
        CheckAccepted(module);
    else
        CheckRefused(module, error);

    printf("%s: version 0x%08X, %s\n", failures == 0 ? "ok" : "FAILED", (unsigned)version, argv[2]);
    return failures == 0 ? 0 : 1;
}

// Shared set-up of the plug-in tests: a fresh settings folder, the recording MIDI device named by the
// viewer's play device option, the manual clock, and a viewer installation entered in the system registry.
#pragma once

#include <stdlib.h>

#include <string>
#include <vector>

#include "core/sys_info.h"
#include "platform/mm/mmsystem.h"
#include "platform/mm/mmtest.h"
#include "platform/registry/registry.h"
#include "platform/wm/backend.h"

namespace qsm::plugin_test {

// Makes a fresh folder from `pattern` (ending in XXXXXX) and keeps the settings in it. Returns the folder,
// or "" when it could not be made.
inline std::string MakeSettingsFolder(const char* pattern) {
    std::string folder = pattern;
    if (mkdtemp(folder.data()) == nullptr) return "";
    setenv("XDG_CONFIG_HOME", folder.c_str(), 1);
    return folder;
}

// Plays silently on the recording device (the last MIDI device), which the viewer's "PlayDevice" option
// names; the recording starts empty.
inline void PlayOnRecorder() {
    SysInfo.SetNames("QuillStave Software", "QuillStave Composer 2 Viewer");
    qsm::mm::SetSynthAudio(false);
    qsm::mm::EnableTestRecorder(true);
    qsm::mm::ClearRecording();
    SysInfo.WriteInt("Options", "PlayDevice", static_cast<int>(midiOutGetNumDevs()));
}

// Runs the MIDI clock by hand, delivering the window messages at each step.
inline void UseManualClockWithMessages() {
    qsm::mm::UseManualClock(100000);
    qsm::mm::SetClockStepHook([] { qsm::wm::PumpMessages(); });
}

// The notes started in `log` from index `first` on.
inline int NoteOns(const std::vector<qsm::mm::RecordedMessage>& log, size_t first = 0) {
    int n = 0;
    for (size_t i = first; i < log.size(); ++i)
        if ((log[i].msg & 0xF0) == 0x90 && ((log[i].msg >> 16) & 0x7F) != 0) ++n;
    return n;
}

// Enters `location` as the folder the viewer is installed in, as its installer does.
inline bool RegisterViewerFolder(const std::string& location) {
    HKEY key = nullptr;
    if (RegCreateKeyExA(
            HKEY_LOCAL_MACHINE,
            "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\QuillStave Composer 2 Viewer", 0,
            nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr) != ERROR_SUCCESS)
        return false;
    RegSetValueExA(key, "InstallLocation", 0, REG_SZ, reinterpret_cast<const BYTE*>(location.c_str()),
                   static_cast<DWORD>(location.size() + 1));
    RegCloseKey(key);
    return true;
}

}  // namespace qsm::plugin_test

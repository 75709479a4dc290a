#include "platform/mm/recording_env.h"

#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace qsm::mm {

namespace {

std::string& RecordingPath() {
    static std::string* path = new std::string;  // read at the process's end
    return *path;
}

void WriteRecording() {
    const std::string& path = RecordingPath();
    if (path.empty()) return;
    std::string text;
    char line[96];
    for (const RecordedMessage& m : GetRecording()) {
        std::snprintf(line, sizeof line, "%" PRIu64 " %08x %" PRIxPTR " %" PRIu64 "\n", m.time_us,
                      static_cast<unsigned>(m.msg), reinterpret_cast<uintptr_t>(m.handle), m.thread);
        text += line;
    }
    // Written beside the file and renamed over it, so that a reader sees the old or the new whole.
    std::string temporary = path + ".part";
    FILE* f = std::fopen(temporary.c_str(), "wb");
    if (f == nullptr) return;
    bool written = std::fwrite(text.data(), 1, text.size(), f) == text.size();
    if (std::fclose(f) == 0 && written) std::rename(temporary.c_str(), path.c_str());
}

}  // namespace

bool InstallTestRecorderFromEnvironment() {
    const char* path = std::getenv("QSM_MIDI_RECORDING");
    if (path == nullptr || *path == '\0') return false;
    RecordingPath() = path;
    EnableTestRecorder(true);
    SetRecorderOpenCloseHook(WriteRecording);
    std::atexit(WriteRecording);
    return true;
}

std::vector<RecordedMessage> ReadRecordingFile(const std::string& path) {
    std::vector<RecordedMessage> messages;
    std::ifstream in(path);
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        RecordedMessage m{};
        uintptr_t handle = 0;
        if (!(fields >> m.time_us >> std::hex >> m.msg >> handle >> std::dec >> m.thread)) continue;
        m.handle = reinterpret_cast<HMIDIOUT>(handle);
        messages.push_back(m);
    }
    return messages;
}

}  // namespace qsm::mm

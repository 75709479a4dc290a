// The plug-in's score-file exports over arbitrary file contents: the bytes are written to a file, whose
// information text (into a small and a large buffer) and play times are asked for.
#include <stdlib.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

#include "plugin/file_info.h"

namespace {

const std::string& FilePath() {
    static const std::string path = [] {
        const char* tmp = getenv("TMPDIR");
        return std::string(tmp != nullptr && *tmp ? tmp : "/tmp") + "/qsm-file-info-fuzz-" +
               std::to_string(getpid()) + ".qsm";
    }();
    return path;
}

void Check(const char* path, int length) {
    char buf[1200];
    std::memset(buf, 0x55, sizeof buf);
    GetQSMFileInfo(path, buf, length);
    // The text ends inside the buffer, and nothing lies beyond it.
    if (buf[0] != 0x55 && std::memchr(buf, 0, static_cast<size_t>(length)) == nullptr) __builtin_trap();
    for (size_t i = static_cast<size_t>(length); i < sizeof buf; ++i)
        if (buf[i] != 0x55) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const char* path = FilePath().c_str();
    FILE* f = std::fopen(path, "wb");
    if (f == nullptr) return 0;
    if (size > 0) std::fwrite(data, 1, size, f);
    std::fclose(f);
    Check(path, 11);
    Check(path, 1100);
    GetQSMFilePlayTime(path);
    GetQSMFileSMFPlayTime(path);
    unlink(path);
    return 0;
}

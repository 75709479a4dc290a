#include "render/bundled_fonts.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <mutex>
#include <string>
#include <vector>

#include "platform/gdi/gdi.h"

namespace qsm {
namespace {

bool IsFile(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

std::string ProgramFontsDir() {
    char buf[4096];
    ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
    if (n <= 0) return {};
    std::string exe(buf, static_cast<size_t>(n));
    size_t slash = exe.rfind('/');
    return slash == std::string::npos ? std::string() : exe.substr(0, slash) + "/Fonts";
}

}  // namespace

std::vector<std::string> BundledFontFiles() {
    std::string dirs[3];
    if (const char* env = std::getenv("QSM_FONTS_DIR")) dirs[0] = env;
    dirs[1] = ProgramFontsDir();
#ifdef QSM_FONTS_SOURCE_DIR
    dirs[2] = QSM_FONTS_SOURCE_DIR;
#endif
    std::vector<std::string> files;
    for (const std::string& dir : dirs) {
        if (dir.empty() || !IsFile(dir + "/qsm2stda.ttf")) continue;
        for (const char* file : {"/qsm2stda.ttf", "/qsm2std.ttf"}) {
            std::string path = dir + file;
            if (IsFile(path)) files.push_back(path);
        }
        break;
    }
    return files;
}

void RegisterBundledFonts() {
    static std::once_flag once;
    std::call_once(once, [] {
        for (const std::string& path : BundledFontFiles())
            AddFontResourceExA(path.c_str(), FR_PRIVATE, nullptr);
    });
}

}  // namespace qsm

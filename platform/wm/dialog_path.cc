#include "platform/wm/dialog_path.h"

#include <sys/stat.h>

#include <filesystem>

namespace qsm::wm::dialog_path {

bool IsDir(const std::string& path) {
    struct stat st {};
    return !path.empty() && stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::string Normal(const std::string& path) {
    std::string n = std::filesystem::path(path).lexically_normal().string();
    while (n.size() > 1 && n.back() == '/')
        n.pop_back();
    return n.empty() ? "/" : n;
}

std::string Join(const std::string& dir, const std::string& name) {
    if (!name.empty() && name[0] == '/') return Normal(name);
    return Normal(dir == "/" ? "/" + name : dir + "/" + name);
}

}  // namespace qsm::wm::dialog_path

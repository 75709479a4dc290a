#include "platform/kernel/process_env.h"

#include <fstream>
#include <iterator>
#include <mutex>
#include <string>
#include <vector>

extern char** environ;

namespace qsm {

char** ProcessEnvironment() {
    if (environ != nullptr && environ[0] != nullptr) return environ;
    static std::once_flag once;
    static std::vector<std::string> entries;
    static std::vector<char*> pointers;
    std::call_once(once, [] {
        std::ifstream in("/proc/self/environ", std::ios::binary);
        const std::string all((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        for (size_t start = 0; start < all.size();) {
            size_t end = all.find('\0', start);
            if (end == std::string::npos) end = all.size();
            if (end > start) entries.emplace_back(all, start, end - start);
            start = end + 1;
        }
        for (std::string& e : entries)
            pointers.push_back(e.data());
        pointers.push_back(nullptr);
    });
    return pointers.data();
}

}  // namespace qsm

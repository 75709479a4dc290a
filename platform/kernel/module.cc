#include "platform/kernel/module.h"

#include <dlfcn.h>
#include <link.h>
#include <unistd.h>

#include <cstring>
#include <map>
#include <mutex>
#include <string>

#include "platform/base/winerror.h"
#include "platform/kernel/system.h"
#include "platform/kernel/text.h"

namespace {

std::mutex& LibMutex() {
    static std::mutex m;
    return m;
}

// dlopen handles of the libraries loaded through LoadLibraryA, by module, with their use counts.
std::map<HMODULE, std::pair<void*, int>>& Loaded() {
    static auto* loaded = new std::map<HMODULE, std::pair<void*, int>>();
    return *loaded;
}

struct ModuleSearch {
    std::string wanted;  // lower-case base name without ending; empty for the program
    bool program;
    HMODULE found;
};

std::string BaseNameNoEnding(std::string path) {
    size_t slash = path.find_last_of("/\\");
    if (slash != std::string::npos) path = path.substr(slash + 1);
    for (const char* ending : {".so", ".dll", ".DLL"}) {
        size_t n = std::strlen(ending);
        if (path.size() > n && path.compare(path.size() - n, n, ending) == 0) path.resize(path.size() - n);
    }
    if (path.compare(0, 3, "lib") == 0 && path.size() > 3) path = path.substr(3);
    for (char& c : path)
        c = static_cast<char>(qsm::ToLower1252(static_cast<BYTE>(c)));
    return path;
}

HMODULE ImageStart(const dl_phdr_info* info) {
    ElfW(Addr) lowest = ~static_cast<ElfW(Addr)>(0);
    for (int i = 0; i < info->dlpi_phnum; ++i) {
        if (info->dlpi_phdr[i].p_type == PT_LOAD && info->dlpi_phdr[i].p_vaddr < lowest)
            lowest = info->dlpi_phdr[i].p_vaddr;
    }
    if (lowest == ~static_cast<ElfW(Addr)>(0)) lowest = 0;
    return reinterpret_cast<HMODULE>(info->dlpi_addr + lowest);
}

int SearchCallback(dl_phdr_info* info, size_t, void* data) {
    auto* s = static_cast<ModuleSearch*>(data);
    if (s->program) {
        // The program is always the first object the loader reports.
        s->found = ImageStart(info);
        return 1;
    }
    if (info->dlpi_name && *info->dlpi_name && BaseNameNoEnding(info->dlpi_name) == s->wanted) {
        s->found = ImageStart(info);
        return 1;
    }
    return 0;
}

void* DlHandleOf(HMODULE module) {
    {
        std::lock_guard<std::mutex> lock(LibMutex());
        auto it = Loaded().find(module);
        if (it != Loaded().end()) return it->second.first;
    }
    if (!module || module == GetModuleHandleA(nullptr)) return dlopen(nullptr, RTLD_NOW);
    Dl_info info;
    if (dladdr(reinterpret_cast<void*>(module), &info) && info.dli_fname)
        return dlopen(info.dli_fname, RTLD_NOW | RTLD_NOLOAD);
    return nullptr;
}

// The built-in modules: one handle each (the address of its entry, never freed), found by base name.
struct Builtin {
    std::string name;  // as BaseNameNoEnding makes it
    std::vector<qsm::BuiltinFunction> functions;
};

std::mutex& BuiltinMutex() {
    static std::mutex m;
    return m;
}

std::map<std::string, Builtin*>& Builtins() {
    static auto* table = [] {
        auto* t = new std::map<std::string, Builtin*>();
        for (const char* name : {"gdi32", "user32", "uxtheme", "riched20"})
            (*t)[name] = new Builtin{name, {}};
        return t;
    }();
    return *table;
}

HMODULE BuiltinHandle(const std::string& base) {
    std::lock_guard<std::mutex> lock(BuiltinMutex());
    auto it = Builtins().find(base);
    return it == Builtins().end() ? nullptr : reinterpret_cast<HMODULE>(it->second);
}

Builtin* AsBuiltin(HMODULE module) {
    std::lock_guard<std::mutex> lock(BuiltinMutex());
    for (auto& [name, b] : Builtins())
        if (reinterpret_cast<HMODULE>(b) == module) return b;
    return nullptr;
}

}  // namespace

std::vector<qsm::BuiltinFunction> qsm::SetBuiltinModuleFunctions(const char* module,
                                                                 std::vector<BuiltinFunction> functions) {
    std::string base = BaseNameNoEnding(module ? module : "");
    std::lock_guard<std::mutex> lock(BuiltinMutex());
    Builtin*& b = Builtins()[base];
    if (!b) b = new Builtin{base, {}};
    std::swap(b->functions, functions);
    return functions;
}

void qsm::AddBuiltinModuleFunctions(const char* module, const std::vector<BuiltinFunction>& functions) {
    std::string base = BaseNameNoEnding(module ? module : "");
    std::lock_guard<std::mutex> lock(BuiltinMutex());
    Builtin*& b = Builtins()[base];
    if (!b) b = new Builtin{base, {}};
    b->functions.insert(b->functions.end(), functions.begin(), functions.end());
}

HMODULE GetModuleHandleA(LPCSTR lpModuleName) {
    if (lpModuleName) {
        if (HMODULE builtin = BuiltinHandle(BaseNameNoEnding(lpModuleName))) return builtin;
    }
    ModuleSearch s{lpModuleName ? BaseNameNoEnding(lpModuleName) : std::string(), lpModuleName == nullptr,
                   nullptr};
    dl_iterate_phdr(SearchCallback, &s);
    if (!s.found) SetLastError(ERROR_MOD_NOT_FOUND);
    return s.found;
}

HMODULE LoadLibraryA(LPCSTR lpLibFileName) {
    if (!lpLibFileName || !*lpLibFileName) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    if (HMODULE builtin = BuiltinHandle(BaseNameNoEnding(lpLibFileName))) return builtin;
    std::string name(lpLibFileName);
    for (char& c : name) {
        if (c == '\\') c = '/';
    }
    size_t n = name.size();
    if (n > 4 && qsm::CompareNoCase(name.c_str() + n - 4, ".dll") == 0) name.replace(n - 4, 4, ".so");
    void* h = dlopen(name.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!h) {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return nullptr;
    }
    // The image start of the library: the address of any symbol-bearing part of it through dlinfo.
    link_map* map = nullptr;
    if (dlinfo(h, RTLD_DI_LINKMAP, &map) != 0 || !map) {
        dlclose(h);
        SetLastError(ERROR_MOD_NOT_FOUND);
        return nullptr;
    }
    HMODULE module = GetModuleHandleA(map->l_name);
    if (!module) {
        dlclose(h);
        return nullptr;
    }
    std::lock_guard<std::mutex> lock(LibMutex());
    auto& entry = Loaded()[module];
    if (entry.first) {
        dlclose(h);  // one dlopen reference is kept per module; the count is ours
    } else {
        entry.first = h;
    }
    ++entry.second;
    return module;
}

BOOL FreeLibrary(HMODULE hLibModule) {
    if (AsBuiltin(hLibModule)) return TRUE;  // built-in modules stay
    void* h = nullptr;
    {
        std::lock_guard<std::mutex> lock(LibMutex());
        auto it = Loaded().find(hLibModule);
        if (it == Loaded().end()) {
            SetLastError(ERROR_INVALID_HANDLE);
            return FALSE;
        }
        if (--it->second.second > 0) return TRUE;
        h = it->second.first;
        Loaded().erase(it);
    }
    dlclose(h);
    return TRUE;
}

FARPROC GetProcAddress(HMODULE hModule, LPCSTR lpProcName) {
    if (!lpProcName || (reinterpret_cast<uintptr_t>(lpProcName) >> 16) == 0) {
        SetLastError(ERROR_PROC_NOT_FOUND);
        return nullptr;
    }
    if (Builtin* b = AsBuiltin(hModule)) {
        std::lock_guard<std::mutex> lock(BuiltinMutex());
        for (const qsm::BuiltinFunction& f : b->functions)
            if (f.name && std::strcmp(f.name, lpProcName) == 0 && f.proc) return f.proc;
        SetLastError(ERROR_PROC_NOT_FOUND);
        return nullptr;
    }
    void* h = DlHandleOf(hModule);
    if (!h) {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return nullptr;
    }
    void* sym = dlsym(h, lpProcName);
    if (!sym) SetLastError(ERROR_PROC_NOT_FOUND);
    return reinterpret_cast<FARPROC>(sym);
}

DWORD GetModuleFileNameA(HMODULE hModule, LPSTR lpFilename, DWORD nSize) {
    if (!lpFilename || nSize == 0) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    std::string path;
    if (!hModule || hModule == GetModuleHandleA(nullptr)) {
        char buf[4096];
        ssize_t n = readlink("/proc/self/exe", buf, sizeof(buf) - 1);
        if (n <= 0) return 0;
        path.assign(buf, static_cast<size_t>(n));
    } else {
        Dl_info info;
        if (!dladdr(reinterpret_cast<void*>(hModule), &info) || !info.dli_fname) {
            SetLastError(ERROR_MOD_NOT_FOUND);
            return 0;
        }
        path = info.dli_fname;
    }
    DWORD n = static_cast<DWORD>(path.size());
    if (n >= nSize) {
        std::memcpy(lpFilename, path.data(), nSize - 1);
        lpFilename[nSize - 1] = 0;
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return nSize;
    }
    std::memcpy(lpFilename, path.c_str(), n + 1);
    return n;
}

namespace qsm {

HMODULE ModuleOfAddress(const void* address) {
    Dl_info info;
    if (!dladdr(address, &info)) return nullptr;
    return static_cast<HMODULE>(info.dli_fbase);
}

}  // namespace qsm

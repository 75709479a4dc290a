#include "platform/kernel/resources.h"

#include <cstdlib>
#include <cstring>
#include <list>
#include <mutex>
#include <string>

#include "platform/base/winerror.h"
#include "platform/kernel/module.h"
#include "platform/kernel/system.h"
#include "platform/kernel/text.h"

namespace {

// A type or a name: a number, or a text kept in upper case.
struct ResKey {
    bool isNumber = false;
    WORD number = 0;
    std::string text;

    bool operator==(const ResKey& o) const {
        return isNumber == o.isNumber && (isNumber ? number == o.number : text == o.text);
    }
};

ResKey MakeKey(LPCSTR p) {
    ResKey k;
    if (IS_INTRESOURCE(p)) {
        k.isNumber = true;
        k.number = static_cast<WORD>(reinterpret_cast<uintptr_t>(p));
        return k;
    }
    if (p[0] == '#') {
        char* end = nullptr;
        unsigned long v = std::strtoul(p + 1, &end, 10);
        if (end != p + 1 && *end == 0 && v <= 0xFFFF) {
            k.isNumber = true;
            k.number = static_cast<WORD>(v);
            return k;
        }
    }
    for (const char* c = p; *c; ++c)
        k.text.push_back(static_cast<char>(qsm::ToUpper1252(static_cast<BYTE>(*c))));
    return k;
}

struct ResEntry {
    HMODULE module;
    ResKey type;
    ResKey name;
    const void* data;
    DWORD size;
};

std::mutex& ResMutex() {
    static std::mutex m;
    return m;
}

// Entries never move, so that a resource handle (the entry's address) stays valid.
std::list<ResEntry>& Entries() {
    static auto* entries = new std::list<ResEntry>();
    return *entries;
}

HMODULE ResolveModule(HMODULE m) {
    return m ? m : GetModuleHandleA(nullptr);
}

ResEntry* FindEntry(HRSRC h) {
    for (ResEntry& e : Entries()) {
        if (reinterpret_cast<HRSRC>(&e) == h) return &e;
    }
    return nullptr;
}

}  // namespace

HRSRC FindResourceA(HMODULE hModule, LPCSTR lpName, LPCSTR lpType) {
    if (!lpName || !lpType) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    HMODULE module = ResolveModule(hModule);
    ResKey type = MakeKey(lpType);
    ResKey name = MakeKey(lpName);
    std::lock_guard<std::mutex> lock(ResMutex());
    bool typeSeen = false;
    for (ResEntry& e : Entries()) {
        if (e.module != module || !(e.type == type)) continue;
        typeSeen = true;
        if (e.name == name) return reinterpret_cast<HRSRC>(&e);
    }
    SetLastError(typeSeen ? ERROR_RESOURCE_NAME_NOT_FOUND : ERROR_RESOURCE_TYPE_NOT_FOUND);
    return nullptr;
}

DWORD SizeofResource(HMODULE, HRSRC hResInfo) {
    std::lock_guard<std::mutex> lock(ResMutex());
    ResEntry* e = FindEntry(hResInfo);
    if (!e) {
        SetLastError(ERROR_RESOURCE_DATA_NOT_FOUND);
        return 0;
    }
    return e->size;
}

HGLOBAL LoadResource(HMODULE, HRSRC hResInfo) {
    std::lock_guard<std::mutex> lock(ResMutex());
    ResEntry* e = FindEntry(hResInfo);
    if (!e) {
        SetLastError(ERROR_RESOURCE_DATA_NOT_FOUND);
        return nullptr;
    }
    return const_cast<void*>(e->data);
}

LPVOID LockResource(HGLOBAL hResData) {
    return hResData;
}

BOOL FreeResource(HGLOBAL) {
    return FALSE;
}

int LoadStringA(HINSTANCE hInstance, UINT uID, LPSTR lpBuffer, int cchBufferMax) {
    if (!lpBuffer || cchBufferMax <= 0) return 0;
    lpBuffer[0] = 0;
    HRSRC r = FindResourceA(hInstance, MAKEINTRESOURCEA(uID), RT_STRING);
    if (!r) return 0;
    DWORD size = SizeofResource(hInstance, r);
    const char* data = static_cast<const char*>(LockResource(LoadResource(hInstance, r)));
    if (!data) return 0;
    // The stored text may carry its terminator.
    size_t len = strnlen(data, size);
    if (len > static_cast<size_t>(cchBufferMax - 1)) len = static_cast<size_t>(cchBufferMax - 1);
    std::memcpy(lpBuffer, data, len);
    lpBuffer[len] = 0;
    return static_cast<int>(len);
}

namespace qsm {

void RegisterResource(HMODULE module, LPCSTR type, LPCSTR name, const void* data, DWORD size) {
    ResEntry entry{ResolveModule(module), MakeKey(type), MakeKey(name), data, size};
    std::lock_guard<std::mutex> lock(ResMutex());
    for (ResEntry& e : Entries()) {
        if (e.module == entry.module && e.type == entry.type && e.name == entry.name) {
            e.data = data;
            e.size = size;
            return;
        }
    }
    Entries().push_back(std::move(entry));
}

void UnregisterResources(HMODULE module) {
    module = ResolveModule(module);
    std::lock_guard<std::mutex> lock(ResMutex());
    Entries().remove_if([module](const ResEntry& e) { return e.module == module; });
}

}  // namespace qsm

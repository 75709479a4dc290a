#include "platform/kernel/clipboard.h"

#include <cstring>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "platform/base/winerror.h"
#include "platform/kernel/memory.h"
#include "platform/kernel/system.h"
#include "platform/kernel/text.h"

namespace {

struct ClipboardState {
    std::mutex mutex;
    bool open = false;
    std::map<UINT, HANDLE> data;
    std::vector<std::string> names;
    qsm::ClipboardBackend* backend = nullptr;
};

ClipboardState& State() {
    static auto* state = new ClipboardState();
    return *state;
}

void FreeAll(ClipboardState& s) {
    for (auto& entry : s.data)
        GlobalFree(entry.second);
    s.data.clear();
}

HANDLE TextBlock(const std::string& text) {
    HGLOBAL h = GlobalAlloc(GMEM_MOVEABLE, text.size() + 1);
    if (!h) return nullptr;
    std::memcpy(GlobalLock(h), text.c_str(), text.size() + 1);
    GlobalUnlock(h);
    return h;
}

}  // namespace

BOOL OpenClipboard(HWND) {
    ClipboardState& s = State();
    std::lock_guard<std::mutex> lock(s.mutex);
    if (s.open) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    s.open = true;
    return TRUE;
}

BOOL CloseClipboard() {
    ClipboardState& s = State();
    std::lock_guard<std::mutex> lock(s.mutex);
    if (!s.open) {
        SetLastError(ERROR_CLIPBOARD_NOT_OPEN);
        return FALSE;
    }
    s.open = false;
    return TRUE;
}

BOOL EmptyClipboard() {
    ClipboardState& s = State();
    std::lock_guard<std::mutex> lock(s.mutex);
    if (!s.open) {
        SetLastError(ERROR_CLIPBOARD_NOT_OPEN);
        return FALSE;
    }
    FreeAll(s);
    if (s.backend) s.backend->SetText(std::string());
    return TRUE;
}

HANDLE SetClipboardData(UINT uFormat, HANDLE hMem) {
    ClipboardState& s = State();
    std::lock_guard<std::mutex> lock(s.mutex);
    if (!s.open) {
        SetLastError(ERROR_CLIPBOARD_NOT_OPEN);
        return nullptr;
    }
    auto it = s.data.find(uFormat);
    if (it != s.data.end() && it->second != hMem) GlobalFree(it->second);
    s.data[uFormat] = hMem;
    if (s.backend && uFormat == CF_TEXT && hMem) {
        const char* p = static_cast<const char*>(GlobalLock(hMem));
        if (p) s.backend->SetText(std::string(p, strnlen(p, GlobalSize(hMem))));
        GlobalUnlock(hMem);
    }
    return hMem;
}

HANDLE GetClipboardData(UINT uFormat) {
    ClipboardState& s = State();
    std::lock_guard<std::mutex> lock(s.mutex);
    if (!s.open) {
        SetLastError(ERROR_CLIPBOARD_NOT_OPEN);
        return nullptr;
    }
    if (s.backend && uFormat == CF_TEXT) {
        if (!s.backend->HasText()) return nullptr;
        HANDLE h = TextBlock(s.backend->GetText());
        auto it = s.data.find(CF_TEXT);
        if (it != s.data.end()) GlobalFree(it->second);
        s.data[CF_TEXT] = h;
        return h;
    }
    auto it = s.data.find(uFormat);
    return it == s.data.end() ? nullptr : it->second;
}

BOOL IsClipboardFormatAvailable(UINT format) {
    ClipboardState& s = State();
    std::lock_guard<std::mutex> lock(s.mutex);
    if (s.backend && format == CF_TEXT) return s.backend->HasText() ? TRUE : FALSE;
    auto it = s.data.find(format);
    return it != s.data.end() && it->second ? TRUE : FALSE;
}

UINT RegisterClipboardFormatA(LPCSTR name) {
    if (!name || !*name) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    ClipboardState& s = State();
    std::lock_guard<std::mutex> lock(s.mutex);
    for (size_t i = 0; i < s.names.size(); ++i) {
        if (qsm::CompareNoCase(s.names[i].c_str(), name) == 0) return static_cast<UINT>(0xC000 + i);
    }
    s.names.emplace_back(name);
    return static_cast<UINT>(0xC000 + s.names.size() - 1);
}

namespace qsm {

void SetClipboardBackend(ClipboardBackend* backend) {
    ClipboardState& s = State();
    std::lock_guard<std::mutex> lock(s.mutex);
    s.backend = backend;
}

}  // namespace qsm

#include "platform/wm/tests/wm_test_util.h"

#include <algorithm>
#include <map>

namespace qsm::wm::testing {

Recorder& Rec() {
    static Recorder r;
    return r;
}

namespace {

LRESULT RecorderProc(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam) {
    Recorder& r = Rec();
    if (r.only.empty() || std::find(r.only.begin(), r.only.end(), msg) != r.only.end())
        r.log.push_back(Logged{hwnd, msg, wparam, lparam});
    LRESULT result = 0;
    if (r.answer && r.answer(hwnd, msg, wparam, lparam, &result)) return result;
    return DefWindowProcA(hwnd, msg, wparam, lparam);
}

}  // namespace

const char* RecorderClass(UINT class_style) {
    static std::map<UINT, std::string> names;
    auto it = names.find(class_style);
    if (it != names.end()) return it->second.c_str();
    std::string name = "Recorder" + std::to_string(class_style);
    WNDCLASSA wc{class_style, RecorderProc,
                 0,           16,
                 nullptr,     nullptr,
                 nullptr,     reinterpret_cast<HBRUSH>(static_cast<uintptr_t>(COLOR_WINDOW + 1)),
                 nullptr,     nullptr};
    names[class_style] = name;
    wc.lpszClassName = names[class_style].c_str();
    RegisterClassA(&wc);
    return names[class_style].c_str();
}

HWND MakeTop(int x, int y, int w, int h, DWORD style, DWORD ex, HWND owner, UINT class_style) {
    return CreateWindowExA(ex, RecorderClass(class_style), "top", style, x, y, w, h, owner, nullptr, nullptr,
                           nullptr);
}

HWND MakeChild(HWND parent, int id, int x, int y, int w, int h, DWORD style, UINT class_style) {
    return CreateWindowExA(0, RecorderClass(class_style), "child", style, x, y, w, h, parent,
                           reinterpret_cast<HMENU>(static_cast<uintptr_t>(id)), nullptr, nullptr);
}

}  // namespace qsm::wm::testing

// Helpers of the window manager tests: a window class that records the messages it gets.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "platform/wm/backend.h"
#include "platform/wm/winuser.h"

namespace qsm::wm::testing {

struct Logged {
    HWND hwnd;
    UINT msg;
    WPARAM wparam;
    LPARAM lparam;
};

// Every message a "Recorder" window gets is logged; a test may answer some messages itself.
struct Recorder {
    std::vector<Logged> log;
    std::function<bool(HWND, UINT, WPARAM, LPARAM, LRESULT*)> answer;
    // Only these messages are logged (all when empty).
    std::vector<UINT> only;

    std::vector<UINT> Messages(HWND hwnd = nullptr) const {
        std::vector<UINT> out;
        for (const Logged& l : log)
            if (hwnd == nullptr || l.hwnd == hwnd) out.push_back(l.msg);
        return out;
    }
    int Count(UINT msg, HWND hwnd = nullptr) const {
        int n = 0;
        for (const Logged& l : log)
            n += l.msg == msg && (hwnd == nullptr || l.hwnd == hwnd);
        return n;
    }
    void Clear() { log.clear(); }
};

Recorder& Rec();
// Registers the "Recorder" class (once) with the given class style and returns its name.
const char* RecorderClass(UINT class_style = 0);
HWND MakeTop(int x, int y, int w, int h, DWORD style = WS_OVERLAPPEDWINDOW | WS_VISIBLE, DWORD ex = 0,
             HWND owner = nullptr, UINT class_style = 0);
HWND MakeChild(HWND parent, int id, int x, int y, int w, int h, DWORD style = WS_CHILD | WS_VISIBLE,
               UINT class_style = 0);

class WmTest : public ::testing::Test {
protected:
    void SetUp() override {
        ResetForTests();
        Rec() = Recorder{};
    }
    void TearDown() override {
        // The recorder's answer may point into the finished test.
        Rec() = Recorder{};
        ResetForTests();
        Rec() = Recorder{};
    }
};

}  // namespace qsm::wm::testing

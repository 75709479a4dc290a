#include "core/hooks.h"

#include <atomic>

namespace {

std::atomic<HCURSOR (*)()> g_showWait{nullptr};
std::atomic<void (*)(HCURSOR)> g_restore{nullptr};
std::atomic<qsm::StatusTextSink> g_statusSink{nullptr};
std::atomic<qsm::LongTaskCancelTest> g_cancelTest{nullptr};

}  // namespace

namespace qsm {

void SetCursorHooks(const CursorHooks& hooks) {
    g_showWait = hooks.showWaitCursor;
    g_restore = hooks.restoreCursor;
}

HCURSOR ShowWaitCursor() {
    auto hook = g_showWait.load();
    return hook ? hook() : nullptr;
}

void RestoreCursor(HCURSOR cursor) {
    auto hook = g_restore.load();
    if (hook) hook(cursor);
}

void SetStatusTextSink(StatusTextSink sink) {
    g_statusSink = sink;
}

void ShowStatusText(const char* text, bool repaint) {
    auto sink = g_statusSink.load();
    if (sink) sink(text ? text : "", repaint);
}

void SetLongTaskCancelTest(LongTaskCancelTest test) {
    g_cancelTest = test;
}

}  // namespace qsm

bool IsLongTaskCancelled() {
    auto test = g_cancelTest.load();
    return test ? test() : false;
}

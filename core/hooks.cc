#include "core/hooks.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>

namespace {

std::atomic<HCURSOR (*)()> g_showWait{nullptr};
std::atomic<void (*)(HCURSOR)> g_restore{nullptr};
std::atomic<qsm::StatusTextSink> g_statusSink{nullptr};
std::atomic<qsm::LongTaskCancelTest> g_cancelTest{nullptr};
std::atomic<void (*)(int)> g_resetGauge{nullptr};
std::atomic<void (*)(int)> g_setGauge{nullptr};
std::atomic<void (*)(const char*)> g_setText{nullptr};

struct ThreadLongTaskHooks {
    bool set = false;
    qsm::LongTaskCancelTest test = nullptr;
    qsm::LongTaskProgressHooks progress;
};
thread_local ThreadLongTaskHooks t_longTask;

}  // namespace

namespace qsm {

void ReportMissingHook(const char* hook) {
#ifndef NDEBUG
    std::fprintf(stderr, "%s used before it was installed\n", hook ? hook : "a hook");
    std::abort();
#else
    (void)hook;
#endif
}

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

void SetLongTaskProgressHooks(const LongTaskProgressHooks& hooks) {
    g_resetGauge = hooks.resetGauge;
    g_setGauge = hooks.setGauge;
    g_setText = hooks.setText;
}

void SetThreadLongTaskHooks(LongTaskCancelTest test, const LongTaskProgressHooks& hooks) {
    t_longTask = {true, test, hooks};
}

void ClearThreadLongTaskHooks() {
    t_longTask = {};
}

void LongTaskResetGauge(int range) {
    auto hook = t_longTask.set ? t_longTask.progress.resetGauge : g_resetGauge.load();
    if (hook) hook(range);
}

void LongTaskSetGauge(int value) {
    auto hook = t_longTask.set ? t_longTask.progress.setGauge : g_setGauge.load();
    if (hook) hook(value);
}

void LongTaskSetText(const char* text) {
    auto hook = t_longTask.set ? t_longTask.progress.setText : g_setText.load();
    if (hook) hook(text ? text : "");
}

}  // namespace qsm

bool IsLongTaskCancelled() {
    auto test = t_longTask.set ? t_longTask.test : g_cancelTest.load();
    return test ? test() : false;
}

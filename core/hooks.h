// Hooks through which this library reaches the window system above it: the wait cursor, the status text of
// the main window's message bar, and the cancel test of the active long-task progress dialog. The
// user-interface code installs them; without them the calls do nothing (no cursor, no text, never cancelled).
#pragma once

#include "platform/base/wintypes.h"

namespace qsm {

// Reports a process-wide hook used before it was installed (hook names it). In debug builds it writes the
// name to standard error and aborts, so that a program or test that forgot to install its hooks fails where
// it first needs them instead of, say, measuring every item as 0; release builds go on without the hook.
void ReportMissingHook(const char* hook);

struct CursorHooks {
    // Shows the wait cursor and answers the cursor shown before it.
    HCURSOR (*showWaitCursor)() = nullptr;
    // Shows the given cursor again.
    void (*restoreCursor)(HCURSOR cursor) = nullptr;
};
void SetCursorHooks(const CursorHooks& hooks);
HCURSOR ShowWaitCursor();
void RestoreCursor(HCURSOR cursor);

// Shows a status text (on the main window's message bar); with repaint the bar is updated at once.
using StatusTextSink = void (*)(const char* text, bool repaint);
void SetStatusTextSink(StatusTextSink sink);
void ShowStatusText(const char* text, bool repaint);

// Pumps pending window messages and answers whether the user cancelled the active long task.
using LongTaskCancelTest = bool (*)();
void SetLongTaskCancelTest(LongTaskCancelTest test);

// The gauge and text of the active long-task progress dialog; they do nothing while no dialog is active (or
// no hooks are installed).
struct LongTaskProgressHooks {
    void (*resetGauge)(int range) = nullptr;
    void (*setGauge)(int value) = nullptr;
    void (*setText)(const char* text) = nullptr;
};
void SetLongTaskProgressHooks(const LongTaskProgressHooks& hooks);
void LongTaskResetGauge(int range);
void LongTaskSetGauge(int value);
void LongTaskSetText(const char* text);

// The cancel test and progress hooks of the calling thread alone: while set they take the place of the
// process-wide ones on this thread, so that a task run beside the window thread stops and reports where its
// owner asks (the dialog and its messages belong to the window thread). Null members do nothing (a null
// test: never cancelled). Cleared with ClearThreadLongTaskHooks.
void SetThreadLongTaskHooks(LongTaskCancelTest test, const LongTaskProgressHooks& hooks);
void ClearThreadLongTaskHooks();

}  // namespace qsm

// Pumps the pending window messages and answers whether the user cancelled the active long-task progress
// dialog; false when none is active (or no test is installed).
bool IsLongTaskCancelled();

// What the common dialogs share: the error of the last one that ran on this thread.
//
// Every common dialog (file open and save, print and print set-up) clears the error when it starts and sets
// it when it fails; Cancel leaves it 0. Dialogs outside this library set it through SetCommDlgExtendedError.
#pragma once

#include "platform/wm/winuser.h"

#define CDERR_DIALOGFAILURE 0xFFFF
#define CDERR_STRUCTSIZE 0x0001
#define CDERR_INITIALIZATION 0x0002
#define CDERR_MEMALLOCFAILURE 0x0009
#define CDERR_NOHOOK 0x000B

// The error of the last common dialog of this thread (0 after success or Cancel).
DWORD CommDlgExtendedError();

namespace qsm::wm {
void SetCommDlgExtendedError(DWORD code);
}  // namespace qsm::wm

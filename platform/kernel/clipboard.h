// The clipboard: a process-wide store of data blocks by format. The window system may install a backend
// that carries text to and from the desktop's clipboard; without one the store stays inside the process.
#pragma once

#include <string>

#include "platform/base/wintypes.h"

#define CF_TEXT 1
#define CF_BITMAP 2
#define CF_DIB 8
#define CF_UNICODETEXT 13

BOOL OpenClipboard(HWND hWndNewOwner);
BOOL CloseClipboard();
// Frees every block in the store; the clipboard must be open.
BOOL EmptyClipboard();
// The store takes the global memory block (GlobalAlloc) and frees it when it is replaced or emptied.
HANDLE SetClipboardData(UINT uFormat, HANDLE hMem);
// The store's block of the format (owned by the store), or null; the clipboard must be open.
HANDLE GetClipboardData(UINT uFormat);
BOOL IsClipboardFormatAvailable(UINT format);
// Formats registered by name start at 0xC000; the same name (without regard to case) gives the same number.
UINT RegisterClipboardFormatA(LPCSTR lpszFormat);

namespace qsm {

// Carries CF_TEXT to and from another clipboard.
class ClipboardBackend {
public:
    virtual ~ClipboardBackend() = default;
    virtual bool HasText() = 0;
    virtual std::string GetText() = 0;
    virtual void SetText(const std::string& text) = 0;
};

// Installs a backend (null removes it); the caller keeps ownership.
void SetClipboardBackend(ClipboardBackend* backend);

}  // namespace qsm

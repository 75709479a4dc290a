// The debugger trace, the version text and the clipboard text.
#include "ui/ui_util.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "platform/kernel/clipboard.h"
#include "platform/kernel/memory.h"
#include "platform/kernel/system.h"

void DebugPrintf(const char* format, ...) {
    char text[512];
    va_list args;
    va_start(args, format);
    if (std::vsnprintf(text, sizeof text, format, args) < 0) text[0] = 0;
    va_end(args);
    OutputDebugStringA(text);
}

void FormatVersion(char* buffer, int size, WORD version, int releaseKind, int build) {
    if (!buffer || size <= 0) return;
    const size_t n = static_cast<size_t>(size);
    int major = (version >> 8) & 0xFF, minor = version & 0xFF;
    if (releaseKind == 0)
        std::snprintf(buffer, n, "%d.%d Public Preview %d", major, minor, build + 1);
    else if (releaseKind == 1)
        std::snprintf(buffer, n, "%d.%d Beta %d", major, minor, build + 1);
    else if (build != 0)
        std::snprintf(buffer, n, "%d.%d.%d", major, minor, build);
    else
        std::snprintf(buffer, n, "%d.%d", major, minor);
}

namespace {

HGLOBAL TextBlock(const char* text) {
    if (!text) text = "";
    size_t length = std::strlen(text);
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, length + 1);
    if (!block) return nullptr;
    if (void* p = GlobalLock(block)) {
        std::memcpy(p, text, length);
        GlobalUnlock(block);
    }
    return block;
}

}  // namespace

void CopyTextToClipboard(const char* text) {
    HGLOBAL block = TextBlock(text);
    if (!block) return;
    if (!OpenClipboard(nullptr)) {
        GlobalFree(block);
        return;
    }
    EmptyClipboard();
    if (!SetClipboardData(CF_TEXT, block)) GlobalFree(block);
    CloseClipboard();
}

void PutTextOnClipboard(const char* text) {
    HGLOBAL block = TextBlock(text);
    if (block && !SetClipboardData(CF_TEXT, block)) GlobalFree(block);
}

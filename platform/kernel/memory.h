// Global memory blocks: a handle to a block that is locked to get at its bytes and can be resized in place
// of its handle. The clipboard and the memory streams exchange data in them.
#pragma once

#include "platform/base/wintypes.h"

#define GMEM_FIXED 0x0000
#define GMEM_MOVEABLE 0x0002
#define GMEM_ZEROINIT 0x0040
#define GHND (GMEM_MOVEABLE | GMEM_ZEROINIT)
#define GPTR (GMEM_FIXED | GMEM_ZEROINIT)

// A new block of dwBytes bytes (zeroed with GMEM_ZEROINIT); null when out of memory. Every block, fixed or
// moveable, is reached through GlobalLock.
HGLOBAL GlobalAlloc(UINT uFlags, SIZE_T dwBytes);
// The block's bytes (null for an unknown handle); each lock is balanced by GlobalUnlock.
LPVOID GlobalLock(HGLOBAL hMem);
// TRUE while locks remain.
BOOL GlobalUnlock(HGLOBAL hMem);
// Resizes the block; the handle stays the same (null on failure, the old block kept). Bytes added are zeroed
// with GMEM_ZEROINIT.
HGLOBAL GlobalReAlloc(HGLOBAL hMem, SIZE_T dwBytes, UINT uFlags);
// Null on success, the handle on failure.
HGLOBAL GlobalFree(HGLOBAL hMem);
SIZE_T GlobalSize(HGLOBAL hMem);

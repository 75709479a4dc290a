// Windows' pixels straight from their back buffers to the X server, over a connection of its own: no copy
// into a display image between. A back buffer may lie in memory shared with the server (its MIT-SHM
// extension), which the server then reads in place. A new shared block goes to the server as a plain image
// until the program next waits for input: only then is it shared and read through once by the server (whose
// first reading of the pages costs it several times what taking the same pixels as an image does), so that a
// window's first pictures are not held up by it while later ones (a scroll, a repaint) cost next to nothing.
// Without X, or where the server shares no memory with the program, the back buffers are the program's own
// and go as plain images.
#pragma once

#include <cstddef>

#include "platform/base/wintypes.h"

namespace qsm::wm::ximage {

// Opens the connection on a thread of its own. Called once, before the display's other libraries load.
void Prepare();

// A block of at least `bytes` for a back buffer, mapped in for writing and cleared; null when no memory can
// be shared with the server. Only on the window thread, as all below.
void* NewBlock(std::size_t bytes);
// Frees a block NewBlock gave.
void FreeBlock(void* block);

// Shows the part `src` of a back buffer of 32-bit xrgb pixels (`rows` rows of `stride` bytes at `pixels`) in
// the X window at `dst`, and waits until the server has taken it. False when it cannot (no connection, the
// window's pixels are of another kind, or the server refused): the caller shows the pixels its own way.
bool Put(unsigned long window, const void* pixels, int stride, int rows, const RECT& src, POINT dst);
// The X window is gone.
void Forget(unsigned long window);
// The program is about to wait for input: the blocks not yet shared with the server are shared now.
void ShareNewBlocks();
// Whether the server reads the block in place.
bool Shared(const void* block);

// Closes the connection; blocks still in use are freed later as memory only.
void Close();

// For the X error handler: true when the error belongs to this connection (it is noted, not fatal).
bool TakeError(const void* display);

}  // namespace qsm::wm::ximage

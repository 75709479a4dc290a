// What the viewer's desktop tests ask of the X server besides titles and keys: a window's place on the
// screen, the screen's pixels, a wait for any change of a window (its drawing included), a drag of the
// pointer, a key pressed with a modifier held, and the screen saved as a picture. No X type shows here: the
// X headers clash with GoogleTest's names.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

struct DeskBox {
    int x = 0, y = 0, w = 0, h = 0;
    int Right() const { return x + w; }
    int Bottom() const { return y + h; }
};

// The window's own area on the screen.
DeskBox DeskWindowBox(unsigned long w);
DeskBox DeskScreenBox();
// The screen's pixels in the box as 0xRRGGBB, rows from the top.
std::vector<uint32_t> DeskPixels(const DeskBox& box);
// Waits until test() holds, checking it again at every change the X server reports of `w` (its drawing,
// properties, size, place or mapping) and of the root window's properties; false when nothing answered
// within the safety net.
bool DeskWaitFor(unsigned long w, const std::function<bool()>& test);
// Runs `action` (a key that opens a menu, say), waits until a new window shows on the screen and has been
// drawn into; that window, or 0.
unsigned long DeskOpenedAndDrawn(const std::function<void()>& action);
// Waits until the keyboard focus is on `w` (or one of its children).
bool DeskWaitForFocus(unsigned long w);
// Presses the left button at (x0, y0), moves the pointer to (x1, y1) in steps and releases it there.
void DeskDrag(int x0, int y0, int x1, int y1);
// Presses (or releases) the key named by its keysym name ("Alt_L", "f").
void DeskKey(const char* name, bool down);
// Writes the screen to a PNG file.
bool DeskSaveScreen(const std::string& path);

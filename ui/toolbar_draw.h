// Drawing helpers shared by the toolbar, the dock stations, the status bar and the button gadgets: the
// border lines a placement word asks for and the insets that go with them, the monochrome masks behind the
// button images, the rectangle difference that lets a button paint its background without flicker, and
// the objects of the toolbar module.
//
// Placement word bits used here: the border edges 0x0100 left, 0x0200 top, 0x0400 right, 0x0800 bottom,
// and 0x0080 for the new (etched) look. g, the border unit, is 2 on Windows 4 or later, else 1.
#pragma once

#include <cstdint>

#include "platform/framework/dc.h"
#include "platform/framework/dib.h"
#include "platform/framework/geometry.h"

class TWindow;

// The border unit g.
int ToolbarBorderUnit();

// The bordered edges of rect: a dark line on each; with the new-look bit a light line inside each dark
// one, so the border is etched.
void Draw3dEdges(HDC dc, const TRect& rect, uint16_t placement);

// Moves the edges of rect inwards: by the system border width for each edge that the window's layout
// metrics in its parent tie to the same edge of the parent, then by g for the bordered edges of the word.
// An empty window (a dock station without toolbars) keeps no thickness across its side: only its left
// edge moves, when the top and bottom are bordered, and only its top, when the left and right are.
void ComputeEdgeInsets(const TWindow& window, TRect& rect, uint16_t placement, int empty);

// A monochrome mask of the source: white where a pixel has the button face colour, black elsewhere.
void BuildButtonFaceMask(HDC mask, const TRect& dest, HDC src, const TRect& srcRect);

// The module's hatch through the mask (taken from the mask's origin): the hatch where the mask is white,
// the destination unchanged where it is black.
void PaintHatchThroughMask(HDC dc, HDC mask, const TRect& rect);

// The part of a not covered by b as at most four rectangles, into pieces: the band above b, the band below
// it, the part left of it and the part right of it, each only when it is not empty. a alone when they do
// not overlap (touching edges do not); none when b covers a. Answers their number.
int SubtractRectPieces(const TRect& a, const TRect& b, TRect pieces[4]);

// Start-up and shut-down of the toolbar module's shared objects.
void ToolbarModuleInit();
void ToolbarModuleExit();

// The module's one-pixel checker of button face and button highlight (made on first use when the module
// was not started).
THatch8x8Brush& ToolbarHatchBrush();
// Makes the checker again in the current face and highlight colours.
void RebuildToolbarHatchBrush();
// The button-face brush of the toolbars' control colours, made on first use.
HBRUSH ToolbarFaceBrush();
// The monochrome work bitmap of the button images, at least width x height (made again, larger, when a
// larger one is asked for).
HBITMAP ButtonWorkBitmap(int width, int height);

// Drawing helpers shared by the window classes: one-pixel frames and three-dimensional edges, text cut to
// a width with "...", and a few helpers for window placement, window styles and key colours of images.
#pragma once

#include "platform/framework/dc.h"
#include "platform/framework/dib.h"
#include "platform/framework/window.h"

// Side bits of DrawFrameSides and DrawEdge3d (their own, not the system's).
enum : UINT { kSideLeft = 1, kSideRight = 2, kSideTop = 4, kSideBottom = 8, kSideAll = 0x0F };

// Draws one-pixel lines inside rect on the chosen sides, left and top in topLeft, right and bottom in
// bottomRight, and moves those edges of rect inward by one pixel. The lines are placed by rect as it was
// on entry, in the order left, top, right, bottom, so the top-left corner takes topLeft and the other three
// corners bottomRight. The background colour of the DC is left at the last colour drawn.
void DrawFrameSides(TDC& dc, TRect& rect, UINT sides, TColor topLeft, TColor bottomRight);

// Edge bits of DrawEdge3d: the outer ring raised (4) or sunken (8), the inner ring raised (1) or sunken (2).
enum : UINT { kEdgeInnerRaised = 1, kEdgeInnerSunken = 2, kEdgeOuterRaised = 4, kEdgeOuterSunken = 8 };
// Flags of DrawEdge3d besides the side bits: fill the inside with the window colour, move rect inside the
// rings drawn, exchange the top-left colours of the two rings.
enum : UINT { kEdgeFill = 0x10, kEdgeAdjust = 0x20, kEdgeSwapTopLeft = 0x80 };
// Draws up to two rings of DrawFrameSides in the button colours on the sides that flags choose.
void DrawEdge3d(TDC& dc, TRect& rect, UINT edge, UINT flags);

// Shortens the text in its own buffer so that it fits maxWidth pixels on the DC, ending it with "...".
// Texts shorter than three characters and texts that fit are left alone.
void FitTextToWidth(TDC& dc, char* text, int maxWidth);

// Centres win over the window rectangle of over (the screen when over is null), keeping it on the screen.
void CenterWindowInArea(TWindow* over, TWindow& win);
// Removes and adds bits of the window long at index (GWL_STYLE or GWL_EXSTYLE); false when nothing changed.
// With swpFlags, SetWindowPos(swpFlags plus no size, move, Z order or activation change) applies the frame.
bool ModifyWindowStyle(TWindow& w, int index, UINT remove, UINT add, UINT swpFlags);
// The key colour of a 16-colour bottom-up image is the colour-table entry of its bottom-left pixel.
// SetDibKeyColor makes that entry c and returns a new device bitmap of the image (the caller owns it).
TBitmap* SetDibKeyColor(TDib& dib, TColor c);
TColor GetDibKeyColor(TDib& dib);
// A new monochrome bitmap of bmp's size, white where bmp has colour c and black elsewhere (the caller owns
// it).
TBitmap* CreateColorMask(TBitmap& bmp, TColor c);

// Palette preparation for displays of 256 colours: ClearSystemPalette fills the system palette with black,
// PrepareIdentityPalette copies the system's static colours into entries. Both act only on a palette
// device; the displays of this system are true colour, so they leave everything as it is.
void ClearSystemPalette();
void PrepareIdentityPalette(PALETTEENTRY entries[256]);

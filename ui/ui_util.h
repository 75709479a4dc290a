// Small helpers of the user-interface library: the debugger trace, the version text, font sizes and fonts
// that fit a width, and text to the clipboard. The font record itself is core/font_record.h.
#pragma once

#include "core/font_record.h"
#include "platform/framework/dc.h"

// Formats the text (cut to 511 bytes, never more) and passes it to the debugger.
void DebugPrintf(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Writes "major.minor" of the version word (high byte, low byte), then for release kind 0
// " Public Preview <build + 1>", for kind 1 " Beta <build + 1>", for any other kind ".<build>" when the
// build is not 0. The text is cut to `size` bytes (terminated) when it is longer.
void FormatVersion(char* buffer, int size, WORD version, int releaseKind, int build);

// Points at the context's vertical resolution: points x LOGPIXELSY / 72 (unsigned division).
UINT PointsToPixels(HDC dc, UINT points);

// Whether the font engine has the face itself for the character set.
bool IsFontFaceAvailable(const char* face, BYTE charSet);

// Whether the text, in `font`, is strictly narrower than `width` on the context.
bool TextFitsWidth(HDC dc, HFONT font, const char* text, int width);

// A new font (the caller deletes it) made from `font`, shrunk to three quarters of its height as long as
// the text does not fit `width` and the height is at least 5 pixels; `font` holds the height of the font
// returned.
HFONT MakeFittingFont(HDC dc, LOGFONTA& font, const char* text, int width);

// Puts the text on the clipboard as CF_TEXT (opening, emptying and closing it). Nothing happens when no
// memory is left for the copy.
void CopyTextToClipboard(const char* text);
// The same for a clipboard the caller has opened and emptied.
void PutTextOnClipboard(const char* text);

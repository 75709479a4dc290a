// The viewer's tool button: its picture is one character of the application's command-button symbol font
// when that font exists and the command has a character, else the bitmap resource of the command's id with
// the standard button colours mapped to the system's.
#pragma once

#include "ui/button_gadget.h"

class TQSMViewToolbarBtn : public TToolbarButtonGadget {
public:
    explicit TQSMViewToolbarBtn(int id, int type = Command, bool enabled = false, int state = Up)
        : TToolbarButtonGadget(id, id, type, enabled, state) {}

    // The symbol-font character of a command, 0 when it has none.
    static char CommandToGlyphChar(int command);
    // A new image owned by the caller (not IsOK when there is neither a character nor a bitmap).
    static TDib* GetGlyph(const char* resId);

protected:
    TDib* GetGlyphBitmap() override { return GetGlyph(GetGlyphId()); }
};

// The sixteen colours the score is drawn in, each with a ready-made one-pixel solid pen. The entries are
// named by vocabulary list 1; an item of colour n > 0 is drawn with entry 8 + n.
#pragma once

#include "platform/base/wintypes.h"

class TKey;
class TSysInfo;

constexpr int PALETTE_SIZE = 16;

// Where the user's staff colours are kept, under the current user's registry root.
constexpr const char* STAFF_COLORS_KEY = "Software\\QuillStave Software\\QuillStave Composer 2\\StaffColors";

// Entries.
enum : int {
    PALETTE_PRINTER_DEFAULT = 0,
    PALETTE_STAFF_LABEL_PANEL = 1,
    PALETTE_EDITOR_BACKGROUND = 2,
    PALETTE_ACTIVE_BACKGROUND = 3,
    PALETTE_ACTIVE_STAFF = 4,
    PALETTE_INACTIVE_STAFF = 5,
    PALETTE_ACTIVE_HIDDEN = 6,
    PALETTE_INACTIVE_HIDDEN = 7,
    PALETTE_PLAY_HIGHLIGHT = 8,
    PALETTE_HIGHLIGHT1 = 9,
};

class TColorPalette {
public:
    // The default colours, each with its pen.
    TColorPalette();
    ~TColorPalette();
    TColorPalette(const TColorPalette&) = delete;
    TColorPalette& operator=(const TColorPalette&) = delete;

    // Entries outside 0-15 read as entry 0.
    COLORREF GetColor(int index) const;
    // A different colour replaces the entry's pen; an equal one changes nothing.
    void SetColor(int index, COLORREF color);
    HPEN GetPen(int index) const;

    // Every entry from the text value named after it (vocabulary list 1) in an open key; a value that is
    // missing or not of the form "RGB(r,g,b)" leaves its entry as it is.
    void Load(const TKey& key);
    // The same from a section of the settings store, and all sixteen entries written to one.
    void LoadSettings(TSysInfo& store, const char* section);
    void SaveSettings(TSysInfo& store, const char* section) const;

    // "RGB(r,g,b)": each component taken as its low 8 bits; anything else gives the default.
    static COLORREF ReadColor(const char* text, COLORREF defaultColor);
    // Writes "RGB(r,g,b)" under the name in a section of the settings store.
    static bool WriteColor(TSysInfo& store, const char* section, const char* name, COLORREF color);

private:
    static int Entry(int index) { return index >= 0 && index < PALETTE_SIZE ? index : 0; }

    COLORREF Colors[PALETTE_SIZE];
    HPEN Pens[PALETTE_SIZE] = {};
};

namespace qsm {
// The stored text form "RGB(%d,%d,%d)" of a colour, into a buffer of at least 20 bytes.
void FormatColor(COLORREF color, char* out, int size);
}  // namespace qsm

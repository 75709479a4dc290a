// The score's own font settings: the music font face, the staff size in points and the twelve text fonts.
#pragma once

#include "core/font_record.h"
#include "platform/base/wintypes.h"

// Text font slots, in the order of the font styles StaffItalic ... User6 (font style = slot + 2).
enum : int {
    FONTSLOT_STAFF_ITALIC = 0,
    FONTSLOT_STAFF_BOLD = 1,
    FONTSLOT_STAFF_LYRIC = 2,
    FONTSLOT_PAGE_TITLE = 3,
    FONTSLOT_PAGE_TEXT = 4,
    FONTSLOT_PAGE_SMALL = 5,
    FONTSLOT_USER1 = 6,
    FONTSLOT_COUNT = 12,
};

// The music face used when a score names none: "QSM2STDA".
const char* GetDefaultMusicFontFace();

class TMusicFontsData {
public:
    // No face of its own, default fonts for a staff of 16 points.
    TMusicFontsData();

    // The face, or the default face when none is set.
    const char* GetMusicFontFace() const;
    // Sets the staff size and gives every slot "Times New Roman" at sizes that follow it.
    void SetDefaultFonts(int staffSize);
    // The size in points that text of a slot is drawn at: the record's size by its magnitude, at least 2
    // (a record keeps the size a file gave it, which may be smaller).
    int GetDrawnPointSize(int slot) const;
    // The lyric font height in staff steps.
    int GetLyricHeight() const;
    // The staff space in device pixels for a device context: the staff size at the device's vertical
    // resolution, made even and at least 2.
    int GetDeviceStaffSpace(HDC dc) const;

    char MusicFontFace[32];
    int32_t StaffSize;
    TQSFontSpec Fonts[FONTSLOT_COUNT];
};

namespace qsm {
// Staff spaces are even and at least 2: an odd value is raised by 1.
int NormalizeStaffSpace(int staffSpace);
}  // namespace qsm

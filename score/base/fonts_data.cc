#include "score/base/fonts_data.h"

#include <algorithm>
#include <cstring>

#include "platform/gdi/gdi.h"

const char* GetDefaultMusicFontFace() {
    return "QSM2STDA";
}

TMusicFontsData::TMusicFontsData() {
    std::memset(MusicFontFace, 0, sizeof(MusicFontFace));
    SetDefaultFonts(16);
}

const char* TMusicFontsData::GetMusicFontFace() const {
    return MusicFontFace[0] ? MusicFontFace : GetDefaultMusicFontFace();
}

void TMusicFontsData::SetDefaultFonts(int staffSize) {
    StaffSize = staffSize;
    struct Default {
        int points;
        BYTE style;
    };
    const Default defaults[FONTSLOT_COUNT] = {
        {MulDiv(5, staffSize, 8), TQSFontSpec::kBold | TQSFontSpec::kItalic},
        {staffSize / 2, TQSFontSpec::kBold},
        {MulDiv(9, staffSize, 20), 0},
        {24, TQSFontSpec::kBold},
        {12, 0},
        {8, 0},
        {staffSize / 2, 0},
        {staffSize / 2, 0},
        {staffSize / 2, 0},
        {staffSize / 2, 0},
        {staffSize / 2, 0},
        {staffSize / 2, 0},
    };
    // Set stores the size as given; the records of the score's font settings hold at least 2 points.
    for (int i = 0; i < FONTSLOT_COUNT; ++i) {
        Fonts[i].Set("Times New Roman", defaults[i].style, defaults[i].points, 0);
        Fonts[i].SetPointSize(defaults[i].points);
    }
}

int TMusicFontsData::GetDrawnPointSize(int slot) const {
    const int32_t points = Fonts[slot].GetPointSize();
    return std::max(points < 0 ? -points : points, 2);
}

int TMusicFontsData::GetLyricHeight() const {
    return MulDiv(GetDrawnPointSize(FONTSLOT_STAFF_LYRIC), 8, StaffSize);
}

int TMusicFontsData::GetDeviceStaffSpace(HDC dc) const {
    return qsm::NormalizeStaffSpace(MulDiv(GetDeviceCaps(dc, LOGPIXELSY), StaffSize, 288));
}

namespace qsm {
int NormalizeStaffSpace(int staffSpace) {
    if (staffSpace < 2) return 2;
    return staffSpace & 1 ? staffSpace + 1 : staffSpace;
}
}  // namespace qsm

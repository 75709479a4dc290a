#include "core/font_record.h"

#include <cstring>

TQSFontSpec::TQSFontSpec() : TQSFontSpec("Times New Roman", 0, 12, 0) {}

TQSFontSpec::TQSFontSpec(const char* face, BYTE style, int32_t points, BYTE charSet) {
    Set(face, style, points, charSet);
}

void TQSFontSpec::Set(const char* face, BYTE style, int32_t points, BYTE charSet) {
    SetFaceName(face);
    Style = static_cast<BYTE>(style & (kBold | kItalic));
    PointSize = points;
    CharSet = charSet;
}

void TQSFontSpec::SetFaceName(const char* face) {
    std::memset(FaceName, 0, sizeof(FaceName));
    if (face) std::strncpy(FaceName, face, sizeof(FaceName) - 1);
}

void TQSFontSpec::SetPointSize(int32_t points) {
    PointSize = points < 2 ? 2 : points;
}

void TQSFontSpec::SetBold(bool on) {
    Style = static_cast<BYTE>(on ? (Style | kBold) : (Style & ~kBold));
}

void TQSFontSpec::SetItalic(bool on) {
    Style = static_cast<BYTE>(on ? (Style | kItalic) : (Style & ~kItalic));
}

bool TQSFontSpec::operator==(const TQSFontSpec& other) const {
    return std::strcmp(FaceName, other.FaceName) == 0 && PointSize == other.PointSize &&
           Style == other.Style && CharSet == other.CharSet;
}

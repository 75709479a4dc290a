// One text font record of a score's font settings: face, point size, style bits and character set. The
// record is 38 bytes, laid out as the stored forms expect.
#pragma once

#include "platform/base/wintypes.h"

struct LOGFONTA;

#pragma pack(push, 1)
class TQSFontSpec {
public:
    enum : BYTE { kBold = 1, kItalic = 2 };

    // "Times New Roman" at 12 points, no style, character set 0.
    TQSFontSpec();
    TQSFontSpec(const char* face, BYTE style, int32_t points, BYTE charSet);

    // The face (at most 31 characters, always terminated), the style bits (bold and italic only), the point
    // size as it is given and the character set. Drawing keeps its own lower bound on the size.
    void Set(const char* face, BYTE style, int32_t points, BYTE charSet);
    // At most 31 characters, always terminated.
    void SetFaceName(const char* face);
    // At least 2.
    void SetPointSize(int32_t points);
    void SetBold(bool on);
    void SetItalic(bool on);
    void SetCharSet(BYTE charSet) { CharSet = charSet; }

    const char* GetFaceName() const { return FaceName; }
    int32_t GetPointSize() const { return PointSize; }
    BYTE GetStyle() const { return Style; }
    bool IsBold() const { return (Style & kBold) != 0; }
    bool IsItalic() const { return (Style & kItalic) != 0; }
    BYTE GetCharSet() const { return CharSet; }

    // A font description for the device: face, weight 700 or 400, italic, character set and the height of
    // the point size at the device's vertical resolution (at most -2). Defined with the drawing code.
    void ToLogFontForDC(HDC dc, LOGFONTA* out) const;

    // Defined with the user-interface library (ui/font_record.cc):
    // The same description at `pixelsPerInch` (the rest of the record zero).
    void ToLogFont(LOGFONTA* out, int pixelsPerInch) const;
    // Face, bold (weight 700 or more), italic and character set of the description, and the given size.
    void FromLogFont(const LOGFONTA& font, int32_t points);
    // The same with the size the description's height has on the device (at least 2 points).
    void FromLogFontForDC(HDC dc, const LOGFONTA& font);
    // Whether the font engine has this face itself (not a substitute).
    bool IsAvailable() const;

    bool operator==(const TQSFontSpec& other) const;
    bool operator!=(const TQSFontSpec& other) const { return !(*this == other); }

    char FaceName[32];
    int32_t PointSize;
    BYTE Style;
    BYTE CharSet;
};
#pragma pack(pop)

static_assert(sizeof(TQSFontSpec) == 38, "the font record is 38 bytes");

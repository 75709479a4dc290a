// Text bytes from score files are decoded by the font's character set, measured and drawn.
#include <cstdint>
#include <cstring>
#include <string>

#include "platform/gdi/gdi.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    static const BYTE kCharsets[] = {
        ANSI_CHARSET,       DEFAULT_CHARSET,     SYMBOL_CHARSET, SHIFTJIS_CHARSET, HANGUL_CHARSET,
        GB2312_CHARSET,     CHINESEBIG5_CHARSET, GREEK_CHARSET,  TURKISH_CHARSET,  VIETNAMESE_CHARSET,
        HEBREW_CHARSET,     ARABIC_CHARSET,      BALTIC_CHARSET, RUSSIAN_CHARSET,  THAI_CHARSET,
        EASTEUROPE_CHARSET, OEM_CHARSET,         MAC_CHARSET};
    static HDC dc = [] {
        HDC d = CreateCompatibleDC(nullptr);
        SelectObject(d, CreateBitmap(200, 40, 1, 32, nullptr));
        return d;
    }();
    LOGFONTA lf{};
    lf.lfHeight = -(data[0] % 40) - 1;
    lf.lfCharSet = kCharsets[data[0] % sizeof kCharsets];
    lf.lfWeight = data[0] & 0x80 ? FW_BOLD : FW_NORMAL;
    lf.lfItalic = data[0] & 0x40 ? 1 : 0;
    std::strcpy(lf.lfFaceName, "Liberation Sans");
    HFONT font = CreateFontIndirectA(&lf);
    HGDIOBJ old = SelectObject(dc, font);
    const char* text = reinterpret_cast<const char*>(data + 1);
    int n = static_cast<int>(size - 1);
    SIZE sz;
    GetTextExtentPointA(dc, text, n, &sz);
    SetTextAlign(dc, data[0] & 1 ? TA_CENTER | TA_BOTTOM : TA_LEFT | TA_TOP);
    TextOutA(dc, 100, 20, text, n);
    std::u16string w((size - 1) / 2, u'\0');
    std::memcpy(w.data(), data + 1, w.size() * 2);
    GetTextExtentPoint32W(dc, w.data(), static_cast<int>(w.size()), &sz);
    TextOutW(dc, 0, 30, w.data(), static_cast<int>(w.size()));
    SelectObject(dc, old);
    DeleteObject(font);
    return 0;
}

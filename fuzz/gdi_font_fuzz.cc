// A font file from outside (a private font named by the font list) is added, matched, measured, drawn with
// and removed again.
#include <fontconfig/fontconfig.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

#include "platform/gdi/gdi.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static int counter = 0;
    std::string path =
        "/tmp/qsm_font_fuzz_" + std::to_string(getpid()) + "_" + std::to_string(counter++) + ".ttf";
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return 0;
    std::fwrite(data, 1, size, f);
    std::fclose(f);
    if (AddFontResourceExA(path.c_str(), FR_PRIVATE, nullptr) > 0) {
        std::string family = "x";
        int count = 0;
        if (FcPattern* p =
                FcFreeTypeQuery(reinterpret_cast<const FcChar8*>(path.c_str()), 0, nullptr, &count)) {
            FcChar8* s = nullptr;
            if (FcPatternGetString(p, FC_FAMILY, 0, &s) == FcResultMatch) family = reinterpret_cast<char*>(s);
            FcPatternDestroy(p);
        }
        HDC dc = CreateCompatibleDC(nullptr);
        HBITMAP bmp = CreateBitmap(64, 64, 1, 32, nullptr);
        HGDIOBJ oldBmp = SelectObject(dc, bmp);
        for (int charset : {ANSI_CHARSET, SYMBOL_CHARSET}) {
            for (int height : {-30, 12}) {
                LOGFONTA lf{};
                lf.lfHeight = height;
                lf.lfCharSet = static_cast<BYTE>(charset);
                CopyFaceName(lf.lfFaceName, family.c_str());
                HFONT font = CreateFontIndirectA(&lf);
                HGDIOBJ old = SelectObject(dc, font);
                SIZE sz;
                GetTextExtentPointA(dc, "Ag\x80\x6B\x87", 5, &sz);
                TEXTMETRICA tm;
                GetTextMetricsA(dc, &tm);
                SetTextAlign(dc, TA_BASELINE);
                TextOutA(dc, 2, 40, "Ag\x6B\x87", 4);
                const WCHAR wide[] = u"\uF06Bq\U0001D11E";
                TextOutW(dc, 2, 20, wide, 4);
                SelectObject(dc, old);
                DeleteObject(font);
            }
        }
        SelectObject(dc, oldBmp);
        DeleteObject(bmp);
        DeleteDC(dc);
        RemoveFontResourceExA(path.c_str(), FR_PRIVATE, nullptr);
    }
    unlink(path.c_str());
    return 0;
}

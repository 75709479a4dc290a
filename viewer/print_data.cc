#include "viewer/print_data.h"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstring>

#include "core/file_utils.h"
#include "core/hooks.h"
#include "platform/framework/dc.h"
#include "platform/framework/window.h"
#include "platform/gdi/gdi.h"
#include "platform/gdi/gdi_surface.h"
#include "platform/kernel/clipboard.h"
#include "platform/kernel/memory.h"
#include "render/layout/score_draw_info.h"
#include "render/music_fonts.h"
#include "score/base/color_palette.h"
#include "score/base/fonts_data.h"
#include "score/music_score.h"
#include "viewer/printer.h"

namespace {

// The height the staff set may grow to: never reached, every selected staff is laid out.
constexpr int kNoHeightLimit = 1932735282;

int TextWidth(HDC dc, HFONT font, const char* text) {
    if (!dc || !text || !*text) return 0;
    HGDIOBJ old = SelectObject(dc, font);
    SIZE size{0, 0};
    GetTextExtentPoint32A(dc, text, static_cast<int>(std::strlen(text)), &size);
    SelectObject(dc, old);
    return size.cx;
}

void TextAt(HDC dc, HFONT font, int x, int y, const char* text) {
    if (!dc || !text || !*text) return;
    HGDIOBJ old = SelectObject(dc, font);
    TextOutA(dc, x, y, text, static_cast<int>(std::strlen(text)));
    SelectObject(dc, old);
}

}  // namespace

TQSMNTNPrintData::TQSMNTNPrintData(TDC* referenceDC, TMusicScore* score, TMusicScore* staffSelection,
                                   TColorPalette* palette)
    : score(score),
      palette(palette),
      fontSettings(score ? score->GetFontData() : nullptr),
      staffSelection(staffSelection),
      referenceDC(referenceDC) {
    pageNumberBase = score ? score->PageNumbers : 0;
    ResetPages();
    PrepareDevice();
}

TQSMNTNPrintData::~TQSMNTNPrintData() {
    ReleaseLayout();
    delete referenceDC;
}

void TQSMNTNPrintData::PrepareDevice() {
    TQSBusyCursor busy;
    ReleaseLayout();
    if (!ComputePageArea() && score) {
        score->Margins.Top = score->Margins.Left = score->Margins.Right = score->Margins.Bottom = 0.5f;
        ComputePageArea();
    }
    HDC dc = referenceDC ? referenceDC->GetHandle() : nullptr;
    fonts = new TMusicFonts(dc, fontSettings, palette);
    titleFont = fonts->GetFont(FONTSLOT_PAGE_TITLE);
    authorFont = fonts->GetFont(FONTSLOT_PAGE_TEXT);
    copyrightFont = fonts->GetFont(FONTSLOT_PAGE_SMALL);
    drawInfo = new TScoreDrawInfo(score, fonts, 5, 3);
    if (staffSelection) drawInfo->AddVisibleStaves(staffSelection->GetStaffVisibleBits(), kNoHeightLimit);
}

void TQSMNTNPrintData::ReleaseLayout() {
    ahead.valid = false;
    delete drawInfo;
    drawInfo = nullptr;
    delete fonts;
    fonts = nullptr;
    titleFont = authorFont = copyrightFont = nullptr;
}

void TQSMNTNPrintData::GetMarginFloats(float& top, float& left, float& right, float& bottom) const {
    if (!score) {
        top = left = right = bottom = 0.5f;
        return;
    }
    top = score->Margins.Top;
    left = score->Margins.Left;
    right = score->Margins.Right;
    bottom = score->Margins.Bottom;
}

bool TQSMNTNPrintData::ComputePageArea() {
    HDC dc = referenceDC ? referenceDC->GetHandle() : nullptr;
    physWidth = GetDeviceCaps(dc, PHYSICALWIDTH);
    physHeight = GetDeviceCaps(dc, PHYSICALHEIGHT);
    horzRes = GetDeviceCaps(dc, HORZRES);
    vertRes = GetDeviceCaps(dc, VERTRES);
    physOffsetX = GetDeviceCaps(dc, PHYSICALOFFSETX);
    physOffsetY = GetDeviceCaps(dc, PHYSICALOFFSETY);
    dpiX = GetDeviceCaps(dc, LOGPIXELSX);
    dpiY = GetDeviceCaps(dc, LOGPIXELSY);
    if (dpiX == 0 || dpiY == 0)
        aspectNum = aspectDen = 1;
    else
        aspectNum = aspectDen = dpiY;
    float top, left, right, bottom;
    GetMarginFloats(top, left, right, bottom);
    int l = static_cast<int>(static_cast<double>(dpiX) * left - physOffsetX);
    int r = static_cast<int>(physWidth - static_cast<double>(dpiX) * right - physOffsetX);
    int t = static_cast<int>(static_cast<double>(dpiY) * top - physOffsetY);
    int b = static_cast<int>(physHeight - static_cast<double>(dpiY) * bottom - physOffsetY);
    if (l < r && t < b) {
        usableLeft = l;
        usableTop = t;
        usableWidth = r - l;
        usableHeight = b - t;
        return true;
    }
    usableLeft = usableTop = 0;
    usableWidth = horzRes;
    usableHeight = vertRes;
    return false;
}

bool TQSMNTNPrintData::IsMirroredPage(int pageIndex) const {
    if (!score || !score->Margins.Mirror) return false;
    int n = pageNumberBase ? PrintedNumber(pageIndex) : pageIndex;
    return n % 2 == 0;
}

int TQSMNTNPrintData::GetPageLeft(int pageIndex) const {
    if (metafileMode) return 0;
    if (IsMirroredPage(pageIndex))
        return static_cast<int>(static_cast<double>(dpiX) * score->Margins.Right - physOffsetX);
    return usableLeft;
}

int TQSMNTNPrintData::GetPageTop() const {
    return metafileMode ? 0 : usableTop;
}

void TQSMNTNPrintData::ResetPages() {
    ahead.valid = false;
    std::fill(std::begin(pageStart), std::end(pageStart), TStaffStartPosition{});
}

void TQSMNTNPrintData::StartNextPage() {
    std::copy(std::begin(nextPageStart), std::end(nextPageStart), pageStart);
}

bool TQSMNTNPrintData::HasStaves() const {
    return drawInfo && drawInfo->GetStaffCount() > 0;
}

int TQSMNTNPrintData::PointsToPixels(HFONT font) const {
    int slot = font == titleFont    ? FONTSLOT_PAGE_TITLE
               : font == authorFont ? FONTSLOT_PAGE_TEXT
                                    : FONTSLOT_PAGE_SMALL;
    int points = fontSettings ? fontSettings->GetDrawnPointSize(slot) : 12;
    return MulDiv(points, dpiY, 72);
}

int TQSMNTNPrintData::GetFooterLineCount() const {
    if (!score) return 0;
    return (score->SongInfo.Copyright1[0] ? 1 : 0) + (score->SongInfo.Copyright2[0] ? 1 : 0);
}

bool TQSMNTNPrintData::IsTitleTooWide() const {
    if (!score || !score->GetTitlePage() || !referenceDC) return false;
    return TextWidth(referenceDC->GetHandle(), titleFont, score->SongInfo.Title) > usableWidth;
}

void TQSMNTNPrintData::DrawTitleBlock(TDC* dc) {
    if (!dc || !score || !fonts) return;
    HDC out = dc->GetHandle();
    HDC ref = referenceDC->GetHandle();
    const TSongInfo& info = score->SongInfo;
    SetTextColor(out, palette ? palette->GetColor(0) : RGB(0, 0, 0));
    SetBkMode(out, TRANSPARENT);
    UINT oldAlign = SetTextAlign(out, TA_LEFT | TA_TOP);
    int left = GetPageLeft(1), top = GetPageTop();
    int w = TextWidth(ref, titleFont, info.Title);
    TextAt(out, titleFont, w < usableWidth ? left + (usableWidth - w) / 2 : left, top, info.Title);
    int y = top + 3 * PointsToPixels(titleFont) / 2;
    TextAt(out, authorFont, left + usableWidth - TextWidth(ref, authorFont, info.Author), y, info.Author);
    if (info.Lyricist[0]) TextAt(out, authorFont, left, y, info.Lyricist);
    const char* lines[2];
    int m = 0;
    if (info.Copyright1[0]) lines[m++] = info.Copyright1;
    if (info.Copyright2[0]) lines[m++] = info.Copyright2;
    int c = PointsToPixels(copyrightFont);
    for (int i = 0; i < m; ++i) {
        int cw = TextWidth(ref, copyrightFont, lines[i]);
        TextAt(out, copyrightFont, left + (usableWidth - cw) / 2, top + usableHeight - (m - i) * c, lines[i]);
    }
    SetTextAlign(out, oldAlign);
}

// Lays out a system of the page from the staff start positions (the page start for the first, where the
// previous system ended for later ones) and fits it into the width left beside the labels.
int TQSMNTNPrintData::FormatSystem(const TStaffStartPosition* starts, int labelWidth) {
    const int staves = drawInfo->GetStaffCount();
    if (ahead.valid && ahead.labelWidth == labelWidth && std::equal(starts, starts + staves, ahead.starts)) {
        ahead.valid = false;
        drawInfo->RestoreSystemLayout(ahead.layout);
        return drawInfo->GetSystemHeight();
    }
    ahead.valid = false;
    drawInfo->FormatStavesFrom(starts, usableWidth);
    drawInfo->FitSystem(usableWidth - labelWidth);
    return drawInfo->GetSystemHeight();
}

// Draws the system the layout holds (the k-th of page p) with its top at systemTop: labels, printer-margin
// ruler, the staves and the separator mark above it.
void TQSMNTNPrintData::DrawLaidOutSystem(HDC out, HDC ref, int p, int k, int labelWidth, int systemTop,
                                         TSystemSeparatorState& separator) {
    int x = GetPageLeft(p);
    if (labelWidth > drawInfo->GetBracketWidth()) {
        fonts->AttachDC(out, ref);
        drawInfo->DrawStaffLabels(x + drawInfo->GetFirstRecordWidth(), systemTop, labelWidth);
        fonts->DetachDC();
    }
    x += labelWidth;
    fonts->AttachDC(out, ref);
    if (!metafileMode && drawInfo->GetShowPrinterMargin()) {
        TStaffDrawInfo* top = drawInfo->GetStaffDrawInfo(0);
        int right = x + (top ? top->GetTotalWidth() : 0);
        int rest = GetPageLeft(p) + usableWidth - right;
        if (rest > 0) {
            fonts->OriginY = systemTop + drawInfo->GetSystemEdgeY(-1);
            fonts->DrawRuler(6, -2, right, rest, false);
        }
    }
    TDrawExtent extent;
    extent.Width = GetPageLeft(p) + usableWidth;
    extent.Left = 0;
    extent.Right = INT_MAX;
    drawInfo->DrawSystem(extent, x, systemTop, -1);
    if (score->GetPrintSystemSepMark()) {
        bool needsLine = drawInfo->NeedsSystemLine();
        if (k > 0 && (separator.previousNeedsLine || needsLine)) {
            int edge = systemTop + drawInfo->GetSystemEdgeY(-1);
            int mark = separator.previousBottom + (edge - separator.previousBottom) / 2;
            if (score->BarNumbers != 0) {
                int alt = edge - (9 * fonts->StaffSpace) / 2;
                if (mark > alt && alt > separator.previousBottom) mark = alt;
            }
            fonts->SelectColor(0);
            fonts->DrawSystemSeparator(x, mark);
        }
        separator.previousNeedsLine = needsLine;
    }
    fonts->DetachDC();
    separator.previousBottom = systemTop + drawInfo->GetSystemEdgeY(1);
}

bool TQSMNTNPrintData::DrawPage(TDC* dc, int p, bool draw) {
    lastSystemCount = 0;
    if (p > lastPage) return false;
    // Nothing laid out: nothing to put on any page.
    if (!HasStaves()) return false;
    if (!dc) draw = false;
    std::copy(std::begin(pageStart), std::end(pageStart), nextPageStart);
    drawInfo->UpdateVerticalLayout(true);
    HDC ref = referenceDC->GetHandle();
    HDC out = draw ? dc->GetHandle() : nullptr;
    const bool mirrored = IsMirroredPage(p);

    // Page number.
    if (draw && !metafileMode && pageNumberBase != 0 && PrintedNumber(p) >= 2) {
        char text[16];
        std::snprintf(text, sizeof text, "%d", PrintedNumber(p));
        int w = TextWidth(ref, copyrightFont, text);
        int x = mirrored ? 0 : usableWidth - w;
        UINT oldAlign = SetTextAlign(out, TA_LEFT | TA_TOP);
        SetBkMode(out, TRANSPARENT);
        SetTextColor(out, palette ? palette->GetColor(0) : RGB(0, 0, 0));
        TextAt(out, copyrightFont, GetPageLeft(p) + x, GetPageTop() + 1, text);
        SetTextAlign(out, oldAlign);
    }

    // Label widths.
    int firstLabelWidth = drawInfo->GetBracketWidth();
    int laterLabelWidth = firstLabelWidth;
    const int labels = score->StaffLabels;
    if (labels != 0 && (labels >= 2 || p == 1)) {
        fonts->AttachDC(ref, ref);
        firstLabelWidth = drawInfo->GetLabelWidth(true, p == 1);
        if (labels == 3) laterLabelWidth = drawInfo->GetLabelWidth(true, false);
        fonts->DetachDC();
    }

    // The printer-margin bar right of the usable area.
    if (draw && !metafileMode && drawInfo->GetShowPrinterMargin()) {
        HPEN pen = CreatePen(PS_SOLID, 1, RGB(255, 0, 0));
        HBRUSH brush = CreateSolidBrush(RGB(255, 0, 0));
        HGDIOBJ oldPen = SelectObject(out, pen), oldBrush = SelectObject(out, brush);
        int x = GetPageLeft(p) + usableWidth;
        Rectangle(out, x, GetPageTop(), x + drawInfo->GetHalfSpace(), GetPageTop() + usableHeight);
        SelectObject(out, oldPen);
        SelectObject(out, oldBrush);
        DeleteObject(pen);
        DeleteObject(brush);
    }

    // Reserved bands.
    int topReserve = 0, bottomLimit = usableHeight;
    if (score->GetTitlePage() && p == 1) {
        if (draw) DrawTitleBlock(dc);
        int t = PointsToPixels(titleFont), a = PointsToPixels(authorFont), c = PointsToPixels(copyrightFont);
        topReserve += 3 * t / 2 + 2 * a;
        bottomLimit -= (GetFooterLineCount() + 1) * c;
    }
    const int available = bottomLimit - topReserve;

    // Fitting pass. Without vertical justification every system's place is known as soon as it is taken,
    // so it is drawn right then, from the layout the fitting just made; with it, the gaps depend on all the
    // page's systems, so each taken system is kept and drawn after the fitting, without laying it out again.
    const bool justify = score->GetJustifyVertically();
    const bool drawWhileFitting = draw && !justify;
    TSystemSeparatorState separator;
    int count = 0, used = 0;
    bool done = false;
    fonts->AttachDC(ref, ref);
    while (!done) {
        int labelWidth = count == 0 ? firstLabelWidth : laterLabelWidth;
        int h = used + FormatSystem(nextPageStart, labelWidth);
        if (count > 0 && (h > available || drawInfo->StartsNewPage())) {
            // The next page begins with this system.
            ahead.valid = true;
            ahead.labelWidth = labelWidth;
            std::copy(std::begin(nextPageStart), std::end(nextPageStart), ahead.starts);
            drawInfo->SaveSystemLayout(ahead.layout);
            break;
        }
        const int systemTop = GetPageTop() + topReserve + used;
        ++count;
        used = h;
        TStaffStartPosition before[kMaxStaves];
        std::copy(std::begin(nextPageStart), std::end(nextPageStart), before);
        drawInfo->GetStartPositions(nextPageStart);
        TStaffDrawInfo* top = drawInfo->GetStaffDrawInfo(0);
        done = !top || top->IsAtStaffEnd();
        // The layout counts the system's times from its own start: the page end is that start's time plus
        // the time reached at the right edge.
        if (top) pageEndIndex = std::max(top->Index.GetTime(), 0) + top->IndexAtX(usableWidth);
        // A system that does not move the staves on would repeat for ever: the score ends here.
        if (!done && std::equal(std::begin(before), std::end(before), nextPageStart)) done = true;
        if (drawWhileFitting) {
            fonts->DetachDC();
            DrawLaidOutSystem(out, ref, p, count - 1, labelWidth, systemTop, separator);
            fonts->AttachDC(ref, ref);
        } else if (draw) {
            if (keptSystems.size() < static_cast<size_t>(count))
                keptSystems.resize(static_cast<size_t>(count));
            drawInfo->SaveSystemLayout(keptSystems[static_cast<size_t>(count - 1)]);
        }
    }
    fonts->DetachDC();
    lastSystemCount = count;

    // Drawing pass (vertical justification).
    if (draw && justify && count > 0) {
        int gap = 0;
        if (used < available) gap = std::min((available - used) / (count + 1), (used / count) / 2);
        int y = topReserve;
        for (int k = 0; k < count; ++k) {
            int labelWidth = k == 0 ? firstLabelWidth : laterLabelWidth;
            y += gap;
            drawInfo->RestoreSystemLayout(keptSystems[static_cast<size_t>(k)]);
            DrawLaidOutSystem(out, ref, p, k, labelWidth, GetPageTop() + y, separator);
            y += drawInfo->GetSystemHeight();
        }
    }
    return !done;
}

int TQSMNTNPrintData::CopyPageToClipboard(int p, const char* fileName) {
    if (!referenceDC || dpiX <= 0 || dpiY <= 0) return 0;
    TQSBusyCursor busy;
    // The frame: the usable area and half an inch, in device pixels, drawn at the screen's resolution.
    const int frameWidth = usableWidth + dpiX / 2, frameHeight = usableHeight + dpiY / 2;
    HDC screen = CreateDCA("DISPLAY", nullptr, nullptr, nullptr);
    const int screenX = screen ? GetDeviceCaps(screen, LOGPIXELSX) : 96;
    const int screenY = screen ? GetDeviceCaps(screen, LOGPIXELSY) : 96;
    if (screen) DeleteDC(screen);
    const int width = std::max(1, MulDiv(frameWidth, screenX, dpiX));
    const int height = std::max(1, MulDiv(frameHeight, screenY, dpiY));
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;  // top row first
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (!bitmap || !bits) {
        if (bitmap) DeleteObject(bitmap);
        return 0;
    }
    HDC memory = CreateCompatibleDC(nullptr);
    HGDIOBJ oldBitmap = SelectObject(memory, bitmap);
    PatBlt(memory, 0, 0, width, height, WHITENESS);
    // Device pixels of the page onto the image, with a quarter-inch border.
    SetMapMode(memory, MM_ANISOTROPIC);
    SetWindowExtEx(memory, frameWidth, frameHeight, nullptr);
    SetViewportExtEx(memory, width, height, nullptr);
    SetWindowOrgEx(memory, -dpiX / 4, -dpiY / 4, nullptr);
    {
        TDC out(memory);
        metafileMode = true;
        DrawPage(&out, p, true);
        metafileMode = false;
    }
    SetMapMode(memory, MM_TEXT);
    SetWindowOrgEx(memory, 0, 0, nullptr);
    GdiFlush();
    bool done = false;
    if (fileName && *fileName) {
        done = qsm::gdi::WritePng(memory, fileName);
    } else {
        // A device-independent bitmap as the clipboard keeps it: the header, then the rows from the bottom.
        const size_t row = static_cast<size_t>(width) * 4;
        HGLOBAL block =
            GlobalAlloc(GMEM_MOVEABLE, sizeof(BITMAPINFOHEADER) + row * static_cast<size_t>(height));
        if (auto* dib = block ? static_cast<BYTE*>(GlobalLock(block)) : nullptr) {
            BITMAPINFOHEADER header = info.bmiHeader;
            header.biHeight = height;
            header.biSizeImage = static_cast<DWORD>(row * static_cast<size_t>(height));
            std::memcpy(dib, &header, sizeof header);
            for (int y = 0; y < height; ++y)
                std::memcpy(dib + sizeof header + row * static_cast<size_t>(height - 1 - y),
                            static_cast<const BYTE*>(bits) + row * static_cast<size_t>(y), row);
            GlobalUnlock(block);
            TApplication* app = TApplication::Get();
            TWindow* main = app ? app->GetMainWindow() : nullptr;
            if (OpenClipboard(main ? main->GetHandle() : nullptr)) {
                EmptyClipboard();
                done = SetClipboardData(CF_DIB, block) != nullptr;
                if (!done) GlobalFree(block);
                CloseClipboard();
            } else {
                GlobalFree(block);
            }
        }
    }
    SelectObject(memory, oldBitmap);
    DeleteDC(memory);
    DeleteObject(bitmap);
    return done ? 1 : 0;
}

int TQSMNTNPrintData::CountPages() {
    ResetPages();
    int p = 1;
    while (DrawPage(nullptr, p, false) && !IsLongTaskCancelled()) {
        ++p;
        StartNextPage();
    }
    return p;
}

SIZE TQSMNTNPrintData::FitPageInto(int maxWidth, int height) const {
    SIZE s{0, height};
    if (physWidth <= 0 || physHeight <= 0) return SIZE{maxWidth, height};
    s.cx = MulDiv(height, physWidth, physHeight);
    if (s.cx > maxWidth) {
        s.cy -= MulDiv(s.cx - maxWidth, physHeight, physWidth);
        s.cx = maxWidth;
    }
    return s;
}

POINT TQSMNTNPrintData::PageToScreen(SIZE pageSize, POINT origin, POINT point) const {
    return POINT{MulDiv(point.x + physOffsetX, pageSize.cx, physWidth) + origin.x,
                 MulDiv(point.y + physOffsetY, pageSize.cy, physHeight) + origin.y};
}

POINT TQSMNTNPrintData::ScreenToPage(SIZE pageSize, POINT origin, POINT point) const {
    if (pageSize.cx <= 0 || pageSize.cy <= 0) return POINT{0, 0};
    return POINT{MulDiv(point.x - origin.x, physWidth, pageSize.cx) - physOffsetX,
                 MulDiv(point.y - origin.y, physHeight, pageSize.cy) - physOffsetY};
}

void TQSMNTNPrintData::FillRect(TDC* dc, int left, int top, int right, int bottom) {
    RECT r{left, top, right, bottom};
    if (r.right <= r.left || r.bottom <= r.top) return;
    ExtTextOutA(dc->GetHandle(), left, top, ETO_OPAQUE, &r, "", 0, nullptr);
}

void TQSMNTNPrintData::FillFrame(TDC* dc, const RECT& outer, const RECT& inner) {
    FillRect(dc, outer.left, outer.top, outer.right, inner.top);
    FillRect(dc, outer.left, inner.bottom, outer.right, outer.bottom);
    FillRect(dc, outer.left, inner.top, inner.left, inner.bottom);
    FillRect(dc, inner.right, inner.top, outer.right, inner.bottom);
}

bool TQSMNTNPrintData::DrawPreviewPage(TDC* dc, SIZE pageSize, POINT origin, SIZE viewSize, POINT scroll,
                                       int pageIndex) {
    (void)viewSize;
    HDC out = dc->GetHandle();
    int saved = SaveDC(out);
    // Device pixels of the page onto screen pixels; the page corner lies at origin less the scroll.
    POINT screenOrigin{origin.x - scroll.x, origin.y - scroll.y};
    SetMapMode(out, MM_ANISOTROPIC);
    SetWindowExtEx(out, physWidth, physHeight, nullptr);
    SetViewportExtEx(out, pageSize.cx, pageSize.cy, nullptr);
    POINT corner = ScreenToPage(pageSize, screenOrigin, POINT{0, 0});
    SetWindowOrgEx(out, corner.x, corner.y, nullptr);
    SetViewportOrgEx(out, 0, 0, nullptr);

    SetBkColor(out, RGB(255, 255, 255));
    FillRect(dc, 0, 0, horzRes + 1, vertRes + 1);
    bool more = DrawPage(dc, pageIndex, true);

    // From here (0, 0) is the paper's corner.
    SetWindowOrgEx(out, corner.x + physOffsetX, corner.y + physOffsetY, nullptr);
    RECT paper{0, 0, physWidth, physHeight};
    RECT printable{physOffsetX, physOffsetY, physWidth - physOffsetX, physHeight - physOffsetY};
    FillFrame(dc, paper, printable);
    // The screen around the paper, grown by the screen origin in device pixels on every side.
    int gx = MulDiv(std::abs(screenOrigin.x) + 1, physWidth, std::max<int>(pageSize.cx, 1));
    int gy = MulDiv(std::abs(screenOrigin.y) + 1, physHeight, std::max<int>(pageSize.cy, 1));
    RECT around{-gx, -gy, physWidth + gx + LOWORD(dpiX), physHeight + gy + HIWORD(dpiX) + dpiY};
    around.right = std::max<LONG>(around.right, physWidth + gx + physWidth);
    around.bottom = std::max<LONG>(around.bottom, physHeight + gy + physHeight);
    SetBkColor(out, RGB(160, 160, 160));
    FillFrame(dc, around, paper);

    HPEN black = CreatePen(PS_SOLID, 1, RGB(0, 0, 0));
    HGDIOBJ oldPen = SelectObject(out, black);
    HGDIOBJ oldBrush = SelectObject(out, GetStockObject(NULL_BRUSH));
    Rectangle(out, 0, 0, physWidth, physHeight);
    if (showPrintableArea) {
        HPEN dashed = CreatePen(PS_DASH, 1, RGB(192, 192, 192));
        SelectObject(out, dashed);
        Rectangle(out, printable.left, printable.top, printable.right, printable.bottom);
        SelectObject(out, black);
        DeleteObject(dashed);
    }
    SelectObject(out, oldPen);
    SelectObject(out, oldBrush);
    DeleteObject(black);
    RestoreDC(out, saved);
    return more;
}

TQSMPrintData::TQSMPrintData(TDC* referenceDC, TMusicScore* score, TMusicScore* staffSelection,
                             TColorPalette* palette)
    : TQSMNTNPrintData(referenceDC, score, staffSelection, palette) {
    SetPrintCancelFlag(0);
}

// Device contexts: creation, saved states, attributes, mapping modes and device capabilities.
#include <cmath>
#include <cstring>
#include <string>

#include "platform/gdi/gdi_internal.h"
#include "platform/kernel/text.h"

namespace qsm::gdi {

void UnregisterDC(DC* dc);

namespace {

int g_screenWidth = 1920;
int g_screenHeight = 1080;
int g_screenDpi = 96;
PrinterDCFactory g_printerFactory = nullptr;

DC* NewDC(DCKind kind) {
    auto* dc = new DC;
    dc->kind = kind;
    dc->dpiX = dc->dpiY = g_screenDpi;
    dc->width = g_screenWidth;
    dc->height = g_screenHeight;
    InitDCObjects(dc);
    return dc;
}

// Window and viewport extents of the fixed metric modes for this DC's resolution.
void FixedExtents(DC& dc) {
    int perInch = 0;
    switch (dc.st.mapMode) {
        case MM_LOMETRIC:
            perInch = 254;
            break;
        case MM_HIMETRIC:
            perInch = 2540;
            break;
        case MM_LOENGLISH:
            perInch = 100;
            break;
        case MM_HIENGLISH:
            perInch = 1000;
            break;
        case MM_TWIPS:
            perInch = 1440;
            break;
        default:
            return;
    }
    dc.st.winExt = {perInch, perInch};
    dc.st.vpExt = {dc.dpiX, -dc.dpiY};
}

void FixIsotropic(DC& dc) {
    if (dc.st.mapMode != MM_ISOTROPIC) return;
    // Shrink the larger viewport extent so that one logical unit is as long on both axes.
    double sx = std::fabs(static_cast<double>(dc.st.vpExt.cx) / dc.st.winExt.cx);
    double sy = std::fabs(static_cast<double>(dc.st.vpExt.cy) / dc.st.winExt.cy);
    if (sx > sy) {
        int v = static_cast<int>(std::lround(sy * std::abs(dc.st.winExt.cx)));
        dc.st.vpExt.cx = (dc.st.vpExt.cx * static_cast<int64_t>(dc.st.winExt.cx)) >= 0 ? v : -v;
    } else if (sy > sx) {
        int v = static_cast<int>(std::lround(sx * std::abs(dc.st.winExt.cy)));
        dc.st.vpExt.cy = (dc.st.vpExt.cy * static_cast<int64_t>(dc.st.winExt.cy)) >= 0 ? v : -v;
    }
}

}  // namespace

double ScaleX(const DC& dc) {
    return static_cast<double>(dc.st.vpExt.cx) / dc.st.winExt.cx;
}
double ScaleY(const DC& dc) {
    return static_cast<double>(dc.st.vpExt.cy) / dc.st.winExt.cy;
}

void ToDevice(const DC& dc, double lx, double ly, double* dx, double* dy) {
    *dx = (lx - dc.st.winOrg.x) * ScaleX(dc) + dc.st.vpOrg.x;
    *dy = (ly - dc.st.winOrg.y) * ScaleY(dc) + dc.st.vpOrg.y;
}

void SetDCSurface(DC& dc, cairo_surface_t* surface) {
    FlushBatch(dc);
    DropKeptClip(dc);
    if (dc.cr) cairo_destroy(dc.cr);
    dc.cr = nullptr;
    if (dc.surface) cairo_surface_destroy(dc.surface);
    dc.surface = surface ? cairo_surface_reference(surface) : nullptr;
    if (dc.surface) {
        dc.cr = cairo_create(dc.surface);
        // GDI does not antialias lines, curves or fills: raster surfaces draw them with whole pixels, unless
        // the DC was asked to draw smoothly.
        if (cairo_surface_get_type(dc.surface) == CAIRO_SURFACE_TYPE_IMAGE)
            cairo_set_antialias(dc.cr, dc.smooth ? CAIRO_ANTIALIAS_DEFAULT : CAIRO_ANTIALIAS_NONE);
    }
}

bool SetDCSmoothing(HDC hdc, bool on) {
    DC* dc = ToDC(hdc);
    if (!dc) return false;
    const bool was = dc->smooth;
    if (was == on) return was;
    // The setting lives on the context below any state a drawing keeps on it.
    FlushBatch(*dc);
    DropKeptClip(*dc);
    dc->smooth = on;
    if (dc->cr && dc->surface && cairo_surface_get_type(dc->surface) == CAIRO_SURFACE_TYPE_IMAGE)
        cairo_set_antialias(dc->cr, on ? CAIRO_ANTIALIAS_DEFAULT : CAIRO_ANTIALIAS_NONE);
    if (dc->recording) Record(*dc, "SetDCSmoothing", {on ? 1 : 0});
    return was;
}

void SetScreenMetrics(int width, int height, int dpi) {
    g_screenWidth = width;
    g_screenHeight = height;
    g_screenDpi = dpi > 0 ? dpi : 96;
}

HDC CreateSurfaceDC(cairo_surface_t* surface, int dpi) {
    if (!surface || cairo_surface_status(surface) != CAIRO_STATUS_SUCCESS) return nullptr;
    DC* dc = NewDC(DCKind::Surface);
    dc->dpiX = dc->dpiY = dpi > 0 ? dpi : 96;
    if (cairo_surface_get_type(surface) == CAIRO_SURFACE_TYPE_IMAGE) {
        dc->width = cairo_image_surface_get_width(surface);
        dc->height = cairo_image_surface_get_height(surface);
    }
    SetDCSurface(*dc, surface);
    return RegisterDC(dc);
}

void SetDCOrigin(HDC hdc, int x, int y) {
    if (DC* dc = ToDC(hdc)) dc->origin = {x, y};
}

void SetDCSystemClip(HDC hdc, HRGN rgn) {
    DC* dc = ToDC(hdc);
    if (!dc) return;
    if (dc->sysClip) cairo_region_destroy(dc->sysClip);
    dc->sysClip = nullptr;
    if (auto* r = ToObjectOf<Region>(rgn, OBJ_REGION)) dc->sysClip = cairo_region_copy(r->rgn);
}

HDC CreatePdfDC(const char* path, double widthPt, double heightPt, int dpi) {
    if (widthPt <= 0 || heightPt <= 0 || dpi <= 0) return nullptr;
    DC* dc = NewDC(DCKind::Pdf);
    dc->dpiX = dc->dpiY = dpi;
    dc->pageWidthPt = widthPt;
    dc->pageHeightPt = heightPt;
    dc->width = static_cast<int>(std::lround(widthPt * dpi / 72.0));
    dc->height = static_cast<int>(std::lround(heightPt * dpi / 72.0));
    // The PDF writer takes half device pixels, and scales them to points itself: shapes drawn on the pixel
    // grid, and the pen's half-pixel offsets, then have whole numbers for coordinates.
    dc->baseScale = 2.0;
    if (path) {
        dc->pdfPath = path;
        if (!StartPdfFile(*dc)) {
            ReleaseState(dc->st);
            delete dc;
            return nullptr;
        }
    }
    return RegisterDC(dc);
}

void SetPrinterDCFactory(PrinterDCFactory factory) {
    g_printerFactory = factory;
}

void SetPrinterArea(HDC hdc, const PrinterArea& area) {
    DC* dc = ToDC(hdc);
    if (!dc || dc->kind != DCKind::Pdf) return;
    dc->area = area;
    dc->origin = {area.offsetX, area.offsetY};
}

void SetPrinterJobHooks(HDC hdc, PrinterJobHooks hooks) {
    if (DC* dc = ToDC(hdc); dc && dc->kind == DCKind::Pdf) dc->jobHooks = std::move(hooks);
}

HDC CreateRecordingDC(int dpi, int width, int height) {
    DC* dc = NewDC(DCKind::Recording);
    dc->dpiX = dc->dpiY = dpi > 0 ? dpi : 96;
    dc->width = width;
    dc->height = height;
    dc->recording = true;
    return RegisterDC(dc);
}

void SetRecording(HDC hdc, bool on) {
    if (DC* dc = ToDC(hdc)) dc->recording = on;
}

const std::vector<GdiRecord>& GetRecords(HDC hdc) {
    static const std::vector<GdiRecord> empty;
    DC* dc = ToDC(hdc);
    return dc ? dc->records : empty;
}

void ClearRecords(HDC hdc) {
    if (DC* dc = ToDC(hdc)) dc->records.clear();
}

}  // namespace qsm::gdi

using namespace qsm::gdi;

HDC CreateDCA(LPCSTR driver, LPCSTR device, LPCSTR output, const void* devmode) {
    if (driver && strcasecmp(driver, "DISPLAY") != 0)
        return g_printerFactory ? g_printerFactory(driver, device, output, devmode, false) : nullptr;
    return RegisterDC(NewDC(DCKind::Screen));
}

HDC CreateICA(LPCSTR driver, LPCSTR device, LPCSTR output, const void* devmode) {
    // An information context of a printer is a printer DC that is never given a job.
    if (driver && strcasecmp(driver, "DISPLAY") != 0)
        return g_printerFactory ? g_printerFactory(driver, device, output, devmode, true) : nullptr;
    HDC hdc = CreateDCA(driver, device, output, devmode);
    if (DC* dc = ToDC(hdc)) dc->kind = DCKind::Info;
    return hdc;
}

HDC CreateCompatibleDC(HDC hdc) {
    DC* ref = hdc ? ToDC(hdc) : nullptr;
    if (hdc && !ref) return nullptr;
    DC* dc = NewDC(DCKind::Memory);
    if (ref) {
        dc->dpiX = ref->dpiX;
        dc->dpiY = ref->dpiY;
    }
    // A new memory DC holds a 1 x 1 monochrome bitmap.
    static HBITMAP stockBitmap = [] {
        HBITMAP b = CreateBitmap(1, 1, 1, 1, nullptr);
        ToObject(b)->stock = true;
        return b;
    }();
    dc->width = dc->height = 1;
    auto* bm = ToObjectOf<Bitmap>(stockBitmap, OBJ_BITMAP);
    dc->bitmap = bm;
    AddRef(bm);
    // The stock bitmap may sit in several DCs; none draws into it.
    return RegisterDC(dc);
}

BOOL DeleteDC(HDC hdc) {
    DC* dc = ToDC(hdc);
    if (!dc) return FALSE;
    // A job left open: a plain PDF DC finishes its file; a printer's job is discarded, never handed on
    // half done.
    if (dc->kind == DCKind::Pdf && dc->docStarted) {
        if (dc->jobHooks.finished)
            AbortDoc(hdc);
        else
            EndDoc(hdc);
    }
    UnregisterDC(dc);
    for (auto& s : dc->saved)
        ReleaseState(s);
    ReleaseState(dc->st);
    SetDCSurface(*dc, nullptr);
    Release(dc->bitmap);
    dc->bitmap = nullptr;
    if (dc->sysClip) cairo_region_destroy(dc->sysClip);
    ForgetDrawingClip(*dc);
    delete dc;
    return TRUE;
}

int SaveDC(HDC hdc) {
    DC* dc = ToDC(hdc);
    if (!dc) return 0;
    if (dc->recording) Record(*dc, "SaveDC", {});
    DCState copy = dc->st;
    RetainState(copy);
    dc->saved.push_back(copy);
    return static_cast<int>(dc->saved.size());
}

BOOL RestoreDC(HDC hdc, int saved) {
    DC* dc = ToDC(hdc);
    if (!dc) return FALSE;
    int n = static_cast<int>(dc->saved.size());
    int level = saved < 0 ? n + saved + 1 : saved;
    if (level < 1 || level > n) return FALSE;
    if (dc->recording) Record(*dc, "RestoreDC", {saved});
    while (static_cast<int>(dc->saved.size()) > level) {
        ReleaseState(dc->saved.back());
        dc->saved.pop_back();
    }
    ReleaseState(dc->st);
    dc->st = dc->saved.back();
    dc->saved.pop_back();
    return TRUE;
}

int GetDeviceCaps(HDC hdc, int index) {
    DC* dc = ToDC(hdc);
    if (!dc) return 0;
    bool printer = dc->kind == DCKind::Pdf;
    bool area = printer && dc->area.width > 0 && dc->area.height > 0;
    switch (index) {
        case DRIVERVERSION:
            return 0x4000;
        case TECHNOLOGY:
            return printer ? DT_RASPRINTER : DT_RASDISPLAY;
        case HORZSIZE:
            return static_cast<int>(std::lround((area ? dc->area.width : dc->width) * 25.4 / dc->dpiX));
        case VERTSIZE:
            return static_cast<int>(std::lround((area ? dc->area.height : dc->height) * 25.4 / dc->dpiY));
        case HORZRES:
            return area ? dc->area.width : dc->width;
        case VERTRES:
            return area ? dc->area.height : dc->height;
        case PHYSICALWIDTH:
            return printer ? dc->width : 0;
        case PHYSICALHEIGHT:
            return printer ? dc->height : 0;
        case PHYSICALOFFSETX:
            return area ? dc->area.offsetX : 0;
        case PHYSICALOFFSETY:
            return area ? dc->area.offsetY : 0;
        case BITSPIXEL:
            return dc->bitmap && dc->bitmap->bitCount == 1 ? 1 : 32;
        case PLANES:
            return 1;
        case NUMCOLORS:
            return -1;
        case SIZEPALETTE:
            return 0;
        case RASTERCAPS:
            return RC_BITBLT | RC_STRETCHBLT;
        case LOGPIXELSX:
            return dc->dpiX;
        case LOGPIXELSY:
            return dc->dpiY;
        default:
            return 0;
    }
}

COLORREF SetTextColor(HDC hdc, COLORREF color) {
    DC* dc = ToDC(hdc);
    if (!dc) return CLR_INVALID;
    if (dc->recording) Record(*dc, "SetTextColor", {static_cast<int32_t>(color)});
    COLORREF old = dc->st.textColor;
    dc->st.textColor = color & 0xFFFFFF;
    return old;
}
COLORREF GetTextColor(HDC hdc) {
    DC* dc = ToDC(hdc);
    return dc ? dc->st.textColor : CLR_INVALID;
}
COLORREF SetBkColor(HDC hdc, COLORREF color) {
    DC* dc = ToDC(hdc);
    if (!dc) return CLR_INVALID;
    if (dc->recording) Record(*dc, "SetBkColor", {static_cast<int32_t>(color)});
    COLORREF old = dc->st.bkColor;
    dc->st.bkColor = color & 0xFFFFFF;
    return old;
}
COLORREF GetBkColor(HDC hdc) {
    DC* dc = ToDC(hdc);
    return dc ? dc->st.bkColor : CLR_INVALID;
}
int SetBkMode(HDC hdc, int mode) {
    DC* dc = ToDC(hdc);
    if (!dc || (mode != TRANSPARENT && mode != OPAQUE)) return 0;
    if (dc->recording) Record(*dc, "SetBkMode", {mode});
    int old = dc->st.bkMode;
    dc->st.bkMode = mode;
    return old;
}
int GetBkMode(HDC hdc) {
    DC* dc = ToDC(hdc);
    return dc ? dc->st.bkMode : 0;
}
UINT SetTextAlign(HDC hdc, UINT align) {
    DC* dc = ToDC(hdc);
    if (!dc) return GDI_ERROR;
    if (dc->recording) Record(*dc, "SetTextAlign", {static_cast<int32_t>(align)});
    UINT old = dc->st.textAlign;
    dc->st.textAlign = align;
    return old;
}
UINT GetTextAlign(HDC hdc) {
    DC* dc = ToDC(hdc);
    return dc ? dc->st.textAlign : GDI_ERROR;
}
int SetROP2(HDC hdc, int rop) {
    DC* dc = ToDC(hdc);
    if (!dc || rop < R2_BLACK || rop > R2_WHITE) return 0;
    if (dc->recording) Record(*dc, "SetROP2", {rop});
    int old = dc->st.rop2;
    dc->st.rop2 = rop;
    return old;
}
int GetROP2(HDC hdc) {
    DC* dc = ToDC(hdc);
    return dc ? dc->st.rop2 : 0;
}
int SetPolyFillMode(HDC hdc, int mode) {
    DC* dc = ToDC(hdc);
    if (!dc || (mode != ALTERNATE && mode != WINDING)) return 0;
    if (dc->recording) Record(*dc, "SetPolyFillMode", {mode});
    int old = dc->st.polyFillMode;
    dc->st.polyFillMode = mode;
    return old;
}
int GetPolyFillMode(HDC hdc) {
    DC* dc = ToDC(hdc);
    return dc ? dc->st.polyFillMode : 0;
}

int SetMapMode(HDC hdc, int mode) {
    DC* dc = ToDC(hdc);
    if (!dc || mode < MM_TEXT || mode > MM_ANISOTROPIC) return 0;
    if (dc->recording) Record(*dc, "SetMapMode", {mode});
    int old = dc->st.mapMode;
    dc->st.mapMode = mode;
    if (mode == MM_TEXT) {
        dc->st.winExt = {1, 1};
        dc->st.vpExt = {1, 1};
    } else if (mode == MM_ISOTROPIC || mode == MM_ANISOTROPIC) {
        if (old != MM_ISOTROPIC && old != MM_ANISOTROPIC) {
            // Entering a free mode keeps the current scale.
            if (old == MM_TEXT) {
                dc->st.winExt = {1, 1};
                dc->st.vpExt = {1, 1};
            }
        }
        FixIsotropic(*dc);
    } else {
        FixedExtents(*dc);
    }
    return old;
}
int GetMapMode(HDC hdc) {
    DC* dc = ToDC(hdc);
    return dc ? dc->st.mapMode : 0;
}

static BOOL SetPointField(HDC hdc, POINT DCState::*field, int x, int y, LPPOINT old, const char* op) {
    DC* dc = ToDC(hdc);
    if (!dc) return FALSE;
    if (dc->recording) Record(*dc, op, {x, y});
    if (old) *old = dc->st.*field;
    dc->st.*field = {x, y};
    return TRUE;
}
BOOL SetWindowOrgEx(HDC hdc, int x, int y, LPPOINT old) {
    return SetPointField(hdc, &DCState::winOrg, x, y, old, "SetWindowOrgEx");
}
BOOL SetViewportOrgEx(HDC hdc, int x, int y, LPPOINT old) {
    return SetPointField(hdc, &DCState::vpOrg, x, y, old, "SetViewportOrgEx");
}
BOOL OffsetWindowOrgEx(HDC hdc, int dx, int dy, LPPOINT old) {
    DC* dc = ToDC(hdc);
    if (!dc) return FALSE;
    return SetWindowOrgEx(hdc, dc->st.winOrg.x + dx, dc->st.winOrg.y + dy, old);
}
BOOL OffsetViewportOrgEx(HDC hdc, int dx, int dy, LPPOINT old) {
    DC* dc = ToDC(hdc);
    if (!dc) return FALSE;
    return SetViewportOrgEx(hdc, dc->st.vpOrg.x + dx, dc->st.vpOrg.y + dy, old);
}
static BOOL SetExtent(HDC hdc, SIZE DCState::*field, int x, int y, SIZE* old, const char* op) {
    DC* dc = ToDC(hdc);
    if (!dc) return FALSE;
    if (old) *old = dc->st.*field;
    if (dc->st.mapMode != MM_ISOTROPIC && dc->st.mapMode != MM_ANISOTROPIC) return TRUE;
    if (x == 0 || y == 0) return FALSE;
    if (dc->recording) Record(*dc, op, {x, y});
    dc->st.*field = {x, y};
    FixIsotropic(*dc);
    return TRUE;
}
BOOL SetWindowExtEx(HDC hdc, int x, int y, SIZE* old) {
    return SetExtent(hdc, &DCState::winExt, x, y, old, "SetWindowExtEx");
}
BOOL SetViewportExtEx(HDC hdc, int x, int y, SIZE* old) {
    return SetExtent(hdc, &DCState::vpExt, x, y, old, "SetViewportExtEx");
}
BOOL GetWindowOrgEx(HDC hdc, LPPOINT out) {
    DC* dc = ToDC(hdc);
    if (!dc || !out) return FALSE;
    *out = dc->st.winOrg;
    return TRUE;
}
BOOL GetViewportOrgEx(HDC hdc, LPPOINT out) {
    DC* dc = ToDC(hdc);
    if (!dc || !out) return FALSE;
    *out = dc->st.vpOrg;
    return TRUE;
}
BOOL GetWindowExtEx(HDC hdc, SIZE* out) {
    DC* dc = ToDC(hdc);
    if (!dc || !out) return FALSE;
    *out = dc->st.winExt;
    return TRUE;
}
BOOL GetViewportExtEx(HDC hdc, SIZE* out) {
    DC* dc = ToDC(hdc);
    if (!dc || !out) return FALSE;
    *out = dc->st.vpExt;
    return TRUE;
}
BOOL LPtoDP(HDC hdc, LPPOINT points, int count) {
    DC* dc = ToDC(hdc);
    if (!dc || (!points && count > 0)) return FALSE;
    for (int i = 0; i < count; ++i) {
        double x, y;
        ToDevice(*dc, points[i].x, points[i].y, &x, &y);
        points[i] = {static_cast<LONG>(std::lround(x)), static_cast<LONG>(std::lround(y))};
    }
    return TRUE;
}
BOOL DPtoLP(HDC hdc, LPPOINT points, int count) {
    DC* dc = ToDC(hdc);
    if (!dc || (!points && count > 0)) return FALSE;
    double sx = ScaleX(*dc), sy = ScaleY(*dc);
    for (int i = 0; i < count; ++i) {
        double x = (points[i].x - dc->st.vpOrg.x) / sx + dc->st.winOrg.x;
        double y = (points[i].y - dc->st.vpOrg.y) / sy + dc->st.winOrg.y;
        points[i] = {static_cast<LONG>(std::lround(x)), static_cast<LONG>(std::lround(y))};
    }
    return TRUE;
}

int SetAbortProc(HDC hdc, ABORTPROC proc) {
    DC* dc = ToDC(hdc);
    if (!dc || dc->kind != DCKind::Pdf) return SP_ERROR;
    dc->abortProc = proc;
    return 1;
}

int StartDocA(HDC hdc, const DOCINFOA* info) {
    DC* dc = ToDC(hdc);
    if (!dc || dc->kind != DCKind::Pdf || dc->docStarted) return SP_ERROR;
    if (dc->jobHooks.outputPath) {
        std::string path = dc->jobHooks.outputPath(info);
        if (path.empty()) return SP_ERROR;
        SetDCSurface(*dc, nullptr);
        dc->pdf.reset();
        dc->pdfPath = path;
    }
    if (!dc->pdf) {
        if (!dc->jobHooks.outputPath) {
            if (!info || !info->lpszOutput) return SP_ERROR;
            dc->pdfPath = info->lpszOutput;
        }
        if (!StartPdfFile(*dc)) return SP_ERROR;
    }
    if (info && info->lpszDocName) {
        // The document name is ANSI text; the file's title is Unicode.
        int n = MultiByteToWideChar(CP_ACP, 0, info->lpszDocName, -1, nullptr, 0);
        if (n > 0) {
            std::u16string wide(static_cast<size_t>(n), u'\0');
            MultiByteToWideChar(CP_ACP, 0, info->lpszDocName, -1, wide.data(), n);
            wide.resize(static_cast<size_t>(n - 1));
            dc->pdf->SetTitle(wide);
        }
    }
    dc->docStarted = true;
    dc->pageDrawn = false;
    return 1;
}

namespace {

// Asks the abort procedure; a FALSE answer discards the job as AbortDoc does.
bool JobCancelled(HDC hdc, DC& dc) {
    if (!dc.abortProc || dc.abortProc(hdc, 0)) return false;
    if (dc.docStarted) AbortDoc(hdc);
    return true;
}

}  // namespace

int StartPage(HDC hdc) {
    DC* dc = ToDC(hdc);
    if (!dc || dc->kind != DCKind::Pdf || !dc->docStarted) return SP_ERROR;
    if (JobCancelled(hdc, *dc)) return SP_APPABORT;
    dc->pageDrawn = true;
    dc->pdf->BeginPage();
    return 1;
}

int EndPage(HDC hdc) {
    DC* dc = ToDC(hdc);
    if (!dc || dc->kind != DCKind::Pdf || !dc->docStarted || !dc->pageDrawn) return SP_ERROR;
    FlushBatch(*dc);
    bool ok = dc->pdf->EndPage();
    dc->pageDrawn = false;
    if (JobCancelled(hdc, *dc)) return SP_APPABORT;
    return ok ? 1 : SP_OUTOFDISK;
}

int EndDoc(HDC hdc) {
    DC* dc = ToDC(hdc);
    if (!dc || dc->kind != DCKind::Pdf || !dc->docStarted) return SP_ERROR;
    FlushBatch(*dc);
    bool ok = dc->pdf->Finish();
    SetDCSurface(*dc, nullptr);
    dc->pdf.reset();
    dc->pdfFaces.clear();  // kept alive only while the file could still embed their glyphs
    dc->pageDrawn = false;
    dc->docStarted = false;
    if (ok && dc->jobHooks.finished) ok = dc->jobHooks.finished(dc->pdfPath);
    return ok ? 1 : SP_ERROR;
}

int AbortDoc(HDC hdc) {
    DC* dc = ToDC(hdc);
    if (!dc || dc->kind != DCKind::Pdf || !dc->docStarted) return SP_ERROR;
    dc->batch.reset();
    dc->pdf->Abandon();
    SetDCSurface(*dc, nullptr);
    dc->pdf.reset();
    dc->pdfFaces.clear();  // kept alive only while the file could still embed their glyphs
    dc->pageDrawn = false;
    dc->docStarted = false;
    if (!dc->pdfPath.empty()) std::remove(dc->pdfPath.c_str());
    if (dc->jobHooks.aborted) dc->jobHooks.aborted(dc->pdfPath);
    return 1;
}

// Handle tables, pens, brushes, stock objects, selection and deletion.
#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstring>
#include <memory>
#include <mutex>
#include <unordered_set>
#include <vector>

#include "platform/gdi/gdi_internal.h"

namespace qsm::gdi {
namespace {

std::mutex g_mutex;

// The live objects, looked up on every use of a handle without a lock: an open-addressed table of atomic
// slots that only writers (under g_mutex) change. A deleted object leaves a tombstone. When tombstones fill
// the table, it is rebuilt in place, with a sequence count moved on before and after so that a lookup that
// overlapped the rebuild asks again under the lock. A table too small for the live objects is copied into
// one twice as large; the old one is kept, since a reader may still be probing it (all of them together are
// less than the newest one).
class ObjectSet {
public:
    bool Contains(const void* obj) const {
        if (obj == nullptr || obj == Tombstone()) return false;
        const uint64_t before = seq_.load(std::memory_order_acquire);
        if (!(before & 1)) {
            // A slot seen as the rebuild left it makes the count seen after it odd or moved on.
            bool found = Probe(*table_.load(std::memory_order_acquire), obj);
            if (seq_.load(std::memory_order_acquire) == before) return found;
        }
        std::lock_guard lock(g_mutex);
        return Probe(*table_.load(std::memory_order_relaxed), obj);
    }
    // Writers hold g_mutex.
    void Insert(const void* obj) {
        Table* t = table_.load(std::memory_order_relaxed);
        if (Probe(*t, obj)) return;
        if ((live_ + tombstones_ + 1) * 2 > t->mask + 1) t = Rebuild();
        for (size_t i = Hash(obj) & t->mask;; i = (i + 1) & t->mask) {
            const void* here = t->slots[i].load(std::memory_order_relaxed);
            if (here == nullptr || here == Tombstone()) {
                if (here == Tombstone()) --tombstones_;
                t->slots[i].store(obj, std::memory_order_release);
                ++live_;
                return;
            }
        }
    }
    size_t Slots() const {
        size_t n = 0;
        for (const auto& t : tables_)
            n += t->mask + 1;
        return n;
    }
    void Erase(const void* obj) {
        Table* t = table_.load(std::memory_order_relaxed);
        for (size_t i = Hash(obj) & t->mask;; i = (i + 1) & t->mask) {
            const void* here = t->slots[i].load(std::memory_order_relaxed);
            if (here == nullptr) return;
            if (here == obj) {
                t->slots[i].store(Tombstone(), std::memory_order_release);
                --live_;
                ++tombstones_;
                return;
            }
        }
    }

private:
    struct Table {
        size_t mask;
        std::unique_ptr<std::atomic<const void*>[]> slots;
        explicit Table(size_t size) : mask(size - 1), slots(new std::atomic<const void*>[size]) {
            for (size_t i = 0; i < size; ++i)
                slots[i].store(nullptr, std::memory_order_relaxed);
        }
    };
    static const void* Tombstone() { return reinterpret_cast<const void*>(uintptr_t{1}); }

    static size_t Hash(const void* p) {
        uint64_t v = reinterpret_cast<uintptr_t>(p);
        return static_cast<size_t>((v * 0x9E3779B97F4A7C15ull) >> 32);
    }

    // The table always has empty slots, so every probe ends.
    static bool Probe(const Table& t, const void* obj) {
        for (size_t i = Hash(obj) & t.mask;; i = (i + 1) & t.mask) {
            const void* here = t.slots[i].load(std::memory_order_acquire);
            if (here == obj) return true;
            if (here == nullptr) return false;
        }
    }

    static void Place(Table& t, const void* obj) {
        size_t i = Hash(obj) & t.mask;
        while (t.slots[i].load(std::memory_order_relaxed) != nullptr)
            i = (i + 1) & t.mask;
        t.slots[i].store(obj, std::memory_order_release);
    }

    Table* Rebuild() {
        Table* old = table_.load(std::memory_order_relaxed);
        std::vector<const void*> live;
        live.reserve(live_);
        for (size_t i = 0; i <= old->mask; ++i) {
            const void* obj = old->slots[i].load(std::memory_order_relaxed);
            if (obj != nullptr && obj != Tombstone()) live.push_back(obj);
        }
        tombstones_ = 0;
        size_t size = old->mask + 1;
        if ((live_ + 1) * 4 <= size) {
            // Room enough: the tombstones go, in place.
            const uint64_t seq = seq_.load(std::memory_order_relaxed);
            seq_.store(seq + 1, std::memory_order_relaxed);
            // Every slot store releases, so a reader that sees one also sees the odd count.
            for (size_t i = 0; i < size; ++i)
                old->slots[i].store(nullptr, std::memory_order_release);
            for (const void* obj : live)
                Place(*old, obj);
            seq_.store(seq + 2, std::memory_order_release);
            return old;
        }
        while ((live_ + 1) * 4 > size)
            size *= 2;  // at most a quarter full once copied
        auto fresh = std::make_unique<Table>(size);
        for (const void* obj : live)
            Place(*fresh, obj);
        Table* t = fresh.get();
        tables_.push_back(std::move(fresh));
        table_.store(t, std::memory_order_release);
        return t;
    }

    std::vector<std::unique_ptr<Table>> tables_ = [] {
        std::vector<std::unique_ptr<Table>> v;
        v.push_back(std::make_unique<Table>(256));
        return v;
    }();
    std::atomic<Table*> table_{tables_.front().get()};
    std::atomic<uint64_t> seq_{0};  // odd while the table is rebuilt in place
    size_t live_ = 0, tombstones_ = 0;
};

ObjectSet& Objects() {
    static auto* set = new ObjectSet();
    return *set;
}
std::unordered_set<const void*>& DCs() {
    static auto* set = new std::unordered_set<const void*>();
    return *set;
}

// Every drawing call looks its DC up, mostly the same one many times in a row: each thread remembers the
// last DC it found, good until any DC is deleted (which moves the generation on).
std::atomic<uint64_t> g_dcGeneration{0};
struct LastDC {
    HDC hdc = nullptr;
    uint64_t generation = 0;
};
thread_local LastDC t_lastDC;

Object* MakeStock(int index) {
    auto pen = [](int style, COLORREF c) {
        auto* p = new Pen;
        p->type = OBJ_PEN;
        p->style = static_cast<UINT>(style);
        p->width = 1;
        p->color = c;
        return p;
    };
    auto brush = [](UINT style, COLORREF c) {
        auto* b = new Brush;
        b->type = OBJ_BRUSH;
        b->style = style;
        b->color = c;
        return b;
    };
    Object* o = nullptr;
    switch (index) {
        case WHITE_BRUSH:
            o = brush(BS_SOLID, RGB(255, 255, 255));
            break;
        case LTGRAY_BRUSH:
            o = brush(BS_SOLID, RGB(192, 192, 192));
            break;
        case GRAY_BRUSH:
            o = brush(BS_SOLID, RGB(128, 128, 128));
            break;
        case DKGRAY_BRUSH:
            o = brush(BS_SOLID, RGB(64, 64, 64));
            break;
        case BLACK_BRUSH:
            o = brush(BS_SOLID, RGB(0, 0, 0));
            break;
        case NULL_BRUSH:
            o = brush(BS_NULL, 0);
            break;
        case WHITE_PEN:
            o = pen(PS_SOLID, RGB(255, 255, 255));
            break;
        case BLACK_PEN:
            o = pen(PS_SOLID, RGB(0, 0, 0));
            break;
        case NULL_PEN:
            o = pen(PS_NULL, 0);
            break;
        case ANSI_FIXED_FONT:
        case ANSI_VAR_FONT:
        case SYSTEM_FONT:
        case DEVICE_DEFAULT_FONT:
        case SYSTEM_FIXED_FONT:
        case DEFAULT_GUI_FONT: {
            auto* f = new Font;
            f->type = OBJ_FONT;
            bool fixed = index == ANSI_FIXED_FONT || index == SYSTEM_FIXED_FONT;
            bool bold = index == SYSTEM_FONT || index == DEVICE_DEFAULT_FONT || index == SYSTEM_FIXED_FONT;
            f->lf.lfHeight = index == DEFAULT_GUI_FONT ? -11 : -13;
            f->lf.lfWeight = bold ? FW_BOLD : FW_NORMAL;
            std::strcpy(f->lf.lfFaceName, fixed ? "Courier New" : "Arial");
            o = f;
            break;
        }
        default:
            return nullptr;
    }
    o->stock = true;
    return o;
}

}  // namespace

DC* ToDC(HDC hdc) {
    if (hdc && t_lastDC.hdc == hdc && t_lastDC.generation == g_dcGeneration.load(std::memory_order_acquire))
        return reinterpret_cast<DC*>(hdc);
    std::lock_guard lock(g_mutex);
    if (!DCs().count(hdc)) return nullptr;
    t_lastDC = {hdc, g_dcGeneration.load(std::memory_order_relaxed)};
    return reinterpret_cast<DC*>(hdc);
}

Object* ToObject(HGDIOBJ obj) {
    return Objects().Contains(obj) ? static_cast<Object*>(obj) : nullptr;
}

size_t ObjectTableSlots() {
    std::lock_guard lock(g_mutex);
    return Objects().Slots();
}

HGDIOBJ Register(Object* obj) {
    std::lock_guard lock(g_mutex);
    Objects().Insert(obj);
    return obj;
}

HDC RegisterDC(DC* dc) {
    std::lock_guard lock(g_mutex);
    DCs().insert(dc);
    return reinterpret_cast<HDC>(dc);
}

void UnregisterDC(DC* dc) {
    std::lock_guard lock(g_mutex);
    DCs().erase(dc);
    g_dcGeneration.fetch_add(1, std::memory_order_release);
}

static void Destroy(Object* obj) {
    {
        std::lock_guard lock(g_mutex);
        Objects().Erase(obj);
    }
    delete obj;
}

void AddRef(Object* obj) {
    if (obj) ++obj->refs;
}

void Release(Object* obj) {
    if (!obj) return;
    if (--obj->refs <= 0 && obj->deletePending && !obj->stock) Destroy(obj);
}

void RetainState(DCState& st) {
    AddRef(st.pen);
    AddRef(st.brush);
    AddRef(st.font);
    if (st.clip) st.clip = cairo_region_copy(st.clip);
}

void ReleaseState(DCState& st) {
    Release(st.pen);
    Release(st.brush);
    Release(st.font);
    if (st.clip) cairo_region_destroy(st.clip);
    st.clip = nullptr;
}

void InitDCObjects(DC* dc) {
    dc->st.pen = ToObjectOf<Pen>(GetStockObject(BLACK_PEN), OBJ_PEN);
    dc->st.brush = ToObjectOf<Brush>(GetStockObject(WHITE_BRUSH), OBJ_BRUSH);
    dc->st.font = DefaultFont();
    AddRef(dc->st.pen);
    AddRef(dc->st.brush);
    AddRef(dc->st.font);
}

Font* DefaultFont() {
    return ToObjectOf<Font>(GetStockObject(SYSTEM_FONT), OBJ_FONT);
}

Bitmap::~Bitmap() {
    if (surface) cairo_surface_destroy(surface);
    if (ownsBits) std::free(bits);
}

Region::~Region() {
    if (rgn) cairo_region_destroy(rgn);
}

}  // namespace qsm::gdi

using namespace qsm::gdi;

HGDIOBJ GetStockObject(int index) {
    static Object* stock[DEFAULT_GUI_FONT + 1] = {};
    static std::once_flag once;
    std::call_once(once, [] {
        for (int i = 0; i <= DEFAULT_GUI_FONT; ++i) {
            stock[i] = MakeStock(i);
            if (stock[i]) Register(stock[i]);
        }
    });
    if (index < 0 || index > DEFAULT_GUI_FONT) return nullptr;
    return stock[index];
}

HPEN CreatePen(int style, int width, COLORREF color) {
    int line = style & PS_STYLE_MASK;
    if (line > PS_INSIDEFRAME) return nullptr;
    auto* p = new Pen;
    p->type = OBJ_PEN;
    p->width = width < 0 ? 0 : width;
    p->color = color & 0xFFFFFF;
    // A pen wider than one unit is geometric with round caps and joins; the broken styles fall back to
    // solid at widths above 1.
    if (p->width > 1) {
        if (line != PS_NULL && line != PS_INSIDEFRAME) line = PS_SOLID;
        p->geometric = true;
        p->style = static_cast<UINT>(line) | PS_GEOMETRIC | PS_ENDCAP_ROUND | PS_JOIN_ROUND;
    } else {
        p->style = static_cast<UINT>(line);
    }
    return reinterpret_cast<HPEN>(Register(p));
}

HPEN CreatePenIndirect(const LOGPEN* pen) {
    if (!pen) return nullptr;
    return CreatePen(static_cast<int>(pen->lopnStyle), pen->lopnWidth.x, pen->lopnColor);
}

HPEN ExtCreatePen(DWORD style, DWORD width, const LOGBRUSH* brush, DWORD styleCount, const DWORD* styles) {
    (void)styles;
    if (!brush || styleCount != 0) return nullptr;
    bool geometric = (style & PS_TYPE_MASK) == PS_GEOMETRIC;
    if (!geometric && width != 1) return nullptr;
    auto* p = new Pen;
    p->type = OBJ_EXTPEN;
    p->style = style;
    p->width = static_cast<int>(width);
    p->geometric = geometric;
    p->color = brush->lbStyle == BS_NULL ? 0 : brush->lbColor & 0xFFFFFF;
    if (brush->lbStyle == BS_NULL) p->style = (style & ~PS_STYLE_MASK) | PS_NULL;
    return reinterpret_cast<HPEN>(Register(p));
}

HBRUSH CreateSolidBrush(COLORREF color) {
    auto* b = new Brush;
    b->type = OBJ_BRUSH;
    b->style = BS_SOLID;
    b->color = color & 0xFFFFFF;
    return reinterpret_cast<HBRUSH>(Register(b));
}

HBRUSH CreateBrushIndirect(const LOGBRUSH* brush) {
    if (!brush) return nullptr;
    if (brush->lbStyle == BS_NULL) {
        auto* b = new Brush;
        b->type = OBJ_BRUSH;
        b->style = BS_NULL;
        return reinterpret_cast<HBRUSH>(Register(b));
    }
    return CreateSolidBrush(brush->lbColor);
}

HBRUSH CreatePatternBrush(HBITMAP bitmap) {
    auto* bm = ToObjectOf<Bitmap>(bitmap, OBJ_BITMAP);
    if (!bm || !bm->surface) return nullptr;
    bm->SyncToSurface();
    cairo_surface_flush(bm->surface);
    auto* b = new Brush;
    b->type = OBJ_BRUSH;
    b->style = BS_PATTERN;
    b->patternW = std::min(bm->width, 8);
    b->patternH = std::min(bm->height, 8);
    b->monoPattern = bm->bitCount == 1 && bm->colors.empty();
    const unsigned char* data = cairo_image_surface_get_data(bm->surface);
    int stride = cairo_image_surface_get_stride(bm->surface);
    for (int y = 0; y < b->patternH; ++y)
        for (int x = 0; x < b->patternW; ++x) {
            uint32_t v;
            std::memcpy(&v, data + static_cast<size_t>(y) * stride + x * 4, 4);
            b->pattern.push_back(v & 0xFFFFFF);
        }
    // The first pixel stands for the brush's colour where a single one is asked for.
    uint32_t first = b->pattern.empty() ? 0 : b->pattern[0];
    b->color = RGB((first >> 16) & 0xFF, (first >> 8) & 0xFF, first & 0xFF);
    return reinterpret_cast<HBRUSH>(Register(b));
}

HFONT CreateFontIndirectA(const LOGFONTA* lf) {
    if (!lf) return nullptr;
    auto* f = new Font;
    f->type = OBJ_FONT;
    f->lf = *lf;
    f->lf.lfFaceName[LF_FACESIZE - 1] = 0;
    return reinterpret_cast<HFONT>(Register(f));
}

HFONT CreateFontA(int height, int width, int escapement, int orientation, int weight, DWORD italic,
                  DWORD underline, DWORD strikeOut, DWORD charSet, DWORD outPrecision, DWORD clipPrecision,
                  DWORD quality, DWORD pitchAndFamily, LPCSTR face) {
    LOGFONTA lf{};
    lf.lfHeight = height;
    lf.lfWidth = width;
    lf.lfEscapement = escapement;
    lf.lfOrientation = orientation;
    lf.lfWeight = weight;
    lf.lfItalic = static_cast<BYTE>(italic);
    lf.lfUnderline = static_cast<BYTE>(underline);
    lf.lfStrikeOut = static_cast<BYTE>(strikeOut);
    lf.lfCharSet = static_cast<BYTE>(charSet);
    lf.lfOutPrecision = static_cast<BYTE>(outPrecision);
    lf.lfClipPrecision = static_cast<BYTE>(clipPrecision);
    lf.lfQuality = static_cast<BYTE>(quality);
    lf.lfPitchAndFamily = static_cast<BYTE>(pitchAndFamily);
    CopyFaceName(lf.lfFaceName, face);
    return CreateFontIndirectA(&lf);
}

DWORD GetObjectType(HGDIOBJ obj) {
    if (DC* dc = ToDC(static_cast<HDC>(obj))) return dc->kind == DCKind::Memory ? OBJ_MEMDC : OBJ_DC;
    Object* o = ToObject(obj);
    return o ? o->type : 0;
}

HGDIOBJ SelectObject(HDC hdc, HGDIOBJ obj) {
    DC* dc = ToDC(hdc);
    Object* o = ToObject(obj);
    if (!dc || !o || o->deletePending) return nullptr;
    if (dc->recording) Record(*dc, "SelectObject", {static_cast<int32_t>(o->type)});
    Object* old = nullptr;
    switch (o->type) {
        case OBJ_PEN:
        case OBJ_EXTPEN:
            old = dc->st.pen;
            dc->st.pen = static_cast<Pen*>(o);
            break;
        case OBJ_BRUSH:
            old = dc->st.brush;
            dc->st.brush = static_cast<Brush*>(o);
            break;
        case OBJ_FONT:
            old = dc->st.font;
            dc->st.font = static_cast<Font*>(o);
            break;
        case OBJ_BITMAP: {
            if (dc->kind != DCKind::Memory) return nullptr;
            auto* bm = static_cast<Bitmap*>(o);
            if (bm != dc->bitmap && bm->refs > 0 && !bm->stock)
                return nullptr;  // a bitmap lives in one DC at a time
            old = dc->bitmap;
            dc->bitmap = bm;
            AddRef(bm);
            SetDCSurface(*dc, bm->surface);
            dc->width = bm->width;
            dc->height = bm->height;
            HGDIOBJ result = old;
            Release(old);
            return result;
        }
        case OBJ_REGION:
            return reinterpret_cast<HGDIOBJ>(
                static_cast<intptr_t>(SelectClipRgn(hdc, static_cast<HRGN>(obj))));
        default:
            return nullptr;
    }
    AddRef(o);
    Release(old);
    return old;
}

HGDIOBJ GetCurrentObject(HDC hdc, UINT type) {
    DC* dc = ToDC(hdc);
    if (!dc) return nullptr;
    switch (type) {
        case OBJ_PEN:
            return dc->st.pen;
        case OBJ_BRUSH:
            return dc->st.brush;
        case OBJ_FONT:
            return dc->st.font;
        case OBJ_BITMAP:
            return dc->bitmap;
        default:
            return nullptr;
    }
}

BOOL DeleteObject(HGDIOBJ obj) {
    Object* o = ToObject(obj);
    if (!o) return FALSE;
    if (o->stock) return TRUE;
    if (o->refs > 0) {
        // Still selected somewhere: it goes when the last DC lets it go.
        o->deletePending = true;
        return TRUE;
    }
    Destroy(o);
    return TRUE;
}

int GetObjectA(HGDIOBJ obj, int size, LPVOID out) {
    Object* o = ToObject(obj);
    if (!o) return 0;
    auto copy = [&](const void* src, int n) {
        if (!out) return n;
        if (size < n) return 0;
        std::memcpy(out, src, static_cast<size_t>(n));
        return n;
    };
    switch (o->type) {
        case OBJ_PEN:
        case OBJ_EXTPEN: {
            auto* p = static_cast<Pen*>(o);
            LOGPEN lp{p->style, {p->width, 0}, p->color};
            return copy(&lp, sizeof lp);
        }
        case OBJ_BRUSH: {
            auto* b = static_cast<Brush*>(o);
            LOGBRUSH lb{b->style, b->color, 0};
            return copy(&lb, sizeof lb);
        }
        case OBJ_FONT:
            return copy(&static_cast<Font*>(o)->lf, sizeof(LOGFONTA));
        case OBJ_BITMAP: {
            auto* b = static_cast<Bitmap*>(o);
            BITMAP bm{0,         b->width,
                      b->height, b->stride ? b->stride : b->width * 4,
                      1,         static_cast<WORD>(b->bitCount),
                      b->bits};
            return copy(&bm, sizeof bm);
        }
        default:
            return 0;
    }
}

#include "score/base/color_palette.h"

#include <cstdio>

#include "core/reg_key.h"
#include "core/sys_info.h"
#include "platform/gdi/gdi.h"
#include "score/base/vocabulary.h"

namespace {
const COLORREF kDefaults[PALETTE_SIZE] = {
    RGB(0, 0, 0),     RGB(204, 204, 204), RGB(255, 255, 255), RGB(240, 240, 240),
    RGB(0, 0, 192),   RGB(0, 0, 0),       RGB(128, 128, 0),   RGB(192, 192, 192),
    RGB(255, 0, 0),   RGB(255, 0, 0),     RGB(0, 255, 0),     RGB(0, 0, 255),
    RGB(255, 255, 0), RGB(0, 255, 255),   RGB(255, 0, 255),   RGB(255, 208, 64),
};
}  // namespace

TColorPalette::TColorPalette() {
    for (int i = 0; i < PALETTE_SIZE; ++i) {
        Colors[i] = kDefaults[i];
        Pens[i] = CreatePen(PS_SOLID, 1, Colors[i]);
    }
}

TColorPalette::~TColorPalette() {
    for (HPEN pen : Pens)
        if (pen) DeleteObject(pen);
}

COLORREF TColorPalette::GetColor(int index) const {
    return Colors[Entry(index)];
}

HPEN TColorPalette::GetPen(int index) const {
    return Pens[Entry(index)];
}

void TColorPalette::SetColor(int index, COLORREF color) {
    if (index < 0 || index >= PALETTE_SIZE || Colors[index] == color) return;
    if (Pens[index]) DeleteObject(Pens[index]);
    Colors[index] = color;
    Pens[index] = CreatePen(PS_SOLID, 1, color);
}

// One decimal number as a scanf "%d" reads it (blanks, a sign, digits), kept to its low 8 bits.
static bool ReadComponent(const char*& p, BYTE& out) {
    while (*p == ' ' || (*p >= '\t' && *p <= '\r'))
        ++p;
    bool negative = *p == '-';
    if (*p == '-' || *p == '+') ++p;
    if (*p < '0' || *p > '9') return false;
    uint64_t value = 0;
    while (*p >= '0' && *p <= '9')
        value = value * 10 + static_cast<uint64_t>(*p++ - '0');
    out = static_cast<BYTE>(negative ? 0 - value : value);
    return true;
}

static bool Expect(const char*& p, char c) {
    if (*p != c) return false;
    ++p;
    return true;
}

COLORREF TColorPalette::ReadColor(const char* text, COLORREF defaultColor) {
    BYTE r = 0, g = 0, b = 0;
    const char* p = text;
    if (!p || !Expect(p, 'R') || !Expect(p, 'G') || !Expect(p, 'B') || !Expect(p, '(') ||
        !ReadComponent(p, r) || !Expect(p, ',') || !ReadComponent(p, g) || !Expect(p, ',') ||
        !ReadComponent(p, b))
        return defaultColor;
    return RGB(r, g, b);
}

// Stored colour values are read into a buffer of this size.
constexpr DWORD kColorTextSize = 29;

void TColorPalette::Load(const TKey& key) {
    for (int i = 0; i < PALETTE_SIZE; ++i) {
        char text[kColorTextSize];
        key.QueryString(text, sizeof(text), "", GetListName(1, i));
        SetColor(i, ReadColor(text, Colors[i]));
    }
}

void TColorPalette::LoadSettings(TSysInfo& store, const char* section) {
    for (int i = 0; i < PALETTE_SIZE; ++i) {
        char text[kColorTextSize];
        store.ReadString(section, GetListName(1, i), "", text, sizeof(text));
        SetColor(i, ReadColor(text, Colors[i]));
    }
}

void TColorPalette::SaveSettings(TSysInfo& store, const char* section) const {
    for (int i = 0; i < PALETTE_SIZE; ++i)
        WriteColor(store, section, GetListName(1, i), Colors[i]);
}

bool TColorPalette::WriteColor(TSysInfo& store, const char* section, const char* name, COLORREF color) {
    char text[32];
    qsm::FormatColor(color, text, sizeof(text));
    return store.WriteString(section, name, text);
}

namespace qsm {
void FormatColor(COLORREF color, char* out, int size) {
    std::snprintf(out, static_cast<size_t>(size), "RGB(%d,%d,%d)", GetRValue(color), GetGValue(color),
                  GetBValue(color));
}
}  // namespace qsm

// A TrueType subset: the glyphs asked for and the components of composite ones, renumbered in order, with
// the tables a PDF reader needs to draw them (cmap, glyf, head, hhea, hmtx, loca, maxp, post). Every read
// of the source tables is bounds-checked: a font file may be damaged.
#include "platform/gdi/font_subset.h"

#include <algorithm>
#include <map>

namespace qsm::gdi {

namespace {

// Byte codes select glyphs through a character map; a subset holds at most one glyph per code.
constexpr size_t kMaxCodes = 256;

// Offsets into the fixed parts of the tables.
constexpr size_t kHeadSize = 54, kHeadChecksum = 8, kHeadUnitsPerEm = 18, kHeadBox = 36, kHeadLocFormat = 50;
constexpr size_t kHheaSize = 36, kHheaAscent = 4, kHheaDescent = 6, kHheaMetrics = 34;
constexpr size_t kMaxpNumGlyphs = 4, kMaxpSize = 6;
constexpr size_t kOs2FsType = 8, kOs2CapHeight = 88;
constexpr size_t kPostItalicAngle = 4, kPostHeader = 32;

// Glyph flags of composite glyphs.
constexpr unsigned kArgsAreWords = 0x0001, kHasScale = 0x0008, kMoreComponents = 0x0020, kHasXYScale = 0x0040,
                   kHasTwoByTwo = 0x0080, kHasInstructions = 0x0100;

unsigned U16(std::string_view s, size_t at) {
    if (at + 2 > s.size()) return 0;
    return static_cast<unsigned>(static_cast<unsigned char>(s[at])) << 8 |
           static_cast<unsigned char>(s[at + 1]);
}

int S16(std::string_view s, size_t at) {
    unsigned v = U16(s, at);
    return v >= 0x8000 ? static_cast<int>(v) - 0x10000 : static_cast<int>(v);
}

uint32_t U32(std::string_view s, size_t at) {
    return static_cast<uint32_t>(U16(s, at)) << 16 | U16(s, at + 2);
}

void Put16(std::string& s, size_t at, unsigned v) {
    s[at] = static_cast<char>((v >> 8) & 0xFF);
    s[at + 1] = static_cast<char>(v & 0xFF);
}

void Put32(std::string& s, size_t at, uint32_t v) {
    Put16(s, at, v >> 16);
    Put16(s, at + 2, v & 0xFFFF);
}

void Add16(std::string& s, unsigned v) {
    s += static_cast<char>((v >> 8) & 0xFF);
    s += static_cast<char>(v & 0xFF);
}

void Add32(std::string& s, uint32_t v) {
    Add16(s, v >> 16);
    Add16(s, v & 0xFFFF);
}

void PadTo4(std::string& s) {
    while (s.size() % 4)
        s += '\0';
}

uint32_t Checksum(const std::string& s) {
    uint32_t sum = 0;
    for (size_t at = 0; at < s.size(); at += 4) {
        uint32_t word = 0;
        for (size_t i = 0; i < 4; ++i)
            word = word << 8 | (at + i < s.size() ? static_cast<unsigned char>(s[at + i]) : 0u);
        sum += word;
    }
    return sum;
}

// The source font's glyph table as the loca table locates it.
class GlyphSource {
public:
    explicit GlyphSource(const SfntTables& t)
        : t_(t),
          glyf_(t.Glyf()),
          count_(U16(t.maxp, kMaxpNumGlyphs)),
          longOffsets_(S16(t.head, kHeadLocFormat) == 1),
          metrics_(U16(t.hhea, kHheaMetrics)) {}

    unsigned Count() const { return count_; }

    // The length of the glyph's description; 0 for a glyph without outline or one the tables cannot place.
    size_t Length(unsigned glyph) const {
        if (glyph >= count_) return 0;
        size_t begin = Offset(glyph), end = Offset(glyph + 1);
        return begin < end && end <= glyf_.size() ? end - begin : 0;
    }

    // The glyph's description; empty for a glyph without outline or one the tables cannot place.
    std::string Data(unsigned glyph) const {
        const size_t length = Length(glyph);
        return length ? std::string(glyf_.substr(Offset(glyph), length)) : std::string();
    }

    // Advance width and left side bearing.
    std::pair<unsigned, unsigned> Metrics(unsigned glyph) const {
        if (metrics_ == 0) return {0, 0};
        const size_t g = glyph, n = metrics_;
        if (g < n) return {U16(t_.hmtx, 4 * g), U16(t_.hmtx, 4 * g + 2)};
        return {U16(t_.hmtx, 4 * (n - 1)), U16(t_.hmtx, 4 * n + 2 * (g - n))};
    }

private:
    size_t Offset(unsigned glyph) const {
        return longOffsets_ ? U32(t_.loca, 4 * static_cast<size_t>(glyph))
                            : 2 * static_cast<size_t>(U16(t_.loca, 2 * static_cast<size_t>(glyph)));
    }

    const SfntTables& t_;
    std::string_view glyf_;
    unsigned count_;
    bool longOffsets_;
    unsigned metrics_;
};

// A simple glyph without its instructions.
std::string SimpleWithoutHints(const std::string& g) {
    int contours = S16(g, 0);
    size_t lengthAt = 10 + 2 * static_cast<size_t>(contours);
    if (lengthAt + 2 > g.size()) return {};
    size_t rest = lengthAt + 2 + U16(g, lengthAt);
    if (rest > g.size()) return {};
    std::string out = g.substr(0, lengthAt);
    Add16(out, 0);
    out.append(g, rest, std::string::npos);
    return out;
}

// A composite glyph with its components renumbered by `renumber` and without its instructions; empty when
// it is damaged.
template <typename Renumber>
std::string CompositeRenumbered(std::string g, Renumber renumber) {
    size_t at = 10;
    for (;;) {
        if (at + 4 > g.size()) return {};
        unsigned flags = U16(g, at);
        Put16(g, at + 2, renumber(U16(g, at + 2)));
        size_t next = at + 4 + ((flags & kArgsAreWords) ? 4 : 2);
        if (flags & kHasScale)
            next += 2;
        else if (flags & kHasXYScale)
            next += 4;
        else if (flags & kHasTwoByTwo)
            next += 8;
        if (next > g.size()) return {};
        if (!(flags & kMoreComponents)) {
            Put16(g, at, flags & ~kHasInstructions);
            g.resize(next);
            return g;
        }
        at = next;
    }
}

// Character maps for byte codes 0..count-1 selecting glyphs 1..count: a Macintosh one (trimmed table) and a
// Windows symbol one, which has the codes both as they are and at U+F000 on.
std::string CharacterMaps(unsigned count) {
    std::string mac;
    Add16(mac, 6);
    Add16(mac, 10 + 2 * count);
    Add16(mac, 0);  // language
    Add16(mac, 0);  // first code
    Add16(mac, count);
    for (unsigned c = 0; c < count; ++c)
        Add16(mac, c + 1);

    const unsigned starts[3] = {0, 0xF000, 0xFFFF};
    const unsigned ends[3] = {count - 1, 0xF000 + count - 1, 0xFFFF};
    std::string win;
    Add16(win, 4);
    Add16(win, 16 + 8 * 3);
    Add16(win, 0);  // language
    Add16(win, 2 * 3);
    Add16(win, 4);  // search range, entry selector and range shift of three segments
    Add16(win, 1);
    Add16(win, 2);
    for (unsigned e : ends)
        Add16(win, e);
    Add16(win, 0);
    for (unsigned s : starts)
        Add16(win, s);
    for (unsigned s : starts)  // glyph = code + delta, modulo 65536; the last segment maps to glyph 0
        Add16(win, (1 + 0x10000 - s) & 0xFFFF);
    for (int i = 0; i < 3; ++i)
        Add16(win, 0);

    std::string cmap;
    Add16(cmap, 0);
    Add16(cmap, 2);
    Add16(cmap, 1);  // Macintosh, Roman
    Add16(cmap, 0);
    Add32(cmap, 4 + 2 * 8);
    Add16(cmap, 3);  // Windows, symbol
    Add16(cmap, 0);
    Add32(cmap, static_cast<uint32_t>(4 + 2 * 8 + mac.size()));
    return cmap + mac + win;
}

}  // namespace

bool FindSfntTable(std::string_view font, unsigned faceIndex, uint32_t tag, std::string_view* table) {
    size_t at = 0;
    if (U32(font, 0) == SfntTag('t', 't', 'c', 'f')) {
        if (font.size() < 12 || faceIndex >= U32(font, 8) || 12 + 4 * size_t{faceIndex} + 4 > font.size())
            return false;
        at = U32(font, 12 + 4 * size_t{faceIndex});
    } else if (faceIndex != 0) {
        return false;
    }
    if (at > font.size() || font.size() - at < 12) return false;
    // TrueType outlines only: the version of a font with them, or Apple's 'true'.
    const uint32_t version = U32(font, at);
    if (version != 0x00010000 && version != SfntTag('t', 'r', 'u', 'e')) return false;
    const size_t tables = U16(font, at + 4);
    if ((font.size() - at - 12) / 16 < tables) return false;
    for (size_t i = 0; i < tables; ++i) {
        const size_t record = at + 12 + 16 * i;
        if (U32(font, record) != tag) continue;
        const size_t offset = U32(font, record + 8), length = U32(font, record + 12);
        if (offset > font.size() || length > font.size() - offset) return false;
        *table = font.substr(offset, length);
        return true;
    }
    return false;
}

bool CanEmbedTrueTypeSubset(const SfntTables& t) {
    if (t.head.size() < kHeadSize || t.hhea.size() < kHheaSize || t.maxp.size() < kMaxpSize ||
        t.hmtx.empty() || t.loca.empty() || t.Glyf().empty())
        return false;
    if (U16(t.head, kHeadUnitsPerEm) == 0 || U16(t.hhea, kHheaMetrics) == 0) return false;
    if (t.os2.size() >= kOs2FsType + 2) {
        unsigned fsType = U16(t.os2, kOs2FsType);
        // Restricted licence, no subsetting, or bitmaps only.
        if ((fsType & 0x000F) == 0x0002 || (fsType & 0x0100) || (fsType & 0x0200)) return false;
    }
    return true;
}

bool ReadSfntMetrics(const SfntTables& t, SfntMetrics* out) {
    if (t.head.size() < kHeadSize || t.hhea.size() < kHheaSize) return false;
    out->unitsPerEm = static_cast<int>(U16(t.head, kHeadUnitsPerEm));
    for (size_t i = 0; i < 4; ++i)
        out->box[i] = S16(t.head, kHeadBox + 2 * i);
    out->ascent = S16(t.hhea, kHheaAscent);
    out->descent = S16(t.hhea, kHheaDescent);
    // The cap height is in the OS/2 table from its version 2 on.
    out->capHeight =
        U16(t.os2, 0) >= 2 && t.os2.size() >= kOs2CapHeight + 2 ? S16(t.os2, kOs2CapHeight) : out->ascent;
    out->italicAngle = t.post.size() >= 8 ? static_cast<int32_t>(U32(t.post, kPostItalicAngle)) / 65536.0 : 0;
    return out->unitsPerEm > 0;
}

unsigned TrueTypeAdvance(const SfntTables& t, unsigned glyph) {
    const GlyphSource source(t);
    return glyph < source.Count() ? source.Metrics(glyph).first : 0;
}

std::string SubsetTrueType(const SfntTables& t, const std::vector<unsigned>& glyphs) {
    if (glyphs.empty() || glyphs.size() > kMaxCodes || !CanEmbedTrueTypeSubset(t)) return {};
    const GlyphSource source(t);

    // The source glyph of each new one; composites add their components as they are met.
    std::vector<unsigned> order{0};
    std::map<unsigned, unsigned> newIds;
    auto idOf = [&](unsigned glyph) {
        if (auto it = newIds.find(glyph); it != newIds.end()) return it->second;
        // A font has room for 65535 glyphs: components beyond that (a damaged font's) are the empty glyph.
        if (order.size() >= 0xFFFF) return 0u;
        newIds.emplace(glyph, static_cast<unsigned>(order.size()));
        order.push_back(glyph);
        return static_cast<unsigned>(order.size() - 1);
    };
    for (unsigned g : glyphs)
        order.push_back(g);  // the same glyph twice keeps its first number
    for (size_t i = 1; i < order.size(); ++i)
        newIds.emplace(order[i], static_cast<unsigned>(i));

    std::string glyf, loca, hmtx;
    std::vector<uint32_t> offsets;
    for (size_t i = 0; i < order.size() && order.size() <= 0xFFFF; ++i) {
        offsets.push_back(static_cast<uint32_t>(glyf.size()));
        // Glyphs hold their own parts of the source's glyph table (a few may share theirs). One that would
        // take the subset's beyond twice that, as a damaged loca table laying many glyphs over one long
        // stretch does, is left empty instead of making the subset many times the font's size.
        const bool fits = glyf.size() + source.Length(order[i]) <= 2 * t.Glyf().size() + 4 * i;
        std::string g = i == 0 || !fits ? std::string() : source.Data(order[i]);
        if (g.size() >= 10) {
            g = S16(g, 0) >= 0 ? SimpleWithoutHints(g) : CompositeRenumbered(std::move(g), idOf);
            glyf += g;
            PadTo4(glyf);
        }
        auto [advance, lsb] = source.Metrics(order[i]);
        Add16(hmtx, advance);
        Add16(hmtx, i == 0 ? 0 : lsb);
    }
    if (order.size() > 0xFFFF) return {};
    offsets.push_back(static_cast<uint32_t>(glyf.size()));
    const unsigned count = static_cast<unsigned>(order.size());
    // Offsets in half words when they fit (every glyph starts on four bytes).
    const bool shortOffsets = glyf.size() <= 0x1FFFE;
    for (uint32_t off : offsets) {
        if (shortOffsets)
            Add16(loca, off / 2);
        else
            Add32(loca, off);
    }
    if (glyf.empty()) glyf.assign(4, '\0');  // readers take an empty table for a missing one

    std::string head = t.head.substr(0, kHeadSize);
    Put32(head, kHeadChecksum, 0);
    Put16(head, kHeadLocFormat, shortOffsets ? 0 : 1);
    std::string hhea = t.hhea.substr(0, kHheaSize);
    Put16(hhea, kHheaMetrics, count);
    std::string maxp = t.maxp;
    Put16(maxp, kMaxpNumGlyphs, count);
    // Format 3: no glyph names.
    std::string post =
        t.post.size() >= kPostHeader ? t.post.substr(0, kPostHeader) : std::string(kPostHeader, '\0');
    Put32(post, 0, 0x00030000);

    const std::pair<uint32_t, const std::string*> tables[] = {
        {SfntTag('c', 'm', 'a', 'p'), nullptr}, {SfntTag('g', 'l', 'y', 'f'), &glyf},
        {SfntTag('h', 'e', 'a', 'd'), &head},   {SfntTag('h', 'h', 'e', 'a'), &hhea},
        {SfntTag('h', 'm', 't', 'x'), &hmtx},   {SfntTag('l', 'o', 'c', 'a'), &loca},
        {SfntTag('m', 'a', 'x', 'p'), &maxp},   {SfntTag('p', 'o', 's', 't'), &post}};
    const std::string cmap = CharacterMaps(static_cast<unsigned>(glyphs.size()));
    constexpr unsigned kTables = 8;
    std::string font;
    Add32(font, 0x00010000);
    Add16(font, kTables);
    Add16(font, 128);  // search range, entry selector and range shift of eight tables
    Add16(font, 3);
    Add16(font, 0);
    std::string body;
    size_t headAt = 0;
    const size_t bodyStart = 12 + 16 * kTables;
    for (const auto& [tag, table] : tables) {
        const std::string& data = table ? *table : cmap;
        if (tag == SfntTag('h', 'e', 'a', 'd')) headAt = bodyStart + body.size();
        Add32(font, tag);
        Add32(font, Checksum(data));
        Add32(font, static_cast<uint32_t>(bodyStart + body.size()));
        Add32(font, static_cast<uint32_t>(data.size()));
        body += data;
        PadTo4(body);
    }
    font += body;
    Put32(font, headAt + kHeadChecksum, 0xB1B0AFBA - Checksum(font));
    return font;
}

}  // namespace qsm::gdi

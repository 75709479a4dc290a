// A font file from outside is cut down to a few of its glyphs for a PDF file, its glyph table read in place
// where it is found there, and the subset is loaded and drawn from again.
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_TRUETYPE_TABLES_H

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/gdi/font_subset.h"

namespace {

std::string Table(FT_Face face, uint32_t tag) {
    FT_ULong length = 0;
    if (FT_Load_Sfnt_Table(face, tag, 0, nullptr, &length) != 0 || length > (1u << 24)) return {};
    std::string data(length, '\0');
    if (FT_Load_Sfnt_Table(face, tag, 0, reinterpret_cast<FT_Byte*>(data.data()), &length) != 0) return {};
    return data;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using qsm::gdi::SfntTag;
    static FT_Library lib = [] {
        FT_Library l = nullptr;
        FT_Init_FreeType(&l);
        return l;
    }();
    FT_Face face = nullptr;
    if (FT_New_Memory_Face(lib, data, static_cast<FT_Long>(size), 0, &face) != 0) return 0;
    qsm::gdi::SfntTables t{
        Table(face, SfntTag('h', 'e', 'a', 'd')), Table(face, SfntTag('h', 'h', 'e', 'a')),
        Table(face, SfntTag('m', 'a', 'x', 'p')), Table(face, SfntTag('h', 'm', 't', 'x')),
        Table(face, SfntTag('l', 'o', 'c', 'a')), Table(face, SfntTag('g', 'l', 'y', 'f')),
        Table(face, SfntTag('O', 'S', '/', '2')), Table(face, SfntTag('p', 'o', 's', 't'))};
    // The glyph table found in the file's bytes, as the writer reads it in place, from any face of it.
    const std::string_view file(reinterpret_cast<const char*>(data), size);
    std::string_view glyf;
    for (unsigned index = 1; index < 3; ++index)
        qsm::gdi::FindSfntTable(file, index, SfntTag('g', 'l', 'y', 'f'), &glyf);
    if (qsm::gdi::FindSfntTable(file, 0, SfntTag('g', 'l', 'y', 'f'), &glyf) && glyf == t.glyf) {
        t.glyf.clear();
        t.glyfIn = glyf;
    }
    qsm::gdi::SfntMetrics metrics;
    qsm::gdi::ReadSfntMetrics(t, &metrics);
    // The first glyphs, the last ones and one beyond the font.
    std::vector<unsigned> glyphs;
    for (unsigned g = 0; g < 8 && g < static_cast<unsigned>(face->num_glyphs); ++g)
        glyphs.push_back(g);
    for (unsigned g = static_cast<unsigned>(face->num_glyphs); g > 8 && glyphs.size() < 12; --g)
        glyphs.push_back(g - 1);
    glyphs.push_back(static_cast<unsigned>(face->num_glyphs) + 1);
    FT_Done_Face(face);
    unsigned advances = 0;
    for (unsigned g : glyphs)
        advances += qsm::gdi::TrueTypeAdvance(t, g);
    if (advances == 1) return 0;  // keeps the reads from being left out
    const std::string subset = qsm::gdi::SubsetTrueType(t, glyphs);
    if (subset.empty()) return 0;
    FT_Face sub = nullptr;
    if (FT_New_Memory_Face(lib, reinterpret_cast<const FT_Byte*>(subset.data()),
                           static_cast<FT_Long>(subset.size()), 0, &sub) != 0)
        return 0;
    FT_Set_Pixel_Sizes(sub, 0, 40);
    for (FT_Long g = 0; g < sub->num_glyphs && g < 64; ++g)
        if (FT_Load_Glyph(sub, static_cast<FT_UInt>(g), FT_LOAD_NO_HINTING) == 0)
            FT_Render_Glyph(sub->glyph, FT_RENDER_MODE_NORMAL);
    FT_Done_Face(sub);
    return 0;
}

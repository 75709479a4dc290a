// Font programs for PDF files: a TrueType font cut down to the glyphs a file shows, read from the tables
// of the source font.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace qsm::gdi {

constexpr uint32_t SfntTag(char a, char b, char c, char d) {
    return static_cast<uint32_t>(static_cast<unsigned char>(a)) << 24 |
           static_cast<uint32_t>(static_cast<unsigned char>(b)) << 16 |
           static_cast<uint32_t>(static_cast<unsigned char>(c)) << 8 | static_cast<unsigned char>(d);
}

// The tables of a font that a subset is made from (empty: the font has none). The glyph table, the largest,
// may instead be read where it lies (`glyfIn`, when `glyf` is empty), in memory that outlives the tables.
struct SfntTables {
    std::string head, hhea, maxp, hmtx, loca, glyf, os2, post;
    std::string_view glyfIn;
    std::string_view Glyf() const { return glyf.empty() ? glyfIn : std::string_view(glyf); }
};

// The table `tag` of the face `faceIndex` of a TrueType font file or collection held in `font`: false when
// the file has no such table or is not one of those.
bool FindSfntTable(std::string_view font, unsigned faceIndex, uint32_t tag, std::string_view* table);

// The figures of a font that a PDF font descriptor gives, in font units.
struct SfntMetrics {
    int unitsPerEm = 1000;
    int box[4] = {0, 0, 0, 0};
    int ascent = 0, descent = 0, capHeight = 0;
    double italicAngle = 0;
};

// Whether the tables are those of a font with TrueType outlines whose licence lets a subset of it be
// embedded in a document.
bool CanEmbedTrueTypeSubset(const SfntTables& tables);

// False when the tables lack what the figures come from.
bool ReadSfntMetrics(const SfntTables& tables, SfntMetrics* out);

// The advance width of a glyph in font units; 0 for a glyph beyond the font.
unsigned TrueTypeAdvance(const SfntTables& tables, unsigned glyph);

// A TrueType font program holding the source's glyphs `glyphs` (at most 256): glyph i + 1 of the result is
// source glyph glyphs[i] and byte code i selects it through the font's character maps; glyph 0 is empty.
// The glyphs that composite glyphs are made of follow. Hinting instructions are left out: the glyphs are
// drawn unhinted, as on the screen. Empty when the tables cannot make a font.
std::string SubsetTrueType(const SfntTables& tables, const std::vector<unsigned>& glyphs);

}  // namespace qsm::gdi

// TrueType subsets: a valid font that FreeType loads, whose glyphs have the outlines and advances of the
// source's, found by their byte codes; composite glyphs keep their components; licences and damaged tables.
#include "platform/gdi/font_subset.h"

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include <gtest/gtest.h>
#include FT_FREETYPE_H
#include FT_TRUETYPE_TABLES_H

#include <algorithm>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

namespace {

using qsm::gdi::SfntTables;
using qsm::gdi::SfntTag;

class Face {
public:
    Face(FT_Library lib, const std::string& path) { FT_New_Face(lib, path.c_str(), 0, &face_); }
    Face(FT_Library lib, const std::string* data) {
        FT_New_Memory_Face(lib, reinterpret_cast<const FT_Byte*>(data->data()),
                           static_cast<FT_Long>(data->size()), 0, &face_);
    }
    ~Face() {
        if (face_) FT_Done_Face(face_);
    }
    FT_Face get() const { return face_; }

    std::string Table(char a, char b, char c, char d) const {
        FT_ULong length = 0;
        if (FT_Load_Sfnt_Table(face_, SfntTag(a, b, c, d), 0, nullptr, &length) != 0) return {};
        std::string data(length, '\0');
        FT_Load_Sfnt_Table(face_, SfntTag(a, b, c, d), 0, reinterpret_cast<FT_Byte*>(data.data()), &length);
        return data;
    }

    SfntTables Tables() const {
        return {Table('h', 'e', 'a', 'd'), Table('h', 'h', 'e', 'a'), Table('m', 'a', 'x', 'p'),
                Table('h', 'm', 't', 'x'), Table('l', 'o', 'c', 'a'), Table('g', 'l', 'y', 'f'),
                Table('O', 'S', '/', '2'), Table('p', 'o', 's', 't')};
    }

    // The glyph's unhinted outline in font units (components resolved) and its advance.
    struct Glyph {
        std::vector<FT_Vector> points;
        std::vector<char> tags;
        std::vector<short> contours;
        FT_Pos advance = 0;
    };
    Glyph Load(unsigned index) const {
        Glyph g;
        if (FT_Load_Glyph(face_, index, FT_LOAD_NO_SCALE | FT_LOAD_NO_HINTING) != 0) return g;
        const FT_Outline& o = face_->glyph->outline;
        g.points.assign(o.points, o.points + o.n_points);
        g.tags.assign(o.tags, o.tags + o.n_points);
        g.contours.assign(o.contours, o.contours + o.n_contours);
        g.advance = face_->glyph->advance.x;
        return g;
    }

    bool IsComposite(unsigned index) const {
        return FT_Load_Glyph(face_, index, FT_LOAD_NO_SCALE | FT_LOAD_NO_RECURSE) == 0 &&
               face_->glyph->format == FT_GLYPH_FORMAT_COMPOSITE;
    }

private:
    FT_Face face_ = nullptr;
};

class FontSubset : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(FT_Init_FreeType(&lib_), 0); }
    void TearDown() override { FT_Done_FreeType(lib_); }

    // Checks that the subset's glyph code + 1 is the source's glyphs[code], drawn alike, and reached through
    // both character maps.
    void ExpectSameGlyphs(const Face& source, const SfntTables& tables, const std::string& subset,
                          const std::vector<unsigned>& glyphs) {
        Face sub(lib_, &subset);
        ASSERT_NE(sub.get(), nullptr);
        EXPECT_GE(sub.get()->num_glyphs, static_cast<FT_Long>(glyphs.size() + 1));
        for (size_t code = 0; code < glyphs.size(); ++code) {
            Face::Glyph a = source.Load(glyphs[code]), b = sub.Load(static_cast<unsigned>(code + 1));
            EXPECT_EQ(a.advance, b.advance) << code;
            EXPECT_EQ(static_cast<FT_Pos>(qsm::gdi::TrueTypeAdvance(tables, glyphs[code])), a.advance)
                << code;
            EXPECT_EQ(a.contours, b.contours) << code;
            EXPECT_EQ(a.tags, b.tags) << code;
            ASSERT_EQ(a.points.size(), b.points.size()) << code;
            for (size_t i = 0; i < a.points.size(); ++i) {
                EXPECT_EQ(a.points[i].x, b.points[i].x);
                EXPECT_EQ(a.points[i].y, b.points[i].y);
            }
        }
        int maps = 0;
        for (int i = 0; i < sub.get()->num_charmaps; ++i) {
            FT_CharMap map = sub.get()->charmaps[i];
            ASSERT_EQ(FT_Set_Charmap(sub.get(), map), 0);
            FT_ULong offset = map->platform_id == 3 ? 0xF000 : 0;
            for (size_t code = 0; code < glyphs.size(); ++code)
                EXPECT_EQ(FT_Get_Char_Index(sub.get(), offset + code), code + 1);
            ++maps;
        }
        EXPECT_EQ(maps, 2);
    }

    FT_Library lib_ = nullptr;
};

std::string FontFile(const char* family) {
    std::string path;
    FcPattern* p = FcNameParse(reinterpret_cast<const FcChar8*>(family));
    FcConfigSubstitute(nullptr, p, FcMatchPattern);
    FcDefaultSubstitute(p);
    FcResult result;
    if (FcPattern* m = FcFontMatch(nullptr, p, &result)) {
        FcChar8* file = nullptr;
        if (FcPatternGetString(m, FC_FILE, 0, &file) == FcResultMatch) path = reinterpret_cast<char*>(file);
        FcPatternDestroy(m);
    }
    FcPatternDestroy(p);
    return path;
}

TEST_F(FontSubset, MusicFontGlyphsKeepTheirOutlines) {
    Face source(lib_, std::string(QSM_FONTS_DIR) + "/qsm2std.ttf");
    ASSERT_NE(source.get(), nullptr);
    const SfntTables tables = source.Tables();
    ASSERT_TRUE(qsm::gdi::CanEmbedTrueTypeSubset(tables));
    // In no order, and the last glyph of the font.
    const std::vector<unsigned> glyphs{5, 1, 40, static_cast<unsigned>(source.get()->num_glyphs - 1), 17};
    const std::string subset = qsm::gdi::SubsetTrueType(tables, glyphs);
    ASSERT_FALSE(subset.empty());
    EXPECT_LT(subset.size(), tables.glyf.size());
    ExpectSameGlyphs(source, tables, subset, glyphs);
}

// The glyph table read where the font file lies in memory: the table FreeType reads, from a single font or
// a collection, and the same subset as from a copy; a file that does not hold it whole gives none.
TEST_F(FontSubset, GlyphTableFoundInPlace) {
    const std::string path = std::string(QSM_FONTS_DIR) + "/qsm2std.ttf";
    Face source(lib_, path);
    ASSERT_NE(source.get(), nullptr);
    std::ifstream in(path, std::ios::binary);
    const std::string file((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const uint32_t tag = SfntTag('g', 'l', 'y', 'f');
    const SfntTables tables = source.Tables();
    std::string_view glyf;
    ASSERT_TRUE(qsm::gdi::FindSfntTable(file, 0, tag, &glyf));
    EXPECT_TRUE(glyf == tables.glyf);
    SfntTables inPlace = tables;
    inPlace.glyf.clear();
    inPlace.glyfIn = glyf;
    const std::vector<unsigned> glyphs{5, 1, 40, 17};
    EXPECT_EQ(qsm::gdi::SubsetTrueType(inPlace, glyphs), qsm::gdi::SubsetTrueType(tables, glyphs));

    // A collection of a face with other outlines, then the font itself behind the collection's header.
    auto be32 = [](uint32_t v) {
        return std::string{static_cast<char>(v >> 24), static_cast<char>(v >> 16), static_cast<char>(v >> 8),
                           static_cast<char>(v)};
    };
    constexpr uint32_t kShift = 32;
    std::string moved = file;
    const size_t count = static_cast<unsigned char>(file[4]) << 8 | static_cast<unsigned char>(file[5]);
    for (size_t i = 0; i < count; ++i) {
        const size_t at = 12 + 16 * i + 8;
        const uint32_t offset = static_cast<uint32_t>(static_cast<unsigned char>(file[at])) << 24 |
                                static_cast<unsigned char>(file[at + 1]) << 16 |
                                static_cast<unsigned char>(file[at + 2]) << 8 |
                                static_cast<unsigned char>(file[at + 3]);
        moved.replace(at, 4, be32(offset + kShift));
    }
    const std::string collection =
        "ttcf" + be32(0x00010000) + be32(2) + be32(20) + be32(kShift) + "OTTO" + std::string(8, '\0') + moved;
    std::string_view found;
    EXPECT_TRUE(qsm::gdi::FindSfntTable(collection, 1, tag, &found) && found == tables.glyf);
    EXPECT_FALSE(qsm::gdi::FindSfntTable(collection, 0, tag, &found));  // no TrueType outlines
    EXPECT_FALSE(qsm::gdi::FindSfntTable(collection, 2, tag, &found));
    EXPECT_FALSE(qsm::gdi::FindSfntTable(file, 1, tag, &found));  // not a collection
    // Cut short: the directory, or the table itself, lies beyond the end.
    EXPECT_FALSE(qsm::gdi::FindSfntTable(file.substr(0, 20), 0, tag, &found));
    EXPECT_FALSE(qsm::gdi::FindSfntTable(
        file.substr(0, static_cast<size_t>(glyf.data() - file.data()) + glyf.size() - 1), 0, tag, &found));
}

TEST_F(FontSubset, CompositeGlyphsBringTheirComponents) {
    const std::string path = FontFile("Liberation Sans");
    if (path.empty()) GTEST_SKIP() << "no Liberation Sans";
    Face source(lib_, path);
    ASSERT_NE(source.get(), nullptr);
    FT_Select_Charmap(source.get(), FT_ENCODING_UNICODE);
    const unsigned accented = FT_Get_Char_Index(source.get(), 0xE9);  // e acute
    ASSERT_TRUE(source.IsComposite(accented));
    std::vector<unsigned> glyphs;
    for (char32_t c : U"Hello, world")
        if (c) glyphs.push_back(FT_Get_Char_Index(source.get(), c));
    glyphs.push_back(accented);
    glyphs.erase(std::unique(glyphs.begin(), glyphs.end()), glyphs.end());
    const SfntTables tables = source.Tables();
    const std::string subset = qsm::gdi::SubsetTrueType(tables, glyphs);
    ASSERT_FALSE(subset.empty());
    // A few glyphs of a font of thousands, without its hinting programs.
    EXPECT_LT(subset.size(), 8000u);
    ExpectSameGlyphs(source, tables, subset, glyphs);
}

TEST_F(FontSubset, LicenceAndDamagedTables) {
    Face source(lib_, std::string(QSM_FONTS_DIR) + "/qsm2std.ttf");
    ASSERT_NE(source.get(), nullptr);
    const SfntTables tables = source.Tables();
    // Licence bits that forbid it: restricted, no subsetting, bitmaps only.
    for (unsigned fsType : {0x0002u, 0x0100u, 0x0200u}) {
        SfntTables t = tables;
        t.os2[8] = static_cast<char>(fsType >> 8);
        t.os2[9] = static_cast<char>(fsType & 0xFF);
        EXPECT_FALSE(qsm::gdi::CanEmbedTrueTypeSubset(t)) << fsType;
        EXPECT_TRUE(qsm::gdi::SubsetTrueType(t, {1}).empty());
    }
    // Outlines in another format: no glyph table.
    SfntTables cff = tables;
    cff.glyf.clear();
    cff.loca.clear();
    EXPECT_FALSE(qsm::gdi::CanEmbedTrueTypeSubset(cff));
    // Cut tables and glyphs beyond the font: a font still, the glyphs that cannot be read left empty.
    std::vector<unsigned> glyphs{1, 2, 3, 60000};
    for (std::string SfntTables::*table : {&SfntTables::glyf, &SfntTables::loca, &SfntTables::hmtx}) {
        SfntTables t = tables;
        (t.*table).resize((t.*table).size() / 3);
        const std::string subset = qsm::gdi::SubsetTrueType(t, glyphs);
        ASSERT_FALSE(subset.empty());
        Face sub(lib_, &subset);
        ASSERT_NE(sub.get(), nullptr);
        for (unsigned i = 0; i <= glyphs.size(); ++i)
            EXPECT_EQ(FT_Load_Glyph(sub.get(), i, FT_LOAD_NO_SCALE | FT_LOAD_NO_HINTING), 0);
    }
    // A loca table that lays every other glyph over one long stretch, and a composite glyph made of those
    // glyphs: no subset many times the font's size.
    {
        SfntTables t = tables;
        constexpr unsigned kComponents = 2000;
        constexpr size_t kStretch = 16384;
        auto put16 = [](std::string& s, unsigned v) {
            s += static_cast<char>(v >> 8);
            s += static_cast<char>(v & 0xFF);
        };
        t.glyf.assign(10, '\0');
        t.glyf[0] = t.glyf[1] = static_cast<char>(0xFF);  // a composite
        for (unsigned k = 0; k < kComponents; ++k) {
            put16(t.glyf, k + 1 < kComponents ? 0x0020 : 0);  // more components follow, byte arguments
            put16(t.glyf, 2 + 2 * k);
            put16(t.glyf, 0);
        }
        const size_t simple = t.glyf.size();
        put16(t.glyf, 1);  // one contour of one point, no instructions, then the long stretch
        t.glyf.append(8, '\0');
        put16(t.glyf, 0);
        put16(t.glyf, 0);
        t.glyf += '\x01';
        t.glyf.resize(simple + kStretch, '\0');
        t.loca.clear();
        auto put32 = [&](uint32_t v) {
            put16(t.loca, v >> 16);
            put16(t.loca, v & 0xFFFF);
        };
        put32(0);
        put32(0);
        for (unsigned g = 2; g < 2 + 2 * kComponents + 1; g += 2) {
            put32(static_cast<uint32_t>(simple));
            put32(static_cast<uint32_t>(t.glyf.size()));
        }
        t.head[50] = 0;
        t.head[51] = 1;  // long offsets
        t.maxp[4] = t.maxp[5] = static_cast<char>(0xFF);
        const std::string subset = qsm::gdi::SubsetTrueType(t, {1});
        EXPECT_LE(subset.size(), 4 * t.glyf.size());
        // A font still, the glyphs beyond the bound left empty.
        Face sub(lib_, &subset);
        ASSERT_NE(sub.get(), nullptr);
        EXPECT_EQ(FT_Load_Glyph(sub.get(), sub.get()->num_glyphs - 1, FT_LOAD_NO_SCALE | FT_LOAD_NO_HINTING),
                  0);
    }
    // A composite glyph of more components than a font has room for: a font still.
    {
        SfntTables t = tables;
        t.glyf.assign(10, '\0');
        t.glyf[0] = t.glyf[1] = static_cast<char>(0xFF);
        for (unsigned g = 2; g <= 0xFFFF; ++g) {
            const unsigned flags = g < 0xFFFF ? 0x0020 : 0;
            for (unsigned v : {flags, g, 0u}) {
                t.glyf += static_cast<char>(v >> 8);
                t.glyf += static_cast<char>(v & 0xFF);
            }
        }
        // Glyph 1 is the composite; every other glyph is empty.
        t.loca.assign(4 * 0x10000, '\0');
        const uint32_t end = static_cast<uint32_t>(t.glyf.size());
        for (size_t g = 2; g <= 0xFFFF; ++g)
            for (size_t b = 0; b < 4; ++b)
                t.loca[4 * g + b] = static_cast<char>(end >> (24 - 8 * b));
        t.head[50] = 0;
        t.head[51] = 1;
        t.maxp[4] = t.maxp[5] = static_cast<char>(0xFF);
        const std::string subset = qsm::gdi::SubsetTrueType(t, {1});
        ASSERT_FALSE(subset.empty());
        Face sub(lib_, &subset);
        ASSERT_NE(sub.get(), nullptr);
        EXPECT_EQ(sub.get()->num_glyphs, 0xFFFF);
    }
    EXPECT_EQ(qsm::gdi::TrueTypeAdvance(tables, 60000), 0u);
    EXPECT_TRUE(qsm::gdi::SubsetTrueType(tables, {}).empty());
    EXPECT_TRUE(qsm::gdi::SubsetTrueType(tables, std::vector<unsigned>(257, 1)).empty());
}

}  // namespace

// Fonts in PDF files: faces with TrueType outlines are embedded as subsets of their glyphs (a named subset
// with widths, characters and a font program that FreeType loads, drawn upright), each glyph once; styles
// that are made from a face's outlines (bold, slanted) embed the outlines as they are drawn.
#include <ft2build.h>
#include <gtest/gtest.h>
#include <unistd.h>
#include <zlib.h>
#include FT_FREETYPE_H

#include <cstdio>
#include <cstring>
#include <fstream>
#include <functional>
#include <iterator>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "platform/gdi/gdi.h"
#include "platform/gdi/gdi_surface.h"

namespace {

std::string Inflate(const std::string& data) {
    std::vector<unsigned char> out(1 << 22);
    uLongf size = out.size();
    if (uncompress(out.data(), &size, reinterpret_cast<const Bytef*>(data.data()), data.size()) != Z_OK)
        return {};
    return std::string(out.begin(), out.begin() + static_cast<long>(size));
}

// A file of one A4 page at 600 dpi drawn by `draw`.
std::string DrawFile(const std::function<void(HDC)>& draw) {
    std::string path =
        std::string(::testing::TempDir()) + "/gdi_pdf_fonts_" + std::to_string(getpid()) + ".pdf";
    HDC dc = qsm::gdi::CreatePdfDC(nullptr, 595.0, 842.0, 600);
    DOCINFOA di{sizeof(DOCINFOA), "test", path.c_str(), nullptr, 0};
    EXPECT_GT(StartDocA(dc, &di), 0);
    EXPECT_GT(StartPage(dc), 0);
    SetBkMode(dc, TRANSPARENT);
    draw(dc);
    EXPECT_GT(EndPage(dc), 0);
    EXPECT_GT(EndDoc(dc), 0);
    DeleteDC(dc);
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    std::remove(path.c_str());
    return ss.str();
}

// Where object `id` begins.
size_t ObjectAt(const std::string& file, const std::string& id) {
    std::string head = "\n";
    head += id;
    head += " 0 obj\n";
    return file.find(head);
}

// The inflated stream of object `id`.
std::string Stream(const std::string& file, const std::string& id) {
    size_t at = ObjectAt(file, id);
    if (at == std::string::npos) return {};
    size_t begin = file.find("stream\n", at) + 7, end = file.find("\nendstream", begin);
    return Inflate(file.substr(begin, end - begin));
}

// The page's content: the stream that shows text.
std::string Content(const std::string& file) {
    for (size_t at = file.find("stream\n"); at != std::string::npos; at = file.find("stream\n", at + 1)) {
        size_t begin = at + 7, end = file.find("\nendstream", begin);
        std::string data = Inflate(file.substr(begin, end - begin));
        if (data.find("BT\n") != std::string::npos) return data;
    }
    return {};
}

// The font dictionaries of the file.
std::vector<std::string> Fonts(const std::string& file) {
    std::vector<std::string> fonts;
    std::regex dict(R"(<</Type/Font/Subtype/[^\n]*>>)");
    for (auto it = std::sregex_iterator(file.begin(), file.end(), dict); it != std::sregex_iterator(); ++it)
        fonts.push_back(it->str());
    return fonts;
}

void Text(HDC dc, const char* face, int weight, BYTE charset, int y, const char* text) {
    LOGFONTA lf{};
    lf.lfHeight = -80;
    lf.lfWeight = weight;
    lf.lfCharSet = charset;
    CopyFaceName(lf.lfFaceName, face);
    HFONT font = CreateFontIndirectA(&lf);
    HGDIOBJ old = SelectObject(dc, font);
    TextOutA(dc, 300, y, text, static_cast<int>(strlen(text)));
    SelectObject(dc, old);
    DeleteObject(font);
}

TEST(GdiPdfFonts, TrueTypeFacesAreEmbeddedAsSubsets) {
    const std::string file = DrawFile([](HDC dc) {
        Text(dc, "Liberation Sans", FW_NORMAL, ANSI_CHARSET, 500, "a word");
        Text(dc, "Liberation Sans", FW_NORMAL, ANSI_CHARSET, 700, "word");  // nothing new
    });
    std::vector<std::string> fonts = Fonts(file);
    ASSERT_EQ(fonts.size(), 1u);
    std::smatch m;
    ASSERT_TRUE(
        std::regex_search(fonts[0], m,
                          std::regex(R"(/Subtype/TrueType/BaseFont/[A-Z]{6}\+LiberationSans/)"
                                     R"(FirstChar 0/LastChar 5/Widths\[([0-9. ]+)\]/FontDescriptor (\d+) 0 R)"
                                     R"(/ToUnicode (\d+) 0 R>>)")));
    // Codes in the order first shown: a, space, w, o, r, d.
    std::istringstream widths(m[1].str());
    std::vector<double> w{std::istream_iterator<double>(widths), std::istream_iterator<double>()};
    ASSERT_EQ(w.size(), 6u);
    EXPECT_NEAR(w[1], 277.8, 0.1);  // the space: 569 of 2048 units
    EXPECT_NE(Stream(file, m[3].str()).find("<03><006f>"), std::string::npos);
    // The descriptor names the program; the program holds the six glyphs and the empty glyph 0.
    size_t at = ObjectAt(file, m[2].str());
    ASSERT_NE(at, std::string::npos);
    std::smatch program;
    const std::string descriptor = file.substr(at, file.find("endobj", at) - at);
    ASSERT_TRUE(std::regex_search(descriptor, program, std::regex(R"(/FontFile2 (\d+) 0 R)")));
    const std::string font = Stream(file, program[1].str());
    ASSERT_FALSE(font.empty());
    FT_Library lib;
    ASSERT_EQ(FT_Init_FreeType(&lib), 0);
    FT_Face face = nullptr;
    ASSERT_EQ(FT_New_Memory_Face(lib, reinterpret_cast<const FT_Byte*>(font.data()),
                                 static_cast<FT_Long>(font.size()), 0, &face),
              0);
    EXPECT_EQ(face->num_glyphs, 7);
    FT_Done_Face(face);
    FT_Done_FreeType(lib);
    // Text objects turn the font's upward glyph space upright on the downward page.
    EXPECT_TRUE(std::regex_search(Content(file), std::regex(R"(BT\n.*\n/F0 [0-9.]+ Tf\n1 0 0 -1 600 )")));
}

TEST(GdiPdfFonts, SynthesisedStylesEmbedTheirOutlines) {
    const std::string path = std::string(QSM_FONTS_DIR) + "/qsm2stda.ttf";
    ASSERT_EQ(AddFontResourceExA(path.c_str(), FR_PRIVATE, nullptr), 1);
    // The music font has no bold face: bold is made from its outlines, as on the screen.
    const std::string file = DrawFile([](HDC dc) {
        Text(dc, "QSM2STDA", FW_NORMAL, SYMBOL_CHARSET, 500, "\x64\x65");
        Text(dc, "QSM2STDA", FW_BOLD, SYMBOL_CHARSET, 900, "\x64");
    });
    EXPECT_TRUE(RemoveFontResourceExA(path.c_str(), FR_PRIVATE, nullptr));
    std::vector<std::string> fonts = Fonts(file);
    ASSERT_EQ(fonts.size(), 2u);
    int trueType = 0, type3 = 0;
    for (const std::string& f : fonts) {
        trueType += f.find("/Subtype/TrueType/BaseFont/") != std::string::npos &&
                    f.find("+QSM2STDA/FirstChar 0/LastChar 1/") != std::string::npos;
        type3 += f.find("/Subtype/Type3/") != std::string::npos;
    }
    EXPECT_EQ(trueType, 1);
    EXPECT_EQ(type3, 1);
}

TEST(GdiPdfFonts, FacesWithOtherOutlinesEmbedTheirOutlines) {
    const std::string file =
        DrawFile([](HDC dc) { Text(dc, "Nimbus Sans", FW_NORMAL, ANSI_CHARSET, 500, "Rq"); });
    std::vector<std::string> fonts = Fonts(file);
    ASSERT_EQ(fonts.size(), 1u);
    if (file.find("/FontName/NimbusSans") == std::string::npos) GTEST_SKIP() << "no Nimbus Sans";
    // Its outlines are not TrueType ones.
    EXPECT_NE(fonts[0].find("/Subtype/Type3/"), std::string::npos);
    EXPECT_NE(fonts[0].find("/FontMatrix[0.001 0 0 0.001 0 0]"), std::string::npos);
}

}  // namespace

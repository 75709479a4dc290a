// A PDF of many pages, whose content streams are deflated beside the drawing of the next pages: every
// object lies where the cross-reference table says, in the order written, and every page holds its own
// content, whatever else was written while earlier pages waited for their deflating, and however soon the
// file is ended; and font programs made beside the last page's deflating come out the same each time.
#include <gtest/gtest.h>
#include <unistd.h>
#include <zlib.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "platform/gdi/pdf_writer.h"

namespace {

using qsm::gdi::PdfWriter;

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

// The object `id` of the file: its text from "N 0 obj" on, found by the cross-reference table.
std::string ObjectAt(const std::string& pdf, int id) {
    size_t xref = static_cast<size_t>(std::atoll(pdf.c_str() + pdf.rfind("startxref\n") + 10));
    size_t entry = pdf.find('\n', pdf.find('\n', xref) + 1) + 1 + 20 * static_cast<size_t>(id);
    size_t at = static_cast<size_t>(std::atoll(pdf.c_str() + entry));
    return pdf.substr(at, pdf.find("endobj", at) - at);
}

// The bytes of the stream object `id` as the file holds them.
std::string RawStreamOf(const std::string& pdf, int id) {
    std::string obj = ObjectAt(pdf, id);
    size_t begin = obj.find("stream\n") + 7;
    return obj.substr(begin, obj.rfind("\nendstream") - begin);
}

// The bytes of the stream object `id`, inflated where it says so.
std::string StreamOf(const std::string& pdf, int id) {
    std::string body = RawStreamOf(pdf, id);
    if (ObjectAt(pdf, id).find("/FlateDecode") == std::string::npos) return body;
    std::vector<unsigned char> out(1 << 22);
    uLongf size = out.size();
    if (uncompress(out.data(), &size, reinterpret_cast<const Bytef*>(body.data()), body.size()) != Z_OK)
        return "(broken)";
    return std::string(out.begin(), out.begin() + static_cast<long>(size));
}

// The threads of this process.
size_t ThreadCount() {
    return static_cast<size_t>(std::distance(std::filesystem::directory_iterator("/proc/self/task"),
                                             std::filesystem::directory_iterator()));
}

// The content stream object of each page, in the order of the page tree.
std::vector<int> PageContentIds(const std::string& pdf, int pages) {
    std::vector<int> ids;
    const std::string tree = ObjectAt(pdf, 2);
    size_t kid = tree.find("/Kids[") + 6;
    for (int p = 0; p < pages; ++p) {
        const int page = std::atoi(tree.c_str() + kid);
        kid = tree.find(" R", kid) + 3;
        const std::string pageObj = ObjectAt(pdf, page);
        ids.push_back(std::atoi(pageObj.c_str() + pageObj.find("/Contents ") + 10));
    }
    return ids;
}

// The content of each page, in the order of the page tree.
std::vector<std::string> PageContents(const std::string& pdf, int pages) {
    std::vector<std::string> contents;
    for (int id : PageContentIds(pdf, pages))
        contents.push_back(StreamOf(pdf, id));
    return contents;
}

TEST(GdiPdfPages, PagesDeflatedAsideLandInOrderWithWhatWasWrittenMeanwhile) {
    const std::string path =
        std::string(::testing::TempDir()) + "/gdi_pdf_pages_" + std::to_string(getpid()) + ".pdf";
    constexpr int kPages = 12;
    PdfWriter w;
    ASSERT_TRUE(w.Open(path, 595, 842, 0.12));
    std::vector<uint32_t> pixels(64 * 64);
    for (int p = 0; p < kPages; ++p) {
        w.BeginPage();
        w.MoveTo(5000 + p, 7);  // the page's own mark: the path is written from there
        w.LineTo(0, 0);
        // Pages of different lengths finish their deflating in any order; the longer ones are fed to their
        // thread in many pieces while they are drawn.
        for (int i = 0; i < (p % 3 + 1) * 4000; ++i) {
            w.MoveTo(i % 977, p * 10 + i % 13);
            w.LineTo(i % 31, p);
            if (i % (100 + 300 * p) == 0) w.Stroke();
        }
        w.Stroke();
        // An image object is written while the pages before are still being deflated.
        if (p % 4 == 1) {
            for (size_t i = 0; i < pixels.size(); ++i)
                pixels[i] = static_cast<uint32_t>(i * 2654435761u + p);
            const double m[6] = {1, 0, 0, 1, 10, 10};
            w.DrawImage(64, 64, pixels.data(), m);
        }
        ASSERT_TRUE(w.EndPage());
    }
    ASSERT_TRUE(w.Finish());

    const std::string pdf = ReadFile(path);
    std::remove(path.c_str());
    const size_t xref = static_cast<size_t>(std::atoll(pdf.c_str() + pdf.rfind("startxref\n") + 10));
    const int objects = std::atoi(pdf.c_str() + xref + 7) - 1;
    size_t previous = 0;
    for (int id = 1; id <= objects; ++id) {
        const std::string head = std::to_string(id) + " 0 obj\n";
        const std::string obj = ObjectAt(pdf, id);
        ASSERT_EQ(obj.compare(0, head.size(), head), 0) << "object " << id;
        const size_t at = pdf.find(obj);
        if (id > 3) {  // 2 and 3 are written at the end
            EXPECT_GT(at, previous) << "object " << id;
            previous = at;
        }
    }
    // The page tree lists the pages in order; each page's content holds its own drawing.
    const std::vector<std::string> contents = PageContents(pdf, kPages);
    for (int p = 0; p < kPages; ++p) {
        const std::string& content = contents[static_cast<size_t>(p)];
        for (int other = 0; other < kPages; ++other)
            EXPECT_EQ(content.find(std::to_string(5000 + other) + " 7 cm\n") != std::string::npos, other == p)
                << "page " << p + 1 << ", mark of page " << other + 1;
        EXPECT_EQ(content.find(" Do ") != std::string::npos, p % 4 == 1) << "page " << p + 1;
    }
    // A writer given up in the middle of a long page leaves no thread waiting for the rest of it: the
    // process's threads come back to as many as before (waited for; a thread left waiting would hang here).
    const size_t before = ThreadCount();
    for (int i = 0; i < 3; ++i) {
        PdfWriter given;
        ASSERT_TRUE(given.Open(path, 595, 842, 0.12));
        given.BeginPage();
        for (int j = 0; j < 3000; ++j) {
            given.MoveTo(j, i);
            given.LineTo(j % 7, j);
            given.Stroke();
        }
    }
    while (ThreadCount() > before)
        std::this_thread::yield();
    std::remove(path.c_str());
}

// Pages deflated while they are drawn, in pieces of any size, give the very file of pages deflated once
// ended.
TEST(GdiPdfPages, PagesFedWhileDrawnGiveTheSameFile) {
    const std::string path =
        std::string(::testing::TempDir()) + "/gdi_pdf_fed_" + std::to_string(getpid()) + ".pdf";
    std::string files[4];
    const size_t chunks[4] = {0, 1, 777, 8192};
    for (int f = 0; f < 4; ++f) {
        PdfWriter w;
        w.SetFeedChunk(chunks[f]);
        ASSERT_TRUE(w.Open(path, 595, 842, 0.12));
        for (int p = 0; p < 3; ++p) {
            w.BeginPage();
            for (int i = 0; i < 3000 * (p + 1); ++i) {
                w.MoveTo(i % 977, p * 10 + i % 13);
                w.CurveTo(i % 31, p, i % 7, i % 5, i % 11, i);
                if (i % (3 + 50 * p) == 0) w.Stroke();
            }
            w.Fill(false);
            ASSERT_TRUE(w.EndPage());
        }
        ASSERT_TRUE(w.Finish());
        files[f] = ReadFile(path);
    }
    std::remove(path.c_str());
    for (int f = 1; f < 4; ++f)
        EXPECT_TRUE(files[f] == files[0]) << "fed in pieces of " << chunks[f];
}

}  // namespace

// Files ended as soon as their pages are: the writer takes up the deflating of pages whose thread has not
// begun, and every page still holds its own content, however the two met.
TEST(GdiPdfPages, FilesEndedAtOnceHoldEveryPage) {
    const std::string path =
        std::string(::testing::TempDir()) + "/gdi_pdf_ended_" + std::to_string(getpid()) + ".pdf";
    for (int file = 0; file < 40; ++file) {
        constexpr int kPages = 4;
        {
            PdfWriter w;
            ASSERT_TRUE(w.Open(path, 595, 842, 0.12));
            for (int p = 0; p < kPages; ++p) {
                w.BeginPage();
                for (int i = 0; i < 200 * (p + 1); ++i) {
                    w.MoveTo(i % 97, p);
                    w.LineTo(7000 + 10 * file + p, i % 13);
                }
                w.Stroke();
                ASSERT_TRUE(w.EndPage());
            }
            ASSERT_TRUE(w.Finish());
        }
        const std::string pdf = ReadFile(path);
        const std::vector<std::string> contents = PageContents(pdf, kPages);
        for (int p = 0; p < kPages; ++p) {
            const std::string& content = contents[static_cast<size_t>(p)];
            std::string mark = "\n";
            mark += std::to_string(7000 + 10 * file + p);
            mark += ' ';
            EXPECT_NE(content.find(mark), std::string::npos) << "file " << file << ", page " << p + 1;
        }
    }
    std::remove(path.c_str());
}

namespace {

// A font file whose tables the writer reads.
struct FontFile {
    std::string data;
    static bool Table(const void* context, uint32_t tag, std::string* out) {
        const std::string& d = static_cast<const FontFile*>(context)->data;
        auto u32 = [&](size_t at) {
            uint32_t v = 0;
            for (size_t i = 0; i < 4; ++i)
                v = v << 8 | static_cast<uint8_t>(d[at + i]);
            return v;
        };
        if (d.size() < 12) return false;
        const size_t tables =
            static_cast<size_t>(static_cast<uint8_t>(d[4]) << 8 | static_cast<uint8_t>(d[5]));
        for (size_t i = 0; i < tables && 28 + 16 * i <= d.size(); ++i) {
            const size_t record = 12 + 16 * i;
            if (u32(record) != tag) continue;
            const size_t at = u32(record + 8), length = u32(record + 12);
            if (at + length > d.size()) return false;
            *out = d.substr(at, length);
            return true;
        }
        return false;
    }
};

}  // namespace

TEST(GdiPdfPages, FontProgramsMadeBesideTheLastPageComeOutTheSameEachTime) {
    const std::string path =
        std::string(::testing::TempDir()) + "/gdi_pdf_programs_" + std::to_string(getpid()) + ".pdf";
    // Three faces, two of them the same file under keys of their own: three font programs.
    FontFile faces[3] = {{ReadFile(QSM_FONTS_DIR "/qsm2std.ttf")},
                         {ReadFile(QSM_FONTS_DIR "/qsm2stda.ttf")},
                         {ReadFile(QSM_FONTS_DIR "/qsm2std.ttf")}};
    ASSERT_FALSE(faces[0].data.empty());
    ASSERT_FALSE(faces[1].data.empty());
    std::string first;
    for (int file = 0; file < 20; ++file) {
        {
            PdfWriter w;
            ASSERT_TRUE(w.Open(path, 595, 842, 0.12));
            for (int p = 0; p < 2; ++p) {
                w.BeginPage();
                for (int f = 0; f < 3; ++f) {
                    qsm::gdi::PdfFontInfo info;
                    info.key = &faces[f];
                    info.name = "Face" + std::to_string(f);
                    info.table = FontFile::Table;
                    info.tableContext = &faces[f];
                    std::vector<qsm::gdi::PdfGlyphPos> glyphs;
                    for (unsigned g = 1; g < 92; g += 1 + static_cast<unsigned>(f + p))
                        glyphs.push_back({g, 100.0 + g * 10, 100.0 + f * 50, 0});
                    w.ShowGlyphs(info, 12, {}, glyphs.data(), glyphs.size(), nullptr, nullptr);
                }
                ASSERT_TRUE(w.EndPage());
            }
            ASSERT_TRUE(w.Finish());
        }
        const std::string pdf = ReadFile(path);
        if (file == 0) {
            first = pdf;
            size_t programs = 0;
            for (size_t at = pdf.find("/FontFile2"); at != std::string::npos;
                 at = pdf.find("/FontFile2", at + 1))
                ++programs;
            EXPECT_EQ(programs, 3u);
        } else {
            ASSERT_EQ(pdf, first) << "file " << file;
        }
    }
    std::remove(path.c_str());
}

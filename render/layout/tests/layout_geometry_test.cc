// Layout checks that judge what is drawn by its geometry, not by an earlier output: every system of every
// test score is drawn into a recording DC and the logged glyphs and lines are measured.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "core/file_stream.h"
#include "core/ram_stream.h"
#include "midi/smf_convert.h"
#include "midi/smf_file.h"
#include "platform/gdi/gdi_surface.h"
#include "render/hooks.h"
#include "render/layout/layout_record.h"
#include "render/layout/score_draw_info.h"
#include "render/layout/staff_draw_info.h"
#include "render/layout/system_run.h"
#include "render/layout/tests/layout_fixture.h"
#include "score/music_score.h"
#include "score/music_staff.h"
#include "score/song_note.h"

namespace {

struct Glyph {
    int glyph = -1;
    int x = 0, y = 0;
    int width = 0;
};

struct Line {
    int x1, y1, x2, y2, pen;
};

bool IsHead(int g) {
    return g == 5 || g == 6 || g == 7;
}
bool IsAccidental(int g) {
    return g == 8 || g == 9 || g == 10 || g == 42 || g == 43;
}
bool IsClef(int g) {
    return g == 2 || g == 3 || g == 4 || g == 53;
}

// Adds a failure for each of the first 20 `faults`.
void Report(const std::vector<std::string>& faults);

class LayoutGeometryTest : public qsm::test::FixedMetricsTest {
protected:
    // The glyph a one-character text call of the music fonts drew, -1 for other text.
    int GlyphOf(const qsm::gdi::GdiRecord& r) const {
        // Lyrics and other texts are written in text fonts: one-letter words are no glyphs.
        if (r.fontFace.compare(0, 4, "QSM2") != 0) return -1;
        int code = -1;
        if (r.op == "TextOutA" && r.text.size() == 1) code = static_cast<unsigned char>(r.text[0]);
        if (r.op == "TextOutW" && r.wtext.size() == 1)
            code = r.wtext[0] >= 0xF000 ? r.wtext[0] - 0xF000 : r.wtext[0];
        if (code < 0) return -1;
        for (int g = 0; g < kGlyphCount; ++g)
            if (GetGlyphCode(g) == code && fonts->GetGlyphWidth(g) > 0) return g;
        return -1;
    }

    void Collect(std::vector<Glyph>& glyphs, std::vector<Line>& lines) const {
        int mx = 0, my = 0;
        for (const auto& r : qsm::gdi::GetRecords(dc)) {
            if (r.op == "MoveToEx" && r.args.size() >= 2) {
                mx = r.args[0];
                my = r.args[1];
            } else if (r.op == "LineTo" && r.args.size() >= 2) {
                lines.push_back({mx, my, r.args[0], r.args[1], r.penWidth});
                mx = r.args[0];
                my = r.args[1];
            } else {
                int g = GlyphOf(r);
                if (g >= 0 && r.args.size() >= 2) {
                    // Cue glyphs are drawn with a smaller font: their width is two thirds.
                    int w = fonts->GetGlyphWidth(g);
                    if (r.fontHeight != 0 && cueHeight != 0 && r.fontHeight == cueHeight) w = w * 2 / 3;
                    glyphs.push_back({g, r.args[0], r.args[1], w});
                }
            }
        }
    }

    // Checks one drawn system; returns a description of every fault found.
    std::vector<std::string> CheckSystem(TScoreDrawInfo& s, int left, int top0, const std::string& where) {
        std::vector<std::string> faults;
        std::vector<Glyph> glyphs;
        std::vector<Line> lines;
        Collect(glyphs, lines);
        const int u = fonts->StaffSpace;
        const int tol = std::max(fonts->StemPenWidth, 1) + 1;
        auto fault = [&](const std::string& what) { faults.push_back(where + ": " + what); };

        // A stem meets its head column: the head at the stem's own end touches the stem with its right
        // edge (stem up) or its left edge (stem down).
        // Bar lines run from an outer staff line to an outer staff line; stems do not.
        std::set<int> outerLines;
        for (int i = 0; i < s.GetStaffCount(); ++i) {
            const TStaffDrawInfo& st = *s.GetStaffDrawInfo(i);
            if (st.IsHidden() || st.LineCount <= 0) continue;
            outerLines.insert(top0 + st.Y + u / 2 * st.GetOuterLineStep(-1));
            outerLines.insert(top0 + st.Y + u / 2 * st.GetOuterLineStep(1));
        }
        for (const Line& l : lines) {
            if (l.x1 != l.x2 || l.y1 == l.y2 || l.pen != fonts->StemPenWidth) continue;
            if (outerLines.count(l.y1) && outerLines.count(l.y2)) continue;
            bool up = l.y2 < l.y1;
            // The head the stem starts from: the nearest in height among the heads around it.
            const Glyph* near = nullptr;
            int best = u + 1;
            for (const Glyph& g : glyphs) {
                if (!IsHead(g.glyph) || l.x1 < g.x - g.width || l.x1 > g.x + 2 * g.width) continue;
                best = std::min(best, std::abs(g.y - l.y1));
            }
            bool touches = false;
            for (const Glyph& g : glyphs) {
                if (!IsHead(g.glyph) || l.x1 < g.x - g.width || l.x1 > g.x + 2 * g.width) continue;
                if (std::abs(g.y - l.y1) != best) continue;
                near = &g;
                int edge = up ? g.x + g.width : g.x;
                if (std::abs(edge - l.x1) <= tol) touches = true;
            }
            if (near && touches && near->glyph == 5)
                fault("whole note at x=" + std::to_string(near->x) + " drawn with a stem");
            if (near && !touches)
                fault("stem at x=" + std::to_string(l.x1) +
                      " misses its head column near x=" + std::to_string(near->x));
        }

        // No dot, accidental or head overlaps a head beyond a pixel or two.
        for (size_t i = 0; i < glyphs.size(); ++i) {
            const Glyph& h = glyphs[i];
            if (!IsHead(h.glyph)) continue;
            for (size_t j = 0; j < glyphs.size(); ++j) {
                const Glyph& o = glyphs[j];
                if (i == j) continue;
                bool head = IsHead(o.glyph), dot = o.glyph == 19, acc = IsAccidental(o.glyph);
                if (!head && !dot && !acc) continue;
                if (head && o.x == h.x && o.y == h.y) continue;  // a shared unison head
                int overlap = std::min(h.x + h.width, o.x + o.width) - std::max(h.x, o.x);
                int dy = std::abs(o.y - h.y);
                int reach = acc ? u : u / 2;
                // Dots are drawn a little below the middle of their space.
                if (dot) dy = std::abs(o.y - (fonts->StaffSpace / 2) * 5 / 12 - 1 - h.y);
                bool vertical = dy <= reach;
                if (overlap > 2 && vertical)
                    fault(std::string(head  ? "head"
                                      : dot ? "dot"
                                            : "accidental") +
                          " at x=" + std::to_string(o.x) + " y=" + std::to_string(o.y) +
                          " overlaps the head at x=" + std::to_string(h.x) + " y=" + std::to_string(h.y));
            }
        }

        // No dot sits against a stem.
        for (const Glyph& o : glyphs) {
            if (o.glyph != 19) continue;
            int cy = o.y - (u / 2) * 5 / 12 - 1;
            for (const Line& l : lines) {
                if (l.x1 != l.x2 || l.pen != fonts->StemPenWidth) continue;
                if (cy < std::min(l.y1, l.y2) || cy > std::max(l.y1, l.y2)) continue;
                if (l.x1 > o.x && l.x1 < o.x + o.width)
                    fault("dot at x=" + std::to_string(o.x) + " y=" + std::to_string(o.y) +
                          " against a stem");
            }
        }

        // A clef stands on the lines of a staff that has lines.
        for (const Glyph& g : glyphs) {
            if (!IsClef(g.glyph)) continue;
            bool onLines = false;
            for (int i = 0; i < s.GetStaffCount(); ++i) {
                const TStaffDrawInfo& st = *s.GetStaffDrawInfo(i);
                if (st.IsHidden() || st.LineCount <= 0) continue;
                const int half = u / 2;
                const int top = top0 + st.Y + half * st.GetOuterLineStep(-1);
                const int bottom = top0 + st.Y + half * st.GetOuterLineStep(1);
                if (g.y >= top - tol && g.y <= bottom + tol) onLines = true;
            }
            if (!onLines)
                fault("clef glyph " + std::to_string(g.glyph) + " at x=" + std::to_string(g.x) +
                      " y=" + std::to_string(g.y) + " drawn off the lines of every staff");
        }

        // Nothing of a system is drawn past its closing bar line.
        int right = left;
        for (int i = 0; i < s.GetStaffCount(); ++i) {
            const TStaffDrawInfo& st = *s.GetStaffDrawInfo(i);
            int x = 0;
            for (int k = 0; k < st.GetRecordCount(); ++k)
                x += st.Record(k).Width;
            right = std::max(right, left + x);
        }
        for (const Glyph& g : glyphs)
            if (g.x + g.width > right + tol)
                fault("glyph " + std::to_string(g.glyph) + " at x=" + std::to_string(g.x) +
                      " drawn past the closing bar line at x=" + std::to_string(right));
        for (const Line& l : lines)
            if (std::max(l.x1, l.x2) > right + tol) fault("line drawn past the closing bar line");
        if (fitsWidth > 0)
            for (const Glyph& g : glyphs)
                if (g.x + g.width > left + fitsWidth + tol)
                    fault("glyph " + std::to_string(g.glyph) + " at x=" + std::to_string(g.x) +
                          " drawn past the page edge at x=" + std::to_string(left + fitsWidth));
        return faults;
    }

    // Lays out at 400 wide one quarter note on staff position `pos` with its stem `stem` and the marks
    // `marks`; gives its head and the glyph that `isMark` takes (the last drawn of each). False when the
    // score was not read or either glyph was not drawn.
    bool OneMarkedNote(const std::string& marks, int pos, const char* stem, const std::string& where,
                       const std::function<bool(int)>& isMark, Glyph& head, Glyph& mark) {
        auto score =
            qsm::test::ImportText("!QuillStaveComposer(2.51)\n|Clef|Type:Treble\n|Note|Dur:4th," + marks +
                                  "|Pos:" + std::to_string(pos) + "|Opts:Stem=" + stem + "\n|Bar\n");
        if (!score) return false;
        Report(CheckScore(*score, 400, where));
        std::vector<Glyph> glyphs;
        std::vector<Line> lines;
        Collect(glyphs, lines);
        bool haveHead = false, haveMark = false;
        for (const Glyph& g : glyphs) {
            if (g.glyph == 7) head = g, haveHead = true;
            if (isMark(g.glyph)) mark = g, haveMark = true;
        }
        return haveHead && haveMark;
    }

    // Lays out and draws the score in systems of the width and checks each; also checks that the ticks of
    // the drawn notes and rests of every staff add up to what the staff holds.
    // Stops after maxSystems; the bars not reached then are not checked.
    std::vector<std::string> CheckScore(TMusicScore& score, int width, const std::string& name,
                                        int maxSystems = 200) {
        Record();
        cueHeight = 0;
        std::vector<std::string> faults;
        auto system = System(score);
        std::map<int, std::map<int, int>> drawn;  // staff -> item -> ticks laid out
        const int left = 20, top = 100;
        bool reachedEnd = false;
        std::map<int, int> lastItem;  // staff -> last item index laid out
        qsm::LayoutSystems(*system, width, maxSystems, [&](TScoreDrawInfo& s, int n) {
            qsm::gdi::ClearRecords(dc);
            TDrawExtent extent;
            extent.Init(width);
            s.DrawSystem(extent, left, top, -1);
            auto f = CheckSystem(s, left, top, name + " system " + std::to_string(n));
            // Every visible note and chord of the system draws its heads.
            int heads = 0, expected = 0;
            for (const auto& r : qsm::gdi::GetRecords(dc))
                if (r.op == "TextOutA" || r.op == "TextOutW") heads += IsHead(GlyphOf(r)) ? 1 : 0;
            for (int i = 0; i < s.GetStaffCount(); ++i) {
                const TStaffDrawInfo& st = *s.GetStaffDrawInfo(i);
                for (int k = 0; k < st.GetRecordCount(); ++k) {
                    const TLayoutRecord& r = st.Record(k);
                    const TNotatedItem* item = score.GetStaff(st.GetSlot())->GetItem(r.ItemIndex);
                    if (r.GetKind() == lkNote && !r.IsHidden() && item && item->GetType() == ntNote &&
                        !static_cast<const TMusicNote*>(item)->GetNotehead())
                        ++expected;
                }
            }
            if (heads < expected)
                f.push_back(name + " system " + std::to_string(n) + ": " + std::to_string(heads) +
                            " heads drawn of " + std::to_string(expected) + " notes");
            faults.insert(faults.end(), f.begin(), f.end());
            systems = n + 1;
            middleLine = top + s.GetStaffDrawInfo(0)->Y;
            for (int i = 0; i < s.GetStaffCount(); ++i) {
                const TStaffDrawInfo& st = *s.GetStaffDrawInfo(i);
                for (int k = 0; k < st.GetRecordCount(); ++k) {
                    const TLayoutRecord& r = st.Record(k);
                    if ((r.GetKind() == lkNote || r.GetKind() == lkGrace) && !r.IsCopy())
                        drawn[st.GetSlot()][r.ItemIndex] = static_cast<int>(r.Time);
                    if (r.IsItemPosition()) lastItem[st.GetSlot()] = r.ItemIndex;
                }
            }
            reachedEnd = s.GetStaffDrawInfo(0)->IsAtStaffEnd();
            return true;
        });
        // Nothing is dropped: the ticks of the notes, chords and rests laid out in each bar add up to what
        // the bar holds.
        for (int i = 0; i < score.GetStaffCount(); ++i) {
            TMusicStaff* staff = score.GetStaff(i);
            std::map<int, long> held, laid;
            std::map<int, int> firstMissing;
            int bar = 0;
            // Stopped early: the bar the last system reached on this staff and those after it are left out.
            int stopBar = INT_MAX;
            for (int k = 0; k < staff->GetItemCount(); ++k) {
                const TNotatedItem* item = staff->GetItem(k);
                if (!item) continue;
                if (item->GetType() == ntBarLine) ++bar;
                if (!reachedEnd && k == lastItem[i]) stopBar = bar;
                if (!item->IsSongNote()) continue;
                held[bar] += item->GetDuration();
                auto it = drawn[i].find(k);
                if (it != drawn[i].end())
                    laid[bar] += it->second;
                else if (!firstMissing.count(bar))
                    firstMissing[bar] = k;
            }
            for (const auto& [b, ticks] : held) {
                if (b >= stopBar || (laid[b] == ticks && !firstMissing.count(b))) continue;
                std::string what = name + ": staff " + std::to_string(i) + " bar " + std::to_string(b) +
                                   " holds " + std::to_string(ticks) + " ticks, laid out " +
                                   std::to_string(laid[b]);
                if (firstMissing.count(b))
                    what += "; item " + std::to_string(firstMissing[b]) + " is missing";
                faults.push_back(what);
            }
        }
        return faults;
    }

    int cueHeight = 0;
    int systems = 0;     // systems laid out by the last CheckScore
    int fitsWidth = 0;   // when set, every glyph must lie within the width
    int middleLine = 0;  // y of the top staff's middle line in the last system drawn
};

// A MIDI file converted into a score as the viewer converts it.
std::unique_ptr<TMusicScore> ConvertMidi(TSMFData& data) {
    TSMFImportList list;
    BuildImportInstructions(&data, list, true, 16);
    return std::unique_ptr<TMusicScore>(ConvertMidiToScore(&data, list, 1));
}

std::unique_ptr<TMusicScore> ConvertMidiFile(const std::string& path) {
    TSMFData data;
    TQSRBFStream in(5, path.c_str(), 30000);
    if (in.GetError() != 0) return nullptr;
    TSMFImport::Run(&data, &in, nullptr);
    return ConvertMidi(data);
}

std::vector<std::string> Inputs(const char* folder) {
    std::vector<std::string> out;
    std::string dir = std::string(QSM_TESTDATA_DIR) + "/" + folder;
    if (!std::filesystem::is_directory(dir)) return out;
    for (const auto& e : std::filesystem::directory_iterator(dir))
        if (e.path().extension() == ".qsmtxt") out.push_back(e.path().string());
    std::sort(out.begin(), out.end());
    return out;
}

void Report(const std::vector<std::string>& faults) {
    for (size_t i = 0; i < faults.size() && i < 20; ++i)
        ADD_FAILURE() << faults[i];
}

TEST_F(LayoutGeometryTest, ChordsWithSecondsKeepStemsDotsAndHeadsApart) {
    for (const auto& path : Inputs("notation")) {
        auto score = qsm::test::ImportText(qsm::ReadWholeFile(path));
        ASSERT_TRUE(score) << path;
        for (int width : {1200, 150, 100})
            Report(CheckScore(*score, width, path + " @" + std::to_string(width)));
    }
}

TEST_F(LayoutGeometryTest, TestScoresPassTheGeometricChecks) {
    for (const char* folder : {"layout", "textscore"}) {
        for (const auto& path : Inputs(folder)) {
            auto score = qsm::test::ImportText(qsm::ReadWholeFile(path));
            if (!score) continue;
            for (int width : {1200, 400})
                Report(CheckScore(*score, width, path + " @" + std::to_string(width)));
        }
    }
}

// Accents and marcatos, about a space tall, stand clear of the staff lines and of the head on every line and
// space, on either side of the staff.
TEST_F(LayoutGeometryTest, AccentsAndMarcatosCrossNoStaffLine) {
    // The ink of the marks in our music font, in staff spaces from the point each is written at (after its
    // vertical adjustment), upward: accent 44, marcato above 45, marcato below 46.
    const std::map<int, std::pair<double, double>> ink = {
        {44, {-0.24, 0.74}}, {45, {-0.76, 0.26}}, {46, {-0.26, 0.76}}};
    const int u = fonts->StaffSpace;
    for (const char* mark : {"Accent", "Marcato"}) {
        for (const char* stem : {"Up", "Down"}) {
            for (int pos = -7; pos <= 7; ++pos) {
                const std::string where = std::string(mark) + " stem " + stem + " pos " + std::to_string(pos);
                Glyph head, sign;
                ASSERT_TRUE(OneMarkedNote(
                    mark, pos, stem, where, [&](int g) { return ink.count(g) != 0; }, head, sign))
                    << where;
                // Device y grows downward: the ink runs from y - top * u to y - bottom * u.
                const auto [bottom, top] = ink.at(sign.glyph);
                const double inkTop = sign.y - top * u, inkBottom = sign.y - bottom * u;
                const int middle = middleLine;
                EXPECT_EQ(head.y, middle - u / 2 * pos) << where;  // the text's positions count upward
                for (int k = -2; k <= 2; ++k) {
                    const int line = middle + u * k;
                    EXPECT_FALSE(line >= inkTop - 1 && line <= inkBottom + 1)
                        << where << ": crosses line " << k;
                }
                EXPECT_TRUE(inkBottom < head.y - u / 2 || inkTop > head.y + u / 2)
                    << where << ": on the head";
                // Away from the stem: below a stem-up note, above a stem-down one.
                EXPECT_EQ(inkTop > head.y, std::string(stem) == "Up") << where;
            }
        }
    }
}

// A staccato dot away from the stem is centred in a space, clear of the staff and ledger lines and of the
// head (our font centres its ink on the point it is written at).
TEST_F(LayoutGeometryTest, StaccatoDotsAreCentredInASpace) {
    const int u = fonts->StaffSpace;
    for (const char* stem : {"Up", "Down"}) {
        for (int pos = -8; pos <= 8; ++pos) {
            const std::string where = std::string("stem ") + stem + " pos " + std::to_string(pos);
            Glyph head, dot;
            ASSERT_TRUE(OneMarkedNote(
                "Staccato", pos, stem, where, [](int g) { return g == 19; }, head, dot))
                << where;
            EXPECT_GE(std::abs(dot.y - head.y), u) << where << ": against the head";
            EXPECT_EQ(dot.y > head.y, std::string(stem) == "Up") << where << ": on the stem side";
            const int topLine = middleLine - 2 * u, bottomLine = middleLine + 2 * u;
            for (int line = topLine; line <= bottomLine; line += u)
                EXPECT_GE(std::abs(dot.y - line), 3 * u / 10) << where << ": against the line at " << line;
            EXPECT_EQ(((dot.y - topLine) % u + u) % u, u / 2) << where << ": off the middle of its space";
        }
    }
}

// Bars wider than the page, from a text score and from a MIDI file, keep every note at any width: the ticks
// laid out in each bar add up to what it holds.
TEST_F(LayoutGeometryTest, BarsWiderThanThePageKeepEveryNote) {
    const std::string dir = std::string(QSM_TESTDATA_DIR) + "/notation/";
    auto text = qsm::test::ImportText(qsm::ReadWholeFile(dir + "wide_bars.qsmtxt"));
    auto midi = ConvertMidiFile(dir + "dense_bar.mid");
    ASSERT_TRUE(text);
    ASSERT_TRUE(midi);
    for (int width : {1000, 800, 400, 300, 200, 120, 80, 60}) {
        // Down to some width the wide bars are squeezed into the page; narrower, they run past its edge.
        fitsWidth = width >= 400 ? width : 0;
        Report(CheckScore(*text, width, "wide_bars @" + std::to_string(width)));
        fitsWidth = width >= 800 ? width : 0;
        Report(CheckScore(*midi, width, "dense_bar @" + std::to_string(width)));
    }
    fitsWidth = 0;
}

TEST_F(LayoutGeometryTest, LyricStaffFromTheConductorTrackShowsNoClef) {
    // Lyrics on the conductor track become a staff without lines of its own, below the note staff; no
    // clef may be repeated on it at the later system starts.
    auto score = ConvertMidiFile(std::string(QSM_TESTDATA_DIR) + "/notation/conductor_lyrics.mid");
    ASSERT_TRUE(score);
    int lineless = 0;
    for (int i = 0; i < score->GetStaffCount(); ++i)
        if (score->GetStaff(i)->GetLineCount() == 0 && score->GetStaff(i)->GetLyrics()) ++lineless;
    ASSERT_EQ(lineless, 1);
    for (int width : {1200, 400}) {
        Report(CheckScore(*score, width, "conductor lyrics @" + std::to_string(width)));
        EXPECT_GE(systems, width == 400 ? 3 : 1);
    }
}

// Our music font, drawn as the notes draw it, against where the drawing rules expect its ink: an
// augmentation dot written for a space is centred in it, and every articulation stands as far above a head
// as below it (the rules write the first mark one space above the head or one and a half below it and raise
// the dot, staccatissimo and tenuto a quarter space).
TEST(MusicFontInk, DotsAndMarksSitWhereTheDrawingRulesExpect) {
    qsm::InstallScoreHooks();
    TColorPalette palette;
    TMusicFontsData data;
    const int u = 20;
    TMusicFonts fonts(u, &data, &palette);
    HDC screen = CreateDCA("DISPLAY", nullptr, nullptr, nullptr);
    HDC dc = CreateCompatibleDC(screen);
    HBITMAP bmp = CreateCompatibleBitmap(screen, 200, 200);
    HGDIOBJ old = SelectObject(dc, bmp);
    SetBkMode(dc, TRANSPARENT);
    fonts.AttachDC(dc, dc);
    fonts.OriginY = 100;
    // The rows [top, bottom] holding ink after drawing one glyph at the staff position.
    auto ink = [&](int glyph, int pos, int y = INT_MIN) {
        RECT all{0, 0, 200, 200};
        FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
        if (y == INT_MIN)
            fonts.DrawGlyphAtPos(glyph, 60, pos);
        else
            fonts.DrawGlyph(0, glyph, 60, y);
        int top = INT_MAX, bottom = INT_MIN;
        for (int py = 0; py < 200; ++py)
            for (int px = 0; px < 200; ++px)
                if ((GetPixel(dc, px, py) & 0xFFFFFF) != 0xFFFFFF) {
                    top = std::min(top, py);
                    bottom = std::max(bottom, py);
                }
        return std::make_pair(top, bottom);
    };
    const auto head = ink(7, 0);
    ASSERT_LT(head.first, head.second);
    EXPECT_LE(std::abs(head.first + head.second - 200), 2);  // the head is centred on its position
    // An augmentation dot for the space at position 1, written (U/2)*5/12 + 1 below the space's line.
    const auto dot = ink(19, 0, fonts.PosToY(1) + (u / 2) * 5 / 12 + 1);
    EXPECT_LE(std::abs(dot.first + dot.second - 2 * fonts.PosToY(1)), 2) << dot.first << "-" << dot.second;
    // Each mark: drawn above (first mark at position -2) and below (position 3); the gap between its ink and
    // the head's is the same on both sides.
    for (auto [above, below] :
         {std::pair{19, 19}, std::pair{47, 48}, std::pair{49, 49}, std::pair{45, 46}, std::pair{44, 44}}) {
        const auto a = ink(above, -2);
        const auto b = ink(below, 3);
        const int gapAbove = head.first - a.second, gapBelow = b.first - head.second;
        EXPECT_GT(gapAbove, 0) << above;
        EXPECT_LE(std::abs(gapAbove - gapBelow), 2)
            << above << "/" << below << ": " << gapAbove << " above, " << gapBelow << " below";
    }
    fonts.DetachDC();
    SelectObject(dc, old);
    DeleteObject(bmp);
    DeleteDC(dc);
    DeleteDC(screen);
}

// Runs as a test of its own after the corpus has been fetched (render_layout_geometry_corpus), which names
// the corpus folder in QSM_MIDI_CORPUS; elsewhere it is skipped, so that it never reads a half-fetched
// corpus.
TEST_F(LayoutGeometryTest, MidiCorpusPassesTheGeometricChecks) {
    const char* env = std::getenv("QSM_MIDI_CORPUS");
    if (env == nullptr || *env == '\0') GTEST_SKIP() << "QSM_MIDI_CORPUS names no corpus folder";
    const std::filesystem::path root = env;
    std::vector<std::string> files;
    std::error_code ec;
    if (std::filesystem::is_directory(root, ec))
        for (const auto& e : std::filesystem::recursive_directory_iterator(root, ec))
            if (e.is_regular_file() && (e.path().extension() == ".mid" || e.path().extension() == ".MID"))
                files.push_back(e.path().string());
    if (files.empty()) GTEST_SKIP() << "no MIDI corpus in " << root;
    std::sort(files.begin(), files.end());
    for (const auto& path : files) {
        auto score = ConvertMidiFile(path);
        if (!score) continue;
        // The first systems of each file, wide and narrow, keep the test's time in bounds.
        Report(CheckScore(*score, 1200, path + " @1200", 20));
        Report(CheckScore(*score, 400, path + " @400", 10));
    }
}

}  // namespace

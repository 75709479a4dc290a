// Layout checks that judge what is drawn by its geometry, not by an earlier output: every system of every
// test score is drawn into a recording DC and the logged glyphs and lines are measured.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "core/file_stream.h"
#include "core/ram_stream.h"
#include "midi/smf_convert.h"
#include "midi/smf_file.h"
#include "platform/gdi/gdi_surface.h"
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
        for (const Line& l : lines) {
            if (l.x1 != l.x2 || l.y1 == l.y2 || l.pen != fonts->StemPenWidth) continue;
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
        return faults;
    }

    // Lays out and draws the score in systems of the width and checks each; also checks that the ticks of
    // the drawn notes and rests of every staff add up to what the staff holds.
    std::vector<std::string> CheckScore(TMusicScore& score, int width, const std::string& name) {
        Record();
        cueHeight = 0;
        std::vector<std::string> faults;
        auto system = System(score);
        std::map<int, std::map<int, int>> drawn;  // staff -> item -> ticks laid out
        const int left = 20, top = 100;
        qsm::LayoutSystems(*system, width, 200, [&](TScoreDrawInfo& s, int n) {
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
            for (int i = 0; i < s.GetStaffCount(); ++i) {
                const TStaffDrawInfo& st = *s.GetStaffDrawInfo(i);
                for (int k = 0; k < st.GetRecordCount(); ++k) {
                    const TLayoutRecord& r = st.Record(k);
                    if ((r.GetKind() == lkNote || r.GetKind() == lkGrace) && !r.IsCopy())
                        drawn[st.GetSlot()][r.ItemIndex] = static_cast<int>(r.Time);
                }
            }
            return true;
        });
        // Nothing is dropped: the ticks of the notes, chords and rests laid out in each bar add up to what
        // the bar holds.
        for (int i = 0; i < score.GetStaffCount(); ++i) {
            TMusicStaff* staff = score.GetStaff(i);
            std::map<int, long> held, laid;
            std::map<int, int> firstMissing;
            int bar = 0;
            for (int k = 0; k < staff->GetItemCount(); ++k) {
                const TNotatedItem* item = staff->GetItem(k);
                if (!item) continue;
                if (item->GetType() == ntBarLine) ++bar;
                if (!item->IsSongNote()) continue;
                held[bar] += item->GetDuration();
                auto it = drawn[i].find(k);
                if (it != drawn[i].end())
                    laid[bar] += it->second;
                else if (!firstMissing.count(bar))
                    firstMissing[bar] = k;
            }
            for (const auto& [b, ticks] : held) {
                if (laid[b] == ticks && !firstMissing.count(b)) continue;
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
    int systems = 0;  // systems laid out by the last CheckScore
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

}  // namespace

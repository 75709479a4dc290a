// Layout checks that judge what is drawn by its geometry, not by an earlier output: every system of every
// test score is drawn into a recording DC and the logged glyphs and lines are measured.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "core/ram_stream.h"
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

class LayoutGeometryTest : public qsm::test::FixedMetricsTest {
protected:
    // The glyph a one-character text call of the music fonts drew, -1 for other text.
    int GlyphOf(const qsm::gdi::GdiRecord& r) const {
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
    std::vector<std::string> CheckSystem(TScoreDrawInfo& s, int left, const std::string& where) {
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
                fault("glyph " + std::to_string(g.glyph) + " at x=" + std::to_string(g.x) + " drawn past the closing bar line at x=" + std::to_string(right));
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
        std::map<int, std::set<int>> drawn;
        const int left = 20;
        qsm::LayoutSystems(*system, width, 200, [&](TScoreDrawInfo& s, int n) {
            qsm::gdi::ClearRecords(dc);
            TDrawExtent extent;
            extent.Init(width);
            s.DrawSystem(extent, left, 100, -1);
            auto f = CheckSystem(s, left, name + " system " + std::to_string(n));
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
            for (int i = 0; i < s.GetStaffCount(); ++i) {
                const TStaffDrawInfo& st = *s.GetStaffDrawInfo(i);
                for (int k = 0; k < st.GetRecordCount(); ++k) {
                    const TLayoutRecord& r = st.Record(k);
                    if ((r.GetKind() == lkNote || r.GetKind() == lkGrace) && !r.IsCopy())
                        drawn[st.GetSlot()].insert(r.ItemIndex);
                }
            }
            return true;
        });
        // Every note, chord and rest the staff holds is drawn, so the durations drawn in each bar add up to
        // what the bar holds.
        for (int i = 0; i < score.GetStaffCount(); ++i) {
            TMusicStaff* staff = score.GetStaff(i);
            for (int k = 0; k < staff->GetItemCount(); ++k) {
                const TNotatedItem* item = staff->GetItem(k);
                if (item && item->IsSongNote() && !drawn[i].count(k))
                    faults.push_back(name + ": staff " + std::to_string(i) + " item " + std::to_string(k) +
                                     " (" +
                                     std::to_string(static_cast<const TSongNote*>(item)->GetNominalTicks()) +
                                     " ticks) is not drawn");
            }
        }
        return faults;
    }

    int cueHeight = 0;
};

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

}  // namespace

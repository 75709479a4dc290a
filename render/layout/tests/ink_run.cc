#include "render/layout/tests/ink_run.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <sstream>

#include "core/file_stream.h"
#include "midi/smf_convert.h"
#include "midi/smf_file.h"
#include "platform/gdi/gdi.h"
#include "platform/gdi/gdi_surface.h"
#include "render/layout/layout_record.h"
#include "render/layout/score_draw_info.h"
#include "render/layout/staff_draw_info.h"
#include "render/layout/system_run.h"
#include "render/layout/tests/ink_allowed.h"
#include "render/music_fonts.h"
#include "score/base/color_palette.h"
#include "score/base/fonts_data.h"
#include "score/file/text_score_source.h"
#include "score/music_score.h"

namespace qsm::ink {
namespace {

std::string PairName(Kind a, Kind b) {
    std::string x = KindName(a), y = KindName(b);
    if (y < x) std::swap(x, y);
    return x + " + " + y;
}

}  // namespace

std::vector<Finding> CheckScore(TMusicScore& score, const std::string& file, int width, int staffSpace,
                                InkReader& reader, int maxSystems) {
    std::vector<Finding> out;
    ScorePage run(score, width, staffSpace);
    TScoreDrawInfo& system = run.system;
    TMusicFonts& fonts = run.fonts;
    const int margin = run.margin, label = run.label, left = run.left, usable = run.usable;
    if (usable < 10 * fonts.StaffSpace) return out;
    const int pageHeight = width * 297 / 210;
    const int gap = 3 * fonts.StaffSpace;
    HDC dc = qsm::gdi::CreateRecordingDC(96, width, pageHeight);
    fonts.AttachDC(dc, dc);
    int page = 1, y = margin;
    // As printing lays a page out: each system is formatted for the width beside the margins and fitted into
    // the width left beside the labels.
    LayoutSystems(
        system, usable, maxSystems,
        [&](TScoreDrawInfo& s, int index) {
            // Systems stack down the page; one that does not fit begins the next.
            const int height = s.GetSystemHeight();
            if (y > margin && y + height > pageHeight - margin) {
                ++page;
                y = margin;
            }
            qsm::gdi::ClearRecords(dc);
            TDrawExtent extent;
            extent.Init(usable);
            extent.Right = 0x7fffffff;
            s.DrawSystem(extent, left, y, -1);
            if (index == 0) s.DrawStaffLabels(margin, y, label);
            const std::vector<Ink> inks = reader.Read(qsm::gdi::GetRecords(dc));
            if (std::getenv("QSM_INK_DUMP"))
                for (const Ink& ink : inks)
                    std::printf("system %d %s [%d,%d)-[%d,%d)\n", index + 1, Describe(ink).c_str(),
                                ink.bounds.left, ink.bounds.top, ink.bounds.right, ink.bounds.bottom);
            auto report = [&](const std::string& kind, const Box& where, const std::string& what,
                              const std::string& allowed) {
                Finding f;
                f.file = file;
                f.page = page;
                f.system = index + 1;
                f.x = where.left;
                f.y = where.top;
                f.kind = kind;
                f.allowed = allowed;
                std::ostringstream t;
                t << file << " @" << width << " page " << f.page << " system " << f.system << " at (" << f.x
                  << "," << f.y << "): " << kind << ": " << what;
                if (!allowed.empty()) t << " [on the list: " << allowed << "]";
                f.text = t.str();
                out.push_back(std::move(f));
            };
            // A system that holds one bar with notes, wider than the page: the layout keeps a system's first
            // bar whole whatever its width.
            int bars = 0;
            for (int i = 0; i < s.GetStaffCount(); ++i) {
                const TStaffDrawInfo& st = *s.GetStaffDrawInfo(i);
                int n = 0;
                bool time = false;
                for (int k = 0; k < st.GetRecordCount(); ++k) {
                    const TLayoutRecord& r = st.Record(k);
                    if (r.Time > 0 && !r.IsCopy()) time = true;
                    if ((r.GetKind() == lkBarLine || r.GetKind() == lkMultiRestMore) && time)
                        ++n, time = false;
                }
                bars = std::max(bars, n + (time ? 1 : 0));
            }
            const bool oneBar = bars <= 1;
            for (const Overlap& o :
                 FindOverlaps(inks, std::max(1, fonts.StaffSpace / 6), std::max(1, fonts.StaffSpace / 3))) {
                std::string allowed = AllowedOverlap(o, score, oneBar);
                report(std::string(o.rule) + ": " + PairName(o.a->kind, o.b->kind), o.where,
                       Describe(*o.a) + " and " + Describe(*o.b), allowed);
            }
            for (const Ink* ink : PastRight(inks, left + usable)) {
                std::string allowed = AllowedPastRight(*ink, score, oneBar);
                report(std::string("past the printable width: ") + KindName(ink->kind), ink->bounds,
                       Describe(*ink), allowed);
            }
            y += height + gap;
            return true;
        },
        width - 2 * margin);
    fonts.DetachDC();
    DeleteDC(dc);
    return out;
}

std::unique_ptr<TMusicScore> LoadScore(const std::string& path) {
    const std::string ext = std::filesystem::path(path).extension().string();
    if (ext == ".mid" || ext == ".MID") {
        TSMFData data;
        TQSRBFStream in(5, path.c_str(), 30000);
        if (in.GetError() != 0) return nullptr;
        TSMFImport::Run(&data, &in, nullptr);
        TSMFImportList list;
        BuildImportInstructions(&data, list, true, 16);
        std::unique_ptr<TMusicScore> score(ConvertMidiToScore(&data, list, 1));
        // The viewer shows imported files with labels on the first system and boxed bar numbers.
        if (score) {
            score->StaffLabels = 1;
            score->BarNumbers = 3;
        }
        return score;
    }
    return qsm::ImportTextScoreFile(path);
}

std::vector<std::string> CheckedFiles(const std::string& corpus) {
    std::vector<std::string> files;
    auto scan = [&](const std::string& dir, bool recursive) {
        std::error_code ec;
        if (!std::filesystem::is_directory(dir, ec)) return;
        std::vector<std::string> found;
        auto take = [&](const std::filesystem::directory_entry& e) {
            const std::string ext = e.path().extension().string();
            if (e.is_regular_file() && (ext == ".qsmtxt" || ext == ".mid" || ext == ".MID"))
                found.push_back(e.path().string());
        };
        if (recursive)
            for (const auto& e : std::filesystem::recursive_directory_iterator(dir, ec))
                take(e);
        else
            for (const auto& e : std::filesystem::directory_iterator(dir, ec))
                take(e);
        std::sort(found.begin(), found.end());
        files.insert(files.end(), found.begin(), found.end());
    };
    const std::string data = QSM_TESTDATA_DIR;
    for (const char* folder : {"layout", "notation", "textscore"})
        scan(data + "/" + folder, false);
    scan(data + "/../resources/samples", false);
    // Files written for the importer's fuzzing: karaoke text, lyric tracks, far deltas, sixteen channels.
    scan(data + "/../fuzz/corpus/midi_file_road", false);
    if (!corpus.empty()) scan(corpus, true);
    return files;
}

std::map<std::string, int> CountByKind(const std::vector<Finding>& findings, bool allowed) {
    std::map<std::string, int> counts;
    for (const Finding& f : findings)
        if (f.allowed.empty() != allowed) ++counts[f.kind];
    return counts;
}

}  // namespace qsm::ink

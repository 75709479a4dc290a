// Renders a text score, or a MIDI file converted as the viewer converts it, into a PNG file, system after
// system: render_score <in.qsmtxt|in.mid> <out.png> [width] [staff space] [max systems].
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>

#include "core/file_stream.h"
#include "core/ram_stream.h"
#include "midi/smf_convert.h"
#include "midi/smf_file.h"
#include "render/hooks.h"
#include "render/layout/item_painter.h"
#include "render/layout/layout_dump.h"
#include "render/layout/layout_metrics.h"
#include "render/layout/score_draw_info.h"
#include "render/layout/system_run.h"
#include "render/music_fonts.h"
#include "score/base/color_palette.h"
#include "score/base/fonts_data.h"
#include "score/file/text_import.h"
#include "score/file/text_score_source.h"
#include "score/music_score.h"

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s in.qsmtxt out.png [width] [staff space] [max systems]\n", argv[0]);
        return 2;
    }
    qsm::InstallScoreHooks();
    std::unique_ptr<TMusicScore> score;
    const std::string in = argv[1];
    if (in.size() > 4 && in.compare(in.size() - 4, 4, ".mid") == 0) {
        TSMFData data;
        TQSRBFStream file(5, argv[1], 30000);
        if (file.GetError() == 0) {
            TSMFImport::Run(&data, &file, nullptr);
            TSMFImportList list;
            BuildImportInstructions(&data, list, true, 16);
            score.reset(ConvertMidiToScore(&data, list, 1));
            // The viewer shows imported files with labels on the first system and boxed bar numbers.
            if (score) {
                score->StaffLabels = 1;
                score->BarNumbers = 3;
            }
        }
    } else {
        score = qsm::ImportTextScoreFile(argv[1]);
    }
    if (!score) {
        std::fprintf(stderr, "cannot import %s\n", argv[1]);
        return 1;
    }
    int width = argc > 3 ? std::atoi(argv[3]) : 1200;
    int space = argc > 4 ? std::atoi(argv[4]) : 10;
    int systems = argc > 5 ? std::atoi(argv[5]) : 40;
    if (std::getenv("QSM_LAYOUT_DUMP")) {
        qsm::TFixedMetrics m;
        qsm::SetFixedMetrics(&m);
        TColorPalette palette;
        TMusicFontsData data;
        TMusicFonts fonts(10, &data, &palette);
        qsm::ApplyFixedMetrics(fonts);
        TScoreDrawInfo system(score.get(), &fonts, 5, 3);
        for (int i = 0; i < score->GetStaffCount(); ++i)
            system.AddStaff(i);
        qsm::LayoutSystems(system, width, systems, [](TScoreDrawInfo& s, int n) {
            std::printf("== system %d\n%s", n, qsm::DumpSystemLayout(s, false).c_str());
            return true;
        });
        return 0;
    }
    return qsm::RenderScorePng(*score, argv[2], width, space, systems) ? 0 : 1;
}

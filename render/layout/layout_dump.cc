// Layout dumps.
#include "render/layout/layout_dump.h"

#include <cstdio>

#include "render/layout/score_draw_info.h"
#include "render/layout/staff_draw_info.h"

namespace qsm {

const char* LayoutKindName(int kind) {
    static const char* const kNames[17] = {
        "Floating", "Boundary", "Gap",  "BarStart", "MultiRest", "Spacer", "SegStart", "FwdExpr", "Ending",
        "Grace",    "SigExpr",  "Clef", "Key",      "TimeSig",   "Note",   "RestMore", "BarLine"};
    return kind >= 0 && kind < 17 ? kNames[kind] : "?";
}

std::string DumpStaffLayout(const TStaffDrawInfo& s, bool geometry) {
    std::string out;
    char line[200];
    std::snprintf(line, sizeof line,
                  "staff %d y=%d lines=%d up=%d low=%d flags=%04x br=%d bc=%d cb=%d records=%d\n",
                  s.GetSlot(), s.Y, s.LineCount, s.UpperSize, s.LowerSize, s.Flags, s.BracketState,
                  s.BraceState, s.ConnectBarsState, s.GetRecordCount());
    out += line;
    int x = 0;
    for (int i = 0; i < s.GetRecordCount(); ++i) {
        const TLayoutRecord& r = s.Record(i);
        std::snprintf(line, sizeof line, "  %3d %-9s %c%c item=%d count=%d w=%d t=%u x=%d acc=%d cl=%d\n", i,
                      LayoutKindName(r.GetKind()), r.IsHidden() ? 'H' : '-', r.IsCopy() ? 'C' : '-',
                      r.ItemIndex, r.Count, r.Width, r.Time, x, r.AccidentalSpace, r.ChordLayout);
        out += line;
        x += r.Width;
    }
    if (geometry) {
        for (int i = 0; i < s.Beams.GetCount(); ++i) {
            const TStaffConnect& c = s.Beams[i];
            std::snprintf(line, sizeof line, "  beam %d-%d flags=%02x x0=%d y0=%d x1=%d slope=%.3f\n",
                          c.First, c.Last, c.Flags, c.X0, c.Y0, c.X1, static_cast<double>(c.Slope));
            out += line;
        }
        for (int i = 0; i < s.Triplets.GetCount(); ++i) {
            const TStaffConnect& c = s.Triplets[i];
            std::snprintf(line, sizeof line, "  triplet %d-%d flags=%02x x0=%d y0=%d x1=%d slope=%.3f\n",
                          c.First, c.Last, c.Flags, c.X0, c.Y0, c.X1, static_cast<double>(c.Slope));
            out += line;
        }
        for (int i = 0; i < s.Slurs.GetCount(); ++i) {
            const TStaffSlur& c = s.Slurs[i];
            std::snprintf(line, sizeof line, "  slur %d-%d flags=%02x (%d,%d) (%d,%d) (%d,%d)\n", c.First,
                          c.Last, c.Flags, c.Curve.x0, c.Curve.y0, c.Curve.x1, c.Curve.y1, c.Curve.x2,
                          c.Curve.y2);
            out += line;
        }
    }
    return out;
}

std::string DumpSystemLayout(const TScoreDrawInfo& system, bool geometry) {
    std::string out;
    char line[96];
    std::snprintf(line, sizeof line, "system staves=%d height=%d\n", system.GetStaffCount(),
                  system.GetSystemHeight());
    out += line;
    for (int i = 0; i < system.GetStaffCount(); ++i)
        out += DumpStaffLayout(*system.GetStaffDrawInfo(i), geometry);
    return out;
}

}  // namespace qsm

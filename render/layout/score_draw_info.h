// The layout and drawing state of the staves of one system: vertical placement with groups, layers and
// collapsed staves, alignment of equal times across staves, system fitting and justification, and the
// drawing of the system with its labels and left-edge decorations.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/base/wintypes.h"
#include "render/layout/staff_draw_info.h"

class TMusicScore;
class TMusicFonts;
class TMusicStaff;
class TQSBoolArray;

class TScoreDrawInfo {
public:
    static constexpr int kMaxStaves = 64;

    TScoreDrawInfo(TMusicScore* score, TMusicFonts* fonts, int initialSlots, int mode);
    ~TScoreDrawInfo();
    TScoreDrawInfo(const TScoreDrawInfo&) = delete;
    TScoreDrawInfo& operator=(const TScoreDrawInfo&) = delete;

    // Staff set.
    bool IsFull() const { return StaffCount >= kMaxStaves; }
    void AddStaff(int scoreStaffIndex);
    void RemoveAllStaves();
    void SetSingleStaff(int i);
    void AddMusicStaff(TMusicStaff* staff);
    void AddStaves(const int* list, int count, int first, int maxHeight);
    void AddStavesFrom(int first, int maxHeight);
    void AddVisibleStaves(const TQSBoolArray& bits, int maxHeight);

    // Accessors.
    TStaffDrawInfo* GetStaffDrawInfo(int i) const;
    TMusicStaff* GetMusicStaff(int i) const;
    int GetStaffCount() const { return StaffCount; }
    TMusicScore* GetScore() const { return Score; }
    TMusicFonts* GetFonts() const { return Fonts; }
    int GetSystemHeight() const { return SystemHeight; }
    int GetHalfSpace() const;
    int IndexOfScoreStaff(int n) const;
    int IndexOfMusicStaff(const TMusicStaff* staff) const;
    int GetStaffY(int i) const;
    bool HasFewSlots() const { return SlotCount < 2; }
    void SetActiveStaff(int i) { ActiveStaff = i; }
    int GetActiveStaff() const { return ActiveStaff; }
    void SetLayering(bool on);
    bool IsLayeringActive() const;
    int GetMode() const { return static_cast<int>(Mode); }
    void SetMode(int mode) { Mode = static_cast<uint32_t>(mode); }
    TDrawMode GetDrawMode() const { return static_cast<TDrawMode>(Mode); }
    bool IsMode014() const {
        return GetDrawMode() == TDrawMode::Edit || GetDrawMode() == TDrawMode::View ||
               GetDrawMode() == TDrawMode::EditExcerpt;
    }
    bool IsMode23() const {
        return GetDrawMode() == TDrawMode::PrintLike || GetDrawMode() == TDrawMode::Print;
    }
    bool ShowsHidden() const {
        return GetDrawMode() == TDrawMode::Edit || GetDrawMode() == TDrawMode::EditExcerpt;
    }
    bool GetShowPrinterMargin() const { return ShowPrinterMargin; }
    void ToggleShowPrinterMargin() { ShowPrinterMargin = !ShowPrinterMargin; }
    int GetFirstStaffWithLines() const { return FirstStaffWithLines; }

    // Geometry.
    RECT GetStaffExtent(int i) const;
    int StepToY(int i, int step) const;
    int YToStep(int i, int y) const;
    int StaffAtY(int y) const;
    int GetSystemEdgeY(int dir) const;
    int GetFirstRecordWidth() const;
    bool StartsNewPage() const;

    // Formatting and fitting.
    void FormatAllFromTime(int time, int width);
    void GetStartPositions(TStaffStartPosition* out) const;
    void FormatStavesFrom(const TStaffStartPosition* starts, int width);
    void ReformatStaves(int width);
    void PrepareAlignment() { AlignStaves(); }
    void AlignStaves();
    void FitSystem(int width);
    void LayoutStavesVertically(bool recompute);
    void UpdateVerticalLayout(bool recompute) { LayoutStavesVertically(recompute); }
    // A fitted system kept whole, to be drawn after later systems were laid out (a page whose gaps depend on
    // all its systems).
    struct TSystemLayout {
        std::vector<TStaffDrawInfo::TSegmentLayout> Staves;
        int SlotCount = 0, LinedSlotCount = 0, FirstStaffWithLines = 0, SystemHeight = 0;
    };
    void SaveSystemLayout(TSystemLayout& out) const;
    void RestoreSystemLayout(const TSystemLayout& in);

    // Left margin.
    int GetBracketWidth() const;
    int GetLabelWidth(bool withBraces, bool full) const;
    bool NeedsSystemLine() const;

    // Drawing.
    void DrawSystem(const TDrawExtent& extent, int x, int y, int activeStaff);
    void DrawStaffLabels(int x, int y, int width);
    void DrawSystemDecorations(int x, int y, int segmentStart);

    bool Prepared = false;

private:
    void EnsureSlots(int count);
    int StretchTargetRecord(TStaffDrawInfo& s, int cursor, int passed);

    // The steps of FitSystem and what they share.
    struct TStretchCursor;
    struct TSystemFit;
    void SqueezeFirstBars(int width);
    void BreakStaff(TStaffDrawInfo& s, bool top, TSystemFit& fit);
    void CutToCommonTime(int si, TSystemFit& fit);
    static void BackOffToBarBreak(TStaffDrawInfo& s);
    static void CloseStaffEnd(TStaffDrawInfo& s);
    void ChooseFillWidth(TSystemFit& fit);
    bool RestartCursors(TSystemFit& fit);
    static bool AdvanceToStretchPoint(TStaffDrawInfo& s, TStretchCursor& k);
    bool NextStretchTime(TSystemFit& fit, int64_t& best, int& bestPriority);
    void WidenAtCursors(TSystemFit& fit, int64_t best, int bestPriority);
    void StretchToWidth(TSystemFit& fit);
    void SkipWholePasses(TSystemFit& fit);
    void PadToWidest(TSystemFit& fit);

    TMusicScore* Score;
    TMusicFonts* Fonts;
    TStaffDrawInfo* Staves[kMaxStaves] = {};
    int StaffCount = 0;
    int Allocated = 0;
    int InitialSlots;
    int SlotCount = 0;
    int LinedSlotCount = 0;
    int FirstStaffWithLines = 0;
    uint32_t Mode;
    int ActiveStaff = 0;
    int PreparedX = 0;
    int PreparedY = 0;
    bool Layering = false;
    int SystemHeight = 0;
    bool ShowPrinterMargin = false;
};

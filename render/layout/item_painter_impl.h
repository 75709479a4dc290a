// The drawing object of the notation items and the shared pieces of its bodies.
#pragma once

#include "score/item_drawing.h"

class TLayoutRecord;
class TStaffDrawInfo;

class TNotationDrawing : public TItemDrawing {
public:
    int MeasureSongNote(TSongNote&, TStaffDrawInfo&, TLayoutRecord&) override;

    int MeasureClefData(TClefData&, TStaffDrawInfo&, TLayoutRecord&) override;
    void DrawClefData(TClefData&, TStaffDrawInfo&, TLayoutRecord&, int) override;
    int MeasureKeyData(TKeyData&, TStaffDrawInfo&, TLayoutRecord&) override;
    void DrawKeyData(TKeyData&, TStaffDrawInfo&, TLayoutRecord&, int) override;
    int MeasureBarLineData(TBarLineData&, TStaffDrawInfo&, TLayoutRecord&) override;
    void DrawBarLineData(TBarLineData&, TStaffDrawInfo&, TLayoutRecord&, int) override;
    int MeasureSpecialEnding(TSpecialEnding&, TStaffDrawInfo&, TLayoutRecord&) override;
    void DrawSpecialEnding(TSpecialEnding&, TStaffDrawInfo&, TLayoutRecord&, int) override;
    int MeasureTimeSignatureData(TTimeSignatureData&, TStaffDrawInfo&, TLayoutRecord&) override;
    void DrawTimeSignatureData(TTimeSignatureData&, TStaffDrawInfo&, TLayoutRecord&, int) override;
    int MeasureStaffSpacer(TStaffSpacer&, TStaffDrawInfo&, TLayoutRecord&) override;
    void DrawStaffSpacer(TStaffSpacer&, TStaffDrawInfo&, TLayoutRecord&, int) override;
    int MeasureMultiMeasureRest(TMultiMeasureRest&, TStaffDrawInfo&, TLayoutRecord&) override;
    void DrawMultiMeasureRest(TMultiMeasureRest&, TStaffDrawInfo&, TLayoutRecord&, int) override;
    int MeasureStaffSizer(TStaffSizer&, TStaffDrawInfo&, TLayoutRecord&) override;
    void DrawStaffSizer(TStaffSizer&, TStaffDrawInfo&, TLayoutRecord&, int) override;
    int MeasureMusicNote(TMusicNote&, TStaffDrawInfo&, TLayoutRecord&) override;
    void DrawMusicNote(TMusicNote&, TStaffDrawInfo&, TLayoutRecord&, int) override;
    int MeasureChordData(TChordData&, TStaffDrawInfo&, TLayoutRecord&) override;
    void DrawChordData(TChordData&, TStaffDrawInfo&, TLayoutRecord&, int) override;
    int MeasureRestNote(TRestNote&, TStaffDrawInfo&, TLayoutRecord&) override;
    void DrawRestNote(TRestNote&, TStaffDrawInfo&, TLayoutRecord&, int) override;
    int MeasureRestChord(TRestChord&, TStaffDrawInfo&, TLayoutRecord&) override;
    void DrawRestChord(TRestChord&, TStaffDrawInfo&, TLayoutRecord&, int) override;

    int GetDotWidthMusicNote(TMusicNote&, TStaffDrawInfo&, TLayoutRecord&) override;
    int GetDotWidthChordData(TChordData&, TStaffDrawInfo&, TLayoutRecord&) override;
    int GetDotWidthRestNote(TRestNote&, TStaffDrawInfo&, TLayoutRecord&) override;
    int GetDotWidthRestChord(TRestChord&, TStaffDrawInfo&, TLayoutRecord&) override;
    int GetChordAccidentalColumns(TChordData&, TStaffDrawInfo&) override;

    int MeasureGeneralExpression(TNtnGeneralExpression&, TStaffDrawInfo&, TLayoutRecord&) override;
    void DrawGeneralExpression(TNtnGeneralExpression&, TStaffDrawInfo&, TLayoutRecord&, int) override;
    int MeasureExpressionPatchData(TPatchData&, TStaffDrawInfo&, TLayoutRecord&) override;
    void DrawExpressionPatchData(TPatchData&, TStaffDrawInfo&, TLayoutRecord&, int) override;
    int MeasureExpressionTempoData(TTempoData&, TStaffDrawInfo&, TLayoutRecord&) override;
    void DrawExpressionTempoData(TTempoData&, TStaffDrawInfo&, TLayoutRecord&, int) override;
    int MeasureExpressionDynamicLevelData(TDynamicLevelData&, TStaffDrawInfo&, TLayoutRecord&) override;
    void DrawExpressionDynamicLevelData(TDynamicLevelData&, TStaffDrawInfo&, TLayoutRecord&, int) override;
    int MeasureExpressionSustainPedal(TSustainPedal&, TStaffDrawInfo&, TLayoutRecord&) override;
    void DrawExpressionSustainPedal(TSustainPedal&, TStaffDrawInfo&, TLayoutRecord&, int) override;
    int MeasureExpressionFlowDirection(TFlowDirection&, TStaffDrawInfo&, TLayoutRecord&) override;
    void DrawExpressionFlowDirection(TFlowDirection&, TStaffDrawInfo&, TLayoutRecord&, int) override;
    int MeasureExpressionGenericControl(TGenericControl&, TStaffDrawInfo&, TLayoutRecord&) override;
    void DrawExpressionGenericControl(TGenericControl&, TStaffDrawInfo&, TLayoutRecord&, int) override;
    int MeasureExpressionTempoVariance(TTempoVariance&, TStaffDrawInfo&, TLayoutRecord&) override;
    void DrawExpressionTempoVariance(TTempoVariance&, TStaffDrawInfo&, TLayoutRecord&, int) override;
    int MeasureExpressionDynamicVariance(TDynamicVariance&, TStaffDrawInfo&, TLayoutRecord&) override;
    void DrawExpressionDynamicVariance(TDynamicVariance&, TStaffDrawInfo&, TLayoutRecord&, int) override;
    int MeasureExpressionPerformanceStyle(TPerformanceStyle&, TStaffDrawInfo&, TLayoutRecord&) override;
    void DrawExpressionPerformanceStyle(TPerformanceStyle&, TStaffDrawInfo&, TLayoutRecord&, int) override;
    int MeasureExpressionTextExpression(TTextExpression&, TStaffDrawInfo&, TLayoutRecord&) override;
    void DrawExpressionTextExpression(TTextExpression&, TStaffDrawInfo&, TLayoutRecord&, int) override;
    int MeasureExpressionChordName(TChordName&, TStaffDrawInfo&, TLayoutRecord&) override;
    void DrawExpressionChordName(TChordName&, TStaffDrawInfo&, TLayoutRecord&, int) override;
};

namespace qsm {
int LayoutChordAccidentals(TStaffDrawInfo& info, TChordData& chord, TLayoutRecord* record, int x,
                           int* columns);
void DrawChordStems(TStaffDrawInfo& info, TLayoutRecord& record, TChordData& chord, int x);
void DrawArticulations(TStaffDrawInfo& info, const TSongNote& note, int x, int pos, int d, bool onStem);
int RestShift(TRestChord& rc);
// Room the rest of a rest chord leaves for a head column of the chord part hanging from a down stem.
int RestShiftWidth(TStaffDrawInfo& info, TRestChord& rc);
}  // namespace qsm

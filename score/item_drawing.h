// The seam between the notation items and the code that measures and draws them. The items' drawing slots
// (GetDotWidth, Measure, Draw, MeasureExpression, DrawExpression and the chord accidental space) forward to
// the one installed TItemDrawing; with none installed they measure 0 and draw nothing. The drawing library
// derives from TItemDrawing and installs its object at start-up.
#pragma once

class TStaffDrawInfo;
class TLayoutRecord;
class TNotatedItem;
class TSongNote;
class TNtnGeneralExpression;

class TClefData;
class TKeyData;
class TBarLineData;
class TSpecialEnding;
class TTimeSignatureData;
class TStaffSpacer;
class TMultiMeasureRest;
class TStaffSizer;
class TMusicNote;
class TChordData;
class TRestNote;
class TRestChord;
class TPatchData;
class TTempoData;
class TDynamicLevelData;
class TSustainPedal;
class TFlowDirection;
class TGenericControl;
class TTempoVariance;
class TDynamicVariance;
class TPerformanceStyle;
class TTextExpression;
class TChordName;

class TItemDrawing {
public:
    virtual ~TItemDrawing() = default;

    // Song notes that no class below measures themselves (the base rule).
    virtual int MeasureSongNote(TSongNote&, TStaffDrawInfo&, TLayoutRecord&) { return 0; }
    virtual void DrawSongNote(TSongNote&, TStaffDrawInfo&, TLayoutRecord&, int /*x*/) {}

    virtual int MeasureClefData(TClefData&, TStaffDrawInfo&, TLayoutRecord&) { return 0; }
    virtual void DrawClefData(TClefData&, TStaffDrawInfo&, TLayoutRecord&, int /*x*/) {}
    virtual int MeasureKeyData(TKeyData&, TStaffDrawInfo&, TLayoutRecord&) { return 0; }
    virtual void DrawKeyData(TKeyData&, TStaffDrawInfo&, TLayoutRecord&, int /*x*/) {}
    virtual int MeasureBarLineData(TBarLineData&, TStaffDrawInfo&, TLayoutRecord&) { return 0; }
    virtual void DrawBarLineData(TBarLineData&, TStaffDrawInfo&, TLayoutRecord&, int /*x*/) {}
    virtual int MeasureSpecialEnding(TSpecialEnding&, TStaffDrawInfo&, TLayoutRecord&) { return 0; }
    virtual void DrawSpecialEnding(TSpecialEnding&, TStaffDrawInfo&, TLayoutRecord&, int /*x*/) {}
    virtual int MeasureTimeSignatureData(TTimeSignatureData&, TStaffDrawInfo&, TLayoutRecord&) { return 0; }
    virtual void DrawTimeSignatureData(TTimeSignatureData&, TStaffDrawInfo&, TLayoutRecord&, int /*x*/) {}
    virtual int MeasureStaffSpacer(TStaffSpacer&, TStaffDrawInfo&, TLayoutRecord&) { return 0; }
    virtual void DrawStaffSpacer(TStaffSpacer&, TStaffDrawInfo&, TLayoutRecord&, int /*x*/) {}
    virtual int MeasureMultiMeasureRest(TMultiMeasureRest&, TStaffDrawInfo&, TLayoutRecord&) { return 0; }
    virtual void DrawMultiMeasureRest(TMultiMeasureRest&, TStaffDrawInfo&, TLayoutRecord&, int /*x*/) {}
    virtual int MeasureStaffSizer(TStaffSizer&, TStaffDrawInfo&, TLayoutRecord&) { return 0; }
    virtual void DrawStaffSizer(TStaffSizer&, TStaffDrawInfo&, TLayoutRecord&, int /*x*/) {}
    virtual int MeasureMusicNote(TMusicNote&, TStaffDrawInfo&, TLayoutRecord&) { return 0; }
    virtual void DrawMusicNote(TMusicNote&, TStaffDrawInfo&, TLayoutRecord&, int /*x*/) {}
    virtual int MeasureChordData(TChordData&, TStaffDrawInfo&, TLayoutRecord&) { return 0; }
    virtual void DrawChordData(TChordData&, TStaffDrawInfo&, TLayoutRecord&, int /*x*/) {}
    virtual int MeasureRestNote(TRestNote&, TStaffDrawInfo&, TLayoutRecord&) { return 0; }
    virtual void DrawRestNote(TRestNote&, TStaffDrawInfo&, TLayoutRecord&, int /*x*/) {}
    virtual int MeasureRestChord(TRestChord&, TStaffDrawInfo&, TLayoutRecord&) { return 0; }
    virtual void DrawRestChord(TRestChord&, TStaffDrawInfo&, TLayoutRecord&, int /*x*/) {}

    virtual int GetDotWidthMusicNote(TMusicNote&, TStaffDrawInfo&, TLayoutRecord&) { return 0; }
    virtual int GetDotWidthChordData(TChordData&, TStaffDrawInfo&, TLayoutRecord&) { return 0; }
    virtual int GetDotWidthRestNote(TRestNote&, TStaffDrawInfo&, TLayoutRecord&) { return 0; }
    virtual int GetDotWidthRestChord(TRestChord&, TStaffDrawInfo&, TLayoutRecord&) { return 0; }
    // Accidental columns of a chord (the chord's own XAccSpace is added by the chord).
    virtual int GetChordAccidentalColumns(TChordData&, TStaffDrawInfo&) { return 0; }

    // The shared measuring and drawing of every expression (marker, justification, placement).
    virtual int MeasureGeneralExpression(TNtnGeneralExpression&, TStaffDrawInfo&, TLayoutRecord&) {
        return 0;
    }
    virtual void DrawGeneralExpression(TNtnGeneralExpression&, TStaffDrawInfo&, TLayoutRecord&, int /*x*/) {}
    virtual int MeasureExpressionPatchData(TPatchData&, TStaffDrawInfo&, TLayoutRecord&) { return 0; }
    virtual void DrawExpressionPatchData(TPatchData&, TStaffDrawInfo&, TLayoutRecord&, int /*x*/) {}
    virtual int MeasureExpressionTempoData(TTempoData&, TStaffDrawInfo&, TLayoutRecord&) { return 0; }
    virtual void DrawExpressionTempoData(TTempoData&, TStaffDrawInfo&, TLayoutRecord&, int /*x*/) {}
    virtual int MeasureExpressionDynamicLevelData(TDynamicLevelData&, TStaffDrawInfo&, TLayoutRecord&) {
        return 0;
    }
    virtual void DrawExpressionDynamicLevelData(TDynamicLevelData&, TStaffDrawInfo&, TLayoutRecord&,
                                                int /*x*/) {}
    virtual int MeasureExpressionSustainPedal(TSustainPedal&, TStaffDrawInfo&, TLayoutRecord&) { return 0; }
    virtual void DrawExpressionSustainPedal(TSustainPedal&, TStaffDrawInfo&, TLayoutRecord&, int /*x*/) {}
    virtual int MeasureExpressionFlowDirection(TFlowDirection&, TStaffDrawInfo&, TLayoutRecord&) { return 0; }
    virtual void DrawExpressionFlowDirection(TFlowDirection&, TStaffDrawInfo&, TLayoutRecord&, int /*x*/) {}
    virtual int MeasureExpressionGenericControl(TGenericControl&, TStaffDrawInfo&, TLayoutRecord&) {
        return 0;
    }
    virtual void DrawExpressionGenericControl(TGenericControl&, TStaffDrawInfo&, TLayoutRecord&, int /*x*/) {}
    virtual int MeasureExpressionTempoVariance(TTempoVariance&, TStaffDrawInfo&, TLayoutRecord&) { return 0; }
    virtual void DrawExpressionTempoVariance(TTempoVariance&, TStaffDrawInfo&, TLayoutRecord&, int /*x*/) {}
    virtual int MeasureExpressionDynamicVariance(TDynamicVariance&, TStaffDrawInfo&, TLayoutRecord&) {
        return 0;
    }
    virtual void DrawExpressionDynamicVariance(TDynamicVariance&, TStaffDrawInfo&, TLayoutRecord&,
                                               int /*x*/) {}
    virtual int MeasureExpressionPerformanceStyle(TPerformanceStyle&, TStaffDrawInfo&, TLayoutRecord&) {
        return 0;
    }
    virtual void DrawExpressionPerformanceStyle(TPerformanceStyle&, TStaffDrawInfo&, TLayoutRecord&,
                                                int /*x*/) {}
    virtual int MeasureExpressionTextExpression(TTextExpression&, TStaffDrawInfo&, TLayoutRecord&) {
        return 0;
    }
    virtual void DrawExpressionTextExpression(TTextExpression&, TStaffDrawInfo&, TLayoutRecord&, int /*x*/) {}
    virtual int MeasureExpressionChordName(TChordName&, TStaffDrawInfo&, TLayoutRecord&) { return 0; }
    virtual void DrawExpressionChordName(TChordName&, TStaffDrawInfo&, TLayoutRecord&, int /*x*/) {}
};

// The installed drawing object (not owned), or null.
TItemDrawing* GetItemDrawing();
// Installs the drawing object (null removes it); returns the previous one.
TItemDrawing* SetItemDrawing(TItemDrawing* drawing);

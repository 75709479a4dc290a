// Forwarding of the items' measuring and drawing slots to the installed TItemDrawing.
#include "score/item_drawing.h"

#include "score/expression_items.h"
#include "score/song_note.h"
#include "score/structure_items.h"

namespace {
TItemDrawing* gItemDrawing = nullptr;
}  // namespace

TItemDrawing* GetItemDrawing() {
    return gItemDrawing;
}

TItemDrawing* SetItemDrawing(TItemDrawing* drawing) {
    TItemDrawing* old = gItemDrawing;
    gItemDrawing = drawing;
    return old;
}

int TNotatedItem::GetDotWidth(TStaffDrawInfo&, TLayoutRecord&) {
    return 0;
}

int TSongNote::GetDotWidth(TStaffDrawInfo&, TLayoutRecord&) {
    return 0;
}

int TSongNote::Measure(TStaffDrawInfo& info, TLayoutRecord& record) {
    return gItemDrawing ? gItemDrawing->MeasureSongNote(*this, info, record) : 0;
}

void TSongNote::Draw(TStaffDrawInfo& info, TLayoutRecord& record, int x) {
    if (gItemDrawing) gItemDrawing->DrawSongNote(*this, info, record, x);
}

int TNtnGeneralExpression::Measure(TStaffDrawInfo& info, TLayoutRecord& record) {
    return gItemDrawing ? gItemDrawing->MeasureGeneralExpression(*this, info, record) : 0;
}

void TNtnGeneralExpression::Draw(TStaffDrawInfo& info, TLayoutRecord& record, int x) {
    if (gItemDrawing) gItemDrawing->DrawGeneralExpression(*this, info, record, x);
}

int TChordData::GetAccidentalSpace(TStaffDrawInfo& info) {
    int columns = gItemDrawing ? gItemDrawing->GetChordAccidentalColumns(*this, info) : 0;
    return GetXAccSpace() + columns;
}

int TClefData::Measure(TStaffDrawInfo& info, TLayoutRecord& record) {
    return gItemDrawing ? gItemDrawing->MeasureClefData(*this, info, record) : 0;
}

void TClefData::Draw(TStaffDrawInfo& info, TLayoutRecord& record, int x) {
    if (gItemDrawing) gItemDrawing->DrawClefData(*this, info, record, x);
}

int TKeyData::Measure(TStaffDrawInfo& info, TLayoutRecord& record) {
    return gItemDrawing ? gItemDrawing->MeasureKeyData(*this, info, record) : 0;
}

void TKeyData::Draw(TStaffDrawInfo& info, TLayoutRecord& record, int x) {
    if (gItemDrawing) gItemDrawing->DrawKeyData(*this, info, record, x);
}

int TBarLineData::Measure(TStaffDrawInfo& info, TLayoutRecord& record) {
    return gItemDrawing ? gItemDrawing->MeasureBarLineData(*this, info, record) : 0;
}

void TBarLineData::Draw(TStaffDrawInfo& info, TLayoutRecord& record, int x) {
    if (gItemDrawing) gItemDrawing->DrawBarLineData(*this, info, record, x);
}

int TSpecialEnding::Measure(TStaffDrawInfo& info, TLayoutRecord& record) {
    return gItemDrawing ? gItemDrawing->MeasureSpecialEnding(*this, info, record) : 0;
}

void TSpecialEnding::Draw(TStaffDrawInfo& info, TLayoutRecord& record, int x) {
    if (gItemDrawing) gItemDrawing->DrawSpecialEnding(*this, info, record, x);
}

int TTimeSignatureData::Measure(TStaffDrawInfo& info, TLayoutRecord& record) {
    return gItemDrawing ? gItemDrawing->MeasureTimeSignatureData(*this, info, record) : 0;
}

void TTimeSignatureData::Draw(TStaffDrawInfo& info, TLayoutRecord& record, int x) {
    if (gItemDrawing) gItemDrawing->DrawTimeSignatureData(*this, info, record, x);
}

int TStaffSpacer::Measure(TStaffDrawInfo& info, TLayoutRecord& record) {
    return gItemDrawing ? gItemDrawing->MeasureStaffSpacer(*this, info, record) : 0;
}

void TStaffSpacer::Draw(TStaffDrawInfo& info, TLayoutRecord& record, int x) {
    if (gItemDrawing) gItemDrawing->DrawStaffSpacer(*this, info, record, x);
}

int TMultiMeasureRest::Measure(TStaffDrawInfo& info, TLayoutRecord& record) {
    return gItemDrawing ? gItemDrawing->MeasureMultiMeasureRest(*this, info, record) : 0;
}

void TMultiMeasureRest::Draw(TStaffDrawInfo& info, TLayoutRecord& record, int x) {
    if (gItemDrawing) gItemDrawing->DrawMultiMeasureRest(*this, info, record, x);
}

int TStaffSizer::Measure(TStaffDrawInfo& info, TLayoutRecord& record) {
    return gItemDrawing ? gItemDrawing->MeasureStaffSizer(*this, info, record) : 0;
}

void TStaffSizer::Draw(TStaffDrawInfo& info, TLayoutRecord& record, int x) {
    if (gItemDrawing) gItemDrawing->DrawStaffSizer(*this, info, record, x);
}

int TMusicNote::Measure(TStaffDrawInfo& info, TLayoutRecord& record) {
    return gItemDrawing ? gItemDrawing->MeasureMusicNote(*this, info, record) : 0;
}

void TMusicNote::Draw(TStaffDrawInfo& info, TLayoutRecord& record, int x) {
    if (gItemDrawing) gItemDrawing->DrawMusicNote(*this, info, record, x);
}

int TChordData::Measure(TStaffDrawInfo& info, TLayoutRecord& record) {
    return gItemDrawing ? gItemDrawing->MeasureChordData(*this, info, record) : 0;
}

void TChordData::Draw(TStaffDrawInfo& info, TLayoutRecord& record, int x) {
    if (gItemDrawing) gItemDrawing->DrawChordData(*this, info, record, x);
}

int TRestNote::Measure(TStaffDrawInfo& info, TLayoutRecord& record) {
    return gItemDrawing ? gItemDrawing->MeasureRestNote(*this, info, record) : 0;
}

void TRestNote::Draw(TStaffDrawInfo& info, TLayoutRecord& record, int x) {
    if (gItemDrawing) gItemDrawing->DrawRestNote(*this, info, record, x);
}

int TRestChord::Measure(TStaffDrawInfo& info, TLayoutRecord& record) {
    return gItemDrawing ? gItemDrawing->MeasureRestChord(*this, info, record) : 0;
}

void TRestChord::Draw(TStaffDrawInfo& info, TLayoutRecord& record, int x) {
    if (gItemDrawing) gItemDrawing->DrawRestChord(*this, info, record, x);
}

int TMusicNote::GetDotWidth(TStaffDrawInfo& info, TLayoutRecord& record) {
    return gItemDrawing ? gItemDrawing->GetDotWidthMusicNote(*this, info, record) : 0;
}

int TChordData::GetDotWidth(TStaffDrawInfo& info, TLayoutRecord& record) {
    return gItemDrawing ? gItemDrawing->GetDotWidthChordData(*this, info, record) : 0;
}

int TRestNote::GetDotWidth(TStaffDrawInfo& info, TLayoutRecord& record) {
    return gItemDrawing ? gItemDrawing->GetDotWidthRestNote(*this, info, record) : 0;
}

int TRestChord::GetDotWidth(TStaffDrawInfo& info, TLayoutRecord& record) {
    return gItemDrawing ? gItemDrawing->GetDotWidthRestChord(*this, info, record) : 0;
}

int TPatchData::MeasureExpression(TStaffDrawInfo& info, TLayoutRecord& record) {
    return gItemDrawing ? gItemDrawing->MeasureExpressionPatchData(*this, info, record) : 0;
}

void TPatchData::DrawExpression(TStaffDrawInfo& info, TLayoutRecord& record, int x) {
    if (gItemDrawing) gItemDrawing->DrawExpressionPatchData(*this, info, record, x);
}

int TTempoData::MeasureExpression(TStaffDrawInfo& info, TLayoutRecord& record) {
    return gItemDrawing ? gItemDrawing->MeasureExpressionTempoData(*this, info, record) : 0;
}

void TTempoData::DrawExpression(TStaffDrawInfo& info, TLayoutRecord& record, int x) {
    if (gItemDrawing) gItemDrawing->DrawExpressionTempoData(*this, info, record, x);
}

int TDynamicLevelData::MeasureExpression(TStaffDrawInfo& info, TLayoutRecord& record) {
    return gItemDrawing ? gItemDrawing->MeasureExpressionDynamicLevelData(*this, info, record) : 0;
}

void TDynamicLevelData::DrawExpression(TStaffDrawInfo& info, TLayoutRecord& record, int x) {
    if (gItemDrawing) gItemDrawing->DrawExpressionDynamicLevelData(*this, info, record, x);
}

int TSustainPedal::MeasureExpression(TStaffDrawInfo& info, TLayoutRecord& record) {
    return gItemDrawing ? gItemDrawing->MeasureExpressionSustainPedal(*this, info, record) : 0;
}

void TSustainPedal::DrawExpression(TStaffDrawInfo& info, TLayoutRecord& record, int x) {
    if (gItemDrawing) gItemDrawing->DrawExpressionSustainPedal(*this, info, record, x);
}

int TFlowDirection::MeasureExpression(TStaffDrawInfo& info, TLayoutRecord& record) {
    return gItemDrawing ? gItemDrawing->MeasureExpressionFlowDirection(*this, info, record) : 0;
}

void TFlowDirection::DrawExpression(TStaffDrawInfo& info, TLayoutRecord& record, int x) {
    if (gItemDrawing) gItemDrawing->DrawExpressionFlowDirection(*this, info, record, x);
}

int TGenericControl::MeasureExpression(TStaffDrawInfo& info, TLayoutRecord& record) {
    return gItemDrawing ? gItemDrawing->MeasureExpressionGenericControl(*this, info, record) : 0;
}

void TGenericControl::DrawExpression(TStaffDrawInfo& info, TLayoutRecord& record, int x) {
    if (gItemDrawing) gItemDrawing->DrawExpressionGenericControl(*this, info, record, x);
}

int TTempoVariance::MeasureExpression(TStaffDrawInfo& info, TLayoutRecord& record) {
    return gItemDrawing ? gItemDrawing->MeasureExpressionTempoVariance(*this, info, record) : 0;
}

void TTempoVariance::DrawExpression(TStaffDrawInfo& info, TLayoutRecord& record, int x) {
    if (gItemDrawing) gItemDrawing->DrawExpressionTempoVariance(*this, info, record, x);
}

int TDynamicVariance::MeasureExpression(TStaffDrawInfo& info, TLayoutRecord& record) {
    return gItemDrawing ? gItemDrawing->MeasureExpressionDynamicVariance(*this, info, record) : 0;
}

void TDynamicVariance::DrawExpression(TStaffDrawInfo& info, TLayoutRecord& record, int x) {
    if (gItemDrawing) gItemDrawing->DrawExpressionDynamicVariance(*this, info, record, x);
}

int TPerformanceStyle::MeasureExpression(TStaffDrawInfo& info, TLayoutRecord& record) {
    return gItemDrawing ? gItemDrawing->MeasureExpressionPerformanceStyle(*this, info, record) : 0;
}

void TPerformanceStyle::DrawExpression(TStaffDrawInfo& info, TLayoutRecord& record, int x) {
    if (gItemDrawing) gItemDrawing->DrawExpressionPerformanceStyle(*this, info, record, x);
}

int TTextExpression::MeasureExpression(TStaffDrawInfo& info, TLayoutRecord& record) {
    return gItemDrawing ? gItemDrawing->MeasureExpressionTextExpression(*this, info, record) : 0;
}

void TTextExpression::DrawExpression(TStaffDrawInfo& info, TLayoutRecord& record, int x) {
    if (gItemDrawing) gItemDrawing->DrawExpressionTextExpression(*this, info, record, x);
}

int TChordName::MeasureExpression(TStaffDrawInfo& info, TLayoutRecord& record) {
    return gItemDrawing ? gItemDrawing->MeasureExpressionChordName(*this, info, record) : 0;
}

void TChordName::DrawExpression(TStaffDrawInfo& info, TLayoutRecord& record, int x) {
    if (gItemDrawing) gItemDrawing->DrawExpressionChordName(*this, info, record, x);
}

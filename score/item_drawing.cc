// Forwarding of the items' measuring and drawing slots to the installed TItemDrawing.
#include "score/item_drawing.h"

#include "core/hooks.h"
#include "score/expression_items.h"
#include "score/song_note.h"
#include "score/structure_items.h"

namespace {

TItemDrawing* gItemDrawing = nullptr;

// The installed drawing object for an item's slot; a slot used before any is installed is reported.
TItemDrawing* Drawing() {
    if (!gItemDrawing) qsm::ReportMissingHook("The item drawing (qsm::InstallScoreHooks)");
    return gItemDrawing;
}

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
    return Drawing() ? gItemDrawing->MeasureSongNote(*this, info, record) : 0;
}

void TSongNote::Draw(TStaffDrawInfo& info, TLayoutRecord& record, int x) {
    if (Drawing()) gItemDrawing->DrawSongNote(*this, info, record, x);
}

int TNtnGeneralExpression::Measure(TStaffDrawInfo& info, TLayoutRecord& record) {
    return Drawing() ? gItemDrawing->MeasureGeneralExpression(*this, info, record) : 0;
}

void TNtnGeneralExpression::Draw(TStaffDrawInfo& info, TLayoutRecord& record, int x) {
    if (Drawing()) gItemDrawing->DrawGeneralExpression(*this, info, record, x);
}

int TChordData::GetAccidentalSpace(TStaffDrawInfo& info) {
    int columns = Drawing() ? gItemDrawing->GetChordAccidentalColumns(*this, info) : 0;
    return GetXAccSpace() + columns;
}

int TClefData::Measure(TStaffDrawInfo& info, TLayoutRecord& record) {
    return Drawing() ? gItemDrawing->MeasureClefData(*this, info, record) : 0;
}

void TClefData::Draw(TStaffDrawInfo& info, TLayoutRecord& record, int x) {
    if (Drawing()) gItemDrawing->DrawClefData(*this, info, record, x);
}

int TKeyData::Measure(TStaffDrawInfo& info, TLayoutRecord& record) {
    return Drawing() ? gItemDrawing->MeasureKeyData(*this, info, record) : 0;
}

void TKeyData::Draw(TStaffDrawInfo& info, TLayoutRecord& record, int x) {
    if (Drawing()) gItemDrawing->DrawKeyData(*this, info, record, x);
}

int TBarLineData::Measure(TStaffDrawInfo& info, TLayoutRecord& record) {
    return Drawing() ? gItemDrawing->MeasureBarLineData(*this, info, record) : 0;
}

void TBarLineData::Draw(TStaffDrawInfo& info, TLayoutRecord& record, int x) {
    if (Drawing()) gItemDrawing->DrawBarLineData(*this, info, record, x);
}

int TSpecialEnding::Measure(TStaffDrawInfo& info, TLayoutRecord& record) {
    return Drawing() ? gItemDrawing->MeasureSpecialEnding(*this, info, record) : 0;
}

void TSpecialEnding::Draw(TStaffDrawInfo& info, TLayoutRecord& record, int x) {
    if (Drawing()) gItemDrawing->DrawSpecialEnding(*this, info, record, x);
}

int TTimeSignatureData::Measure(TStaffDrawInfo& info, TLayoutRecord& record) {
    return Drawing() ? gItemDrawing->MeasureTimeSignatureData(*this, info, record) : 0;
}

void TTimeSignatureData::Draw(TStaffDrawInfo& info, TLayoutRecord& record, int x) {
    if (Drawing()) gItemDrawing->DrawTimeSignatureData(*this, info, record, x);
}

int TStaffSpacer::Measure(TStaffDrawInfo& info, TLayoutRecord& record) {
    return Drawing() ? gItemDrawing->MeasureStaffSpacer(*this, info, record) : 0;
}

void TStaffSpacer::Draw(TStaffDrawInfo& info, TLayoutRecord& record, int x) {
    if (Drawing()) gItemDrawing->DrawStaffSpacer(*this, info, record, x);
}

int TMultiMeasureRest::Measure(TStaffDrawInfo& info, TLayoutRecord& record) {
    return Drawing() ? gItemDrawing->MeasureMultiMeasureRest(*this, info, record) : 0;
}

void TMultiMeasureRest::Draw(TStaffDrawInfo& info, TLayoutRecord& record, int x) {
    if (Drawing()) gItemDrawing->DrawMultiMeasureRest(*this, info, record, x);
}

int TStaffSizer::Measure(TStaffDrawInfo& info, TLayoutRecord& record) {
    return Drawing() ? gItemDrawing->MeasureStaffSizer(*this, info, record) : 0;
}

void TStaffSizer::Draw(TStaffDrawInfo& info, TLayoutRecord& record, int x) {
    if (Drawing()) gItemDrawing->DrawStaffSizer(*this, info, record, x);
}

int TMusicNote::Measure(TStaffDrawInfo& info, TLayoutRecord& record) {
    return Drawing() ? gItemDrawing->MeasureMusicNote(*this, info, record) : 0;
}

void TMusicNote::Draw(TStaffDrawInfo& info, TLayoutRecord& record, int x) {
    if (Drawing()) gItemDrawing->DrawMusicNote(*this, info, record, x);
}

int TChordData::Measure(TStaffDrawInfo& info, TLayoutRecord& record) {
    return Drawing() ? gItemDrawing->MeasureChordData(*this, info, record) : 0;
}

void TChordData::Draw(TStaffDrawInfo& info, TLayoutRecord& record, int x) {
    if (Drawing()) gItemDrawing->DrawChordData(*this, info, record, x);
}

int TRestNote::Measure(TStaffDrawInfo& info, TLayoutRecord& record) {
    return Drawing() ? gItemDrawing->MeasureRestNote(*this, info, record) : 0;
}

void TRestNote::Draw(TStaffDrawInfo& info, TLayoutRecord& record, int x) {
    if (Drawing()) gItemDrawing->DrawRestNote(*this, info, record, x);
}

int TRestChord::Measure(TStaffDrawInfo& info, TLayoutRecord& record) {
    return Drawing() ? gItemDrawing->MeasureRestChord(*this, info, record) : 0;
}

void TRestChord::Draw(TStaffDrawInfo& info, TLayoutRecord& record, int x) {
    if (Drawing()) gItemDrawing->DrawRestChord(*this, info, record, x);
}

int TMusicNote::GetDotWidth(TStaffDrawInfo& info, TLayoutRecord& record) {
    return Drawing() ? gItemDrawing->GetDotWidthMusicNote(*this, info, record) : 0;
}

int TChordData::GetDotWidth(TStaffDrawInfo& info, TLayoutRecord& record) {
    return Drawing() ? gItemDrawing->GetDotWidthChordData(*this, info, record) : 0;
}

int TRestNote::GetDotWidth(TStaffDrawInfo& info, TLayoutRecord& record) {
    return Drawing() ? gItemDrawing->GetDotWidthRestNote(*this, info, record) : 0;
}

int TRestChord::GetDotWidth(TStaffDrawInfo& info, TLayoutRecord& record) {
    return Drawing() ? gItemDrawing->GetDotWidthRestChord(*this, info, record) : 0;
}

int TPatchData::MeasureExpression(TStaffDrawInfo& info, TLayoutRecord& record) {
    return Drawing() ? gItemDrawing->MeasureExpressionPatchData(*this, info, record) : 0;
}

void TPatchData::DrawExpression(TStaffDrawInfo& info, TLayoutRecord& record, int x) {
    if (Drawing()) gItemDrawing->DrawExpressionPatchData(*this, info, record, x);
}

int TTempoData::MeasureExpression(TStaffDrawInfo& info, TLayoutRecord& record) {
    return Drawing() ? gItemDrawing->MeasureExpressionTempoData(*this, info, record) : 0;
}

void TTempoData::DrawExpression(TStaffDrawInfo& info, TLayoutRecord& record, int x) {
    if (Drawing()) gItemDrawing->DrawExpressionTempoData(*this, info, record, x);
}

int TDynamicLevelData::MeasureExpression(TStaffDrawInfo& info, TLayoutRecord& record) {
    return Drawing() ? gItemDrawing->MeasureExpressionDynamicLevelData(*this, info, record) : 0;
}

void TDynamicLevelData::DrawExpression(TStaffDrawInfo& info, TLayoutRecord& record, int x) {
    if (Drawing()) gItemDrawing->DrawExpressionDynamicLevelData(*this, info, record, x);
}

int TSustainPedal::MeasureExpression(TStaffDrawInfo& info, TLayoutRecord& record) {
    return Drawing() ? gItemDrawing->MeasureExpressionSustainPedal(*this, info, record) : 0;
}

void TSustainPedal::DrawExpression(TStaffDrawInfo& info, TLayoutRecord& record, int x) {
    if (Drawing()) gItemDrawing->DrawExpressionSustainPedal(*this, info, record, x);
}

int TFlowDirection::MeasureExpression(TStaffDrawInfo& info, TLayoutRecord& record) {
    return Drawing() ? gItemDrawing->MeasureExpressionFlowDirection(*this, info, record) : 0;
}

void TFlowDirection::DrawExpression(TStaffDrawInfo& info, TLayoutRecord& record, int x) {
    if (Drawing()) gItemDrawing->DrawExpressionFlowDirection(*this, info, record, x);
}

int TGenericControl::MeasureExpression(TStaffDrawInfo& info, TLayoutRecord& record) {
    return Drawing() ? gItemDrawing->MeasureExpressionGenericControl(*this, info, record) : 0;
}

void TGenericControl::DrawExpression(TStaffDrawInfo& info, TLayoutRecord& record, int x) {
    if (Drawing()) gItemDrawing->DrawExpressionGenericControl(*this, info, record, x);
}

int TTempoVariance::MeasureExpression(TStaffDrawInfo& info, TLayoutRecord& record) {
    return Drawing() ? gItemDrawing->MeasureExpressionTempoVariance(*this, info, record) : 0;
}

void TTempoVariance::DrawExpression(TStaffDrawInfo& info, TLayoutRecord& record, int x) {
    if (Drawing()) gItemDrawing->DrawExpressionTempoVariance(*this, info, record, x);
}

int TDynamicVariance::MeasureExpression(TStaffDrawInfo& info, TLayoutRecord& record) {
    return Drawing() ? gItemDrawing->MeasureExpressionDynamicVariance(*this, info, record) : 0;
}

void TDynamicVariance::DrawExpression(TStaffDrawInfo& info, TLayoutRecord& record, int x) {
    if (Drawing()) gItemDrawing->DrawExpressionDynamicVariance(*this, info, record, x);
}

int TPerformanceStyle::MeasureExpression(TStaffDrawInfo& info, TLayoutRecord& record) {
    return Drawing() ? gItemDrawing->MeasureExpressionPerformanceStyle(*this, info, record) : 0;
}

void TPerformanceStyle::DrawExpression(TStaffDrawInfo& info, TLayoutRecord& record, int x) {
    if (Drawing()) gItemDrawing->DrawExpressionPerformanceStyle(*this, info, record, x);
}

int TTextExpression::MeasureExpression(TStaffDrawInfo& info, TLayoutRecord& record) {
    return Drawing() ? gItemDrawing->MeasureExpressionTextExpression(*this, info, record) : 0;
}

void TTextExpression::DrawExpression(TStaffDrawInfo& info, TLayoutRecord& record, int x) {
    if (Drawing()) gItemDrawing->DrawExpressionTextExpression(*this, info, record, x);
}

int TChordName::MeasureExpression(TStaffDrawInfo& info, TLayoutRecord& record) {
    return Drawing() ? gItemDrawing->MeasureExpressionChordName(*this, info, record) : 0;
}

void TChordName::DrawExpression(TStaffDrawInfo& info, TLayoutRecord& record, int x) {
    if (Drawing()) gItemDrawing->DrawExpressionChordName(*this, info, record, x);
}

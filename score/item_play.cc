// Item playback: what each item contributes when a staff is walked (the duration of the items that take
// time, the walk state they change, the events they add and the next item to play). The performance rules
// themselves are filled in by the playback work; until then the items keep the base behaviour.
#include <cstdint>

#include "score/expression_items.h"
#include "score/song_note.h"
#include "score/structure_items.h"

// Ticks an item occupies: the nominal ticks of a note, rest or chord (none for grace notes), the bar
// length of a whole-bar rest, the bars of a multi-measure rest.
int TSongNote::GetDuration() const {
    return IsGrace() ? 0 : GetNominalTicks();
}

int TRestNote::GetDuration() const {
    return BarLengthFlag ? BarLength : TSongNote::GetDuration();
}

int TMultiMeasureRest::GetDuration() const {
    // Computed wide and kept within the 32-bit tick range.
    const int64_t ticks = static_cast<int64_t>(NumBars) * BarLength;
    return ticks > INT32_MAX ? INT32_MAX : static_cast<int>(ticks);
}

void TNotatedItem::UpdatePlayState(TStaffPlayState& /*state*/) {}

void TNotatedItem::Play(TStaffPlayState& /*state*/, TMidiFileBuf& /*buffer*/) {}

int TNotatedItem::GetNextPlayIndex(TStaffPlayState& /*state*/, TMusicStaff& /*staff*/, int index) {
    return index + 1;
}

void TSongNote::UpdateSlurAndTie(TStaffPlayState& /*state*/, TMusicStaff& /*staff*/, int /*index*/) {}

void TSongNote::UpdatePlayState(TStaffPlayState& state) {
    TNotatedItem::UpdatePlayState(state);
}

void TMusicNote::UpdatePlayState(TStaffPlayState& state) {
    TSongNote::UpdatePlayState(state);
}

void TChordData::UpdatePlayState(TStaffPlayState& state) {
    TMusicNote::UpdatePlayState(state);
}

void TRestChord::UpdatePlayState(TStaffPlayState& state) {
    TRestNote::UpdatePlayState(state);
}

void TClefData::UpdatePlayState(TStaffPlayState& state) {
    TNotatedItem::UpdatePlayState(state);
}

void TKeyData::UpdatePlayState(TStaffPlayState& state) {
    TNotatedItem::UpdatePlayState(state);
}

void TBarLineData::UpdatePlayState(TStaffPlayState& state) {
    TNotatedItem::UpdatePlayState(state);
}

void TSpecialEnding::UpdatePlayState(TStaffPlayState& state) {
    TNotatedItem::UpdatePlayState(state);
}

void TTimeSignatureData::UpdatePlayState(TStaffPlayState& state) {
    TNotatedItem::UpdatePlayState(state);
}

void TMultiMeasureRest::UpdatePlayState(TStaffPlayState& state) {
    TNotatedItem::UpdatePlayState(state);
}

void TPatchData::UpdatePlayState(TStaffPlayState& state) {
    TNtnGeneralExpression::UpdatePlayState(state);
}

void TDynamicLevelData::UpdatePlayState(TStaffPlayState& state) {
    TNtnGeneralExpression::UpdatePlayState(state);
}

void TFlowDirection::UpdatePlayState(TStaffPlayState& state) {
    TNtnGeneralExpression::UpdatePlayState(state);
}

void TPerformanceStyle::UpdatePlayState(TStaffPlayState& state) {
    TNtnGeneralExpression::UpdatePlayState(state);
}

void TMusicNote::Play(TStaffPlayState& state, TMidiFileBuf& buffer) {
    TSongNote::Play(state, buffer);
}

void TChordData::Play(TStaffPlayState& state, TMidiFileBuf& buffer) {
    TMusicNote::Play(state, buffer);
}

void TRestChord::Play(TStaffPlayState& state, TMidiFileBuf& buffer) {
    TRestNote::Play(state, buffer);
}

void TKeyData::Play(TStaffPlayState& state, TMidiFileBuf& buffer) {
    TNotatedItem::Play(state, buffer);
}

void TTimeSignatureData::Play(TStaffPlayState& state, TMidiFileBuf& buffer) {
    TNotatedItem::Play(state, buffer);
}

void TPatchData::Play(TStaffPlayState& state, TMidiFileBuf& buffer) {
    TNtnGeneralExpression::Play(state, buffer);
}

void TTempoData::Play(TStaffPlayState& state, TMidiFileBuf& buffer) {
    TNtnGeneralExpression::Play(state, buffer);
}

void TDynamicLevelData::Play(TStaffPlayState& state, TMidiFileBuf& buffer) {
    TNtnGeneralExpression::Play(state, buffer);
}

void TSustainPedal::Play(TStaffPlayState& state, TMidiFileBuf& buffer) {
    TNtnGeneralExpression::Play(state, buffer);
}

void TGenericControl::Play(TStaffPlayState& state, TMidiFileBuf& buffer) {
    TNtnGeneralExpression::Play(state, buffer);
}

void TTempoVariance::Play(TStaffPlayState& state, TMidiFileBuf& buffer) {
    TNtnGeneralExpression::Play(state, buffer);
}

int TBarLineData::GetNextPlayIndex(TStaffPlayState& state, TMusicStaff& staff, int index) {
    return TNotatedItem::GetNextPlayIndex(state, staff, index);
}

int TSpecialEnding::GetNextPlayIndex(TStaffPlayState& state, TMusicStaff& staff, int index) {
    return TNotatedItem::GetNextPlayIndex(state, staff, index);
}

int TFlowDirection::GetNextPlayIndex(TStaffPlayState& state, TMusicStaff& staff, int index) {
    return TNtnGeneralExpression::GetNextPlayIndex(state, staff, index);
}

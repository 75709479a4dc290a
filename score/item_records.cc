// The items' file records as the score file writer stores them. Each class writes its base class's part
// first. Only the common part is written here so far; the records of the single kinds are completed by the
// score file format work.
#include "core/stream.h"
#include "score/expression_items.h"
#include "score/lyrics.h"
#include "score/song_note.h"
#include "score/structure_items.h"

void TNotatedItem::Save(TQSRStream& stream) const {
    // Visibility in bits 0-2 (bit 3 always clear), colour in bits 4-7.
    stream << static_cast<unsigned char>(GetFlagsByte() & 0xF7);
}

void TMusicNote::Save(TQSRStream& stream) const {
    TNotatedItem::Save(stream);
}

void TChordData::Save(TQSRStream& stream) const {
    TMusicNote::Save(stream);
}

void TRestNote::Save(TQSRStream& stream) const {
    TNotatedItem::Save(stream);
}

void TRestChord::Save(TQSRStream& stream) const {
    TRestNote::Save(stream);
}

void TClefData::Save(TQSRStream& stream) const {
    TNotatedItem::Save(stream);
}

void TKeyData::Save(TQSRStream& stream) const {
    TNotatedItem::Save(stream);
}

void TBarLineData::Save(TQSRStream& stream) const {
    TNotatedItem::Save(stream);
}

void TSpecialEnding::Save(TQSRStream& stream) const {
    TNotatedItem::Save(stream);
}

void TTimeSignatureData::Save(TQSRStream& stream) const {
    TNotatedItem::Save(stream);
}

void TMultiMeasureRest::Save(TQSRStream& stream) const {
    TNotatedItem::Save(stream);
}

void TStaffSpacer::Save(TQSRStream& stream) const {
    TNotatedItem::Save(stream);
}

void TStaffSizer::Save(TQSRStream& stream) const {
    TNotatedItem::Save(stream);
}

void TPatchData::Save(TQSRStream& stream) const {
    TNotatedItem::Save(stream);
}

void TTempoData::Save(TQSRStream& stream) const {
    TNotatedItem::Save(stream);
}

void TDynamicLevelData::Save(TQSRStream& stream) const {
    TNotatedItem::Save(stream);
}

void TSustainPedal::Save(TQSRStream& stream) const {
    TNotatedItem::Save(stream);
}

void TFlowDirection::Save(TQSRStream& stream) const {
    TNotatedItem::Save(stream);
}

void TGenericControl::Save(TQSRStream& stream) const {
    TNotatedItem::Save(stream);
}

void TTempoVariance::Save(TQSRStream& stream) const {
    TNotatedItem::Save(stream);
}

void TDynamicVariance::Save(TQSRStream& stream) const {
    TNotatedItem::Save(stream);
}

void TPerformanceStyle::Save(TQSRStream& stream) const {
    TNotatedItem::Save(stream);
}

void TTextExpression::Save(TQSRStream& stream) const {
    TNotatedItem::Save(stream);
}

void TChordName::Save(TQSRStream& stream) const {
    TNotatedItem::Save(stream);
}

// The lyric block of the score file; written by the score file format work.
void TStaffLyrics::Save(TQSRStream& /*stream*/) const {}

#include "score/format/tests/format_fixture.h"

#include <random>
#include <sstream>

#include "core/ram_stream.h"
#include "score/item_records.h"
#include "score/tests/walk_fixture.h"

using namespace qsm::test;

namespace format_fixture {

namespace {

// Every stored and derived field of an item, as text.
void DescribeNote(std::ostringstream& out, const TSongNote& n) {
    out << " attr" << n.GetAttributes() << " beam" << n.GetBeamState() << " trip" << n.GetTripletState()
        << " stem" << n.GetStemSetting() << " sc" << n.IsSlurContinued() << " tc" << n.IsTieContinued()
        << " uo" << n.IsUnderOpenChord() << " sd" << n.IsSlurDownward() << " td" << n.IsTieDownward()
        << " col" << n.GetColor() << " mark" << n.GetMarkNumber() << " dur" << n.GetDur();
    if (n.IsRest()) {
        const auto& r = static_cast<const TRestNote&>(n);
        out << " bar" << r.HasBarLength() << "/" << r.GetBarLength();
    } else {
        const auto& m = static_cast<const TMusicNote&>(n);
        out << " pos" << m.GetStaffPos() << " acc" << m.GetAccidental() << " auto" << m.HasAutomaticMark();
    }
}

}  // namespace

TMusicNote* Grouped(int pos, int dur, int beam, int triplet, uint16_t attributes) {
    auto* n = Note(pos, dur, attributes);
    n->SetBeamState(beam);
    n->SetTripletState(triplet);
    return n;
}

std::string Snapshot(const TMusicStaff& staff) {
    std::ostringstream out;
    for (int i = 0; i < staff.GetItemCount(); ++i) {
        const TNotatedItem* item = staff.GetItem(i);
        TQSRFlatRamStream record(256, 256);
        WriteNotatedItem(record, *item);
        out << i << " t" << item->GetType() << " rec";
        for (DWORD b = 0; b < record.GetSize(); ++b)
            out << ' ' << static_cast<int>(record.GetData()[b]);
        switch (item->GetType()) {
            case ntBarLine:
                out << " computed" << static_cast<const TBarLineData*>(item)->GetComputedFlag();
                break;
            case ntKey: {
                const auto* key = static_cast<const TKeyData*>(item);
                out << " clef" << key->GetClefInForce() << " prev" << key->GetPrecedingSharps() << "/"
                    << key->GetPrecedingFlats();
                break;
            }
            case ntDynamic:
                out << " vel" << static_cast<const TDynamicLevelData*>(item)->GetVelocity();
                break;
            case ntTempoVariance: {
                const auto* v = static_cast<const TTempoVariance*>(item);
                out << " ramp" << v->GetRampStartTempo() << "-" << v->GetRampEndTempo() << "/"
                    << v->GetRampLength();
                break;
            }
            case ntMultiMeasureRest:
                out << " barlen" << static_cast<const TMultiMeasureRest*>(item)->GetBarLength();
                break;
            default:
                break;
        }
        if (item->IsSongNote()) {
            DescribeNote(out, static_cast<const TSongNote&>(*item));
            for (int j = 0; j < item->GetNoteCount(); ++j) {
                const TMusicNote* m = item->GetNote(j);
                if (m && m != item) {
                    out << " |";
                    DescribeNote(out, *m);
                }
            }
        }
        out << "\n";
    }
    return out.str();
}

// The first line in which two snapshots differ, both versions; empty when they agree.
std::string FirstDifference(const std::string& a, const std::string& b) {
    std::istringstream x(a);
    std::istringstream y(b);
    std::string la;
    std::string lb;
    while (true) {
        const bool more = static_cast<bool>(std::getline(x, la));
        const bool moreB = static_cast<bool>(std::getline(y, lb));
        if (!more && !moreB) return {};
        if (la != lb || more != moreB) return la + "\n" + lb;
    }
}

// A staff of every kind of item, with marks drawn at random (many of them wrong for their context).
void FillRandom(TMusicStaff& staff, unsigned seed, int count) {
    std::mt19937 rng(seed);
    auto pick = [&](int n) { return static_cast<int>(rng() % static_cast<unsigned>(n)); };
    for (int i = 0; i < count; ++i) {
        const int kind = pick(24);
        TNotatedItem* item = nullptr;
        if (kind < 10) {
            uint16_t attributes = 0;
            for (int bit : {naTie, naSlur, naGrace, naDotted, naStaccato, naCrescendo}) {
                if (pick(6) == 0) attributes = static_cast<uint16_t>(attributes | AttributeBit(bit));
            }
            auto* note = Note(pick(15) - 7, 1 + pick(5), attributes, pick(7) == 0 ? pick(5) : acNone);
            note->SetBeamState(pick(3) == 0 ? pick(4) : 0);
            note->SetTripletState(pick(5) == 0 ? pick(4) : 0);
            note->SetStemSetting(pick(4) == 0 ? pick(3) : 0);
            note->SetColor(pick(4));
            note->SetMarkNumber(pick(4));
            item = note;
        } else if (kind < 12) {
            auto* chord = Chord({pick(5), -pick(5) - 1}, 1 + pick(4), pick(3) == 0 ? AttributeBit(naTie) : 0);
            chord->SetBeamState(pick(3) == 0 ? pick(4) : 0);
            chord->SetColor(pick(3));
            item = chord;
        } else if (kind < 14) {
            auto* rest = new TRestNote(pick(5), static_cast<uint16_t>(rng() & 0xFFFF));
            rest->SetTripletState(pick(4) == 0 ? pick(4) : 0);
            item = rest;
        } else if (kind == 14) {
            auto* rc = new TRestChord(pick(3));
            TMusicNote* part = Note(pick(7) - 3);
            if (!rc->AddNote(part)) delete part;
            item = rc;
        } else if (kind < 18) {
            auto* bar = new TBarLineData(pick(10) == 0 ? pick(11) : bsSingle, 2);
            bar->SetComputedFlag(pick(2) == 0);
            item = bar;
        } else if (kind == 18) {
            item = new TKeyData(static_cast<uint16_t>(pick(128)), 0, pick(7));
        } else if (kind == 19) {
            item = new TTimeSignatureData(2 + pick(6), 1 + pick(3));
        } else if (kind == 20) {
            item = new TTempoVariance(pick(10));
        } else if (kind == 21) {
            item = new TTempoData(40 + pick(160));
        } else if (kind == 22) {
            item = new TDynamicLevelData(pick(8));
        } else {
            auto* rest = new TMultiMeasureRest(1 + pick(3));
            rest->SetBarLengthTicks(pick(1000));
            item = rest;
        }
        Append(staff, item);
    }
}

// A staff in the shape of hand-written music: default-stem beams, ties over bar lines, chords, slurs, rests.
void FillMusic(TMusicStaff& staff, int bars) {
    Append(staff, new TTimeSignatureData(2, 2));
    for (int b = 0; b < bars; ++b) {
        const int p = b % 9 - 4;
        switch (b % 4) {
            case 0:
                Append(staff, Grouped(p, dcEighth, gsFirst));
                Append(staff, Grouped(p - 2, dcEighth, gsEnd));
                Append(staff, Note(p, dcQuarter, Attr({naTie})));
                break;
            case 1:
                Append(staff, Note(p - 1, dcQuarter));
                Append(staff, Note(p + 1, dcQuarter, 0, acSharp));
                break;
            case 2:
                Append(staff, Grouped(p, dcEighth, gsFirst, gsNone, Attr({naSlur})));
                Append(staff, Grouped(p + 3, dcEighth, gsMiddle));
                Append(staff, Grouped(p + 1, dcEighth, gsMiddle, gsNone, Attr({naSlur})));
                Append(staff, Grouped(p + 2, dcEighth, gsEnd));
                break;
            default:
                Append(staff, new TRestNote(dcQuarter));
                Append(staff, Chord({p, p - 4}));
                break;
        }
        Append(staff, new TBarLineData());
    }
}

}  // namespace format_fixture

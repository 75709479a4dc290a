// The MIDI-to-notation driver: which staves a read file gives, the passes in their order, and the formatting
// of every converted staff.
#include <bit>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#include "core/date_time.h"
#include "core/hooks.h"
#include "core/text_utils.h"
#include "midi/smf_convert.h"
#include "midi/smf_file.h"
#include "score/base/midi_file_buf.h"
#include "score/expression_items.h"
#include "score/format/format.h"
#include "score/lyrics.h"
#include "score/music_score.h"
#include "score/music_staff.h"
#include "score/pitch_ticks.h"
#include "score/song_note.h"
#include "score/staff_range.h"
#include "score/staff_util.h"
#include "score/structure_items.h"

namespace {

constexpr int kMinFreeSlots = 1500;

bool Cancelled() {
    return IsLongTaskCancelled();
}

// Beams the notes of each beat without formatting after every group; the caller formats the whole staff
// once afterwards (a format per group would walk the staff once per beat).
void GroupImportedNotes(TMusicStaff& staff, bool compound) {
    const bool paused = PauseFormatStaffItems(true);
    staff.GroupImportedNotes(compound);
    PauseFormatStaffItems(paused);
}

// Moves every note of the staff by steps staff positions (the notes were spelt for the treble clef).
void MoveNotes(TMusicStaff& staff, int steps) {
    for (int i = 1; i < staff.GetLastIndex(); ++i) {
        TNotatedItem* item = staff.GetItem(i);
        if (item->GetType() == ntNote) {
            static_cast<TMusicNote*>(item)->MoveStaffPos(steps);
        } else if (item->GetType() == ntChord) {
            auto* chord = static_cast<TChordData*>(item);
            for (int n = 0; n < chord->GetNoteCount(); ++n)
                chord->GetNote(n)->MoveStaffPos(steps);
            chord->SyncNotes();
        }
    }
}

// A key signature that only rests precede (the track's key set after a pause of the first bar) belongs to
// the start: it moves before those rests, so that it stands with the clef and time signature.
void MoveKeysBeforeLeadingRests(TMusicStaff& staff) {
    int firstRest = -1;
    for (int i = 1; i < staff.GetLastIndex(); ++i) {
        const int type = staff.GetItem(i)->GetType();
        if (type == ntRest) {
            if (firstRest < 0) firstRest = i;
        } else if (type == ntKey && firstRest >= 0) {
            // Before the time signature that opens the rests, as a key signature stands.
            int at = firstRest;
            while (at > 1 && staff.GetItem(at - 1)->GetType() == ntTimeSignature)
                --at;
            TNotatedItem* key = staff.DetachItem(i);
            staff.InsertItem(key, at);
            ++firstRest;
        } else if (type == ntNote || type == ntChord || type == ntRestChord || type == ntBarLine) {
            break;
        }
    }
}

int StaffDuration(const TMusicStaff& staff) {
    int ticks = 0;
    for (int i = 0; i < staff.GetItemCount(); ++i)
        ticks += staff.GetItem(i)->GetDuration();
    return ticks;
}

// Start tick of item index (the sum of the durations before it).
int TickOfItem(const TMusicStaff& staff, int index) {
    int ticks = 0;
    for (int i = 0; i < index; ++i)
        ticks += staff.GetItem(i)->GetDuration();
    return ticks;
}

void PadWithRests(TMusicStaff& staff, int target) {
    int duration = StaffDuration(staff);
    while (duration < target && staff.GetFreeItemSlots() >= kMinFreeSlots) {
        auto* rest = new TRestNote(dcQuarter, 0);
        duration += SetDurationFromTicks(*rest, target - duration, false);
        staff.InsertItem(rest, staff.GetLastIndex());
    }
}

void Step(TProgressCounter& progress) {
    qsm::LongTaskSetGauge(progress.Step());
}

bool HasLyricStaffFlag(const TMusicStaff* staff) {
    return (staff->StaffFlags & STAFF_LAYER) != 0;
}

int FirstTempoIndex(const TMusicStaff& staff) {
    for (int i = 0; i < staff.GetItemCount(); ++i) {
        if (staff.GetItem(i)->GetType() == ntTempo) return i;
    }
    return -1;
}

// Whether a track holds a text of the lyric kind after its first tick.
bool TrackHasLyrics(TSMFData* data, int track, int lyricKind) {
    TSMFTrackData* t = data->GetTrack(track);
    return t != nullptr && lyricKind != 0 && t->FindText(lyricKind);
}

}  // namespace

void BuildImportInstructions(TSMFData* data, TSMFImportList& list, bool splitByChannel, int spanLimit) {
    list.clear();
    if (data == nullptr) return;
    for (int t = 0; t < data->GetTrackCount() && t <= 0xFFFF; ++t) {
        TSMFTrackData* track = data->GetTrack(t);
        if (track->IsEmpty()) continue;
        const WORD used = track->GetChannelsUsed((1u << MIDI_CMD_NOTEOFF) | (1u << MIDI_CMD_NOTEON));
        if (used == 0) continue;
        std::vector<WORD> masks;
        if (splitByChannel) {
            for (int ch = 0; ch < 16; ++ch) {
                if (used & (1u << ch)) masks.push_back(static_cast<WORD>(1u << ch));
            }
        } else {
            masks.push_back(used);
        }
        const int count = track->GetEventCount();
        for (WORD mask : masks) {
            TSMFImportInstructions record;
            DefaultInstructions(record);
            record.Track = static_cast<WORD>(t);
            record.ChannelMask = mask;
            // The widest span of notes sounding together, and the lowest note played. The sounding keys
            // are two 64-bit sets, so that the lowest and highest one are found without a scan per note.
            uint64_t sounding[2] = {0, 0};
            int span = 0;
            int lowest = 127;
            for (int i = 0; i < count; ++i) {
                const TMidiEvent& ev = *track->GetEvent(i);
                if (!ev.IsShortMsg() || (mask & (1u << ev.GetChannel())) == 0) continue;
                const int key = ev.Data1 & 0x7F;
                const uint64_t bit = uint64_t{1} << (key & 63);
                if (ev.IsSoundingNote()) {
                    sounding[key >> 6] |= bit;
                    if (key < lowest) lowest = key;
                    const int lo =
                        sounding[0] ? std::countr_zero(sounding[0]) : 64 + std::countr_zero(sounding[1]);
                    const int hi = sounding[1] ? 127 - std::countl_zero(sounding[1])
                                               : 63 - std::countl_zero(sounding[0]);
                    if (hi - lo > span) span = hi - lo;
                } else if (ev.IsNoteRelease()) {
                    sounding[key >> 6] &= ~bit;
                }
            }
            if (span > spanLimit) {
                int split = lowest + span / 2;
                if (split > 127) split = 127;
                if (split < 1) split = 1;
                TSMFImportInstructions upper = record;
                upper.HighNote = 127;
                upper.LowNote = static_cast<uint8_t>(split);
                TSMFImportInstructions lower = record;
                lower.HighNote = static_cast<uint8_t>(split - 1);
                lower.LowNote = 0;
                list.push_back(upper);
                list.push_back(lower);
            } else {
                list.push_back(record);
            }
        }
    }
}

TMusicScore* ConvertMidiToScore(TSMFData* data, const TSMFImportList& list, int lyricKind) {
    SMFTrackConverter converter;
    InitTrackConverter(converter);
    TSongInfo info;
    std::memset(&info, 0, sizeof(info));
    if (data != nullptr) {
        SafeStrCopy(info.Title, data->GetText(SMF_FIELD_TITLE), sizeof(info.Title));
        SafeStrCopy(info.Author, data->GetText(SMF_FIELD_AUTHOR), sizeof(info.Author));
        SafeStrCopy(info.Copyright1, data->GetText(SMF_FIELD_COPYRIGHT), sizeof(info.Copyright1));
        SafeStrCopy(info.Copyright2, data->GetText(SMF_FIELD_COPYRIGHT2), sizeof(info.Copyright2));
    }
    // Owned here until it is complete: a conversion that runs out of memory leaves nothing behind.
    auto score = std::make_unique<TMusicScore>(&info);
    // Kinds of the staves in score order: lyric staves are told apart as they are made.
    std::vector<bool> lyricStaves;
    auto add = [&](TMusicStaff* made, bool lyric, int at) {
        std::unique_ptr<TMusicStaff> staff(made);
        score->MakeUniqueStaffName(staff.get());
        lyricStaves.reserve(lyricStaves.size() + 1);
        const bool added = at < 0 ? score->AddStaff(staff.get()) : score->InsertStaff(staff.get(), at);
        if (!added) return false;
        staff.release();
        lyricStaves.insert(at < 0 ? lyricStaves.end() : lyricStaves.begin() + at, lyric);
        return true;
    };
    add(ConvertConductorTrack(converter, data), false, -1);

    const int tracks = data != nullptr ? data->GetTrackCount() : 0;
    std::vector<bool> hasLyrics(static_cast<size_t>(tracks), false);
    int lyricTracks = 0;
    for (int t = 0; t < tracks; ++t) {
        hasLyrics[static_cast<size_t>(t)] = TrackHasLyrics(data, t, lyricKind);
        if (hasLyrics[static_cast<size_t>(t)]) ++lyricTracks;
    }
    TProgressCounter progress;
    progress.Start(static_cast<DWORD>((list.size() + static_cast<size_t>(lyricTracks)) * 4));
    qsm::LongTaskResetGauge(100);
    qsm::LongTaskSetText("Converting MIDI data to notation");

    std::vector<bool> lyricDone(static_cast<size_t>(tracks), false);
    for (const TSMFImportInstructions& record : list) {
        if (converter.Cancelled || Cancelled()) {
            converter.Cancelled = true;
            break;
        }
        TMusicStaff* staff = ConvertNoteTrack(converter, data, record);
        if (!add(staff, false, -1)) break;
        Step(progress);
        const int t = record.Track;
        if (t < tracks && hasLyrics[static_cast<size_t>(t)] && !lyricDone[static_cast<size_t>(t)]) {
            std::unique_ptr<TMusicStaff> made(ConvertLyricTrack(converter, data, t, lyricKind));
            if (made->GetLyrics() != nullptr) {
                TMusicStaff* lyric = made.release();
                staff->StaffFlags = static_cast<uint8_t>(staff->StaffFlags | STAFF_LAYER);
                if (!add(lyric, true, score->FindStaffIndex(staff) + 1)) {
                    staff->StaffFlags = static_cast<uint8_t>(staff->StaffFlags & ~STAFF_LAYER);
                }
            }
            lyricDone[static_cast<size_t>(t)] = true;
            Step(progress);
        }
    }
    if (!converter.Cancelled) {
        for (int t = 0; t < tracks && !converter.Cancelled; ++t) {
            if (!hasLyrics[static_cast<size_t>(t)] || lyricDone[static_cast<size_t>(t)]) continue;
            TMusicStaff* lyric = ConvertLyricTrack(converter, data, t, lyricKind);
            add(lyric, true, -1);
            lyricDone[static_cast<size_t>(t)] = true;
            Step(progress);
        }
    }
    if (!converter.Cancelled && !Cancelled()) FinishImportedScore(score.get(), list, progress, &lyricStaves);
    if (score->GetStaffCount() == 0) {
        auto empty = std::make_unique<TMusicStaff>();
        if (score->AddStaff(empty.get())) empty.release();
    }
    return score.release();
}

void FinishImportedScore(TMusicScore* score, const TSMFImportList& list, TProgressCounter& progress,
                         const std::vector<bool>* lyricStaves) {
    if (score == nullptr || score->GetStaffCount() == 0) return;
    std::vector<bool> kinds;
    for (int i = 0; i < score->GetStaffCount(); ++i) {
        const bool lyric = lyricStaves != nullptr && static_cast<size_t>(i) < lyricStaves->size()
                               ? (*lyricStaves)[static_cast<size_t>(i)]
                               : score->GetStaff(i)->GetLyrics() != nullptr;
        kinds.push_back(lyric);
    }
    TMusicStaff* conductor = score->GetStaff(0);
    conductor->RemoveRedundantItems();
    score->DetachStaff(0);
    kinds.erase(kinds.begin());
    std::unique_ptr<TMusicStaff> owned(conductor);
    if (score->GetStaffCount() == 0) return;

    int longest = 0;
    for (int i = 0; i < score->GetStaffCount(); ++i) {
        const int d = StaffDuration(*score->GetStaff(i));
        if (d > longest) longest = d;
    }
    for (int i = 0; i < score->GetStaffCount(); ++i)
        PadWithRests(*score->GetStaff(i), longest);
    conductor->TruncateAtTime(longest);

    size_t record = 0;
    for (int i = 0; i < score->GetStaffCount(); ++i) {
        if (Cancelled()) return;
        TMusicStaff* staff = score->GetStaff(i);
        const bool lyric = static_cast<size_t>(i) < kinds.size() && kinds[static_cast<size_t>(i)];
        if (!lyric) {
            TSMFImportInstructions fallback;
            DefaultInstructions(fallback);
            const TSMFImportInstructions& r = record < list.size() ? list[record] : fallback;
            ++record;
            FormatImportedStaff(staff, conductor, r, progress, false);
            TStaffItemRange range;
            range.SetStaff(staff);
            const int above = StaffRangeOuterStaffPos(range, 1);
            const int below = StaffRangeOuterStaffPos(range, -1);
            int top = above < -10 ? above : -10;
            if (i == 0) top -= 4;
            staff->SetBoundaries(top, below > 10 ? below : 10);
        } else {
            TSMFImportInstructions r;
            DefaultInstructions(r);
            r.QuantizeDuration = dc16th;
            r.RestDuration = dcQuarter;
            FormatImportedStaff(staff, conductor, r, progress, true);
            TStaffItemRange range;
            range.SetStaff(staff);
            StaffRangeSetHidden(range);
            range.SetStaff(staff);
            StaffRangeSetMuted(range);
            int bottom = 5;
            if (i > 0 && HasLyricStaffFlag(score->GetStaff(i - 1))) {
                bottom = score->GetStaff(i - 1)->GetBoundaryBottom() + 5;
            }
            staff->SetBoundaries(-1, bottom);
        }
    }
    if (Cancelled()) return;

    const int tempo = FirstTempoIndex(*conductor);
    if (tempo >= 0 && TickOfItem(*conductor, tempo) == 0) {
        TNotatedItem* item = conductor->DetachItem(tempo);
        if (item != nullptr) {
            item->SetStaffPos(-10);
            InsertAtTick(score->GetStaff(0), 0, item);
        }
    }
    if (FirstTempoIndex(*conductor) < 0) return;  // deleted with its owner
    TSMFImportInstructions r;
    DefaultInstructions(r);
    FormatImportedStaff(conductor, conductor, r, progress, false);
    conductor->SetLineCount(0);
    conductor->SetBoundaries(-3, 3);
    TStaffItemRange range;
    range.SetStaff(conductor);
    StaffRangeSetHidden(range);
    if (score->AddStaff(conductor)) owned.release();
}

void FormatImportedStaff(TMusicStaff* staff, TMusicStaff* conductor, const TSMFImportInstructions& record,
                         TProgressCounter& progress, bool lyricStaff) {
    if (staff == nullptr) return;
    const bool isConductor = staff == conductor;
    const bool compound = (record.Flags & SMF_COMPOUND_BEATS) != 0;
    if (Cancelled()) return;
    char text[64];
    std::snprintf(text, sizeof(text), "Formatting Staff: %s", staff->GetName());
    qsm::LongTaskSetText(text);
    staff->RemoveRedundantItems();

    if (Cancelled()) return;
    bool conductorHasTime = false;
    if (conductor != nullptr) {
        for (int i = 0; i < conductor->GetItemCount() && !conductorHasTime; ++i)
            conductorHasTime = conductor->GetItem(i)->GetType() == ntTimeSignature;
    }
    if (!conductorHasTime) {
        InsertAtTick(staff, 0, new TTimeSignatureData(4, 2, tsStandard));
    } else if (!isConductor) {
        int tick = 0;
        // The signatures come at rising ticks, so each insertion walks on from where the one before stopped.
        TStaffTickCursor cursor;
        for (int i = 0; i < conductor->GetItemCount(); ++i) {
            if (staff->GetFreeItemSlots() < kMinFreeSlots) break;
            const TNotatedItem* item = conductor->GetItem(i);
            if (item->GetType() == ntTimeSignature) {
                const auto* ts = static_cast<const TTimeSignatureData*>(item);
                InsertAtTick(staff, tick,
                             new TTimeSignatureData(ts->GetBeats(), ts->GetBeatValueExponent(), tsStandard),
                             cursor);
            }
            tick += item->GetDuration();
        }
    }

    if (Cancelled()) return;
    const int clef = isConductor ? ctTreble : staff->SuggestClef();
    if (clef == ctPercussion) {
        // A drum staff's lines name instruments, not pitches: it takes no key signature, neither the
        // conductor's nor one of its own track.
        for (int i = staff->GetLastIndex() - 1; i >= 1; --i)
            if (staff->GetItem(i)->GetType() == ntKey) delete staff->DetachItem(i);
        staff->InsertItemAtTime(new TKeyData(0, 0, 2), 0);
    } else if (!isConductor && staff->CountItemsOfType(ntKey) == 0) {
        const bool conductorHasKey = conductor != nullptr && conductor->CountItemsOfType(ntKey) > 0;
        if (!conductorHasKey) {
            staff->InsertItemAtTime(new TKeyData(0, 0, 2), 0);
        } else {
            int tick = 0;
            TStaffTickCursor cursor;
            for (int i = 0; i < conductor->GetItemCount(); ++i) {
                if (staff->GetFreeItemSlots() < kMinFreeSlots) break;
                const TNotatedItem* item = conductor->GetItem(i);
                if (item->GetType() == ntKey) {
                    const auto* key = static_cast<const TKeyData*>(item);
                    InsertItemAtTimeFrom(
                        staff, tick, new TKeyData(key->GetSharpMask(), key->GetFlatMask(), key->GetTonic()),
                        cursor);
                }
                tick += item->GetDuration();
            }
        }
    }

    if (Cancelled()) return;
    MoveKeysBeforeLeadingRests(*staff);
    staff->InsertItem(new TClefData(clef), 1);
    if (clef != ctTreble) {
        // The notes were spelt for the treble clef; their staff positions move with the clef.
        MoveNotes(*staff, ClefReferenceStep(clef) - ClefReferenceStep(ctTreble));
        if (clef == ctPercussion) {
            TStaffItemRange range;
            range.SetStaff(staff);
            StaffRangeSetNotehead(range, 4);
        }
    }

    if (Cancelled()) return;
    staff->InsertBarLines(true);
    Step(progress);

    if (Cancelled()) return;
    staff->MakeAccidentalsExplicit();
    FormatStaff(*staff, -1, -1);
    Step(progress);

    if (Cancelled()) return;
    staff->RegroupImportedRests(compound, DurationToTicks(record.RestDuration));
    Step(progress);

    if (Cancelled()) return;
    staff->CheckImportedBars();
    staff->RemoveRedundantItems();
    FormatStaff(*staff, -1, -1);

    if (Cancelled()) return;
    if ((record.Flags & SMF_GROUP_NOTES) != 0 && !lyricStaff) {
        GroupImportedNotes(*staff, compound);
        FormatStaff(*staff, -1, -1);
    }

    if (Cancelled()) return;
    staff->AuditItemRange();
    staff->AuditAccidentals();
}

TMusicStaff* ConvertTrackToStaff(TSMFData* data, const TSMFImportInstructions& record) {
    TSMFImportList list(1, record);
    std::unique_ptr<TMusicScore> score(ConvertMidiToScore(data, list, 1));
    // The conductor went first and was moved to the end (or deleted); the first staff is the record's.
    TMusicStaff* staff = score->DetachStaff(0);
    if (staff == nullptr) return new TMusicStaff();
    staff->SetBoundaries(staff->GetBoundaryTop() + 4, staff->GetBoundaryBottom());
    return staff;
}

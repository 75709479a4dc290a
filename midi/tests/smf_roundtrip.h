// Round trip of a read MIDI file through notation: the file's notes on the grid of the conversion, and the
// notes that the converted score plays again, compared note by note.
#pragma once

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <set>
#include <tuple>
#include <vector>

#include "midi/score_player.h"
#include "midi/smf_convert.h"
#include "midi/smf_file.h"
#include "score/base/midi_file_buf.h"
#include "score/expression_items.h"
#include "score/music_score.h"
#include "score/music_staff.h"
#include "score/pitch_ticks.h"

namespace qsm::test {

struct RtNote {
    int channel, key, start, length;
    auto operator<=>(const RtNote&) const = default;
};

// Note-on and note-off pairs (first in, first out per channel and key) of a buffer's short messages.
inline std::vector<RtNote> PairNotes(const TMidiFileBuf& buffer, WORD channelMask = 0xFFFF) {
    std::map<std::pair<int, int>, std::vector<int>> open;
    std::vector<RtNote> notes;
    for (int i = 0; i < buffer.GetEventCount(); ++i) {
        const TMidiEvent& ev = *buffer.GetEvent(i);
        if (!ev.IsShortMsg() || (channelMask & (1u << ev.GetChannel())) == 0) continue;
        const std::pair<int, int> k{ev.GetChannel(), ev.Data1 & 0x7F};
        if (ev.IsSoundingNote()) {
            open[k].push_back(static_cast<int>(ev.Tick));
        } else if (ev.IsNoteRelease()) {
            auto& waiting = open[k];
            if (waiting.empty()) continue;
            const int start = waiting.front();
            waiting.erase(waiting.begin());
            notes.push_back({k.first, k.second, start, static_cast<int>(ev.Tick) - start});
        }
    }
    std::sort(notes.begin(), notes.end());
    return notes;
}

// The grid of a record: ticks snap to 12, then to the grid q, never before the position reached.
struct RtGrid {
    int q;
    int position = 0;
    int Snap(int t) const { return std::max(((t + 6) / 12) * 12, position); }
    int Quantize(int t) const { return ((Snap(t) + q / 2) / q) * q; }
};

// Beat boundaries of the converted staves: from tick 0 in 4/4, then from each time signature of the first
// track in its beats; compound bars count three written beats as one. The conductor walks the first track's
// events in their order: tempo, time and key signatures each advance it to their tick on its grid, never
// back, and a time signature lands where the conductor stands. The conductor's clean-up then keeps the last
// of several time signatures at one tick and drops one that repeats the signature in force, so a repeated
// signature (as a second track often brings) does not start the bars again.
struct RtBeats {
    std::vector<std::pair<int, int>> from;  // (tick, beat ticks)

    explicit RtBeats(TSMFData& data) {
        from.push_back({0, BeatTicks(4, 2, true)});
        TSMFTrackData* first = data.GetTrackCount() > 0 ? data.GetTrack(0) : nullptr;
        if (first == nullptr) return;
        RtGrid conductor{24};
        using Sig = std::pair<int, int>;  // beats and beat-value exponent
        Sig kept{-1, -1};                 // in force before the signature that waits at pendingTick
        Sig pending{-1, -1};
        int pendingTick = -1;
        for (int i = 0; i < first->GetEventCount(); ++i) {
            const TMidiEvent& ev = *first->GetEvent(i);
            const int kind = ev.GetKind();
            if (kind != MIDI_KIND_TIMESIG && kind != MIDI_KIND_TEMPO && kind != MIDI_KIND_KEYSIG) continue;
            conductor.position =
                std::max(conductor.position, conductor.Quantize(static_cast<int>(ev.Tick & 0x7FFFFFFF)));
            if (kind != MIDI_KIND_TIMESIG) continue;
            const int tick = conductor.position;
            const Sig sig{ev.Status, ev.Data1};
            if (pendingTick >= 0 && tick > pendingTick) kept = pending;  // rests came between them
            pendingTick = -1;
            if (tick == from.back().first) from.pop_back();
            if (sig == kept) continue;
            from.push_back({tick, BeatTicks(ev.Status, ev.Data1, true)});
            pending = sig;
            pendingTick = tick;
        }
        if (from.empty()) from.push_back({0, BeatTicks(4, 2, true)});
    }
    // The first beat boundary at or after the tick.
    int Next(int tick) const {
        auto it = std::upper_bound(from.begin(), from.end(), std::make_pair(tick, 1 << 30));
        const auto& [start, beat] = *(it - 1);
        if (beat <= 0) return tick;
        const int next = start + (tick - start + beat - 1) / beat * beat;
        return it != from.end() && next > it->first ? it->first : next;
    }
};

// Why a note of the file comes back other than on the grid alone (see RtReference).
enum RtCause {
    rtWritten,   // written at its grid onset
    rtMoved,     // written later: an earlier note's 12-tick minimum had filled the staff past its onset
    rtTwice,     // a note-on of a key already sounding from the same grid tick: not added twice
    rtCrowded,   // a 31st note sounding at once
    rtSpelling,  // in a chord, no staff position left for it in either spelling
    rtCauses
};

// How a written note ended.
enum RtEnd {
    rtOwnEnd,    // at its own note-off
    rtChordEnd,  // at the first note-off among the notes that began with it
    rtOnset,     // at the next onset (or a key signature) of the record
    rtEnds
};

struct RtFate {
    int channel, key, gridStart;  // the note-on on the grid alone
    RtCause cause;
    RtEnd end;   // written notes only
    int length;  // written notes only, before the rest regrouping
};

// What a record's notes become by the rules of the conversion: onsets and ends on the grid, at least 12
// ticks, every note ended by the next onset and by the first end among the notes that began with it, notes
// never ended dropped, notes of a chord spelt for the treble clef in the key then in force (a note that
// finds its staff position taken in both spellings is left out); then the rest regrouping lets a note that a
// rest follows grow into it up to the next beat when that is less than the record's rest unit away. The
// reference that the converted score must play back exactly. keyFifths is the key signature in force when
// the record's pass starts, and is left as its pass leaves it (passes run in list order, after track 0's
// conductor pass). fates, when given, tells for each note-on taken what became of it.
inline std::vector<RtNote> ExpectedNotes(TSMFData& data, const TSMFImportInstructions& r, int channel,
                                         int& keyFifths, bool regroup = true,
                                         std::vector<RtFate>* fates = nullptr) {
    std::vector<RtNote> out;
    TSMFTrackData* track = data.GetTrack(r.Track);
    if (track == nullptr) return out;
    RtGrid grid{24 * (1 << (5 - r.QuantizeDuration))};
    const RtGrid plain{grid.q};
    struct Entry {
        int key, sign, fate;
    };
    std::vector<Entry> sounding;
    std::vector<RtFate> local;
    std::vector<std::pair<int, int>> groups;  // start and end of each written group of notes
    auto advance = [&](int tick, RtEnd why, int endingKey) {
        if (tick <= grid.position) return;
        if (!sounding.empty()) groups.push_back({grid.position, tick});
        std::vector<std::pair<int, int>> taken;  // staff position and accidental of the chord's notes
        for (Entry& e : sounding) {
            RtFate& f = local[static_cast<size_t>(e.fate)];
            if (sounding.size() > 1) {
                int pos = 0, acc = 0;
                MidiNoteToStaffPos(0, e.sign, e.key, pos, acc);
                auto used = [&](int p) {
                    return std::any_of(taken.begin(), taken.end(), [p](auto& t) { return t.first == p; });
                };
                if (used(pos)) {
                    MidiNoteToStaffPos(0, -e.sign, e.key, pos, acc);
                    if (used(pos)) {
                        f.cause = rtSpelling;
                        continue;
                    }
                    e.sign = -e.sign;
                }
                taken.push_back({pos, acc});
            }
            f.cause = grid.position == f.gridStart ? rtWritten : rtMoved;
            f.end = why == rtOnset ? rtOnset : e.key == endingKey ? rtOwnEnd : rtChordEnd;
            f.length = tick - grid.position;
            out.push_back({channel, e.key, grid.position, tick - grid.position});
        }
        sounding.clear();
        grid.position = tick;
    };
    for (int i = 0; i < track->GetEventCount(); ++i) {
        const TMidiEvent& ev = *track->GetEvent(i);
        const int tick = static_cast<int>(ev.Tick & 0x7FFFFFFF);
        if (ev.GetKind() == MIDI_KIND_KEYSIG) {
            advance(grid.Quantize(tick), rtOnset, -1);
            keyFifths = static_cast<int16_t>(static_cast<uint16_t>(ev.Status | (ev.Data1 << 8)));
            continue;
        }
        if (!ev.IsShortMsg() || (r.ChannelMask & (1u << ev.GetChannel())) == 0) continue;
        const int key = ev.Data1 & 0x7F;
        if (!ev.IsSoundingNote() && !ev.IsNoteRelease()) continue;
        if (key < r.LowNote || key > r.HighNote) continue;
        auto isSounding = [&] {
            return std::any_of(sounding.begin(), sounding.end(),
                               [key](const Entry& e) { return e.key == key; });
        };
        if (ev.IsSoundingNote()) {
            advance(grid.Quantize(tick), rtOnset, -1);
            local.push_back({channel, key, plain.Quantize(tick), rtWritten, rtOwnEnd, 0});
            if (isSounding()) {
                local.back().cause = rtTwice;
            } else if (sounding.size() >= 30) {
                local.back().cause = rtCrowded;
            } else {
                sounding.push_back({key, keyFifths < 0 ? -1 : 1, static_cast<int>(local.size()) - 1});
            }
        } else if (isSounding()) {
            int e = grid.Quantize(tick);
            if (e <= grid.position) e = grid.position + std::max(12, grid.Snap(tick) - grid.position);
            advance(e, rtOwnEnd, key);
        }
    }
    // Notes still sounding at the end of the track are not written; they have no fate worth telling.
    for (const Entry& e : sounding)
        local[static_cast<size_t>(e.fate)].cause = rtCauses;
    if (fates != nullptr) {
        for (const RtFate& f : local) {
            if (f.cause != rtCauses) fates->push_back(f);
        }
    }
    // Rest regrouping: a group followed by a rest reaches the next beat when that is near.
    if (!regroup) {
        std::sort(out.begin(), out.end());
        return out;
    }
    const RtBeats beats(data);
    const int maxGap = DurationToTicks(r.RestDuration);
    std::map<int, int> grown;  // group start -> new end
    for (size_t g = 0; g < groups.size(); ++g) {
        const int end = groups[g].second;
        const int next = g + 1 < groups.size() ? groups[g + 1].first : 1 << 30;
        if (next <= end) continue;
        int gap = beats.Next(end) - end;
        gap = std::min(gap, next - end);
        if (gap > 0 && gap < maxGap) grown[groups[g].first] = end + gap;
    }
    for (RtNote& n : out) {
        auto it = grown.find(n.start);
        if (it != grown.end()) n.length = it->second - n.start;
    }
    std::sort(out.begin(), out.end());
    return out;
}

// The key signature that track 0's conductor pass leaves in force for the first note pass.
inline int ConductorKeyFifths(TSMFData& data) {
    int fifths = 0;
    TSMFTrackData* first = data.GetTrackCount() > 0 ? data.GetTrack(0) : nullptr;
    if (first == nullptr) return fifths;
    for (int i = 0; i < first->GetEventCount(); ++i) {
        const TMidiEvent& ev = *first->GetEvent(i);
        if (ev.GetKind() == MIDI_KIND_KEYSIG)
            fifths = static_cast<int16_t>(static_cast<uint16_t>(ev.Status | (ev.Data1 << 8)));
    }
    return fifths;
}

// The file's own notes of a record with their onsets and ends on the grid alone.
inline std::vector<RtNote> GridNotes(TSMFData& data, const TSMFImportInstructions& r, int channel) {
    std::vector<RtNote> out;
    TSMFTrackData* track = data.GetTrack(r.Track);
    if (track == nullptr) return out;
    RtGrid grid{24 * (1 << (5 - r.QuantizeDuration))};
    for (const RtNote& n : PairNotes(*track, r.ChannelMask)) {
        if (n.key < r.LowNote || n.key > r.HighNote) continue;
        const int start = grid.Quantize(n.start);
        int end = grid.Quantize(n.start + n.length);
        if (end <= start) end = start + std::max(12, grid.Snap(n.start + n.length) - start);
        out.push_back({channel, n.key, start, end - start});
    }
    std::sort(out.begin(), out.end());
    return out;
}

struct RoundTrip {
    int sourceNotes = 0;    // notes of the file (paired on and off) that the records take
    int gridNotes = 0;      // the same on the grid
    int gridSame = 0;       // grid notes played back with the same pitch, start and length
    int expectedNotes = 0;  // after the conversion's rules
    int expectedSame = 0;   // of those, played back exactly
    // Grid notes that come back with the same pitch and start but another length, by the rule that made it:
    int lengthOnly = 0;
    int cutAtOnset = 0;   //   ended at the next onset of the record
    int cutByChord = 0;   //   ended at the first note-off among the notes that began with it
    int grown = 0;        //   grown into the rest after it up to the beat (rest regrouping)
    int lengthened = 0;   //   made longer by the 12-tick minimum or by an end moved with a later onset
    int lengthMoved = 0;  //   moved later by an earlier note's 12-tick minimum, onto a later onset of its key
    int lengthOther = 0;
    // Grid notes whose pitch and start do not come back, by cause:
    int missing = 0;
    int lost[rtCauses] = {};  // indexed by RtCause; rtWritten counts the unexplained ones
    int extra = 0;            // played notes that no expected note explains
    int staves = 0;

    void Add(const RoundTrip& o) {
        sourceNotes += o.sourceNotes;
        gridNotes += o.gridNotes;
        gridSame += o.gridSame;
        expectedNotes += o.expectedNotes;
        expectedSame += o.expectedSame;
        lengthOnly += o.lengthOnly;
        cutAtOnset += o.cutAtOnset;
        cutByChord += o.cutByChord;
        grown += o.grown;
        lengthened += o.lengthened;
        lengthMoved += o.lengthMoved;
        lengthOther += o.lengthOther;
        missing += o.missing;
        for (int i = 0; i < rtCauses; ++i)
            lost[i] += o.lost[i];
        extra += o.extra;
        staves += o.staves;
    }
};

// Counts matches of two sorted lists (multiset intersection by a key).
template <class Key>
int CountCommon(const std::vector<RtNote>& a, const std::vector<RtNote>& b, Key key) {
    std::multiset<decltype(key(a[0]))> pool;
    for (const RtNote& n : b)
        pool.insert(key(n));
    int same = 0;
    for (const RtNote& n : a) {
        auto it = pool.find(key(n));
        if (it != pool.end()) {
            pool.erase(it);
            ++same;
        }
    }
    return same;
}

// Prints the expected notes that were not played and the played ones that were not expected.
inline void DumpDifferences(const std::vector<RtNote>& expected, const std::vector<RtNote>& played) {
    std::multiset<RtNote> pool(played.begin(), played.end());
    std::vector<RtNote> lost;
    for (const RtNote& n : expected) {
        auto it = pool.find(n);
        if (it != pool.end()) {
            pool.erase(it);
        } else {
            lost.push_back(n);
        }
    }
    for (const RtNote& n : lost)
        std::printf("expected ch %d key %d at %d for %d\n", n.channel, n.key, n.start, n.length);
    for (const RtNote& n : pool)
        std::printf("played   ch %d key %d at %d for %d\n", n.channel, n.key, n.start, n.length);
}

// Converts the file with the viewer's instructions, plays the score back and compares.
inline RoundTrip RunRoundTrip(TSMFData& data) {
    RoundTrip rt;
    TSMFImportList list;
    BuildImportInstructions(&data, list, true, 16);
    std::unique_ptr<TMusicScore> score(ConvertMidiToScore(&data, list, 1));
    rt.staves = score->GetStaffCount();
    // Played legato, every note sounds its written length, so that the lengths compare as notated.
    for (int i = 0; i < score->GetStaffCount(); ++i)
        score->GetStaff(i)->InsertItem(new TPerformanceStyle(7), 1);
    TScoreMidiPlayer player;
    player.SetScore(score.get());
    // Each staff plays into a buffer of its own: two staves on one channel may sound the same key at once,
    // and their note-offs paired across the staves would swap the lengths.
    std::vector<RtNote> played;
    for (int i = 0; i < score->GetStaffCount(); ++i) {
        TMidiFileBuf rendered(16);
        TStaffMidiPlayerIndex cursor;
        cursor.SetStaff(score->GetStaff(i));
        cursor.PlayAll(rendered);
        const std::vector<RtNote> notes = PairNotes(rendered);
        played.insert(played.end(), notes.begin(), notes.end());
    }
    std::sort(played.begin(), played.end());
    std::vector<RtNote> grid;
    std::vector<RtNote> expected;
    std::vector<RtFate> fates;
    int keyFifths = ConductorKeyFifths(data);
    for (const TSMFImportInstructions& r : list) {
        int channel = 0;
        while (channel < 15 && (r.ChannelMask & (1u << channel)) == 0)
            ++channel;
        TSMFTrackData* track = data.GetTrack(r.Track);
        if (track != nullptr) {
            for (const RtNote& n : PairNotes(*track, r.ChannelMask))
                rt.sourceNotes += n.key >= r.LowNote && n.key <= r.HighNote;
        }
        auto g = GridNotes(data, r, channel);
        grid.insert(grid.end(), g.begin(), g.end());
        auto e = ExpectedNotes(data, r, channel, keyFifths, true, &fates);
        expected.insert(expected.end(), e.begin(), e.end());
    }
    std::sort(grid.begin(), grid.end());
    std::sort(expected.begin(), expected.end());
    rt.gridNotes = static_cast<int>(grid.size());
    rt.expectedNotes = static_cast<int>(expected.size());
    auto whole = [](const RtNote& n) { return std::make_tuple(n.channel, n.key, n.start, n.length); };
    auto onset = [](const RtNote& n) { return std::make_tuple(n.channel, n.key, n.start); };
    rt.gridSame = CountCommon(grid, played, whole);
    rt.expectedSame = CountCommon(expected, played, whole);
    // What became of each grid note that does not come back whole.
    std::multimap<std::tuple<int, int, int>, const RtFate*> fateAt;
    for (const RtFate& f : fates)
        fateAt.insert({{f.channel, f.key, f.gridStart}, &f});
    std::multiset<std::tuple<int, int, int, int>> exact;
    std::multiset<std::tuple<int, int, int>> started;
    for (const RtNote& n : played) {
        exact.insert(whole(n));
        started.insert(onset(n));
    }
    for (const RtNote& n : grid) {
        auto it = exact.find(whole(n));
        if (it != exact.end()) {
            exact.erase(it);
            auto s = started.find(onset(n));
            if (s != started.end()) started.erase(s);
            continue;
        }
        auto [from, to] = fateAt.equal_range(onset(n));
        auto s = started.find(onset(n));
        if (s != started.end()) {
            started.erase(s);
            ++rt.lengthOnly;
            const RtFate* f = nullptr;
            for (auto i = from; i != to && f == nullptr; ++i) {
                if (i->second->cause == rtWritten) f = i->second;
            }
            const bool moved = std::any_of(from, to, [](auto& i) { return i.second->cause == rtMoved; });
            if (f == nullptr) {
                ++(moved ? rt.lengthMoved : rt.lengthOther);
            } else if (f->length < n.length) {
                ++(f->end == rtOnset ? rt.cutAtOnset : rt.cutByChord);
            } else if (f->length > n.length) {
                ++rt.lengthened;
            } else {
                ++rt.grown;
            }
            continue;
        }
        ++rt.missing;
        RtCause cause = rtWritten;
        for (auto i = from; i != to; ++i) {
            if (i->second->cause != rtWritten) {
                cause = i->second->cause;
                fateAt.erase(i);
                break;
            }
        }
        ++rt.lost[cause];
    }
    rt.extra = static_cast<int>(played.size()) - CountCommon(played, expected, whole);
    if (std::getenv("QSM_ROUNDTRIP_DUMP") != nullptr) DumpDifferences(expected, played);
    return rt;
}

}  // namespace qsm::test

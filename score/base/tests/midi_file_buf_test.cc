#include "score/base/midi_file_buf.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <optional>
#include <random>
#include <vector>

namespace {

TMidiEvent Short(DWORD tick, int command, int channel, int data1, int data2, int port = 0) {
    TMidiEvent e = {};
    e.Tick = tick;
    e.SetShortMsg(command, port, channel, data1, data2);
    return e;
}

TMidiEvent Note(DWORD tick, int key, int velocity) {
    return Short(tick, MIDI_CMD_NOTEON, 0, key, velocity);
}

// Play order as a plain stable sort of everything added.
std::vector<TMidiEvent> Reference(std::vector<TMidiEvent> added) {
    std::stable_sort(added.begin(), added.end(),
                     [](const TMidiEvent& a, const TMidiEvent& b) { return TMidiEvent::GoesAfter(b, a); });
    return added;
}

bool SameEvent(const TMidiEvent& a, const TMidiEvent& b) {
    return a.Tick == b.Tick && a.GetMessage() == b.GetMessage();
}

void ExpectContents(const TMidiFileBuf& buf, const std::vector<TMidiEvent>& expected) {
    ASSERT_EQ(buf.GetEventCount(), static_cast<int>(expected.size()));
    for (size_t i = 0; i < expected.size(); ++i)
        ASSERT_TRUE(SameEvent(*buf.GetEvent(static_cast<int>(i)), expected[i])) << "event " << i;
    // The blocks before the one holding the last event are full.
    int high = buf.GetHighestBlock();
    for (int b = 0; b < high; ++b)
        ASSERT_EQ(buf.GetBlock(b)->Count, MIDI_BLOCK_EVENTS);
    if (high >= 0) {
        EXPECT_EQ(buf.GetBlock(high)->Count, static_cast<int>(expected.size()) - high * MIDI_BLOCK_EVENTS);
    }
}

// Random events over a few ticks, so that many compare equal, with every rank represented; each carries
// a serial number in data 1/data 2 so that order among equals is visible.
std::vector<TMidiEvent> RandomEvents(int n, int ticks, std::mt19937& rng) {
    std::vector<TMidiEvent> out;
    for (int i = 0; i < n; ++i) {
        DWORD tick = rng() % static_cast<unsigned>(ticks);
        TMidiEvent e = {};
        switch (rng() % 5) {
            case 0:
                e = Short(tick, MIDI_CMD_NOTEOFF, 0, i & 127, (i >> 7) & 127);
                break;
            case 1:
                e = Short(tick, MIDI_CMD_NOTEON, 0, i & 127, 1 + (i >> 7) % 126);
                break;
            case 2:
                e = Short(tick, MIDI_CMD_CONTROLLER, (i >> 7) & 15, i & 63, 5);
                break;
            case 3:
                e = Short(tick, MIDI_CMD_CONTROLLER, (i >> 7) & 15, 64, rng() % 2 ? 0 : 127);
                break;
            default:
                e = Short(tick, MIDI_CMD_PITCHBEND, 0, i & 127, (i >> 7) & 127);
                break;
        }
        out.push_back(e);
    }
    return out;
}

TEST(MidiFileBufTest, EqualTicksKeepArrivalOrderAcrossBlocks) {
    std::mt19937 rng(7);
    for (int ticks : {1, 5, 1000}) {
        TMidiFileBuf buf(1);
        std::vector<TMidiEvent> events = RandomEvents(3 * MIDI_BLOCK_EVENTS + 100, ticks, rng);
        std::vector<TMidiEvent> added;
        for (size_t i = 0; i < events.size(); ++i) {
            ASSERT_EQ(buf.AddEvent(events[i]), 0);
            added.push_back(events[i]);
            // Reading in between merges what came out of order; later adds must still land right.
            if (i % 997 == 0) {
                ASSERT_TRUE(buf.GetEvent(0) != nullptr);
            }
        }
        ExpectContents(buf, Reference(added));
        EXPECT_FALSE(buf.HasOverflowed());
    }
}

// A performance as the score player makes it: slice by slice, each staff's events of the slice in order,
// the staves one after another, so that most events arrive a little before the last stored ones; now and
// then a staff reaches far back. Merged in while they come, the events end in the order of one stable sort.
TEST(MidiFileBufTest, SlicesOfManyStavesEndInPlayOrder) {
    std::mt19937 rng(11);
    TMidiFileBuf buf;
    std::vector<TMidiEvent> added;
    int serial = 0;
    for (int slice = 0; slice < 60; ++slice)
        for (int staff = 0; staff < 12; ++staff) {
            const DWORD start = static_cast<DWORD>(slice * 384);
            std::vector<TMidiEvent> events;
            for (int k = 0; k < 20; ++k, ++serial) {
                DWORD tick = start + static_cast<DWORD>(rng() % 8) * 48;
                if (staff == 5 && slice % 20 == 19 && k == 0) tick = rng() % 200;
                events.push_back(rng() % 2
                                     ? Short(tick, MIDI_CMD_NOTEOFF, staff, serial & 127, serial >> 7 & 127)
                                     : Note(tick, serial & 127, 1 + (serial >> 7) % 126));
            }
            std::stable_sort(events.begin(), events.end(), [](const TMidiEvent& a, const TMidiEvent& b) {
                return TMidiEvent::GoesAfter(b, a);
            });
            for (const TMidiEvent& e : events) {
                ASSERT_EQ(buf.AddEvent(e), 0);
                added.push_back(e);
            }
        }
    ExpectContents(buf, Reference(added));
}

// The slice collector against the buffer filled event by event and against one stable sort: staves whose
// events of a slice reach past its end (and now and then back before it, or to a negative tick), split at
// the slice's end or anywhere; with growth, with a fixed size that overflows (the walk stops where the
// one-by-one buffer would have overflowed), and through a kind mask. In some rounds the caller hands over
// the first slices' events itself and a collector goes on from the events it held over.
TEST(MidiFileBufTest, SliceCollectorEndsAsEventByEvent) {
    std::mt19937 rng(23);
    for (int round = 0; round < 40; ++round) {
        const int growth = round % 4 == 3 ? 0 : 16;
        TMidiFileBuf direct(growth);
        TMidiFileBuf collected(growth);
        if (growth == 0) {
            direct.SetBlockCount(2);
            collected.SetBlockCount(2);
        }
        if (round % 5 == 4) {
            direct.SetKindMask(1u << MIDI_KIND_TEMPO);
            collected.SetKindMask(1u << MIDI_KIND_TEMPO);
        }
        // Events stored before the walk, as the tempo and the staves' set-up are.
        std::vector<TMidiEvent> added = RandomEvents(30, 3, rng);
        for (const TMidiEvent& e : added) {
            direct.AddEvent(e);
            collected.AddEvent(e);
        }
        const int staves = 1 + static_cast<int>(rng() % 8);
        const int span = 1 + static_cast<int>(rng() % 1500);
        bool stopped = false;
        {
            // At most 10 slices of 8 staves of 11 events: the caller's part never overflows.
            const int byHand = round % 3 == 1 ? 10 : 0;
            std::vector<TMidiEvent> first;
            std::optional<TMidiSliceCollector> slices;
            if (byHand == 0) slices.emplace(collected);
            for (int slice = 0; slice < 200 && !stopped; ++slice) {
                if (slice == byHand && !slices) {
                    std::stable_sort(
                        first.begin(), first.end(),
                        [](const TMidiEvent& a, const TMidiEvent& b) { return TMidiEvent::GoesAfter(b, a); });
                    const auto end = static_cast<int32_t>(slice * 384);
                    const auto held = std::partition_point(
                        first.begin(), first.end(),
                        [end](const TMidiEvent& e) { return static_cast<int32_t>(e.Tick) < end; });
                    collected.AddEvents(first.data(), static_cast<size_t>(held - first.begin()));
                    slices.emplace(collected, std::vector<TMidiEvent>(held, first.end()));
                }
                const DWORD limit = static_cast<DWORD>((slice + 1) * 384);
                for (int staff = 0; staff < staves && !stopped; ++staff) {
                    for (TMidiEvent e : RandomEvents(static_cast<int>(rng() % 12), span, rng)) {
                        e.Tick += limit - 384;
                        if (rng() % 50 == 0) e.Tick = rng() % 2 ? 0x90000000u : limit / 2;
                        if (rng() % 40 == 0) e.SetTempo(100);
                        direct.AddEvent(e);
                        if (slices)
                            collected.AddEvent(e);
                        else if ((collected.GetKindMask() & (1u << e.GetKind())) == 0)
                            first.push_back(e);  // as far as a collector would have taken it
                        added.push_back(e);
                    }
                    if (!slices) continue;
                    stopped = slices->HasOverflowed();
                    ASSERT_EQ(stopped, direct.HasOverflowed()) << "round " << round;
                }
                if (slices) slices->Flush(round % 2 ? limit : limit - static_cast<DWORD>(rng() % 600));
            }
        }
        ASSERT_EQ(collected.HasOverflowed(), direct.HasOverflowed());
        ASSERT_EQ(collected.GetBlockCount(), direct.GetBlockCount());
        std::vector<TMidiEvent> expected(direct.GetEventCount());
        for (int i = 0; i < direct.GetEventCount(); ++i)
            expected[static_cast<size_t>(i)] = *direct.GetEvent(i);
        ExpectContents(collected, expected);
        if (!direct.HasOverflowed() && round % 5 != 4) ExpectContents(collected, Reference(added));
    }
}

TEST(MidiFileBufTest, PatchTripleStraddlingBlocksKeepsItsOrder) {
    // The first block is full of later notes; the bank select and program at an earlier tick push its last
    // events over into the next block, where they must stay in arrival order.
    TMidiFileBuf buf(1);
    for (int i = 0; i < MIDI_BLOCK_EVENTS - 1; ++i)
        buf.AddEvent(Note(1000, 60, 1));
    TMidiEvent msb = Short(1000, MIDI_CMD_CONTROLLER, 0, 0, 1);
    TMidiEvent lsb = Short(1000, MIDI_CMD_CONTROLLER, 0, 32, 2);
    TMidiEvent pc = Short(1000, MIDI_CMD_PROGRAM, 0, 5, 0);
    buf.AddEvent(msb);
    buf.AddEvent(Note(500, 61, 1));
    buf.AddEvent(lsb);
    buf.AddEvent(Note(500, 62, 1));
    buf.AddEvent(pc);
    int first = buf.FindTick(1000);
    EXPECT_EQ(first, 2);
    EXPECT_TRUE(SameEvent(*buf.GetEvent(2), msb));
    EXPECT_TRUE(SameEvent(*buf.GetEvent(3), lsb));
    EXPECT_TRUE(SameEvent(*buf.GetEvent(4), pc));
    EXPECT_EQ(buf.GetHighestBlock(), 1);
}

TEST(MidiFileBufTest, OverflowAndGrowth) {
    TMidiFileBuf fixed(0);
    for (int i = 0; i < MIDI_BLOCK_EVENTS; ++i)
        ASSERT_EQ(fixed.AddEvent(Note(i, 60, 1)), 0);
    EXPECT_FALSE(fixed.HasOverflowed());
    EXPECT_TRUE(fixed.IsFull());
    EXPECT_NE(fixed.AddEvent(Note(5000, 60, 1)), 0);
    EXPECT_TRUE(fixed.HasOverflowed());
    EXPECT_EQ(fixed.GetEventCount(), MIDI_BLOCK_EVENTS);
    // An earlier event is kept and the last one lost.
    EXPECT_EQ(fixed.AddEvent(Note(3, 61, 1)), 0);
    EXPECT_EQ(fixed.GetEventCount(), MIDI_BLOCK_EVENTS);
    EXPECT_EQ(fixed.GetLastTick(), static_cast<DWORD>(MIDI_BLOCK_EVENTS - 2));

    TMidiFileBuf growing(1);
    for (int i = 0; i <= MIDI_BLOCK_EVENTS; ++i)
        growing.AddEvent(Note(i, 60, 1));
    EXPECT_FALSE(growing.HasOverflowed());
    EXPECT_EQ(growing.GetBlockCount(), 2);
    EXPECT_EQ(growing.GetHighestBlock(), 1);
    EXPECT_FALSE(growing.IsFull());

    // A song buffer made with its default growth holds songs larger than the blocks it starts with.
    TMidiFileBuf song;
    song.SetBlockCount(16);
    for (int i = 0; i < 16 * MIDI_BLOCK_EVENTS + 1; ++i)
        song.AddEvent(Note(i, 60, 1));
    EXPECT_FALSE(song.HasOverflowed());
    EXPECT_EQ(song.GetBlockCount(), 32);
    EXPECT_EQ(song.GetHighestBlock(), 16);

    // Out of order beyond the capacity: the events that come first in play order are kept.
    std::mt19937 rng(3);
    TMidiFileBuf small(0);
    small.SetBlockCount(2);
    std::vector<TMidiEvent> events = RandomEvents(3 * MIDI_BLOCK_EVENTS, 300, rng);
    for (const auto& e : events)
        small.AddEvent(e);
    EXPECT_TRUE(small.HasOverflowed());
    std::vector<TMidiEvent> expected = Reference(events);
    expected.resize(2 * MIDI_BLOCK_EVENTS);
    ExpectContents(small, expected);
}

TEST(MidiFileBufTest, BlockCountsAndClear) {
    TMidiFileBuf buf(0);
    EXPECT_EQ(buf.SetBlockCount(0), 1);  // the first block always exists
    EXPECT_TRUE(buf.IsEmpty());
    EXPECT_EQ(buf.GetHighestBlock(), -1);
    EXPECT_EQ(buf.AddEvent(Note(1, 60, 1)), 0);
    EXPECT_EQ(buf.SetBlockCount(5000), MIDI_MAX_BLOCKS);
    EXPECT_TRUE(buf.IsEmpty());
    EXPECT_EQ(buf.Grow(3), 0);
    buf.SetBlockCount(3);
    EXPECT_EQ(buf.Grow(2), 2);
    EXPECT_EQ(buf.GetBlockCount(), 5);
    buf.AddEvent(Note(1, 60, 1));
    buf.SetKindMask(1u << MIDI_KIND_TEMPO);
    buf.SetEndLimit(100);
    buf.FreeBlocks();
    EXPECT_EQ(buf.GetBlockCount(), 1);
    EXPECT_TRUE(buf.IsEmpty());
    EXPECT_EQ(buf.GetKindMask(), 0);
    EXPECT_EQ(buf.GetFilterTick(), 0u);
}

TEST(MidiFileBufTest, KindMaskAndEndLimit) {
    TMidiFileBuf buf(0);
    buf.SetKindMask(1u << MIDI_KIND_TEMPO);
    EXPECT_NE(buf.AddTempo(0, 120), 0);
    EXPECT_EQ(buf.AddTimeSignature(0, 3, 2), 0);
    buf.SetKindMask(0);
    buf.SetEndLimit(960);
    EXPECT_NE(buf.AddEvent(Note(960, 60, 1)), 0);
    EXPECT_EQ(buf.AddEvent(Note(959, 60, 1)), 0);
    EXPECT_EQ(buf.GetEventCount(), 2);
    EXPECT_EQ(buf.GetLastTick(), 959u);
}

TEST(MidiFileBufTest, StartOffsetCollapsesWhatCameBefore) {
    TMidiFileBuf buf(0);
    buf.SetStartOffset(960);
    EXPECT_EQ(buf.AddEvent(Short(100, MIDI_CMD_PROGRAM, 0, 5, 0)), 0);
    EXPECT_EQ(buf.AddEvent(Short(500, MIDI_CMD_PROGRAM, 0, 9, 0)), 0);
    EXPECT_NE(buf.AddEvent(Note(500, 60, 90)), 0);
    EXPECT_NE(buf.AddEvent(Short(600, MIDI_CMD_NOTEOFF, 0, 60, 0)), 0);
    EXPECT_NE(buf.AddPause(700, 4), 0);
    EXPECT_EQ(buf.AddEvent(Note(960, 62, 90)), 0);
    EXPECT_EQ(buf.AddEvent(Short(1000, MIDI_CMD_CONTROLLER, 0, 7, 80)), 0);
    EXPECT_EQ(buf.AddTempo(300, 100), 0);
    EXPECT_NE(buf.AddTempo(200, 50), 0);  // earlier than the tempo already collapsed
    EXPECT_EQ(buf.AddKeySignature(400, 2, 0), 0);
    EXPECT_EQ(buf.AddKeySignature(450, -1, 1), 0);

    ASSERT_EQ(buf.GetEventCount(), 5);
    const TMidiEvent* e = buf.GetEvent(0);
    EXPECT_EQ(e->Tick, 0u);
    EXPECT_EQ(e->GetCommand(), MIDI_CMD_PROGRAM);
    EXPECT_EQ(e->Data1, 9);
    EXPECT_EQ(buf.GetEvent(1)->GetKind(), MIDI_KIND_TEMPO);
    EXPECT_EQ(TMidiEvent::GetTempoBpm(buf.GetEvent(1)->GetMessage()), 100);
    EXPECT_EQ(buf.GetEvent(2)->GetKind(), MIDI_KIND_KEYSIG);
    EXPECT_EQ(buf.GetEvent(2)->Data2, 1);   // the later key replaced the earlier
    EXPECT_EQ(buf.GetEvent(3)->Data1, 62);  // the note at the offset lands at tick 0
    EXPECT_EQ(buf.GetEvent(3)->Tick, 0u);
    EXPECT_EQ(buf.GetEvent(4)->Tick, 40u);
}

TEST(MidiFileBufTest, EndPauseAndGap) {
    TMidiFileBuf buf(0);
    buf.AddEvent(Note(1000, 60, 1));
    buf.AppendEndPause(2);
    ASSERT_EQ(buf.GetEventCount(), 3);
    EXPECT_EQ(buf.GetEvent(1)->Tick, 1001u);
    EXPECT_EQ(TMidiEvent::GetTempoBpm(buf.GetEvent(1)->GetMessage()), 60);
    EXPECT_EQ(buf.GetEvent(2)->GetKind(), MIDI_KIND_PAUSE);
    EXPECT_EQ(buf.GetEvent(2)->Status, 8);
    // Two seconds of pause at 60 bpm after the song.
    EXPECT_EQ(buf.GetSongDurationMs(0), TicksToMs(500000, 1001) + 2000u);
    EXPECT_EQ(buf.GetSongDurationMs(1000), TicksToMs(500000, 1000));

    TMidiFileBuf gap(0);
    gap.SetStartOffset(100);
    gap.AddEvent(Note(600, 60, 1));
    gap.AppendEndGap(3);
    ASSERT_EQ(gap.GetEventCount(), 3);
    EXPECT_EQ(gap.GetEvent(1)->Tick, 501u);
    EXPECT_EQ(gap.GetEvent(2)->Tick, 501u + 3 * 192);
}

TEST(MidiFileBufTest, FindTick) {
    TMidiFileBuf buf(0);
    EXPECT_EQ(buf.FindTick(0), 0);
    EXPECT_EQ(buf.FindTick(500), 0);
    EXPECT_EQ(buf.GetEvent(0), nullptr);
    EXPECT_EQ(buf.GetEvent(-1), nullptr);
    buf.AddEvent(Note(100, 60, 1));
    EXPECT_EQ(buf.FindTick(50), 0);
    EXPECT_EQ(buf.FindTick(500), 0);
    buf.AddEvent(Note(200, 60, 1));
    EXPECT_EQ(buf.FindTick(500), 0);
    for (int i = 0; i < 3; ++i)
        buf.AddEvent(Note(150, 61, 1));
    buf.AddEvent(Note(300, 60, 1));
    // 100, 150, 150, 150, 200, 300
    EXPECT_EQ(buf.FindTick(100), 0);
    EXPECT_EQ(buf.FindTick(120), 0);
    EXPECT_EQ(buf.FindTick(150), 1);
    EXPECT_EQ(buf.FindTick(199), 3);
    EXPECT_EQ(buf.FindTick(200), 4);
    EXPECT_EQ(buf.FindTick(300), 5);
    EXPECT_EQ(buf.FindTick(301), 4);
}

TEST(MidiFileBufTest, TicksToMs) {
    EXPECT_EQ(TicksToMs(500000, 192), 500u);
    EXPECT_EQ(TicksToMs(500000, 0), 0u);
    EXPECT_EQ(TicksToMs(500000, -5), 0u);
    // 15,000,000 us per quarter (4 bpm) over 100,000 ticks: beyond 32-bit products.
    EXPECT_EQ(TicksToMs(15000000, 100000), 7812500u);
    EXPECT_EQ(TicksToMs(10000000, 96000), static_cast<DWORD>(uint64_t{10000000} * 96000 / 192 / 1000));
    // Chunks round on their own.
    EXPECT_EQ(TicksToMs(500001, 192001), TicksToMs(500001, 96000) * 2 + TicksToMs(500001, 1));
}

// Milliseconds at a tick by a plain walk over tempo and pause events.
DWORD ReferenceMs(const std::vector<TMidiEvent>& sorted, DWORD tick) {
    uint64_t tempo = 500000, lastTick = 0;
    double ms = 0;
    for (const auto& e : sorted) {
        if (e.Tick > tick) break;
        if (e.GetKind() == MIDI_KIND_TEMPO || e.GetKind() == MIDI_KIND_PAUSE) {
            ms += static_cast<double>(e.Tick - lastTick) * static_cast<double>(tempo) / 192000.0;
            lastTick = e.Tick;
            if (e.GetKind() == MIDI_KIND_TEMPO)
                tempo = TMidiEvent::GetTempoMicros(e.GetMessage());
            else
                ms += (e.Status | (e.Data1 << 8)) * 48.0 * static_cast<double>(tempo) / 192000.0;
        }
    }
    return static_cast<DWORD>(ms +
                              static_cast<double>(tick - lastTick) * static_cast<double>(tempo) / 192000.0);
}

TEST(MidiFileBufTest, TimeCursorFollowsTempoAndPauses) {
    TMidiFileBuf empty(0);
    TMFBTimeIndex none(&empty);
    EXPECT_EQ(none.GetMs(), 0u);
    none.SeekMs(1000);
    EXPECT_EQ(none.GetMs(), 0u);
    EXPECT_EQ(empty.GetSongDurationMs(0), 0u);
    none.SeekTick(192);  // the default tempo of 120 bpm applies
    EXPECT_EQ(none.GetMs(), 500u);
    TMFBIndex plain(&empty);
    plain.SeekSoundingNote(1);
    plain.SeekLastSoundingNote();
    plain.SeekTempoOrPause(-1);
    EXPECT_EQ(plain.GetEvent(), nullptr);
    EXPECT_FALSE(plain.IsSoundingNote());
    EXPECT_FALSE(plain.CanMove(1));

    TMidiFileBuf buf(0);
    std::vector<TMidiEvent> added;
    auto add = [&](const TMidiEvent& e) {
        buf.AddEvent(e);
        added.push_back(e);
    };
    for (DWORD t = 0; t < 192 * 40; t += 96)
        add(Note(t, 60, 1));
    TMidiEvent tempo = {};
    for (auto [tick, bpm] : {std::pair{0u, 120}, {192u * 8, 60}, {192u * 16, 240}, {192u * 30, 100}}) {
        tempo.Tick = tick;
        tempo.SetTempo(bpm);
        add(tempo);
    }
    TMidiEvent pause = {};
    pause.Tick = 192 * 20;
    pause.SetPause(8);
    add(pause);
    std::vector<TMidiEvent> sorted = Reference(added);

    TMFBTimeIndex index(&buf);
    for (DWORD tick : {0u, 100u, 192u * 8, 192u * 12 + 5, 192u * 20, 192u * 25, 192u * 35}) {
        index.SeekTick(tick);
        EXPECT_NEAR(static_cast<double>(index.GetMs()), ReferenceMs(sorted, tick), 3.0) << tick;
    }
    // Milliseconds back to ticks and again to milliseconds.
    for (DWORD ms : {0u, 250u, 4000u, 9000u, 12345u, 15000u}) {
        index.SeekMs(ms);
        DWORD reached = index.GetMs();
        EXPECT_NEAR(static_cast<double>(reached), ms, 6.0) << ms;
        index.SeekTick(index.GetTick());
        EXPECT_NEAR(static_cast<double>(index.GetMs()), reached, 3.0) << ms;
    }
    // A position inside the pause reaches the pause event.
    index.SeekMs(ReferenceMs(sorted, 192 * 20) - 200);
    EXPECT_EQ(index.GetTick(), 192u * 20);
}

TEST(MidiFileBufTest, EventCursorSeeks) {
    TMidiFileBuf buf(0);
    buf.AddEvent(Note(0, 60, 90));                           // 0
    buf.AddEvent(Note(0, 64, 90));                           // 1
    buf.AddEvent(Short(96, MIDI_CMD_NOTEOFF, 0, 60, 0));     // 2
    buf.AddTempo(150, 90);                                   // 3
    buf.AddEvent(Note(192, 62, 0));                          // 4 (a release)
    buf.AddEvent(Note(192, 67, 80));                         // 5
    buf.AddEvent(Short(300, MIDI_CMD_CONTROLLER, 0, 7, 1));  // 6

    TMFBIndex index(&buf);
    EXPECT_FALSE(index.CanMove(-1));
    EXPECT_TRUE(index.CanMove(1));
    index.SeekSoundingNote(1);
    EXPECT_EQ(index.GetIndex(), 5);
    index.SeekSoundingNote(1);  // nothing sounds later: stays
    EXPECT_EQ(index.GetIndex(), 5);
    index.SeekSoundingNote(-1);  // the nearest earlier one
    EXPECT_EQ(index.GetIndex(), 1);
    index.SeekLastSoundingNote();
    EXPECT_EQ(index.GetIndex(), 5);
    index.Reset();
    index.SeekTempoOrPause(1);
    EXPECT_EQ(index.GetIndex(), 3);
    EXPECT_TRUE(index.IsTempoOrPause());
    index.SeekTempoOrPause(1);
    EXPECT_EQ(index.GetIndex(), 6);
    index.Next();
    EXPECT_EQ(index.GetIndex(), 6);
    EXPECT_FALSE(index.CanMove(1));
    index.Step(-1);
    EXPECT_EQ(index.GetIndex(), 5);
}

TEST(MidiFileBufTest, WholeBufferScansAndTranspose) {
    TMidiFileBuf buf(2);
    for (int i = 0; i < MIDI_BLOCK_EVENTS; ++i)
        buf.AddEvent(Note(i, 40, 50));
    buf.AddEvent(Short(MIDI_BLOCK_EVENTS + 5, MIDI_CMD_NOTEON, 3, 90, 120, 1));
    buf.AddEvent(Short(MIDI_BLOCK_EVENTS + 6, MIDI_CMD_PROGRAM, 3, 7, 0, 1));
    EXPECT_EQ(buf.GetHighestBlock(), 1);
    EXPECT_EQ(buf.GetChannelsUsed(1u << MIDI_CMD_NOTEON), 0x0009);
    EXPECT_EQ(buf.GetVelocityExtreme(0xFFFF, true), 120);
    EXPECT_EQ(buf.GetVelocityExtreme(0xFFFF, false), 50);
    EXPECT_EQ(buf.GetWidestSpan(0xFFFF), 50);  // key 40 still sounds when 90 starts
    WORD patches[128], keys[128];
    buf.GetPatchArrays(1, 0x0008, patches, keys);
    EXPECT_EQ(patches[7], 0x0008);
    EXPECT_EQ(keys[90], 0x0008);
    EXPECT_EQ(keys[40], 0);
    buf.Transpose(2, 0x0008, 0x0002);
    EXPECT_EQ(buf.GetEvent(MIDI_BLOCK_EVENTS)->Data1, 92);
    EXPECT_EQ(buf.GetEvent(0)->Data1, 40);
}

}  // namespace

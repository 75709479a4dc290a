#include "score/base/midi_event.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

namespace {

TMidiEvent Short(DWORD tick, int command, int channel, int data1, int data2, int port = 0) {
    TMidiEvent e = {};
    e.Tick = tick;
    e.SetShortMsg(command, port, channel, data1, data2);
    return e;
}

TMidiEvent Tempo(DWORD tick, int bpm) {
    TMidiEvent e = {};
    e.Tick = tick;
    e.SetTempo(bpm);
    return e;
}

std::vector<DWORD> Messages(const TSingleMidiBuf& block) {
    std::vector<DWORD> out;
    for (int i = 0; i < block.Count; ++i)
        out.push_back(block.Events[i].GetMessage());
    return out;
}

TEST(MidiEventTest, RecordLayoutAndMakers) {
    TMidiEvent e = Short(100, MIDI_CMD_NOTEON, 9, 60, 100, 9);
    EXPECT_EQ(e.GetMessage(), 0x09643C99u);  // port 9 survives in bits 24-27
    EXPECT_EQ(e.GetPort(), 9);
    e.SetPort(17);
    EXPECT_EQ(e.GetPort(), 1);
    EXPECT_EQ(e.GetKind(), MIDI_KIND_SHORT);

    // A command change makes the record a short message again but keeps the port.
    TMidiEvent m = Tempo(0, 120);
    m.SetPort(3);
    m.SetCommand(MIDI_CMD_CONTROLLER);
    EXPECT_EQ(m.GetKind(), MIDI_KIND_SHORT);
    EXPECT_EQ(m.GetPort(), 3);
    EXPECT_EQ(m.Status >> 4, 0xB);

    TMidiEvent k = {};
    k.SetKeySignature(-3, 1);
    EXPECT_EQ(k.GetKind(), MIDI_KIND_KEYSIG);
    EXPECT_EQ(static_cast<SHORT>(k.Status | (k.Data1 << 8)), -3);
    EXPECT_EQ(k.Data2, 1);  // minor
    k.SetKeySignature(2, 7);
    EXPECT_EQ(k.Data2, 1);
    k.SetKeySignature(2, 0);
    EXPECT_EQ(k.Data2, 0);

    TMidiEvent p = {};
    p.SetPause(0x1234);
    EXPECT_EQ(p.GetKind(), MIDI_KIND_PAUSE);
    EXPECT_EQ(p.Status | (p.Data1 << 8), 0x1234);
    TMidiEvent t = {};
    t.SetTimeSignature(6, 3);
    EXPECT_EQ(t.GetKind(), MIDI_KIND_TIMESIG);
    EXPECT_EQ(t.Status, 6);
    EXPECT_EQ(t.Data1, 3);
}

TEST(MidiEventTest, TempoConversions) {
    for (int bpm : {-5, 0, 1, 2, 3, 4}) {
        EXPECT_EQ(TMidiEvent::GetTempoMicros(Tempo(0, bpm).GetMessage()), 15000000u) << bpm;
    }
    EXPECT_EQ(TMidiEvent::GetTempoMicros(Tempo(0, 120).GetMessage()), 500000u);
    EXPECT_EQ(TMidiEvent::GetTempoBpm(Tempo(0, 120).GetMessage()), 120);
    EXPECT_EQ(TMidiEvent::GetTempoBpm(Tempo(0, 5).GetMessage()), 8);
    EXPECT_EQ(TMidiEvent::GetTempoBpm(Short(0, MIDI_CMD_NOTEON, 0, 60, 1).GetMessage()), 45);
    // Absurd tempos never store zero microseconds.
    EXPECT_EQ(TMidiEvent::GetTempoMicros(Tempo(0, 2000000000).GetMessage()), 1u);
}

TEST(MidiEventTest, OrderAtOneTick) {
    TMidiEvent on = Short(10, MIDI_CMD_NOTEON, 0, 60, 90);
    TMidiEvent off = Short(10, MIDI_CMD_NOTEOFF, 0, 60, 0);
    TMidiEvent onZero = Short(10, MIDI_CMD_NOTEON, 0, 62, 0);
    TMidiEvent release = Short(10, MIDI_CMD_CONTROLLER, 0, 64, 0);
    TMidiEvent release64 = Short(10, MIDI_CMD_CONTROLLER, 0, 64, 64);
    TMidiEvent press = Short(10, MIDI_CMD_CONTROLLER, 0, 64, 127);
    TMidiEvent volume = Short(10, MIDI_CMD_CONTROLLER, 0, 7, 100);
    TMidiEvent program = Short(10, MIDI_CMD_PROGRAM, 0, 5, 0);
    TMidiEvent tempo = Tempo(10, 90);
    std::vector<TMidiEvent> all = {on, off, onZero, release, release64, press, volume, program, tempo};
    std::vector<int> ranks;
    for (const auto& e : all)
        ranks.push_back(TMidiEvent::SortRank(e));
    EXPECT_EQ(ranks, (std::vector<int>{4, 0, 0, 1, 1, 3, 2, 2, 2}));

    // Every order of adding gives note-offs, releases, others in arrival order, presses, note-ons.
    std::vector<int> order = {0, 1, 2, 3, 5, 6};
    do {
        TSingleMidiBuf block;
        for (int i : order)
            ASSERT_TRUE(block.Insert(all[i]));
        std::vector<int> got;
        for (int i = 0; i < block.Count; ++i)
            got.push_back(TMidiEvent::SortRank(block.Events[i]));
        EXPECT_TRUE(std::is_sorted(got.begin(), got.end()));
        EXPECT_EQ(block.Events[block.Count - 1].GetMessage(), on.GetMessage());
    } while (std::next_permutation(order.begin(), order.end()));

    // A later tick goes after whatever its rank; ticks compare as signed.
    EXPECT_TRUE(TMidiEvent::GoesAfter(Short(11, MIDI_CMD_NOTEOFF, 0, 1, 0), on));
    EXPECT_FALSE(TMidiEvent::GoesAfter(on, on));
}

TEST(MidiEventTest, BlockInsertKeepsArrivalOrderOfEqualEvents) {
    TSingleMidiBuf block;
    TMidiEvent msb = Short(0, MIDI_CMD_CONTROLLER, 0, 0, 1);
    TMidiEvent lsb = Short(0, MIDI_CMD_CONTROLLER, 0, 32, 2);
    TMidiEvent pc = Short(0, MIDI_CMD_PROGRAM, 0, 3, 0);
    block.Insert(Short(5, MIDI_CMD_NOTEON, 0, 60, 1));
    block.Insert(msb);
    block.Insert(lsb);
    block.Insert(pc);
    EXPECT_EQ(Messages(block), (std::vector<DWORD>{msb.GetMessage(), lsb.GetMessage(), pc.GetMessage(),
                                                   Short(5, MIDI_CMD_NOTEON, 0, 60, 1).GetMessage()}));
    EXPECT_EQ(block.GetFirstTick(), 0u);
    EXPECT_EQ(block.GetLastTick(), 5u);
}

TEST(MidiEventTest, FullBlockCarries) {
    TSingleMidiBuf block;
    for (int i = 0; i < MIDI_BLOCK_EVENTS; ++i)
        ASSERT_TRUE(block.Insert(Short(100 + i, MIDI_CMD_NOTEON, 0, 1, 1)));
    EXPECT_FALSE(block.Insert(Short(0, MIDI_CMD_NOTEON, 0, 1, 1)));

    // An earlier event takes the last one's place and hands it back.
    TMidiEvent e = Short(50, MIDI_CMD_NOTEON, 0, 2, 2);
    bool displaced = false;
    EXPECT_FALSE(block.InsertWithCarry(e, false, displaced));
    EXPECT_TRUE(displaced);
    EXPECT_EQ(e.Tick, 100u + MIDI_BLOCK_EVENTS - 1);
    EXPECT_EQ(block.Events[0].Tick, 50u);
    EXPECT_EQ(block.Count, MIDI_BLOCK_EVENTS);

    // A later one is handed back unchanged.
    TMidiEvent late = Short(99999, MIDI_CMD_NOTEON, 0, 3, 3);
    EXPECT_FALSE(block.InsertWithCarry(late, false, displaced));
    EXPECT_FALSE(displaced);
    EXPECT_EQ(late.Tick, 99999u);

    // An event carried in from the block before goes in front of its equals; a new one behind them.
    TSingleMidiBuf next;
    TMidiEvent a = Short(7, MIDI_CMD_CONTROLLER, 0, 0, 1);
    TMidiEvent b = Short(7, MIDI_CMD_CONTROLLER, 0, 32, 2);
    TMidiEvent c = Short(7, MIDI_CMD_PROGRAM, 0, 3, 0);
    next.Insert(b);
    TMidiEvent carried = a;
    EXPECT_TRUE(next.InsertWithCarry(carried, true, displaced));
    TMidiEvent fresh = c;
    EXPECT_TRUE(next.InsertWithCarry(fresh, false, displaced));
    EXPECT_EQ(Messages(next), (std::vector<DWORD>{a.GetMessage(), b.GetMessage(), c.GetMessage()}));
}

TEST(MidiEventTest, SameSlotAndReplace) {
    TMidiEvent vol = Short(0, MIDI_CMD_CONTROLLER, 2, 7, 100, 1);
    EXPECT_TRUE(TMidiEvent::IsSameSlot(vol, Short(0, MIDI_CMD_CONTROLLER, 2, 7, 50, 1)));
    EXPECT_FALSE(TMidiEvent::IsSameSlot(vol, Short(0, MIDI_CMD_CONTROLLER, 2, 10, 50, 1)));
    EXPECT_FALSE(TMidiEvent::IsSameSlot(vol, Short(0, MIDI_CMD_CONTROLLER, 3, 7, 50, 1)));
    EXPECT_FALSE(TMidiEvent::IsSameSlot(vol, Short(0, MIDI_CMD_CONTROLLER, 2, 7, 50, 2)));
    EXPECT_FALSE(TMidiEvent::IsSameSlot(vol, Short(1, MIDI_CMD_CONTROLLER, 2, 7, 50, 1)));
    EXPECT_TRUE(
        TMidiEvent::IsSameSlot(Short(0, MIDI_CMD_PROGRAM, 0, 1, 0), Short(0, MIDI_CMD_PROGRAM, 0, 9, 0)));
    EXPECT_FALSE(
        TMidiEvent::IsSameSlot(Short(0, MIDI_CMD_NOTEON, 0, 1, 1), Short(0, MIDI_CMD_NOTEON, 0, 1, 1)));
    EXPECT_TRUE(TMidiEvent::IsSameSlot(Tempo(0, 60), Tempo(0, 90)));

    TSingleMidiBuf block;
    block.Insert(Short(0, MIDI_CMD_PROGRAM, 0, 1, 0));
    block.Insert(vol);
    block.Insert(Short(5, MIDI_CMD_CONTROLLER, 2, 10, 1, 1));
    EXPECT_TRUE(block.Replace(Short(0, MIDI_CMD_CONTROLLER, 2, 7, 50, 1)));
    EXPECT_EQ(block.Events[1].Data2, 50);
    EXPECT_FALSE(block.Replace(Short(0, MIDI_CMD_CONTROLLER, 2, 10, 50, 1)));  // stops before tick 5
    EXPECT_EQ(block.Count, 3);
}

TEST(MidiEventTest, BlockScans) {
    TSingleMidiBuf block;
    block.Insert(Short(0, MIDI_CMD_PROGRAM, 1, 40, 0, 2));
    block.Insert(Short(0, MIDI_CMD_PROGRAM, 9, 0, 0, 0));
    block.Insert(Short(1, MIDI_CMD_NOTEON, 1, 60, 80, 2));
    block.Insert(Short(1, MIDI_CMD_NOTEON, 9, 36, 100, 2));
    block.Insert(Short(2, MIDI_CMD_NOTEON, 1, 72, 20, 2));
    block.Insert(Short(3, MIDI_CMD_NOTEOFF, 1, 60, 0, 2));
    block.Insert(Short(4, MIDI_CMD_NOTEON, 1, 48, 70, 2));

    EXPECT_EQ(block.GetVelocityExtreme(0x0002, true), 80);
    EXPECT_EQ(block.GetVelocityExtreme(0x0002, false), 20);
    EXPECT_EQ(block.GetVelocityExtreme(0x0004, true), 0);
    EXPECT_EQ(block.GetVelocityExtreme(0x0004, false), 127);
    BYTE keys[16] = {};
    EXPECT_EQ(block.GetWidestSpan(0x0002, keys, 0), 24);  // 48 and 72 sound together after 60 ends
    EXPECT_EQ(block.GetChannelsUsed(1u << MIDI_CMD_NOTEON), 0x0202);
    EXPECT_EQ(block.GetChannelsUsed(1u << MIDI_CMD_PROGRAM), 0x0202);
    WORD patches[128] = {}, drums[128] = {};
    block.GetPatchArrays(2, 0x0200, patches, drums);
    EXPECT_EQ(patches[40], 0x0002);
    EXPECT_EQ(patches[0], 0);  // that program change is on port 0
    EXPECT_EQ(drums[36], 0x0200);
    EXPECT_EQ(drums[60], 0);
}

TEST(MidiEventTest, TransposeFoldsIntoRange) {
    EXPECT_EQ(qsm::FoldTransposedKey(130), 118);
    EXPECT_EQ(qsm::FoldTransposedKey(127), 127);
    EXPECT_EQ(qsm::FoldTransposedKey(-3), 9);
    EXPECT_EQ(qsm::FoldTransposedKey(-12), 0);
    for (int key = -40; key < 200; ++key) {
        int folded = qsm::FoldTransposedKey(key);
        EXPECT_GE(folded, 0);
        EXPECT_LE(folded, 127);
        EXPECT_EQ(((folded - key) % 12 + 12) % 12, 0) << key;
    }
    TSingleMidiBuf block;
    block.Insert(Short(0, MIDI_CMD_NOTEON, 0, 120, 1, 0));
    block.Insert(Short(0, MIDI_CMD_NOTEON, 1, 60, 1, 0));
    block.Insert(Short(0, MIDI_CMD_NOTEON, 0, 60, 1, 1));
    block.Insert(Short(0, MIDI_CMD_CONTROLLER, 0, 7, 1, 0));
    block.Insert(Short(0, MIDI_CMD_NOTEOFF, 0, 2, 0, 0));
    // At one tick: note-off, controller, then the note-ons in arrival order.
    block.Transpose(10, 0x0001, 0x0001);
    EXPECT_EQ(block.Events[0].Data1, 12);
    EXPECT_EQ(block.Events[1].Data1, 7);    // controllers stay
    EXPECT_EQ(block.Events[2].Data1, 118);  // 130 folds down
    EXPECT_EQ(block.Events[3].Data1, 60);   // channel not in the mask
    EXPECT_EQ(block.Events[4].Data1, 60);   // port not in the mask
    block.Transpose(-15, 0x0001, 0x0001);
    EXPECT_EQ(block.Events[0].Data1, 9);  // -3 folds up
}

}  // namespace

#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "core/ram_stream.h"
#include "midi/smf_writer.h"
#include "midi/tests/smf_builder.h"

using qsm::test::Bytes;

namespace {

Bytes Contents(TQSRFlatRamStream& s) {
    return Bytes(s.GetData(), s.GetData() + s.GetSize());
}

// A writer whose track bodies are given by the test, and which counts its error reports.
class TestWriter : public TSMFOutStream {
public:
    explicit TestWriter(TQSRStream* out) : TSMFOutStream(out) {}
    void ErrorReport(const char* text) override {
        ++errors;
        TSMFOutStream::ErrorReport(text);
    }
    void WriteFirstTrack() override {
        if (first) first(*this);
    }
    void WriteTrack(int index) override {
        if (numbered) numbered(*this, index);
    }
    std::function<void(TestWriter&)> first;
    std::function<void(TestWriter&, int)> numbered;
    int errors = 0;
};

Bytes VarLen(DWORD v) {
    TQSRFlatRamStream out(16, 16);
    TestWriter w(&out);
    w.PutVarLen(v);
    return Contents(out);
}

}  // namespace

TEST(SmfWriter, VariableLengthNumbers) {
    EXPECT_EQ(VarLen(0), (Bytes{0x00}));
    EXPECT_EQ(VarLen(127), (Bytes{0x7F}));
    EXPECT_EQ(VarLen(128), (Bytes{0x81, 0x00}));
    EXPECT_EQ(VarLen(0x3FFF), (Bytes{0xFF, 0x7F}));
    EXPECT_EQ(VarLen(0x0FFFFFFF), (Bytes{0xFF, 0xFF, 0xFF, 0x7F}));
}

TEST(SmfWriter, ChunksAndTrackCounts) {
    TQSRFlatRamStream out(64, 64);
    TestWriter w(&out);
    w.numbered = [](TestWriter& t, int index) { t.WriteTextMetaAt(10, 3, index == 0 ? "A" : "B"); };
    w.WriteFile(1, 2, 192);
    Bytes empty = {'M', 'T', 'r', 'k', 0, 0, 0, 4, 0, 0xFF, 0x2F, 0};
    Bytes expected = {'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 1, 0, 3, 0, 192};
    expected.insert(expected.end(), empty.begin(), empty.end());
    for (char name : {'A', 'B'}) {
        Bytes track = {'M', 'T',  'r',  'k', 0, 0, 0, 9, 10, 0xFF, 3, 1, static_cast<uint8_t>(name),
                       0,   0xFF, 0x2F, 0};
        expected.insert(expected.end(), track.begin(), track.end());
    }
    EXPECT_EQ(Contents(out), expected);
    EXPECT_EQ(w.errors, 0);

    // A format-0 file declares the one track it holds.
    TQSRFlatRamStream out0(64, 64);
    TestWriter w0(&out0);
    w0.WriteFile(0, 0, 96);
    Bytes header0 = {'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 0, 0, 1, 0, 96};
    header0.insert(header0.end(), empty.begin(), empty.end());
    EXPECT_EQ(Contents(out0), header0);
}

TEST(SmfWriter, EventsAndChannelMessages) {
    TQSRFlatRamStream out(64, 64);
    TestWriter w(&out);
    w.first = [](TestWriter& t) {
        TMidiEvent e{};
        e.SetShortMsg(MIDI_CMD_PROGRAM, 0, 3, 5, 99);
        e.Tick = 0;
        t.WriteEvent(e);  // one data byte
        e.SetShortMsg(MIDI_CMD_PITCHBEND, 0, 3, 1, 64);
        e.Tick = 200;
        t.WriteEvent(e);  // two data bytes
        e.SetTempo(120);
        e.Tick = 200;
        t.WriteEvent(e);
        e.SetTimeSignature(6, 3);
        t.WriteEvent(e);
        e.SetKeySignature(-3, 1);
        t.WriteEvent(e);
        e.SetPause(4);
        e.Tick = 300;
        t.WriteEvent(e);  // pauses have no form in a file: nothing, and the last tick stays
        BYTE on[2] = {60, 100};
        EXPECT_EQ(t.WriteChannelMessage(0, 9, 16, on, 2), 0);  // refused: writes nothing at all
        EXPECT_EQ(t.WriteChannelMessage(5, 9, 2, on, 2), 1);
    };
    w.WriteFile(0, 1, 192);
    Bytes body = {0,    0xC3, 5, 0x81, 0x48, 0xE3, 1,   64, 0,    0xFF, 0x51, 3,    0x07,
                  0xA1, 0x20, 0, 0xFF, 0x58, 4,    6,   3,  24,   8,    0,    0xFF, 0x59,
                  2,    0xFD, 1, 5,    0x92, 60,   100, 0,  0xFF, 0x2F, 0};
    Bytes got = Contents(out);
    ASSERT_EQ(got.size(), 22 + body.size());
    EXPECT_EQ(Bytes(got.begin() + 22, got.end()), body);
    EXPECT_EQ(got[21], body.size());

    // The file reads back through the reader with the same events.
    TSMFData data;
    TQSRFlatRamStream in(got.data(), static_cast<DWORD>(got.size()), static_cast<DWORD>(got.size()));
    TQSRFlatRamStream log(64, 64);
    TSMFImport::Run(&data, &in, &log);
    EXPECT_EQ(log.GetSize(), 0u);
    ASSERT_EQ(data.GetTrackCount(), 1);
    EXPECT_EQ(data.GetTrack(0)->GetEventCount(), 6);
}

TEST(SmfWriter, FailingOutputReportsEveryByte) {
    BYTE buffer[10];
    TQSRFlatRamStream out(buffer, sizeof(buffer), 0);
    TestWriter w(&out);
    // 4 header bytes past the buffer, the track's tag and length, the end event's delta and FF (it stops at
    // the first failing byte of its own), and the tag and length written again.
    w.WriteFile(0, 1, 192);
    EXPECT_TRUE(w.HasError());
    EXPECT_EQ(w.errors, 4 + 8 + 2 + 8);
    EXPECT_EQ(w.PutByte(1), 0);
    EXPECT_EQ(w.errors, 4 + 8 + 2 + 8 + 1);
}

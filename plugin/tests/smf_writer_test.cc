#include <gtest/gtest.h>

#include <unistd.h>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "core/ram_stream.h"
#include "midi/score_player.h"
#include "midi/tests/demo_score.h"
#include "midi/tests/smf_builder.h"
#include "platform/base/compiler.h"
#include "plugin/smf_writer.h"
#include "score/base/midi_file_buf.h"

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

// ---- a rendered score written as a file, read back by independent programs ----

namespace {

std::string TempPath(const char* name) {
    // The process id keeps test runs of several build folders apart.
    return (std::filesystem::temp_directory_path() /
            ("qsm_smf_" + std::to_string(static_cast<long long>(getpid())) + "_" + name))
        .string();
}

// Runs a command and answers its standard output (empty on failure).
std::string Capture(const std::string& command, int& status) {
    std::string out;
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) {
        status = -1;
        return out;
    }
    char buffer[4096];
    size_t n;
    while ((n = fread(buffer, 1, sizeof(buffer), pipe)) > 0)
        out.append(buffer, n);
    status = pclose(pipe);
    return out;
}

// The RMS of the 16-bit samples of a WAV file (0 when it cannot be read).
double WavRms(const std::string& path, size_t& samples) {
    std::ifstream in(path, std::ios::binary);
    std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    samples = 0;
    if (bytes.size() < 12 || std::memcmp(bytes.data(), "RIFF", 4) != 0) return 0;
    size_t at = 12;
    int bits = 16;
    while (at + 8 <= bytes.size()) {
        uint32_t size = 0;
        std::memcpy(&size, bytes.data() + at + 4, 4);
        if (std::memcmp(bytes.data() + at, "fmt ", 4) == 0 && at + 24 <= bytes.size()) {
            bits = static_cast<unsigned char>(bytes[at + 22]) |
                   (static_cast<unsigned char>(bytes[at + 23]) << 8);
        }
        if (std::memcmp(bytes.data() + at, "data", 4) == 0) {
            if (bits != 16) return 0;
            const size_t end = std::min(bytes.size(), at + 8 + size);
            double sum = 0;
            for (size_t i = at + 8; i + 1 < end; i += 2) {
                int16_t v;
                std::memcpy(&v, bytes.data() + i, 2);
                sum += static_cast<double>(v) * v;
                ++samples;
            }
            return samples ? std::sqrt(sum / static_cast<double>(samples)) : 0;
        }
        at += 8 + size + (size & 1);
    }
    return 0;
}

const char kMidoDump[] =
    "import sys, mido\n"
    "m = mido.MidiFile(sys.argv[1])\n"
    "print('H', m.type, m.ticks_per_beat, len(m.tracks))\n"
    "for t in m.tracks:\n"
    "    tick = 0\n"
    "    for msg in t:\n"
    "        tick += msg.time\n"
    "        if msg.type == 'set_tempo': print('T', tick, msg.tempo)\n"
    "        elif msg.is_meta: print('M', tick, msg.type)\n"
    "        else: print('N', tick, ' '.join(str(b) for b in msg.bytes()))\n";

}  // namespace

TEST(SmfExport, RenderedScoreReadsBackInMidoAndSoundsInFluidSynth) {
    auto score = qsm::test::MakeDemoScore(2, 120, false);
    score->GetStaff(0)->InsertItem(new TKeyData(1, 0, 6), 1);  // a key signature that must stay out
    TScoreMidiPlayer player;
    TMidiFileBuf buffer(16);
    TQSRFlatRamStream out(4096, 4096);
    TQSMExportClass writer(&out, score.get(), &player, &buffer);
    writer.SetEndGap(1);
    writer.WriteFile(0, 1, 192);
    ASSERT_FALSE(writer.HasError());
    Bytes file = Contents(out);
    ASSERT_GT(file.size(), 100u);
    EXPECT_EQ(file[10], 0);  // one track chunk declared
    EXPECT_EQ(file[11], 1);

    // What was written, as mido prints it.
    std::string expected = "H 0 192 1\n";
    for (int i = 0; i < buffer.GetEventCount(); ++i) {
        const TMidiEvent& e = *buffer.GetEvent(i);
        ASSERT_NE(e.GetKind(), MIDI_KIND_TIMESIG);
        ASSERT_NE(e.GetKind(), MIDI_KIND_KEYSIG);
        ASSERT_NE(e.GetKind(), MIDI_KIND_PAUSE);
        if (e.GetKind() == MIDI_KIND_TEMPO) {
            expected += "T " + std::to_string(e.Tick) + " " +
                        std::to_string(TMidiEvent::GetTempoMicros(e.GetMessage())) + "\n";
        } else if (e.GetPort() == 0) {
            const int kind = e.Status & 0xF0;
            // gcc 12 reports the inlined string copy as overlapping; it is not (a known false report).
            QSM_GCC_FALSE_REPORT_BEGIN("-Wrestrict")
            expected += "N " + std::to_string(e.Tick) + " " + std::to_string(e.Status) + " " +
                        std::to_string(e.Data1);
            if (kind != 0xC0 && kind != 0xD0) expected += " " + std::to_string(e.Data2);
            QSM_GCC_FALSE_REPORT_END
            expected += "\n";
        }
    }
    const DWORD last = buffer.GetEvent(buffer.GetEventCount() - 1)->Tick;
    expected += "M " + std::to_string(last) + " end_of_track\n";

    const std::string mid = TempPath("export.mid");
    std::ofstream(mid, std::ios::binary)
        .write(reinterpret_cast<const char*>(file.data()), static_cast<std::streamsize>(file.size()));
    const std::string script = TempPath("mido_dump.py");
    std::ofstream(script) << kMidoDump;
    int status = 0;
    Capture("/usr/bin/python3 -c 'import mido' 2>/dev/null", status);
    if (status != 0) GTEST_SKIP() << "python3-mido is not installed";
    const std::string dump = Capture("/usr/bin/python3 " + script + " " + mid, status);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(dump, expected);

    const char* font = "/usr/share/sounds/sf2/default-GM.sf2";
    if (!std::filesystem::exists(font)) font = "/usr/share/sounds/sf2/TimGM6mb.sf2";
    Capture("command -v fluidsynth >/dev/null 2>&1", status);
    if (status != 0 || !std::filesystem::exists(font)) GTEST_SKIP() << "fluidsynth or a SoundFont is missing";
    const std::string wav = TempPath("export.wav");
    std::filesystem::remove(wav);
    Capture(std::string("fluidsynth -ni -q -g 1 -r 44100 -F ") + wav + " " + font + " " + mid + " 2>&1",
            status);
    EXPECT_EQ(status, 0);
    size_t samples = 0;
    const double rms = WavRms(wav, samples);
    // Four staves for about 8 seconds (two bars repeated, two more, a second of end gap).
    EXPECT_GT(samples, 44100u * 2 * 5);
    EXPECT_GT(rms, 200.0);
    std::filesystem::remove(wav);
    std::filesystem::remove(mid);
    std::filesystem::remove(script);
}

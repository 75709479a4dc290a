#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "platform/mm/mmsystem.h"
#include "platform/mm/mmtest.h"

namespace {

std::string OutName(UINT id) {
    MIDIOUTCAPSA caps;
    if (midiOutGetDevCapsA(id, &caps, sizeof(caps)) != MMSYSERR_NOERROR) return "<none>";
    return caps.szPname;
}

UINT FindOut(const std::string& name) {
    UINT n = midiOutGetNumDevs();
    for (UINT i = 0; i < n; ++i) {
        if (OutName(i) == name) return i;
    }
    return MIDI_MAPPER;
}

class Devices : public ::testing::Test {
protected:
    void SetUp() override {
        qsm::mm::SetSynthAudio(false);
        qsm::mm::EnableTestRecorder(true);
        qsm::mm::ClearRecording();
        recorder_ = FindOut("Test Recorder");
        ASSERT_NE(recorder_, MIDI_MAPPER);
    }
    void TearDown() override { qsm::mm::EnableTestRecorder(false); }
    UINT recorder_ = 0;
};

TEST_F(Devices, ListHasTheSynthFirstTheRecorderLastAndUniqueShortNames) {
    UINT n = midiOutGetNumDevs();
    ASSERT_GE(n, 2u);
    EXPECT_EQ(OutName(0), "Internal Synth");
    EXPECT_EQ(recorder_, n - 1);
    std::set<std::string> names;
    for (UINT i = 0; i < n; ++i) {
        std::string name = OutName(i);
        EXPECT_LE(name.size(), 31u);
        EXPECT_TRUE(names.insert(name).second) << name;
    }
    MIDIOUTCAPSA caps;
    EXPECT_EQ(midiOutGetDevCapsA(n, &caps, sizeof(caps)), MMSYSERR_BADDEVICEID);
    ASSERT_EQ(midiOutGetDevCapsA(MIDI_MAPPER, &caps, sizeof(caps)), MMSYSERR_NOERROR);
    EXPECT_STREQ(caps.szPname, "MIDI Mapper");
    ASSERT_EQ(midiOutGetDevCapsA(0, &caps, sizeof(caps)), MMSYSERR_NOERROR);
    EXPECT_EQ(caps.dwSupport & MIDICAPS_CACHE, 0u);  // patch caching is never offered
    EXPECT_EQ(caps.wTechnology, MOD_SWSYNTH);

    DWORD id = 99, flags = 99;
    EXPECT_EQ(midiOutMessage(reinterpret_cast<HMIDIOUT>(static_cast<uintptr_t>(MIDI_MAPPER)),
                             DRVM_MAPPER_PREFERRED_GET, reinterpret_cast<DWORD_PTR>(&id),
                             reinterpret_cast<DWORD_PTR>(&flags)),
              MMSYSERR_NOERROR);
    EXPECT_EQ(id, 0u);

    MIDIINCAPSA in_caps;
    UINT ins = midiInGetNumDevs();
    ASSERT_GE(ins, 1u);
    ASSERT_EQ(midiInGetDevCapsA(ins - 1, &in_caps, sizeof(in_caps)), MMSYSERR_NOERROR);
    EXPECT_STREQ(in_caps.szPname, "Test Recorder In");
}

TEST_F(Devices, RecorderLogsMessagesAndRefusesStaleHandles) {
    HMIDIOUT a = nullptr, b = nullptr;
    ASSERT_EQ(midiOutOpen(&a, recorder_, 0, 0, CALLBACK_NULL), MMSYSERR_NOERROR);
    ASSERT_EQ(midiOutOpen(&b, recorder_, 0, 0, CALLBACK_NULL), MMSYSERR_NOERROR);
    EXPECT_NE(a, b);
    UINT id = 0;
    EXPECT_EQ(midiOutGetID(a, &id), MMSYSERR_NOERROR);
    EXPECT_EQ(id, recorder_);
    // The top byte carries the program's port number and is ignored by the device.
    EXPECT_EQ(midiOutShortMsg(a, 0x03403C90), MMSYSERR_NOERROR);
    qsm::mm::FailNextRecorderSends(2);
    EXPECT_EQ(midiOutShortMsg(b, 0x00003C80), MIDIERR_NOTREADY);
    EXPECT_EQ(midiOutShortMsg(b, 0x00003C80), MIDIERR_NOTREADY);
    EXPECT_EQ(midiOutShortMsg(b, 0x00003C80), MMSYSERR_NOERROR);
    auto log = qsm::mm::GetRecording();
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(log[0].msg, 0x03403C90u);
    EXPECT_EQ(log[0].handle, a);
    EXPECT_EQ(log[1].handle, b);
    EXPECT_EQ(qsm::mm::FindSoundingNotes(log).size(), 1u);  // the note-off went to another handle

    EXPECT_EQ(midiOutClose(a), MMSYSERR_NOERROR);
    EXPECT_EQ(midiOutShortMsg(a, 0x00403C90), MMSYSERR_INVALHANDLE);
    EXPECT_EQ(midiOutClose(a), MMSYSERR_INVALHANDLE);
    HMIDIOUT c = nullptr;
    ASSERT_EQ(midiOutOpen(&c, recorder_, 0, 0, CALLBACK_NULL), MMSYSERR_NOERROR);
    EXPECT_NE(c, a);  // handle values are never reused

    qsm::mm::ClearRecording();
    EXPECT_EQ(midiOutReset(c), MMSYSERR_NOERROR);
    log = qsm::mm::GetRecording();
    ASSERT_EQ(log.size(), 32u);  // pedal up and all notes off on every channel
    EXPECT_EQ(log[0].msg, 0x40B0u);
    EXPECT_EQ(log[1].msg, 0x7BB0u);
    EXPECT_EQ(log[31].msg, 0x7BBFu);
    midiOutClose(b);
    midiOutClose(c);
    HMIDIOUT bad = nullptr;
    EXPECT_EQ(midiOutOpen(&bad, recorder_ + 1, 0, 0, CALLBACK_NULL), MMSYSERR_BADDEVICEID);
    EXPECT_EQ(bad, nullptr);
}

TEST(SoundingNotes, FindsHangingNotesAndPedals) {
    HMIDIOUT h = reinterpret_cast<HMIDIOUT>(static_cast<uintptr_t>(1));
    std::vector<qsm::mm::RecordedMessage> log = {
        {0, 0x403C90, h, 1}, {0, 0x403E91, h, 1},
        {0, 0x7F40B0, h, 1}, {0, 0x003C90, h, 1},  // velocity 0 ends the note
        {0, 0x003E81, h, 1},
    };
    auto left = qsm::mm::FindSoundingNotes(log);
    ASSERT_EQ(left.size(), 1u);
    EXPECT_EQ(left[0].first, 0xB0);
    log.push_back({0, 0x0040B0, h, 1});
    EXPECT_TRUE(qsm::mm::FindSoundingNotes(log).empty());
}

struct InputLog {
    std::mutex mu;
    std::vector<std::pair<UINT, DWORD_PTR>> calls;
    std::atomic<int> active{0};
    std::atomic<bool> overlap{false};
};

void InputProc(HMIDIIN, UINT msg, DWORD_PTR instance, DWORD_PTR p1, DWORD_PTR) {
    auto* log = reinterpret_cast<InputLog*>(instance);
    if (log->active.fetch_add(1) != 0) log->overlap = true;
    {
        std::lock_guard<std::mutex> lock(log->mu);
        log->calls.emplace_back(msg, p1);
    }
    log->active.fetch_sub(1);
}

TEST_F(Devices, RecorderInputDeliversOnItsOwnThreadAndCloseWaits) {
    UINT in_id = midiInGetNumDevs() - 1;
    InputLog log;
    HMIDIIN h = nullptr;
    ASSERT_EQ(midiInOpen(&h, in_id, reinterpret_cast<DWORD_PTR>(InputProc), reinterpret_cast<DWORD_PTR>(&log),
                         CALLBACK_FUNCTION),
              MMSYSERR_NOERROR);
    qsm::mm::SendRecorderInput(0x403C90);  // before start: dropped
    ASSERT_EQ(midiInStart(h), MMSYSERR_NOERROR);
    std::thread a([] {
        for (int i = 0; i < 200; ++i)
            qsm::mm::SendRecorderInput(0x403C90);
    });
    for (int i = 0; i < 200; ++i)
        qsm::mm::SendRecorderInput(0x003C80);
    a.join();
    qsm::mm::FlushRecorderInput();
    ASSERT_EQ(midiInClose(h), MMSYSERR_NOERROR);
    qsm::mm::SendRecorderInput(0x403C90);  // after close: nobody hears it
    EXPECT_EQ(midiInStart(h), MMSYSERR_INVALHANDLE);
    std::lock_guard<std::mutex> lock(log.mu);
    ASSERT_EQ(log.calls.size(), 402u);
    EXPECT_EQ(log.calls.front().first, MIM_OPEN);
    EXPECT_EQ(log.calls.back().first, MIM_CLOSE);
    for (size_t i = 1; i + 1 < log.calls.size(); ++i)
        EXPECT_EQ(log.calls[i].first, MIM_DATA);
    EXPECT_FALSE(log.overlap.load());
}

TEST_F(Devices, SendsFromManyThreadsAreAllTaken) {
    HMIDIOUT h = nullptr;
    ASSERT_EQ(midiOutOpen(&h, recorder_, 0, 0, CALLBACK_NULL), MMSYSERR_NOERROR);
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([h, t] {
            for (int i = 0; i < 500; ++i)
                midiOutShortMsg(h, 0x90u | static_cast<DWORD>(t) | (60u << 8));
        });
    }
    for (auto& t : threads)
        t.join();
    EXPECT_EQ(qsm::mm::GetRecording().size(), 2000u);
    midiOutClose(h);
}

}  // namespace

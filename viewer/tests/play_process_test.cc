// The real program plays on the recording MIDI device: a song played to its end leaves no note sounding, and
// neither does a song cut off by a second instance's file.
#include <gtest/gtest.h>
#include <limits.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <vector>

#include "core/sys_info.h"
#include "platform/mm/mmsystem.h"
#include "platform/mm/recording_env.h"
#include "platform/wm/backend.h"
#include "viewer/tests/process_fixture.h"

namespace {

using qsm::mm::RecordedMessage;

// Pitches of the songs below (treble clef: line position 0 is B4, -6 is C4, 6 is A5).
constexpr int kShortKey = 60;
constexpr int kLongKey = 71;
constexpr int kLongLastKey = 81;

class PlayProcessTest : public qsm::viewer_test::ProcessTest {
protected:
    void SetUp() override {
        ProcessTest::SetUp();
        recording_ = dir_ + "/recording";
        setenv("QSM_MIDI_RECORDING", recording_.c_str(), 1);
        qsm::wm::ResetForTests();
        // The recorder is the last output device; the store names devices by their number plus one.
        qsm::mm::EnableTestRecorder(true);
        UINT recorder = midiOutGetNumDevs() - 1;
        qsm::mm::EnableTestRecorder(false);
        SysInfo.WriteInt("Options", "PlayDevice", static_cast<int>(recorder) + 1);
        SysInfo.WriteInt("Options", "AutoWelcome", 0);
        SysInfo.WriteInt("Options", "ReuseInst", 1);
        SysInfo.WriteInt("Options", "PlayDelay", 0);
        short_ = dir_ + "/short.qsmtxt";
        std::ofstream(short_) << "!QuillStaveComposer(2.51)\n|AddStaff|Name:Tune\n|Clef|Type:Treble\n"
                                 "|Note|Dur:8th|Pos:-6\n|Note|Dur:8th|Pos:-6\n|Bar\n";
        // Two minutes of quarter notes, then a higher one that a cut-off play never reaches.
        long_ = dir_ + "/long.qsmtxt";
        std::ofstream out(long_);
        out << "!QuillStaveComposer(2.51)\n|AddStaff|Name:Tune\n|Clef|Type:Treble\n";
        for (int bar = 0; bar < 60; ++bar)
            out << "|Note|Dur:4th|Pos:0\n|Note|Dur:4th|Pos:0\n|Note|Dur:4th|Pos:0\n|Note|Dur:4th|Pos:0\n|"
                   "Bar\n";
        out << "|Note|Dur:4th|Pos:6\n|Bar\n";
    }
    void TearDown() override {
        unsetenv("QSM_MIDI_RECORDING");
        ProcessTest::TearDown();
    }
    static pid_t Start(std::vector<std::string> args) { return Spawn(std::move(args)); }
    static int Wait(pid_t pid) { return ExitCode(pid); }
    // The keys struck (note-on with a velocity), in the order they were struck.
    static std::vector<int> Struck(const std::vector<RecordedMessage>& messages) {
        std::vector<int> keys;
        for (const RecordedMessage& m : messages)
            if ((m.msg & 0xF0) == 0x90 && ((m.msg >> 16) & 0x7F) != 0) keys.push_back((m.msg >> 8) & 0x7F);
        return keys;
    }
    std::string recording_, short_, long_;
};

TEST_F(PlayProcessTest, ASongPlayedToItsEndLeavesNoNoteSounding) {
    ASSERT_EQ(Wait(Start({"/play", short_, "/close"})), 0);
    std::vector<RecordedMessage> messages = qsm::mm::ReadRecordingFile(recording_);
    EXPECT_EQ(Struck(messages), (std::vector<int>{kShortKey, kShortKey}));
    EXPECT_TRUE(qsm::mm::FindSoundingNotes(messages).empty());
}

TEST_F(PlayProcessTest, ASongCutOffByAHandedOverFileLeavesNoNoteSounding) {
    // The recording file appears when the first play opens the recorder.
    int watch = inotify_init1(IN_CLOEXEC);
    ASSERT_GE(watch, 0);
    ASSERT_GE(inotify_add_watch(watch, dir_.c_str(), IN_MOVED_TO), 0);
    pid_t first = Start({"/play", long_, "/close"});
    ASSERT_GT(first, 0);
    while (!std::filesystem::exists(recording_)) {
        alignas(inotify_event) char events[sizeof(inotify_event) + NAME_MAX + 1];
        ASSERT_GT(read(watch, events, sizeof events), 0);
    }
    close(watch);
    // The running viewer stops the long song, opens the short one, plays it and closes after it.
    EXPECT_EQ(Wait(Start({"/play", short_, "/close"})), 1);
    EXPECT_EQ(Wait(first), 0);
    std::vector<RecordedMessage> messages = qsm::mm::ReadRecordingFile(recording_);
    std::vector<int> keys = Struck(messages);
    ASSERT_GE(keys.size(), 2u);
    EXPECT_EQ(std::vector<int>(keys.end() - 2, keys.end()), (std::vector<int>{kShortKey, kShortKey}));
    std::set<int> distinct(keys.begin(), keys.end());
    EXPECT_EQ(distinct.count(kLongLastKey), 0u) << "the long song played to its end";
    EXPECT_TRUE(qsm::mm::FindSoundingNotes(messages).empty());
    // What the long song struck before the hand-over came (nothing when it came before the first note).
    for (size_t i = 0; i + 2 < keys.size(); ++i)
        EXPECT_EQ(keys[i], kLongKey);
}

}  // namespace

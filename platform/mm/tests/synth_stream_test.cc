// The built-in synthesizer's audio stream is open only while something sounds. Through ALSA's file device
// (every period the stream renders is written to a file, as fast as it is rendered) the test sees what the
// stream played; through a pulseaudio server of the test's own, that the server's stream goes away.
// Each test runs in a process of its own (one synthesizer per process).
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/mm/mmsystem.h"
#include "platform/mm/mmtest.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;

constexpr DWORD kWait = 60000;  // only a fault waits this long
constexpr int kRate = 44100;
const char kSoundFont[] = "/usr/share/sounds/sf2/TimGM6mb.sf2";

struct TempDir {
    TempDir() {
        char tmpl[] = "/tmp/qsm-synth-stream-XXXXXX";
        if (mkdtemp(tmpl) != nullptr) path = tmpl;
    }
    ~TempDir() {
        std::error_code ec;
        if (!path.empty()) fs::remove_all(path, ec);
    }
    std::string path;
};

// 16-bit stereo samples as the file device writes them.
std::vector<int16_t> ReadRaw(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::vector<int16_t> samples(bytes.size() / 2);
    for (size_t i = 0; i < samples.size(); ++i)
        samples[i] = static_cast<int16_t>(static_cast<uint8_t>(bytes[2 * i]) |
                                          (static_cast<uint8_t>(bytes[2 * i + 1]) << 8));
    return samples;
}

// The first and one past the last frame with a sample beyond `level` (0, 0 when none).
std::pair<size_t, size_t> LoudFrames(const std::vector<int16_t>& s, int level) {
    size_t first = s.size(), last = 0;
    for (size_t i = 0; i < s.size(); ++i)
        if (s[i] > level || s[i] < -level) {
            first = std::min(first, i / 2);
            last = i / 2 + 1;
        }
    return first == s.size() ? std::pair<size_t, size_t>{0, 0} : std::pair<size_t, size_t>{first, last};
}

HMIDIOUT OpenSynth() {
    HMIDIOUT h = nullptr;
    EXPECT_EQ(midiOutOpen(&h, 0, 0, 0, CALLBACK_NULL), MMSYSERR_NOERROR);
    return h;
}

TEST(SynthStream, OpenOnlyWhileSoundingAndEveryNoteWhole) {
    TempDir dir;
    const std::string file = dir.path + "/stream.raw";
    qsm::mm::SetSoundFontPath(kSoundFont);
    qsm::mm::SetSynthAudioDrivers({"alsa"}, "file:'" + file + "',raw");
    HMIDIOUT h = OpenSynth();
    if (!qsm::mm::IsSoundFontLoaded()) GTEST_SKIP() << "no SoundFont installed";
    // The device's opening opens the stream, which closes again with nothing to play.
    ASSERT_TRUE(qsm::mm::WaitForSynthStream(false, kWait));
    EXPECT_EQ(qsm::mm::SynthStreamOpenings(), 1u);

    // A note while the stream is closed opens it; the note sounds from its start, and the stream closes only
    // after the note and its reverberation have died away. Each opening writes the file anew.
    EXPECT_EQ(midiOutShortMsg(h, 0x0000C0), MMSYSERR_NOERROR);  // piano
    EXPECT_EQ(midiOutShortMsg(h, 0x7F3C90), MMSYSERR_NOERROR);
    EXPECT_EQ(midiOutShortMsg(h, 0x003C80), MMSYSERR_NOERROR);
    ASSERT_TRUE(qsm::mm::WaitForSynthStream(false, kWait));
    EXPECT_EQ(qsm::mm::SynthStreamOpenings(), 2u);
    std::vector<int16_t> played = ReadRaw(file);
    auto [first, last] = LoudFrames(played, 1);
    EXPECT_LT(LoudFrames(played, 1000).first, static_cast<size_t>(kRate / 100)) << "the attack is late";
    EXPECT_LT(first, static_cast<size_t>(kRate / 1000));
    EXPECT_GT(last, static_cast<size_t>(kRate / 10)) << "the note and its release last more than 100 ms";
    // After the last sound nothing but silence was played before the stream closed.
    EXPECT_GE(played.size() / 2, last + kRate * 240 / 1000);

    // A held note keeps the stream open; closing the device ends it, and then the stream.
    EXPECT_EQ(midiOutShortMsg(h, 0x0013C0), MMSYSERR_NOERROR);  // organ: sounds while held
    EXPECT_EQ(midiOutShortMsg(h, 0x7F4890), MMSYSERR_NOERROR);
    ASSERT_TRUE(qsm::mm::WaitForSynthStream(true, kWait));
    EXPECT_FALSE(qsm::mm::WaitForSynthStream(false, 1000));
    EXPECT_EQ(midiOutClose(h), MMSYSERR_NOERROR);
    ASSERT_TRUE(qsm::mm::WaitForSynthStream(false, kWait));
}

// Runs a program to its end; its exit code (-1 when it could not run).
int RunProgram(const std::vector<std::string>& args, const std::string& out = "/dev/null") {
    std::vector<char*> argv;
    std::vector<std::string> copy = args;
    for (std::string& a : copy)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    pid_t pid = -1;
    int rc = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    int status = 0;
    if (rc != 0 || waitpid(pid, &status, 0) != pid || !WIFEXITED(status)) return -1;
    return WEXITSTATUS(status);
}

// A pulseaudio server of the test's own with one null sink; PULSE_SERVER points at it while it lives.
class SoundServer {
public:
    explicit SoundServer(const std::string& dir) : dir_(dir) {
        setenv("HOME", dir.c_str(), 1);
        setenv("PULSE_RUNTIME_PATH", dir.c_str(), 1);
        setenv("XDG_RUNTIME_DIR", dir.c_str(), 1);
        const std::string socket = dir + "/native";
        // The daemon's first process ends once the server is ready for clients; it exits by itself once
        // idle for a while, should the test end before it ends it.
        ok_ = RunProgram({"pulseaudio", "-n", "--daemonize=yes", "--exit-idle-time=30", "--use-pid-file=yes",
                          "-L", "module-null-sink", "-L",
                          "module-native-protocol-unix socket=" + socket + " auth-anonymous=1"}) == 0;
        setenv("PULSE_SERVER", ("unix:" + socket).c_str(), 1);
    }
    ~SoundServer() {
        std::ifstream pidFile(dir_ + "/pid");
        pid_t pid = 0;
        if (pidFile >> pid && pid > 0) kill(pid, SIGTERM);
        unsetenv("PULSE_SERVER");
    }
    bool Ok() const { return ok_; }
    // The playback streams the server has now.
    int Streams() const {
        const std::string out = dir_ + "/inputs.txt";
        if (RunProgram({"pactl", "list", "short", "sink-inputs"}, out) != 0) return -1;
        std::ifstream in(out);
        int lines = 0;
        for (std::string line; std::getline(in, line);)
            lines += line.empty() ? 0 : 1;
        return lines;
    }

private:
    std::string dir_;
    bool ok_ = false;
};

TEST(SynthStream, LeavesTheSoundServerWhenSilent) {
    if (RunProgram({"sh", "-c", "command -v pulseaudio && command -v pactl"}) != 0)
        GTEST_SKIP() << "pulseaudio is not installed";
    TempDir dir;
    SoundServer server(dir.path);
    ASSERT_TRUE(server.Ok());
    qsm::mm::SetSoundFontPath(kSoundFont);
    qsm::mm::SetSynthAudioDrivers({"pulseaudio"});
    HMIDIOUT h = OpenSynth();
    if (!qsm::mm::IsSoundFontLoaded()) GTEST_SKIP() << "no SoundFont installed";
    // The stream opened with the device is the server's while it is open, and leaves it once silent.
    ASSERT_TRUE(qsm::mm::WaitForSynthStream(true, kWait));
    EXPECT_EQ(server.Streams(), 1);
    ASSERT_TRUE(qsm::mm::WaitForSynthStream(false, kWait));
    EXPECT_EQ(server.Streams(), 0);
    // A held note opens it again and keeps it.
    EXPECT_EQ(midiOutShortMsg(h, 0x7F3C90), MMSYSERR_NOERROR);
    ASSERT_TRUE(qsm::mm::WaitForSynthStream(true, kWait));
    EXPECT_EQ(server.Streams(), 1);
    EXPECT_EQ(midiOutShortMsg(h, 0x003C80), MMSYSERR_NOERROR);
    ASSERT_TRUE(qsm::mm::WaitForSynthStream(false, kWait));
    EXPECT_EQ(server.Streams(), 0);
    EXPECT_EQ(qsm::mm::SynthStreamOpenings(), 2u);
    EXPECT_EQ(midiOutClose(h), MMSYSERR_NOERROR);
}

// With no sound server to reach, the device still opens and takes every note, silently: the stream is
// tried once per opening of the device.
TEST(SynthStream, WithoutASoundServerTheDeviceStillWorks) {
    TempDir dir;
    setenv("PULSE_SERVER", ("unix:" + dir.path + "/none").c_str(), 1);
    qsm::mm::SetSoundFontPath(kSoundFont);
    qsm::mm::SetSynthAudioDrivers({"pulseaudio"});
    HMIDIOUT h = OpenSynth();
    if (!qsm::mm::IsSoundFontLoaded()) GTEST_SKIP() << "no SoundFont installed";
    ASSERT_TRUE(qsm::mm::WaitForSynthStream(false, kWait));
    EXPECT_EQ(midiOutShortMsg(h, 0x7F3C90), MMSYSERR_NOERROR);
    EXPECT_TRUE(qsm::mm::WaitForSynthStream(false, kWait));
    EXPECT_EQ(midiOutClose(h), MMSYSERR_NOERROR);
    h = OpenSynth();
    EXPECT_TRUE(qsm::mm::WaitForSynthStream(false, kWait));
    EXPECT_EQ(midiOutClose(h), MMSYSERR_NOERROR);
    EXPECT_EQ(qsm::mm::SynthStreamOpenings(), 0u);
    unsetenv("PULSE_SERVER");
}

}  // namespace

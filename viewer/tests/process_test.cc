// The real program started as a second instance while this test holds the viewer's window: it hands its
// command line over and ends with exit code 1.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "core/sys_info.h"
#include "platform/registry/registry.h"
#include "platform/wm/backend.h"
#include "viewer/options.h"
#include "viewer/startup.h"
#include "viewer/tests/process_fixture.h"

namespace {

class SecondInstanceTest : public qsm::viewer_test::ProcessTest {
protected:
    void SetUp() override {
        ProcessTest::SetUp();
        HoldViewerWindow();
    }
};

TEST_F(SecondInstanceTest, HandsItsCommandLineOverAndEndsWithOne) {
    EXPECT_EQ(RunServed({"/PLAY", dir_ + "/My Songs/a b.qsm", "/close"}), 1);
    ASSERT_EQ(Received().size(), 1u);
    EXPECT_EQ(Received()[0], "/PLAY \"" + dir_ + "/My Songs/a b.qsm\" /close" + '\0');

    // An absolute path alone crosses as it is.
    EXPECT_EQ(RunServed({"/home/u/a.qsm"}), 1);
    ASSERT_EQ(Received().size(), 2u);
    EXPECT_EQ(Received()[1], std::string("/home/u/a.qsm") + '\0');

    // Nothing to hand over: the running viewer is only brought to the front.
    EXPECT_EQ(RunServed({}), 1);
    EXPECT_EQ(Received().size(), 2u);
}

TEST_F(SecondInstanceTest, LaunchModeWithoutAnEditorFallsThroughToTheRunningViewer) {
    std::string song = dir_ + "/song.qsmtxt";
    FILE* f = fopen(song.c_str(), "w");
    ASSERT_NE(f, nullptr);
    fclose(f);
    // No editor is installed: nothing is launched and the file goes to the running viewer.
    EXPECT_EQ(RunServed({"/launch", song}), 1);
    ASSERT_EQ(Received().size(), 1u);
    EXPECT_EQ(Received()[0], "/launch " + song + '\0');
}

// A fake editor program: a script that writes its arguments, one a line, into a named pipe.
class FakeEditor {
public:
    FakeEditor(const std::string& folder, const char* name) {
        fifo_ = folder + "/" + name + ".args";
        path_ = folder + "/" + name;
        EXPECT_EQ(mkfifo(fifo_.c_str(), 0600), 0);
        FILE* f = fopen(path_.c_str(), "w");
        fprintf(f, "#!/bin/sh\nprintf '%%s\\n' \"$@\" > '%s'\n", fifo_.c_str());
        fclose(f);
        chmod(path_.c_str(), 0700);
        fd_ = open(fifo_.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    }
    ~FakeEditor() { close(fd_); }
    const std::string& Path() const { return path_; }
    // What the started program wrote ("" when it did not start within the time).
    std::string Arguments(int timeout_ms = 20000) {
        std::string out;
        pollfd p{fd_, POLLIN, 0};
        if (poll(&p, 1, timeout_ms) <= 0) return out;
        char buf[4096];
        for (;;) {
            pollfd q{fd_, POLLIN, 0};
            if (poll(&q, 1, timeout_ms) <= 0) break;
            ssize_t n = read(fd_, buf, sizeof buf);
            if (n <= 0) break;
            out.append(buf, static_cast<size_t>(n));
        }
        return out;
    }

private:
    std::string fifo_, path_;
    int fd_ = -1;
};

TEST_F(SecondInstanceTest, LaunchHandsTheFileToTheEditorOfItsVerb) {
    FakeEditor editor(dir_, "editor2");
    MachineKey(kEditor2UninstallKey);
    SetDefaultValue(HKEY_CURRENT_USER, "Software\\Classes\\.qsmtxt", "QSM.TextScore");
    SetDefaultValue(HKEY_CURRENT_USER, "Software\\Classes\\QSM.TextScore\\shell\\qsm2\\command",
                    "\"" + editor.Path() + "\" /open \"%1\"");
    std::string song = dir_ + "/My Songs/song.qsmtxt";
    std::filesystem::create_directories(dir_ + "/My Songs");
    FILE* f = fopen(song.c_str(), "w");
    ASSERT_NE(f, nullptr);
    fclose(f);
    // The editor took the file: exit code 0, nothing for the running viewer.
    EXPECT_EQ(RunServed({"/launch", song}), 0);
    EXPECT_EQ(editor.Arguments(), "/open\n" + song + "\n");
    EXPECT_TRUE(Received().empty());
}

TEST_F(SecondInstanceTest, SendToRunningEditorStartsTheProgramInItsInstallFolder) {
    std::string folder = dir_ + "/Program Files/QSM 2";
    std::filesystem::create_directories(folder);
    FakeEditor editor(folder, "qsm2");
    MachineKey(kEditor2UninstallKey, "InstallLocation", folder.c_str());
    // No verb is registered and no editor runs: its program is started with the file.
    const std::string song = dir_ + "/a b.qsm";
    EXPECT_EQ(SendToRunningEditor(song.c_str(), "qsm2"), 1);
    EXPECT_EQ(editor.Arguments(), song + "\n");
}

}  // namespace

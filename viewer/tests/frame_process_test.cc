// The real program as the running viewer: a second instance hands it a file to play and close after, and the
// placement of its main window is kept for the next start.
#include <gtest/gtest.h>
#include <poll.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <string>
#include <vector>

#include "core/sys_info.h"
#include "platform/wm/backend.h"
#include "viewer/tests/viewer_test_env.h"

extern char** environ;

namespace {

class FrameProcessTest : public qsm::viewer_test::StoreTest {
protected:
    void SetUp() override {
        StoreTest::SetUp();
        setenv("QSM_WM_IPC_DIR", dir_.c_str(), 1);
        setenv("QSM_BACKEND", "headless", 1);
        qsm::wm::ResetForTests();
        song_ = dir_ + "/short song.qsmtxt";
        std::ofstream(song_) << "!QuillStaveComposer(2.51)\n|AddStaff|Name:Tune\n|Clef|Type:Treble\n"
                                "|Note|Dur:8th|Pos:0\n|Note|Dur:8th|Pos:1\n|Bar\n";
        SysInfo.WriteInt("Options", "AutoWelcome", 0);
        SysInfo.WriteInt("Options", "ReuseInst", 1);
        SysInfo.WriteInt("Options", "RecallSizePos", 1);
    }
    void TearDown() override {
        unsetenv("QSM_WM_IPC_DIR");
        unsetenv("QSM_BACKEND");
        StoreTest::TearDown();
    }
    static pid_t Start(std::vector<std::string> args) {
        args.insert(args.begin(), QSM2VIEW_PATH);
        std::vector<char*> argv;
        for (std::string& a : args)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        pid_t pid = -1;
        if (posix_spawn(&pid, QSM2VIEW_PATH, nullptr, nullptr, argv.data(), environ) != 0) return -1;
        return pid;
    }
    // Waits until the process ends; its exit code (-2 when it did not exit normally).
    static int Wait(pid_t pid) {
        int status = 0;
        waitpid(pid, &status, 0);
        return WIFEXITED(status) ? WEXITSTATUS(status) : -2;
    }
    std::string song_;
};

TEST_F(FrameProcessTest, ASecondInstanceHandsOverAFileThatIsPlayedAndTheViewerCloses) {
    pid_t first = Start({});
    ASSERT_GT(first, 0);
    int pidfd = static_cast<int>(syscall(SYS_pidfd_open, first, 0));
    ASSERT_GE(pidfd, 0);
    // The running viewer's window appears; the process must not end before.
    while (FindWindowA("TQSMViewerFrame", nullptr) == nullptr) {
        pollfd p{pidfd, POLLIN, 0};
        ASSERT_EQ(poll(&p, 1, 10), 0) << "the viewer ended before its window showed";
    }
    close(pidfd);
    EXPECT_EQ(Wait(Start({"/play", song_, "/close"})), 1);
    // The first viewer plays the song and then closes by itself.
    EXPECT_EQ(Wait(first), 0);
    // Closing kept the window's placement and the toolbar's state.
    qsm::wm::ResetForTests();
    EXPECT_GE(SysInfo.ReadInt("Placement", "x1", -99), 0);
    EXPECT_GT(SysInfo.ReadInt("Placement", "x2", 0), SysInfo.ReadInt("Placement", "x1", 0));
    BYTE state[16];
    EXPECT_GE(SysInfo.ReadBlob("Toolbars", "Tools", nullptr, state, sizeof state), 10u);
}

}  // namespace

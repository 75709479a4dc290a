// The real program started as a second instance while this test holds the viewer's window: it hands its
// command line over and ends with exit code 1.
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "core/sys_info.h"
#include "platform/wm/backend.h"
#include "viewer/tests/viewer_test_env.h"

extern char** environ;

namespace {

std::vector<std::string> g_received;
LRESULT FrameProc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_COPYDATA) {
        const auto* cds = reinterpret_cast<const COPYDATASTRUCT*>(lp);
        g_received.emplace_back(static_cast<const char*>(cds->lpData), cds->cbData);
        return TRUE;
    }
    return DefWindowProcA(h, msg, wp, lp);
}

class SecondInstanceTest : public qsm::viewer_test::StoreTest {
protected:
    void SetUp() override {
        StoreTest::SetUp();
        setenv("QSM_WM_IPC_DIR", dir_.c_str(), 1);
        setenv("QSM_BACKEND", "headless", 1);
        qsm::wm::ResetForTests();
        g_received.clear();
        WNDCLASSA wc{};
        wc.lpfnWndProc = FrameProc;
        wc.lpszClassName = "TQSMViewerFrame";
        RegisterClassA(&wc);
        frame_ = CreateWindowExA(0, "TQSMViewerFrame", "Viewer", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 300,
                                 200, nullptr, nullptr, nullptr, nullptr);
        ASSERT_NE(frame_, nullptr);
    }
    void TearDown() override {
        DestroyWindow(frame_);
        unsetenv("QSM_WM_IPC_DIR");
        unsetenv("QSM_BACKEND");
        StoreTest::TearDown();
    }

    // Runs the program with the arguments and answers its requests until it ends; its exit code.
    int RunViewer(std::vector<std::string> args) {
        args.insert(args.begin(), QSM2VIEW_PATH);
        std::vector<char*> argv;
        for (std::string& a : args)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        pid_t pid = -1;
        if (posix_spawn(&pid, QSM2VIEW_PATH, nullptr, nullptr, argv.data(), environ) != 0) return -1;
        int pidfd = static_cast<int>(syscall(SYS_pidfd_open, pid, 0));
        EXPECT_GE(pidfd, 0);
        // Our window answers the program's requests from this thread's queue: run it until the program ends.
        for (;;) {
            qsm::wm::PumpMessages();
            pollfd p{pidfd, POLLIN, 0};
            if (poll(&p, 1, 10) > 0) break;
        }
        close(pidfd);
        int status = 0;
        waitpid(pid, &status, 0);
        return WIFEXITED(status) ? WEXITSTATUS(status) : -2;
    }

    HWND frame_ = nullptr;
};

TEST_F(SecondInstanceTest, HandsItsCommandLineOverAndEndsWithOne) {
    EXPECT_EQ(RunViewer({"/PLAY", dir_ + "/My Songs/a b.qsm", "/close"}), 1);
    ASSERT_EQ(g_received.size(), 1u);
    EXPECT_EQ(g_received[0], "/PLAY \"" + dir_ + "/My Songs/a b.qsm\" /close" + '\0');

    // An absolute path alone crosses as it is.
    EXPECT_EQ(RunViewer({"/home/u/a.qsm"}), 1);
    ASSERT_EQ(g_received.size(), 2u);
    EXPECT_EQ(g_received[1], std::string("/home/u/a.qsm") + '\0');

    // Nothing to hand over: the running viewer is only brought to the front.
    EXPECT_EQ(RunViewer({}), 1);
    EXPECT_EQ(g_received.size(), 2u);
}

TEST_F(SecondInstanceTest, LaunchModeWithoutAnEditorFallsThroughToTheRunningViewer) {
    std::string song = dir_ + "/song.qsmtxt";
    FILE* f = fopen(song.c_str(), "w");
    ASSERT_NE(f, nullptr);
    fclose(f);
    // No editor is installed: nothing is launched and the file goes to the running viewer.
    EXPECT_EQ(RunViewer({"/launch", song}), 1);
    ASSERT_EQ(g_received.size(), 1u);
    EXPECT_EQ(g_received[0], "/launch " + song + '\0');
}

}  // namespace

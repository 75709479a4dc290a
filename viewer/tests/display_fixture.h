// The real program on a real desktop: QSM2View on the SDL backend under a window manager (openbox) on the X
// display (CTest runs these tests under Xvfb), driven as a user drives it (XTest) and checked through what
// the X server and the window manager hold. Every wait is for an X event or the program's end, never for a
// time. With QSM_DESKTOP_SHOT_DIR set, SaveShot writes the screen there.
#pragma once

#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "core/sys_info.h"
#include "ui/tests/x11_desktop.h"
#include "viewer/tests/process_fixture.h"

namespace qsm::viewer_test {

// The end of the main window's title, after the file's name.
inline const char* const kProgramTitle = " - QuillStave Composer Viewer";

inline bool EndsWith(const std::string& text, const std::string& end) {
    return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

class DisplayProcessTest : public ProcessTest {
protected:
    void SetUp() override {
        if (std::getenv("DISPLAY") == nullptr) GTEST_SKIP() << "no X display (xvfb-run is missing)";
        if (!ProgramOnPath("openbox")) GTEST_SKIP() << "openbox is not installed";
        ProcessTest::SetUp();
        unsetenv("QSM_BACKEND");  // the program shows its windows on the display
        SysInfo.WriteInt("Options", "AutoWelcome", 0);
        SysInfo.WriteInt("Options", "ReuseInst", 1);
        SysInfo.WriteInt("Options", "RecallSizePos", 0);
        wm_ = StartWindowManager();
        ASSERT_GT(wm_, 0) << "openbox did not take the screen";
    }
    void TearDown() override {
        if (viewer_ > 0) {
            kill(viewer_, SIGKILL);
            waitpid(viewer_, nullptr, 0);
            viewer_ = -1;
        }
        StopWindowManager(wm_);
        if (!dir_.empty()) ProcessTest::TearDown();
    }

    // Starts the viewer with the arguments and waits until its main window is the active one and drawn (the
    // window manager may activate it a moment before the program's picture reaches it); that window (an X
    // window id), or 0.
    unsigned long StartViewer(std::vector<std::string> args = {}) {
        viewer_ = Spawn(std::move(args), dir_ + "/viewer-stderr.txt");
        if (viewer_ <= 0) return 0;
        unsigned long frame =
            WaitForXWindow([](const std::string& title) { return EndsWith(title, kProgramTitle); });
        if (frame == 0) {
            ADD_FAILURE() << "the window manager never managed the main window (the program "
                          << ProgramState() << ")";
            return 0;
        }
        if (!WaitUntilActive(frame)) {
            ADD_FAILURE() << "the main window " << frame
                          << " never became the active one (the active one: " << ActiveXWindow()
                          << ", the keyboard's: " << FocusXWindow() << ")";
            return 0;
        }
        if (!WaitDrawn(frame)) {
            ADD_FAILURE() << "the main window " << frame << " was never drawn";
            return 0;
        }
        return frame;
    }
    // Waits until the window has been drawn (not all black any more).
    static bool WaitDrawn(unsigned long w) {
        return WaitForX(w, [&] {
            for (uint32_t p : XPixels(XWindowBox(w)))
                if (p != 0) return true;
            return false;
        });
    }
    // Waits until one of the processes ends (it stays to be reaped); that one, or -1 when none ended within
    // the safety net (a minute: only for a program that hangs, never a way to wait).
    static pid_t WaitForEnd(const std::vector<pid_t>& pids) {
        std::vector<pollfd> fds;
        for (pid_t pid : pids)
            fds.push_back(pollfd{pid > 0 ? OpenPidFd(pid) : -1, POLLIN, 0});
        pid_t ended = -1;
        if (poll(fds.data(), fds.size(), 60000) > 0) {
            for (size_t i = 0; i < fds.size() && ended < 0; ++i)
                if (fds[i].revents != 0) ended = pids[i];
        }
        for (pollfd& p : fds)
            if (p.fd >= 0) close(p.fd);
        return ended;
    }
    // Whether the viewer still runs or how it ended, with what it wrote to its standard error.
    std::string ProgramState() {
        int status = 0;
        std::string state;
        pid_t got = waitpid(viewer_, &status, WNOHANG);
        if (got == 0) {
            state = "still runs";
        } else if (got == viewer_) {
            viewer_ = -1;
            state = WIFEXITED(status) ? "ended with code " + std::to_string(WEXITSTATUS(status))
                                      : "was killed by signal " + std::to_string(WTERMSIG(status));
        }
        std::ifstream err(dir_ + "/viewer-stderr.txt");
        std::string text((std::istreambuf_iterator<char>(err)), std::istreambuf_iterator<char>());
        if (text.size() > 2000) text = text.substr(text.size() - 2000);
        return state + "; its standard error: " + text;
    }
    // The first managed window whose title is `title`, once there is one.
    static unsigned long WaitForTitled(const std::string& title) {
        return WaitForXWindow([&](const std::string& t) { return t == title; });
    }
    // Closes the viewer through the window manager and waits for its end; its exit code.
    int CloseViewer(unsigned long frame) {
        CloseXWindow(frame);
        return EndOfViewer();
    }
    // Waits for the viewer's end; its exit code (-2: ended by a signal, -3: it did not end).
    int EndOfViewer() {
        int code = -3;
        if (viewer_ <= 0) {
            ADD_FAILURE() << "no viewer runs";
        } else if (WaitForEnd({viewer_}) == viewer_) {
            code = ExitCode(viewer_);
        } else {
            ADD_FAILURE() << "the viewer did not end (it " << ProgramState() << ")";
            if (viewer_ > 0) {  // (ProgramState reaps a viewer that ended meanwhile)
                kill(viewer_, SIGKILL);
                ExitCode(viewer_);
            }
        }
        viewer_ = -1;
        return code;
    }
    // Starts a second instance of the program with the arguments, which hands them to the running viewer,
    // and waits until it ends; its exit code. Should the running viewer end first, or neither end, the test
    // fails there and the second instance is ended: -3.
    int RunSecondInstance(std::vector<std::string> args, const std::string& errorFile = "") {
        pid_t second = Spawn(std::move(args), errorFile);
        if (second <= 0) {
            ADD_FAILURE() << "the second instance did not start";
            return -3;
        }
        pid_t ended = WaitForEnd({second, viewer_});
        if (ended == second) return ExitCode(second);
        ADD_FAILURE() << (ended == viewer_ ? "the running viewer ended while a second instance handed over"
                                           : "the second instance did not end")
                      << " (the running viewer " << ProgramState() << ")";
        kill(second, SIGKILL);
        ExitCode(second);
        return -3;
    }
    // Writes the screen as <QSM_DESKTOP_SHOT_DIR>/<name>.png when that variable is set.
    static void SaveShot(const std::string& name) {
        const char* dir = std::getenv("QSM_DESKTOP_SHOT_DIR");
        if (dir == nullptr || *dir == '\0') return;
        EXPECT_TRUE(SaveXScreen(std::string(dir) + "/" + name + ".png")) << name;
    }

    int wm_ = -1;
    pid_t viewer_ = -1;
};

}  // namespace qsm::viewer_test

// The start-up shared by the tests that run the real program QSM2View: a store of their own, the window
// manager's finding folder and the headless backend handed to the child through the environment, a stand-in
// viewer window that collects the command lines handed over to it, and the spawning and reaping of the
// program. The test target defines QSM2VIEW_PATH.
#pragma once

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "core/sys_info.h"
#include "platform/registry/registry.h"
#include "platform/wm/backend.h"
#include "platform/wm/winuser.h"
#include "viewer/app.h"
#include "viewer/tests/viewer_test_env.h"

extern char** environ;

namespace qsm::viewer_test {

class ProcessTest : public StoreTest {
protected:
    void SetUp() override {
        StoreTest::SetUp();
        setenv("QSM_WM_IPC_DIR", dir_.c_str(), 1);
        setenv("QSM_BACKEND", "headless", 1);
        qsm::wm::ResetForTests();
        Received().clear();
    }
    void TearDown() override {
        if (frame_ != nullptr) DestroyWindow(frame_);
        frame_ = nullptr;
        unsetenv("QSM_WM_IPC_DIR");
        unsetenv("QSM_BACKEND");
        StoreTest::TearDown();
    }

    // The command lines the stand-in viewer window was handed (WM_COPYDATA), oldest first.
    static std::vector<std::string>& Received() {
        static std::vector<std::string> received;
        return received;
    }
    // A window of the viewer's class in this process: the program finds a running viewer.
    void HoldViewerWindow() {
        WNDCLASSA wc{};
        wc.lpfnWndProc = FrameProc;
        wc.lpszClassName = "TQSMViewerFrame";
        RegisterClassA(&wc);
        frame_ = CreateWindowExA(0, "TQSMViewerFrame", "Viewer", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 300,
                                 200, nullptr, nullptr, nullptr, nullptr);
        ASSERT_NE(frame_, nullptr);
    }

    // Starts the program with the arguments (its standard error into the file when one is named); its
    // process id, or -1.
    static pid_t Spawn(std::vector<std::string> args, const std::string& errorFile = "") {
        args.insert(args.begin(), QSM2VIEW_PATH);
        std::vector<char*> argv;
        for (std::string& a : args)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        if (!errorFile.empty())
            posix_spawn_file_actions_addopen(&actions, 2, errorFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                             0600);
        pid_t pid = -1;
        int failed = posix_spawn(&pid, QSM2VIEW_PATH, &actions, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        return failed != 0 ? -1 : pid;
    }
    // A descriptor that reads as ready once the process has ended.
    static int OpenPidFd(pid_t pid) { return static_cast<int>(syscall(SYS_pidfd_open, pid, 0)); }
    // Serves this process's windows until the process behind pidfd ends; closes pidfd.
    static void ServeUntilEnded(int pidfd) {
        for (;;) {
            qsm::wm::PumpMessages();
            pollfd p{pidfd, POLLIN, 0};
            if (poll(&p, 1, 10) > 0) break;
        }
        close(pidfd);
    }
    // Reaps the process; its exit code, or -2 when it did not exit normally.
    static int ExitCode(pid_t pid) {
        int status = 0;
        waitpid(pid, &status, 0);
        return WIFEXITED(status) ? WEXITSTATUS(status) : -2;
    }
    // Runs the program with the arguments and answers its requests until it ends; its exit code.
    static int RunServed(std::vector<std::string> args) {
        pid_t pid = Spawn(std::move(args));
        if (pid < 0) return -1;
        int pidfd = OpenPidFd(pid);
        EXPECT_GE(pidfd, 0);
        // Our window answers the program's requests from this thread's queue: run it until the program ends.
        ServeUntilEnded(pidfd);
        return ExitCode(pid);
    }
    // The recent views the program left in the store, newest first.
    static std::vector<std::string> RecentViews() {
        qsm::wm::ResetForTests();
        BYTE data[4096];
        DWORD size = SysInfo.ReadBlob("Options", "z-mru", nullptr, data, sizeof data);
        TQSStringQueue list(16, true, 260);
        qsm::ReadRecentViewsBlob(data, size, list);
        std::vector<std::string> paths;
        for (int32_t i = 0; i < list.GetCount(); ++i)
            paths.emplace_back(list.GetEntry(i));
        return paths;
    }
    // Sets the default value of a key of a store, creating the key.
    static void SetDefaultValue(HKEY root, const std::string& path, const std::string& value) {
        HKEY key = nullptr;
        ASSERT_EQ(RegCreateKeyExA(root, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
                  ERROR_SUCCESS);
        RegSetValueExA(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                       static_cast<DWORD>(value.size() + 1));
        RegCloseKey(key);
    }

    HWND frame_ = nullptr;

private:
    static LRESULT FrameProc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
        if (msg == WM_COPYDATA) {
            const auto* cds = reinterpret_cast<const COPYDATASTRUCT*>(lp);
            Received().emplace_back(static_cast<const char*>(cds->lpData), cds->cbData);
            return TRUE;
        }
        return DefWindowProcA(h, msg, wp, lp);
    }
};

}  // namespace qsm::viewer_test

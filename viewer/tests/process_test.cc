// The real program started as a second instance while this test holds the viewer's window: it hands its
// command line over and ends with exit code 1.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "core/sys_info.h"
#include "platform/registry/registry.h"
#include "platform/wm/backend.h"
#include "viewer/options.h"
#include "viewer/startup.h"
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

void SetDefaultValue(HKEY root, const std::string& path, const std::string& value) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExA(root, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    RegSetValueExA(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                   static_cast<DWORD>(value.size() + 1));
    RegCloseKey(key);
}

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
    EXPECT_EQ(RunViewer({"/launch", song}), 0);
    EXPECT_EQ(editor.Arguments(), "/open\n" + song + "\n");
    EXPECT_TRUE(g_received.empty());
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

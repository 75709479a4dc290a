// The real program started without a display on a settings store of its own: as the first viewer with a
// file and with none, in launch mode against fake editors, and after the Options dialog changed its
// options. Its dialogs and message boxes are answered through QSM_MODAL_ANSWERS and reported, one line
// each, into a named pipe given as QSM_MODAL_LOG.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "core/sys_info.h"
#include "platform/framework/window.h"
#include "platform/mm/mmtest.h"
#include "platform/registry/registry.h"
#include "platform/wm/backend.h"
#include "viewer/options.h"
#include "viewer/options_dlg.h"
#include "viewer/startup.h"
#include "viewer/tests/process_fixture.h"

namespace {

constexpr const char* kTitle = " - QuillStave Composer Viewer";

class StartupProcessTest : public qsm::viewer_test::ProcessTest {
protected:
    void SetUp() override {
        ProcessTest::SetUp();
        // The pipe is held open for writing here too, so that it never reads as ended between lines.
        std::string log = dir_ + "/modals";
        ASSERT_EQ(mkfifo(log.c_str(), 0600), 0);
        logRead_ = open(log.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
        logWrite_ = open(log.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
        ASSERT_GE(logRead_, 0);
        setenv("QSM_MODAL_LOG", log.c_str(), 1);
        song_ = dir_ + "/My Songs/quartet.qsmtxt";
        std::filesystem::create_directories(dir_ + "/My Songs");
        std::filesystem::copy_file(QSM_TESTDATA_DIR "/layout/quartet.qsmtxt", song_);
    }
    void TearDown() override {
        if (pid_ > 0) {
            kill(pid_, SIGTERM);
            Wait();
        }
        close(logRead_);
        close(logWrite_);
        for (const char* name : {"QSM_MODAL_LOG", "QSM_MODAL_ANSWERS"})
            unsetenv(name);
        ProcessTest::TearDown();
    }

    void Start(std::vector<std::string> args, const char* answers = "") {
        setenv("QSM_MODAL_ANSWERS", answers, 1);
        pid_ = Spawn(std::move(args));
        ASSERT_GT(pid_, 0);
        pidfd_ = OpenPidFd(pid_);
        ASSERT_GE(pidfd_, 0);
    }
    bool Ended() {
        pollfd p{pidfd_, POLLIN, 0};
        return poll(&p, 1, 0) > 0;
    }
    // Serves this process's windows until the program ends; its exit code.
    int Wait() {
        ServeUntilEnded(pidfd_);
        const int code = ExitCode(pid_);
        pid_ = -1;
        return code;
    }
    // The next line the program reported of a modal window ("" when it ended first).
    std::string NextModal() {
        for (;;) {
            if (size_t end = pending_.find('\n'); end != std::string::npos) {
                std::string line = pending_.substr(0, end);
                pending_.erase(0, end + 1);
                return line;
            }
            qsm::wm::PumpMessages();
            pollfd p[2] = {{logRead_, POLLIN, 0}, {pidfd_, POLLIN, 0}};
            if (poll(p, 2, 10) <= 0) continue;
            char buf[1024];
            ssize_t n = read(logRead_, buf, sizeof buf);
            if (n > 0)
                pending_.append(buf, static_cast<size_t>(n));
            else if (p[1].revents != 0)
                return "";
        }
    }
    // Waits until the program shows its main window with this caption; false when it ended first.
    bool WaitForCaption(const std::string& caption) {
        while (FindWindowA("TQSMViewerFrame", caption.c_str()) == nullptr) {
            pollfd p{pidfd_, POLLIN, 0};
            if (poll(&p, 1, 10) > 0) return false;
        }
        return true;
    }

    std::string song_, pending_;
    int logRead_ = -1, logWrite_ = -1, pidfd_ = -1;
    pid_t pid_ = -1;
};

TEST_F(StartupProcessTest, WithAFileTheFirstViewerOpensItAndWithNoneShowsTheBlankScore) {
    Start({song_});
    ASSERT_TRUE(WaitForCaption("quartet" + std::string(kTitle)));
    kill(pid_, SIGTERM);
    Wait();

    // No file: the blank score, its title in the caption.
    Start({});
    EXPECT_TRUE(WaitForCaption("QuillStave Composer 2 Viewer" + std::string(kTitle)));
}

// The print system is asked for its printers (a while, on a machine with printers) only by a start that
// restores the printer chosen last time; any other start asks at its first print.
TEST_F(StartupProcessTest, OnlyAStartWithASavedPrinterAsksThePrintSystem) {
    const std::string tools = dir_ + "/tools", asked = dir_ + "/asked";
    std::filesystem::create_directories(tools);
    {
        std::ofstream script(tools + "/lpstat");
        script << "#!/bin/sh\necho \"$@\" >> '" << asked << "'\n"
               << "case \"$1\" in -e) echo Office ;; -d) echo 'system default destination: Office' ;; esac\n";
    }
    std::filesystem::permissions(tools + "/lpstat", std::filesystem::perms::owner_all);
    // The program finds the fake tool first on its PATH.
    auto start = [&] {
        const std::string path = std::getenv("PATH") ? std::getenv("PATH") : "/usr/bin:/bin";
        setenv("PATH", (tools + ":" + path).c_str(), 1);
        Start({song_});
        setenv("PATH", path.c_str(), 1);
    };

    start();
    EXPECT_TRUE(WaitForCaption("quartet" + std::string(kTitle)));
    kill(pid_, SIGTERM);
    Wait();
    EXPECT_FALSE(std::filesystem::exists(asked));

    ASSERT_TRUE(SysInfo.WriteString("Printer", "Device", "Office"));
    start();
    EXPECT_TRUE(WaitForCaption("quartet" + std::string(kTitle)));
    EXPECT_TRUE(std::filesystem::exists(asked));
    char device[64] = "";
    SysInfo.ReadString("Printer", "Device", "", device, sizeof device);
    EXPECT_STREQ(device, "Office");  // found, so kept
}

TEST_F(StartupProcessTest, WithNoFileTheWelcomePageIsOffered) {
    Start({}, "2");
    std::string box = NextModal();
    EXPECT_EQ(box.substr(0, box.find('\t')), "Welcome");
}

TEST_F(StartupProcessTest, AFailedLaunchIsReportedAndTheFileStillOpensInTheViewer) {
    HoldViewerWindow();
    MachineKey(kEditor2UninstallKey);
    // The editor's verb names a program that is not there.
    SetDefaultValue(HKEY_CURRENT_USER, "Software\\Classes\\.qsmtxt", "QSM.TextScore");
    SetDefaultValue(HKEY_CURRENT_USER, "Software\\Classes\\QSM.TextScore\\shell\\qsm2\\command",
                    "\"" + dir_ + "/gone/qsm2\" \"%1\"");
    Start({"/launch", song_}, "1");
    std::string box = NextModal();
    EXPECT_EQ(box.substr(0, box.find('\t')), "Launch Failure");
    EXPECT_NE(box.find("The file will be opened for viewing."), std::string::npos);
    EXPECT_EQ(Wait(), 1);
    ASSERT_EQ(Received().size(), 1u);
    EXPECT_EQ(Received()[0], "/launch \"" + song_ + "\"" + '\0');

    // Without a running viewer it opens the file itself.
    DestroyWindow(frame_);
    frame_ = nullptr;
    Start({"/launch", song_}, "1");
    box = NextModal();
    EXPECT_EQ(box.substr(0, box.find('\t')), "Launch Failure");
    EXPECT_TRUE(WaitForCaption("quartet" + std::string(kTitle)));
}

TEST_F(StartupProcessTest, OptionsSavedByTheDialogAreReadByTheNextStartAndLaunchpadCancelEndsWithOne) {
    MachineKey(kEditor2UninstallKey);
    {
        // The Options dialog in this process turns automatic launching off and saves.
        qsm::mm::EnableTestRecorder(true);
        TApplication app("options");
        TWindow* main = new TWindow(static_cast<TWindow*>(nullptr), "main");
        main->Attr.Style = WS_OVERLAPPEDWINDOW | WS_VISIBLE;
        app.SetMainWindow(main);
        ASSERT_TRUE(main->Create());
        TViewerOptions options{};
        SetDefaultOptions(options);
        ASSERT_EQ(options.AutoLaunch, 1);
        qsm::wm::SetModalHook([](HWND dlg) {
            SendDlgItemMessageA(dlg, 106, BM_SETCHECK, BST_UNCHECKED, 0);
            PostMessageA(dlg, WM_COMMAND, IDOK, 0);
        });
        EXPECT_EQ(RunOptionsDialog(main, options, [](int) {}), IDOK);
        qsm::wm::SetModalHook(nullptr);
        EXPECT_EQ(options.AutoLaunch, 0);
        qsm::mm::EnableTestRecorder(false);
    }
    // The next start asks through the Launchpad instead of launching; Cancel ends it with 1.
    Start({"/launch", song_}, "2");
    std::string box = NextModal();
    EXPECT_EQ(box.substr(0, box.find('\t')), "QuillStave Composer Launchpad");
    EXPECT_EQ(Wait(), 1);
}

}  // namespace

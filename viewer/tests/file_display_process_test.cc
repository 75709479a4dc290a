// The real program on a real X display under a real window manager (CTest runs it under Xvfb with openbox):
// a file chosen in the Open dialog by keyboard and a file dropped on the main window by a file manager both
// open, and a file opened so joins the recent views. The test waits for X events and for the program's end,
// never for a time.
#include <gtest/gtest.h>
#include <signal.h>

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "core/sys_info.h"
#include "viewer/app.h"
#include "viewer/tests/process_fixture.h"

bool ProgramOnPath(const char* name);
int StartWindowManager();
void StopWindowManager(int pid);
bool WaitUntilActive(unsigned long w);
unsigned long WaitForXWindow(const std::function<bool(const std::string&)>& fits);
std::string XWindowTitle(unsigned long w);
bool WaitForXTitle(unsigned long w, const std::function<bool(const std::string&)>& fits);
void PressKey(const char* name, bool control);
void TypeText(const std::string& text);
void CloseXWindow(unsigned long w);
std::string DropFileOn(unsigned long target, const std::string& path);

namespace {

const char* const kProgramTitle = " - QuillStave Composer Viewer";

bool EndsWith(const std::string& text, const std::string& end) {
    return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

class FileDisplayProcessTest : public qsm::viewer_test::ProcessTest {
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
            kill(viewer_, SIGTERM);
            waitpid(viewer_, nullptr, 0);
        }
        StopWindowManager(wm_);
        if (!dir_.empty()) ProcessTest::TearDown();
    }
    // Starts the viewer without a file and waits until its main window is the active one; that window.
    unsigned long StartViewer() {
        viewer_ = Spawn({});
        if (viewer_ <= 0) return 0;
        unsigned long frame =
            WaitForXWindow([](const std::string& title) { return EndsWith(title, kProgramTitle); });
        if (frame != 0 && !WaitUntilActive(frame)) return 0;
        return frame;
    }
    // Closes the viewer through the window manager and waits for its end; its exit code.
    int CloseViewer(unsigned long frame) {
        CloseXWindow(frame);
        int code = ExitCode(viewer_);
        viewer_ = -1;
        return code;
    }
    int wm_ = -1;
    pid_t viewer_ = -1;
};

TEST_F(FileDisplayProcessTest, AFileTypedInTheOpenDialogOpensAndJoinsTheRecentViews) {
    std::string score = std::string(QSM_TESTDATA_DIR) + "/layout/piano.qsmtxt";
    unsigned long frame = StartViewer();
    ASSERT_NE(frame, 0u) << "the viewer's main window did not show";
    // Ctrl+O, the key of the Open command.
    PressKey("o", true);
    unsigned long dialog = WaitForXWindow([](const std::string& title) { return title == "Open"; });
    ASSERT_NE(dialog, 0u) << "no Open dialog";
    ASSERT_TRUE(WaitUntilActive(dialog));
    TypeText(score);
    PressKey("Return", false);
    EXPECT_TRUE(WaitForXTitle(frame, [](const std::string& title) {
        return title == std::string("piano") + kProgramTitle;
    })) << XWindowTitle(frame);
    EXPECT_EQ(CloseViewer(frame), 0);
    std::vector<std::string> recent = RecentViews();
    ASSERT_FALSE(recent.empty());
    EXPECT_EQ(recent.front(), score);
}

TEST_F(FileDisplayProcessTest, AFileDroppedByAFileManagerOpens) {
    // A name with a blank and a '#', which the file's URI carries encoded.
    std::string score = dir_ + "/dropped #1 song.qsmtxt";
    std::filesystem::copy_file(std::string(QSM_TESTDATA_DIR) + "/layout/piano.qsmtxt", score);
    unsigned long frame = StartViewer();
    ASSERT_NE(frame, 0u) << "the viewer's main window did not show";
    EXPECT_EQ(DropFileOn(frame, score), "");
    EXPECT_TRUE(WaitForXTitle(frame, [](const std::string& title) {
        return title == std::string("dropped #1 song") + kProgramTitle;
    })) << XWindowTitle(frame);
    EXPECT_EQ(CloseViewer(frame), 0);
    std::vector<std::string> recent = RecentViews();
    ASSERT_FALSE(recent.empty());
    EXPECT_EQ(recent.front(), score);
}

TEST_F(FileDisplayProcessTest, AFileHandedOverWhileADialogIsOpenOpensWhenTheDialogCloses) {
    std::string score = std::string(QSM_TESTDATA_DIR) + "/layout/piano.qsmtxt";
    unsigned long frame = StartViewer();
    ASSERT_NE(frame, 0u) << "the viewer's main window did not show";
    PressKey("o", true);
    unsigned long dialog = WaitForXWindow([](const std::string& title) { return title == "Open"; });
    ASSERT_NE(dialog, 0u) << "no Open dialog";
    ASSERT_TRUE(WaitUntilActive(dialog));
    // A second start hands its file over and ends while the dialog is still open.
    pid_t second = Spawn({score});
    ASSERT_GT(second, 0);
    EXPECT_EQ(ExitCode(second), 1);
    EXPECT_EQ(XWindowTitle(dialog), "Open");
    EXPECT_EQ(XWindowTitle(frame).find("piano"), std::string::npos) << XWindowTitle(frame);
    PressKey("Escape", false);
    EXPECT_TRUE(WaitForXTitle(frame, [](const std::string& title) {
        return title == std::string("piano") + kProgramTitle;
    })) << XWindowTitle(frame);
    EXPECT_EQ(CloseViewer(frame), 0);
}

}  // namespace

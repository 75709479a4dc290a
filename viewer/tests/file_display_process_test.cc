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

#include "viewer/tests/display_fixture.h"

std::string DropFileOn(unsigned long target, const std::string& path);

namespace {

using qsm::viewer_test::kProgramTitle;
using FileDisplayProcessTest = qsm::viewer_test::DisplayProcessTest;

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
    EXPECT_EQ(RunSecondInstance({score}), 1);
    EXPECT_EQ(XWindowTitle(dialog), "Open");
    EXPECT_EQ(XWindowTitle(frame).find("piano"), std::string::npos) << XWindowTitle(frame);
    PressKey("Escape", false);
    EXPECT_TRUE(WaitForXTitle(frame, [](const std::string& title) {
        return title == std::string("piano") + kProgramTitle;
    })) << XWindowTitle(frame);
    EXPECT_EQ(CloseViewer(frame), 0);
}

}  // namespace

// A windowed instance in a browser of the Unix form that embeds plug-in windows through XEmbed (our test
// host with an X window as the socket): the player shows in the plug-in's own window inside the socket, a
// click on Play there plays, and the window goes with the instance, or before it with the socket. Waits are
// for the browser's asynchronous calls the plug-in asks for, never for a time.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <string>
#include <vector>

#include "platform/mm/mmtest.h"
#include "platform/wm/backend.h"
#include "plugin/host/np_host.h"
#include "plugin/tests/test_env.h"

// The X helpers of the plug-in's display tests (page_desktop.cc).
unsigned long MakeSocketXWindow(int x, int y, int width, int height);
void DestroyXWindow(unsigned long w);
int XChildCount(unsigned long w);
bool XWindowPixels(unsigned long w, int width, int height, std::vector<unsigned int>* out);
void PageButtonAt(int x, int y, bool down);

namespace {

constexpr int kX = 20, kY = 30, kWidth = 480, kHeight = 300;

// The player bar's face across the top of the socket.
bool ShowsPlayerBar(unsigned long socket) {
    std::vector<unsigned int> px;
    if (!XWindowPixels(socket, kWidth, kHeight, &px)) return false;
    int face = 0;
    for (int y = 3; y < 25; ++y)
        for (int x = 2; x < kWidth - 2; ++x)
            if (px[static_cast<size_t>(y) * kWidth + x] == 0xC0C0C0) ++face;
    return face * 2 > (kWidth - 4) * 22;
}

TEST(XEmbedTest, AWindowedInstanceShowsAndPlaysInTheSocket) {
    if (getenv("DISPLAY") == nullptr) GTEST_SKIP() << "no X display";
    const std::string dir = qsm::plugin_test::MakeSettingsFolder("/tmp/qsm-xembed-XXXXXX");
    ASSERT_FALSE(dir.empty());
    setenv("QSM_WM_IPC_DIR", dir.c_str(), 1);
    setenv("TMPDIR", dir.c_str(), 1);
    qsm::wm::ResetForTests();
    qsm::plugin_test::PlayOnRecorder();
    {
        qsm::TPluginHost host;
        ASSERT_TRUE(host.Load(QSM_PLUGIN_FILE)) << host.Error();
        ASSERT_EQ(host.InitializeUnix((0 << 8) | 27, false), NPERR_NO_ERROR);
        qsm::TPluginHost::Instance a;
        ASSERT_EQ(host.New(a, "application/x-qsmtxt", NP_EMBED, {}), NPERR_NO_ERROR);
        NPBool xembed = 0;
        ASSERT_EQ(host.PluginFuncs().getvalue(&a.npp, NPPVpluginNeedsXEmbed, &xembed), NPERR_NO_ERROR);
        EXPECT_EQ(xembed, 1);

        const unsigned long socket = MakeSocketXWindow(kX, kY, kWidth, kHeight);
        ASSERT_NE(socket, 0u);
        ASSERT_EQ(host.SetXWindow(a, socket, kWidth, kHeight), NPERR_NO_ERROR);
        ASSERT_EQ(host.Deliver(a, QSM_TESTDATA_DIR "/textscore/sample.qsmtxt"), NPERR_NO_ERROR);
        EXPECT_EQ(XChildCount(socket), 1);
        while (!ShowsPlayerBar(socket))
            ASSERT_GT(qsm::TPluginHost::RunAsyncCalls(true), 0);

        // Play, clicked in the plug-in's window: the performance reaches the recording device.
        PageButtonAt(kX + 119, kY + 14, true);
        PageButtonAt(kX + 119, kY + 14, false);
        while (qsm::plugin_test::NoteOns(qsm::mm::GetRecording()) == 0)
            ASSERT_GT(qsm::TPluginHost::RunAsyncCalls(true), 0);

        EXPECT_EQ(host.Destroy(a), NPERR_NO_ERROR);
        EXPECT_EQ(XChildCount(socket), 0);

        // A browser that takes the socket away first: the instance still goes quietly.
        qsm::TPluginHost::Instance b;
        ASSERT_EQ(host.New(b, "application/x-qsmtxt", NP_EMBED, {}), NPERR_NO_ERROR);
        ASSERT_EQ(host.SetXWindow(b, socket, kWidth, kHeight), NPERR_NO_ERROR);
        ASSERT_EQ(host.Deliver(b, QSM_TESTDATA_DIR "/textscore/sample.qsmtxt"), NPERR_NO_ERROR);
        DestroyXWindow(socket);
        EXPECT_EQ(host.Destroy(b), NPERR_NO_ERROR);
        EXPECT_EQ(host.Shutdown(), NPERR_NO_ERROR);
        host.Unload();
    }
    qsm::wm::ResetForTests();
    qsm::mm::EnableTestRecorder(false);
    unsetenv("TMPDIR");
    std::filesystem::remove_all(dir);
}

}  // namespace

// The plug-in loaded by the test host as a browser loads it: registration, the function tables, instances
// on the host's windows, files delivered through the cache, and both ways of tearing an instance down.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstddef>
#include <filesystem>
#include <string>

#include "platform/framework/window.h"
#include "platform/kernel/resources.h"
#include "platform/wm/backend.h"
#include "platform/wm/winuser.h"
#include "plugin/host/np_host.h"
#include "plugin/tests/score_files.h"

namespace {

using qsm::TPluginHost;

void SentinelNotify(NPP, const char*, NPReason, void*) {}

class PluginHostTest : public ::testing::Test {
protected:
    void SetUp() override {
        char folder[] = "/tmp/qsm-np-test-XXXXXX";
        ASSERT_NE(mkdtemp(folder), nullptr);
        dir_ = folder;
        setenv("XDG_CONFIG_HOME", dir_.c_str(), 1);
        qsm::wm::ResetForTests();
        ASSERT_TRUE(host_.Load(QSM_PLUGIN_FILE)) << host_.Error();
    }
    void TearDown() override {
        for (HWND page : pages_)
            if (IsWindow(page)) DestroyWindow(page);
        host_.Unload();
        qsm::wm::ResetForTests();
        std::filesystem::remove_all(dir_);
    }
    // A top-level window of the host, as a page shows an embedded object in.
    HWND Page(int w = 480, int h = 320) {
        WNDCLASSA wc{};
        wc.lpfnWndProc = DefWindowProcA;
        wc.lpszClassName = "QSMTestPage";
        RegisterClassA(&wc);
        HWND page = CreateWindowExA(0, "QSMTestPage", "Page", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, w, h,
                                    nullptr, nullptr, nullptr, nullptr);
        pages_.push_back(page);
        return page;
    }
    void Start() {
        ASSERT_EQ(host_.GetEntryPoints(), NPERR_NO_ERROR);
        ASSERT_EQ(host_.Initialize(), NPERR_NO_ERROR);
    }
    std::string BinaryScore() {
        std::string path =
            qsm::plugin_test::MakeScoreFile(qsm::plugin_test::ScoreFileCases()[1], QSM_TESTDATA_DIR, dir_);
        EXPECT_FALSE(path.empty());
        return path;
    }
    static std::string Text(HWND hwnd) {
        char buf[128] = {};
        GetWindowTextA(hwnd, buf, sizeof buf);
        return buf;
    }

    TPluginHost host_;
    std::string dir_;
    std::vector<HWND> pages_;
};

TEST_F(PluginHostTest, DeclaresItsTypesAndExportsOnlyItsEntryPoints) {
    auto values = host_.VersionStrings();
    EXPECT_EQ(values["MIMEType"], "application/x-qsm|application/x-qsmtxt");
    EXPECT_EQ(values["FileExtents"], "qsm|qsmtxt");
    EXPECT_EQ(values["FileOpenName"], "QuillStave Composer File (*.qsm;*.qsmtxt)");
    EXPECT_EQ(values["FileVersion"], "2.51");
    EXPECT_EQ(host_.MimeTypes(), (std::vector<std::string>{"application/x-qsm", "application/x-qsmtxt"}));
    for (const char* name : {"NP_GetEntryPoints", "NP_Initialize", "NP_Shutdown", "NP_GetMIMEDescription",
                             "NP_GetValue", "GetQSMFileInfo", "GetQSMFilePlayTime", "GetQSMFileSMFPlayTime"})
        EXPECT_NE(host_.Symbol(name), nullptr) << name;
    for (const char* name : {"NPP_New", "NPP_Initialize", "SysInfo", "_ZN7CPlugin4InitEP6HWND__PKc"})
        EXPECT_EQ(host_.Symbol(name), nullptr) << name;
    // Unloading takes the plug-in's resources out of the shared resource table.
    HMODULE module = host_.Module();
    host_.Unload();
    EXPECT_EQ(FindResourceA(module, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(16)), nullptr);
}

TEST_F(PluginHostTest, FillsTheTablesTheBrowserGives) {
    auto getEntryPoints = reinterpret_cast<NP_GetEntryPointsFunc>(host_.Symbol("NP_GetEntryPoints"));
    auto initialize = reinterpret_cast<NP_InitializeUnixFunc>(host_.Symbol("NP_Initialize"));
    EXPECT_EQ(getEntryPoints(nullptr), NPERR_INVALID_FUNCTABLE_ERROR);
    EXPECT_EQ(initialize(nullptr, nullptr), NPERR_INVALID_FUNCTABLE_ERROR);
    // A table too small for the entries is refused, not overwritten.
    EXPECT_EQ(host_.GetEntryPoints(offsetof(NPPluginFuncs, print)), NPERR_INVALID_FUNCTABLE_ERROR);
    EXPECT_EQ(host_.PluginFuncs().newp, nullptr);

    ASSERT_EQ(host_.GetEntryPoints(), NPERR_NO_ERROR);
    NPPluginFuncs& pf = host_.PluginFuncs();
    EXPECT_EQ(pf.size, sizeof(NPPluginFuncs));
    EXPECT_EQ(pf.version, 11);
    EXPECT_TRUE(pf.newp && pf.destroy && pf.setwindow && pf.newstream && pf.destroystream && pf.asfile &&
                pf.writeready && pf.write && pf.print);
    EXPECT_EQ(pf.event, nullptr);

    // A browser of a later major version: refused before the application is made.
    EXPECT_EQ(host_.Initialize(0x0100), NPERR_INCOMPATIBLE_VERSION_ERROR);
    EXPECT_EQ(TApplication::Get(), nullptr);

    // Minor 8 knows no notification: those entries stay as the browser set them.
    pf.urlnotify = SentinelNotify;
    pf.javaClass = &pf;
    ASSERT_EQ(host_.Initialize(8), NPERR_NO_ERROR);
    EXPECT_EQ(pf.urlnotify, SentinelNotify);
    EXPECT_EQ(pf.javaClass, &pf);
    ASSERT_NE(TApplication::Get(), nullptr);
    EXPECT_EQ(TApplication::Get()->GetName(), "ALIAS");
    EXPECT_EQ(host_.Shutdown(), NPERR_NO_ERROR);
    EXPECT_EQ(TApplication::Get(), nullptr);

    ASSERT_EQ(host_.Initialize(11), NPERR_NO_ERROR);
    EXPECT_NE(pf.urlnotify, SentinelNotify);
    EXPECT_NE(pf.urlnotify, nullptr);
    EXPECT_EQ(pf.javaClass, nullptr);
    EXPECT_EQ(TPluginHost::Calls()["getJavaEnv"], 0);
    EXPECT_EQ(host_.Shutdown(), NPERR_NO_ERROR);
}

TEST_F(PluginHostTest, InitializeWritesOnlyIntoAKeptTableAsFarAsItReaches) {
    // No NP_GetEntryPoints yet: nothing to write into.
    ASSERT_EQ(host_.Initialize(11), NPERR_NO_ERROR);
    EXPECT_EQ(host_.Shutdown(), NPERR_NO_ERROR);
    // A table that ends before the notification entry keeps whatever lies behind it.
    NPPluginFuncs& pf = host_.PluginFuncs();
    ASSERT_EQ(host_.GetEntryPoints(offsetof(NPPluginFuncs, urlnotify)), NPERR_NO_ERROR);
    pf.urlnotify = SentinelNotify;
    pf.javaClass = &pf;
    ASSERT_EQ(host_.Initialize(11), NPERR_NO_ERROR);
    EXPECT_EQ(pf.urlnotify, SentinelNotify);
    EXPECT_EQ(pf.javaClass, &pf);
    EXPECT_EQ(host_.Shutdown(), NPERR_NO_ERROR);
}

// A browser of the Unix form: the registration comes from the two exports, the one NP_Initialize fills the
// plug-in's table, and a windowless instance shows its player in a site window that the browser's drawable
// gets, with a copy of the delivered file that outlives the browser's own.
TEST_F(PluginHostTest, SpeaksTheUnixFormWindowless) {
    auto mime = reinterpret_cast<NP_GetMIMEDescriptionFunc>(host_.Symbol("NP_GetMIMEDescription"));
    auto value = reinterpret_cast<NP_GetValueFunc>(host_.Symbol("NP_GetValue"));
    ASSERT_TRUE(mime != nullptr && value != nullptr);
    EXPECT_STREQ(mime(),
                 "application/x-qsm:qsm:QuillStave Composer File;"
                 "application/x-qsmtxt:qsmtxt:QuillStave Composer File");
    const char* name = nullptr;
    ASSERT_EQ(value(nullptr, NPPVpluginNameString, &name), NPERR_NO_ERROR);
    EXPECT_STREQ(name, "QSM Browser Plugin");
    EXPECT_EQ(value(nullptr, NPPVpluginWindowBool, &name), NPERR_GENERIC_ERROR);

    setenv("TMPDIR", dir_.c_str(), 1);
    ASSERT_EQ(host_.InitializeUnix(), NPERR_NO_ERROR);
    NPPluginFuncs& pf = host_.PluginFuncs();
    EXPECT_TRUE(pf.newp && pf.setwindow && pf.asfile && pf.event && pf.getvalue);
    NPBool xembed = 1;
    EXPECT_EQ(pf.getvalue(nullptr, NPPVpluginNeedsXEmbed, &xembed), NPERR_NO_ERROR);
    EXPECT_EQ(xembed, 0);

    TPluginHost::Instance a;
    TPluginHost::Calls().clear();
    ASSERT_EQ(host_.New(a, "application/x-qsmtxt", NP_EMBED, {}), NPERR_NO_ERROR);
    EXPECT_EQ(TPluginHost::Calls()["setvalue windowless"], 1);
    ASSERT_EQ(host_.SetDrawable(a, 480, 300), NPERR_NO_ERROR);
    ASSERT_EQ(host_.Deliver(a, QSM_TESTDATA_DIR "/layout/piano.qsmtxt"), NPERR_NO_ERROR);
    // The browser deletes its file once the stream is over.
    std::filesystem::remove_all(host_.CacheFolder());
    TPluginHost::RunAsyncCalls();

    HWND site = FindWindowA("QSMPluginSite", nullptr);
    ASSERT_NE(site, nullptr);
    RECT r{};
    GetClientRect(site, &r);
    EXPECT_EQ(r.right, 480);
    EXPECT_EQ(r.bottom, 300);
    EXPECT_NE(TPluginHost::FindDescendant(site, "TQSMIViewerClient"), nullptr);
    EXPECT_GT(TPluginHost::Calls()["invalidaterect"], 0);

    std::vector<std::filesystem::path> kept;
    for (const auto& e : std::filesystem::recursive_directory_iterator(dir_))
        if (e.path().filename() == "piano.qsmtxt") kept.push_back(e.path());
    ASSERT_EQ(kept.size(), 1u);
    EXPECT_EQ(std::filesystem::file_size(kept[0]),
              std::filesystem::file_size(QSM_TESTDATA_DIR "/layout/piano.qsmtxt"));

    EXPECT_EQ(host_.Destroy(a), NPERR_NO_ERROR);
    EXPECT_EQ(FindWindowA("QSMPluginSite", nullptr), nullptr);
    EXPECT_EQ(host_.Shutdown(), NPERR_NO_ERROR);
    EXPECT_FALSE(std::filesystem::exists(kept[0]));
    unsetenv("TMPDIR");
}

TEST_F(PluginHostTest, TwoInstancesLiveInTheHostsWindowsAndTearDownBothWays) {
    Start();
    HWND page1 = Page();
    HWND page2 = Page(300, 200);
    TPluginHost::Instance a;
    TPluginHost::Instance b;
    ASSERT_EQ(host_.New(a, "application/x-qsmtxt", NP_EMBED, {{"AUTOSTART", "True"}, {"width", "480"}}),
              NPERR_NO_ERROR);
    ASSERT_EQ(host_.New(b, "application/x-qsm", NP_EMBED, {}), NPERR_NO_ERROR);
    ASSERT_NE(a.npp.pdata, nullptr);
    ASSERT_NE(b.npp.pdata, nullptr);

    EXPECT_EQ(host_.SetWindow(a, page1), NPERR_NO_ERROR);
    EXPECT_EQ(host_.SetWindow(b, page2), NPERR_NO_ERROR);
    // No score yet: nothing shown.
    EXPECT_EQ(GetWindow(page1, GW_CHILD), nullptr);

    uint16 stype = 0;
    EXPECT_EQ(host_.Deliver(a, QSM_TESTDATA_DIR "/layout/piano.qsmtxt", &stype), NPERR_NO_ERROR);
    EXPECT_EQ(stype, NP_ASFILEONLY);
    EXPECT_EQ(host_.Deliver(b, BinaryScore().c_str()), NPERR_NO_ERROR);
    qsm::wm::PumpMessages();

    // The plug-in's windows are children of the host's windows: one window manager for both.
    HWND view1 = GetWindow(page1, GW_CHILD);
    HWND view2 = GetWindow(page2, GW_CHILD);
    ASSERT_NE(view1, nullptr);
    ASSERT_NE(view2, nullptr);
    EXPECT_EQ(GetParent(view1), page1);
    EXPECT_EQ(GetParent(view2), page2);
    char cls[64] = {};
    GetClassNameA(view1, cls, sizeof cls);
    EXPECT_STREQ(cls, "TQSMIViewerClient");
    EXPECT_EQ(Text(GetDlgItem(view1, 101)), "Layout study");
    EXPECT_EQ(Text(GetDlgItem(view2, 101)), "With comments");
    RECT r{};
    GetClientRect(page2, &r);
    RECT v{};
    GetWindowRect(view2, &v);
    EXPECT_EQ(v.right - v.left, r.right);

    // A second window call with a new size resizes the same view.
    MoveWindow(page2, 0, 0, 400, 260, TRUE);
    EXPECT_EQ(host_.SetWindow(b, page2), NPERR_NO_ERROR);
    EXPECT_EQ(GetWindow(page2, GW_CHILD), view2);
    GetClientRect(page2, &r);
    GetWindowRect(view2, &v);
    EXPECT_EQ(v.right - v.left, r.right);

    // A is destroyed by the browser, b loses its window.
    EXPECT_EQ(host_.Destroy(a), NPERR_NO_ERROR);
    EXPECT_EQ(a.npp.pdata, nullptr);
    EXPECT_FALSE(IsWindow(view1));
    EXPECT_EQ(host_.SetWindow(b, nullptr), NPERR_NO_ERROR);
    EXPECT_EQ(b.npp.pdata, nullptr);
    EXPECT_FALSE(IsWindow(view2));
    EXPECT_TRUE(IsWindow(page2));

    // Later calls for the torn-down instance find no plug-in object.
    EXPECT_EQ(host_.SetWindow(b, page2), NPERR_GENERIC_ERROR);
    EXPECT_EQ(host_.Deliver(b, QSM_TESTDATA_DIR "/layout/piano.qsmtxt"), NPERR_INVALID_INSTANCE_ERROR);
    host_.PluginFuncs().asfile(&b.npp, nullptr, QSM_TESTDATA_DIR "/layout/piano.qsmtxt");
    host_.PluginFuncs().print(&b.npp, nullptr);
    EXPECT_EQ(host_.Destroy(b), NPERR_NO_ERROR);
    EXPECT_EQ(GetWindow(page2, GW_CHILD), nullptr);

    EXPECT_EQ(host_.Shutdown(), NPERR_NO_ERROR);
    EXPECT_EQ(TApplication::Get(), nullptr);
}

TEST_F(PluginHostTest, AWindowThatIsGoneTearsTheInstanceDown) {
    Start();
    HWND page = Page();
    TPluginHost::Instance inst;
    ASSERT_EQ(host_.New(inst, "application/x-qsm", NP_EMBED, {}), NPERR_NO_ERROR);
    EXPECT_EQ(host_.PluginFuncs().newp(inst.type.data(), nullptr, NP_EMBED, 0, nullptr, nullptr, nullptr),
              NPERR_INVALID_INSTANCE_ERROR);
    // Page parameters without a name or a value are passed over.
    char* names[] = {nullptr, const_cast<char*>("autostart")};
    char* values[] = {const_cast<char*>("true"), nullptr};
    TPluginHost::Instance odd;
    EXPECT_EQ(host_.PluginFuncs().newp(inst.type.data(), &odd.npp, NP_EMBED, 2, names, values, nullptr),
              NPERR_NO_ERROR);
    EXPECT_EQ(host_.Destroy(odd), NPERR_NO_ERROR);
    ASSERT_EQ(host_.SetWindow(inst, page), NPERR_NO_ERROR);
    // An empty file name delivers nothing.
    host_.PluginFuncs().asfile(&inst.npp, nullptr, "");
    EXPECT_EQ(GetWindow(page, GW_CHILD), nullptr);
    // A window that is gone counts as none.
    HWND gone = Page();
    DestroyWindow(gone);
    NPWindow record{};
    record.window = gone;
    EXPECT_EQ(host_.PluginFuncs().setwindow(&inst.npp, &record), NPERR_NO_ERROR);
    EXPECT_EQ(inst.npp.pdata, nullptr);
    EXPECT_EQ(host_.Destroy(inst), NPERR_NO_ERROR);
    EXPECT_EQ(host_.Shutdown(), NPERR_NO_ERROR);
}

}  // namespace

#include "viewer/startup.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "core/file_stream.h"
#include "core/ram_stream.h"
#include "core/zlib_stream.h"
#include "platform/framework/program.h"
#include "platform/wm/controls.h"
#include "viewer/options.h"
#include "viewer/tests/viewer_test_env.h"

namespace {

using qsm::viewer_test::StoreTest;

std::vector<std::string> Tokens(const TViewerCmdLine& line) {
    std::vector<std::string> out;
    for (int i = 0; i < line.GetCount(); ++i)
        out.emplace_back(line.GetEntry(i));
    return out;
}

TEST(ViewerCmdLineTest, OnlyTheSwitchWordsAreSwitches) {
    TViewerCmdLine a("/PLAY \"/home/u/My Songs/a b.qsm\" /Close");
    EXPECT_EQ(Tokens(a), (std::vector<std::string>{"/PLAY", "/home/u/My Songs/a b.qsm", "/Close"}));
    ASSERT_NE(a.GetFile(), nullptr);
    EXPECT_STREQ(a.GetFile(), "/home/u/My Songs/a b.qsm");
    EXPECT_TRUE(a.HasSwitch("/play"));
    EXPECT_TRUE(a.HasSwitch("/close"));
    EXPECT_FALSE(a.HasSwitch("/launch"));

    // An absolute path is the file; an unknown switch word is no file.
    TViewerCmdLine b("/home/u/a.qsm");
    ASSERT_NE(b.GetFile(), nullptr);
    EXPECT_STREQ(b.GetFile(), "/home/u/a.qsm");
    TViewerCmdLine c("/cached /xprint /launch");
    EXPECT_EQ(c.GetFile(), nullptr);
    EXPECT_TRUE(c.HasSwitch("/XPRINT"));
    TViewerCmdLine d("/nosuchswitch x.qsm");
    EXPECT_STREQ(d.GetFile(), "x.qsm");
    TViewerCmdLine e("");
    EXPECT_EQ(e.GetFile(), nullptr);
}

TEST(ViewerCmdLineTest, ArgumentsJoinedIntoOneTextSplitBackIntoThemselves) {
    const char* argv[] = {"QSM2View", "/cached", "/tmp/cache dir/x.qsm", "", "/Play"};
    std::string text = qsm::JoinCommandLine(5, argv);
    EXPECT_EQ(text, "/cached \"/tmp/cache dir/x.qsm\" \"\" /Play");
    TViewerCmdLine line(text.c_str());
    EXPECT_STREQ(line.GetFile(), "/tmp/cache dir/x.qsm");
    EXPECT_TRUE(line.HasSwitch("/cached"));
    EXPECT_TRUE(line.HasSwitch("/play"));
    EXPECT_EQ(qsm::JoinCommandLine(1, argv), "");
}

// The file argument is made absolute against the current folder (with "./" and ".." resolved in the name);
// switches, an absolute file and a line without a file stay as they are.
TEST(ViewerCmdLineTest, TheFileArgumentIsMadeAbsolute) {
    std::string here = std::filesystem::current_path().string();
    const char* relative[] = {"QSM2View", "/play", "./songs/../my song.qsm", "/close"};
    EXPECT_EQ(WithAbsoluteFile(4, relative),
              (std::vector<std::string>{"QSM2View", "/play", here + "/my song.qsm", "/close"}));
    const char* absolute[] = {"QSM2View", "/cached", "/tmp/x.qsm"};
    EXPECT_EQ(WithAbsoluteFile(3, absolute), (std::vector<std::string>{"QSM2View", "/cached", "/tmp/x.qsm"}));
    const char* none[] = {"QSM2View", "/play"};
    EXPECT_EQ(WithAbsoluteFile(2, none), (std::vector<std::string>{"QSM2View", "/play"}));
}

TEST(CopyDataTextTest, BoundedByItsSizeAndCutAtItsZero) {
    char bytes[] = {'/', 'p', 'l', 'a', 'y', ' ', 'x', 'y'};
    COPYDATASTRUCT unterminated{0, 5, bytes};
    EXPECT_EQ(CopyDataText(&unterminated), "/play");
    char early[] = "a.qsm\0garbage";
    COPYDATASTRUCT zero{0, sizeof(early), early};
    EXPECT_EQ(CopyDataText(&zero), "a.qsm");
    COPYDATASTRUCT none{0, 10, nullptr};
    EXPECT_EQ(CopyDataText(&none), "");
    COPYDATASTRUCT empty{0, 0, bytes};
    EXPECT_EQ(CopyDataText(&empty), "");
    EXPECT_EQ(CopyDataText(nullptr), "");
}

// ---------------------------------------------------------------- the generation probe

struct Header {
    const char* magic;
    int16_t word;
    const char* product;
    uint16_t version;
};

void WriteHeader(TQSRStream& s, const Header& h) {
    s.WriteString(h.magic);
    s.WriteWord(static_cast<WORD>(h.word));
    s.WriteString(h.product);
    s.WriteWord(h.version);
}

int Probe(const Header& h) {
    TQSRFlatRamStream s(256, 256);
    WriteHeader(s, h);
    s.Rewind();
    return ReadSignatureVersion(s);
}

TEST(SignatureTest, GenerationFromCraftedHeaders) {
    EXPECT_EQ(Probe({"[QuillStave InkWork]", 0, "[QuillStave Composer]", 0x0251}), 2);
    EXPECT_EQ(Probe({"[QuillStave InkWork]", -3, "[QuillStave]", 0x0105}), 1);
    EXPECT_EQ(Probe({"[QUILLSTAVE SOFTWARE]", 0, "[QuillStave]", 0x0200}), 2);
    // The first magic is exact; the second ignores case only.
    EXPECT_EQ(Probe({"[Quillstave InkWork]", 0, "[QuillStave]", 0x0200}), 0);
    EXPECT_EQ(Probe({"[QuillStave Software] ", 0, "[QuillStave]", 0x0200}), 0);
    // A positive word, a product name of the wrong form, length or spelling.
    EXPECT_EQ(Probe({"[QuillStave InkWork]", 1, "[QuillStave]", 0x0200}), 0);
    EXPECT_EQ(Probe({"[QuillStave InkWork]", 0, "QuillStave]", 0x0200}), 0);
    EXPECT_EQ(Probe({"[QuillStave InkWork]", 0, "[QuillStave", 0x0200}), 0);
    EXPECT_EQ(Probe({"[QuillStave InkWork]", 0, "[quillstave]", 0x0200}), 0);
    EXPECT_EQ(Probe({"[QuillStave InkWork]", 0, "[]", 0x0200}), 0);
    EXPECT_EQ(Probe({"[QuillStave InkWork]", 0, "[x]", 0x0200}), 0);  // 3 long, unknown name
    std::string longest = "[" + std::string(28, 'Q') + "]";           // 30: the longest allowed, unknown name
    EXPECT_EQ(Probe({"[QuillStave InkWork]", 0, longest.c_str(), 0x0200}), 0);
    // A stream that ends early.
    TQSRFlatRamStream shortStream(16, 16);
    shortStream.WriteBlock("[QuillStave", 11);
    shortStream.Rewind();
    EXPECT_EQ(ReadSignatureVersion(shortStream), 0);
}

class ScoreFileVersionTest : public StoreTest {
protected:
    std::string Write(const char* name, const Header& h, bool packed) {
        std::string path = dir_ + "/" + name;
        TQSRFStream file(TQSRFStream::kWrite, path.c_str());
        if (packed) {
            TQSRZLibOutStream z(TQSRZLibInStream::kScoreEnvelope, &file, false);
            WriteHeader(z, h);
            z.Finish();
        } else {
            WriteHeader(file, h);
        }
        file.Close();
        return path;
    }
};

TEST_F(ScoreFileVersionTest, ByExtensionThenByHeader) {
    Header editor1{"[QuillStave InkWork]", 0, "[QuillStave]", 0x0110};
    Header editor2{"[Quillstave Software]", 0, "[QuillStave Composer]", 0x0251};
    EXPECT_EQ(GetScoreFileVersion(Write("a.qsm", editor1, true).c_str()), 1);
    EXPECT_EQ(GetScoreFileVersion(Write("b.QSM", editor2, false).c_str()), 2);
    EXPECT_EQ(GetScoreFileVersion(Write("c.qsmtxt", editor1, false).c_str()), 2);
    EXPECT_EQ(GetScoreFileVersion((dir_ + "/missing.qsm").c_str()), 0);
    EXPECT_EQ(GetScoreFileVersion((dir_ + "/missing.mid").c_str()), 2);
    EXPECT_EQ(GetScoreFileVersion((dir_ + "/no extension").c_str()), 2);
}

// ---------------------------------------------------------------- the start-up decisions

struct FakeHost : TStartupHost {
    int generation = 1;
    int launchpad = 101;
    INT_PTR shell = 42;
    UINT program = 33;
    std::vector<std::string> calls;

    int GetScoreFileVersion(const char*) override { return generation; }
    int RunLaunchpad(const char* file, int g) override {
        calls.push_back("launchpad " + std::string(file) + " " + std::to_string(g));
        return launchpad;
    }
    INT_PTR ShellExecute(const char* verb, const char* file) override {
        calls.push_back(std::string("shell ") + verb + " " + file);
        return shell;
    }
    UINT StartProgram(const std::string& prog, const char* file) override {
        calls.push_back("run " + prog + " | " + file);
        return program;
    }
    void ShowLaunchFailure() override { calls.emplace_back("failure"); }
    int RunApplication() override {
        calls.emplace_back("app");
        return 7;
    }
};

std::vector<std::string> g_copied;
LRESULT CopyProc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_COPYDATA) {
        const auto* cds = reinterpret_cast<const COPYDATASTRUCT*>(lp);
        g_copied.emplace_back(static_cast<const char*>(cds->lpData), cds->cbData);
        return TRUE;
    }
    return DefWindowProcA(h, msg, wp, lp);
}
HWND WindowOfClass(const char* cls) {
    WNDCLASSA wc{};
    wc.lpfnWndProc = CopyProc;
    wc.lpszClassName = cls;
    RegisterClassA(&wc);
    return CreateWindowExA(0, cls, "running", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 200, 100, nullptr,
                           nullptr, nullptr, nullptr);
}

class StartupTest : public StoreTest {
protected:
    void SetUp() override {
        StoreTest::SetUp();
        g_copied.clear();
        SetDefaultOptions(ViewerOptions);
        SessionOptions = {0, 1, 1, 2};
        file_ = dir_ + "/song.qsm";
        FILE* f = fopen(file_.c_str(), "wb");
        ASSERT_NE(f, nullptr);
        fclose(f);
        ViewerOptions.ReuseInst = 0;
    }
    int Run(const std::string& line) { return RunStartup(line.c_str(), host_); }
    std::string Launch() const { return "/launch \"" + file_ + "\""; }
    FakeHost host_;
    std::string file_;
};

TEST_F(StartupTest, AutomaticLaunchPicksTheEditorOfTheFilesGeneration) {
    EXPECT_EQ(Run(Launch()), 0);  // editor 1 file, both installed
    EXPECT_EQ(host_.calls, (std::vector<std::string>{"shell qsm1 " + file_}));

    host_ = FakeHost{};
    host_.generation = 2;
    EXPECT_EQ(Run("/LAUNCH " + file_), 0);
    EXPECT_EQ(host_.calls, (std::vector<std::string>{"shell qsm2 " + file_}));

    // Only editor 1 installed: a text score (generation 2) is above the newest editor and is viewed.
    SessionOptions = {0, 1, 0, 1};
    host_ = FakeHost{};
    host_.generation = 2;
    EXPECT_EQ(Run(Launch()), 7);
    EXPECT_EQ(host_.calls, (std::vector<std::string>{"app"}));

    // Only editor 2 installed: an editor 1 file goes to editor 2.
    SessionOptions = {0, 0, 1, 2};
    host_ = FakeHost{};
    EXPECT_EQ(Run(Launch()), 0);
    EXPECT_EQ(host_.calls, (std::vector<std::string>{"shell qsm2 " + file_}));

    // No editor: an unreadable file (generation 0) finds no verb and is viewed.
    SessionOptions = {0, 0, 0, 0};
    host_ = FakeHost{};
    host_.generation = 0;
    EXPECT_EQ(Run(Launch()), 7);
    EXPECT_EQ(host_.calls, (std::vector<std::string>{"app"}));
}

TEST_F(StartupTest, TheLaunchpadAsksWhenLaunchingIsNotAutomatic) {
    ViewerOptions.AutoLaunch = 0;
    const std::string asked = "launchpad " + file_ + " 1";
    host_.launchpad = 2;
    EXPECT_EQ(Run(Launch()), 1);
    EXPECT_EQ(host_.calls, (std::vector<std::string>{asked}));
    host_ = FakeHost{};
    host_.launchpad = 102;
    EXPECT_EQ(Run(Launch()), 0);
    EXPECT_EQ(host_.calls, (std::vector<std::string>{asked, "shell qsm1 " + file_}));
    host_ = FakeHost{};
    host_.launchpad = 103;
    EXPECT_EQ(Run(Launch()), 0);
    EXPECT_EQ(host_.calls, (std::vector<std::string>{asked, "shell qsm2 " + file_}));
    host_ = FakeHost{};
    host_.launchpad = 101;
    EXPECT_EQ(Run(Launch()), 7);
    EXPECT_EQ(host_.calls, (std::vector<std::string>{asked, "app"}));
    // A file newer than every editor is viewed without asking.
    host_ = FakeHost{};
    host_.generation = 3;
    EXPECT_EQ(Run(Launch()), 7);
    EXPECT_EQ(host_.calls, (std::vector<std::string>{"app"}));
}

TEST_F(StartupTest, LaunchModeNeedsAnExistingPlainFile) {
    EXPECT_EQ(Run("/launch \"" + dir_ + "/none.qsm\""), 7);
    EXPECT_EQ(Run("/launch \"" + dir_ + "\""), 7);
    EXPECT_EQ(Run("/launch"), 7);
    EXPECT_EQ(Run("/launch \"\""), 7);
    EXPECT_EQ(Run("\"" + file_ + "\""), 7);  // no "/launch"
    EXPECT_EQ(host_.calls, std::vector<std::string>(5, "app"));
}

TEST_F(StartupTest, AFailedLaunchIsReportedAndTheFileViewed) {
    host_.shell = 31;
    EXPECT_EQ(Run(Launch()), 7);
    EXPECT_EQ(host_.calls, (std::vector<std::string>{"shell qsm1 " + file_, "failure", "app"}));
}

TEST_F(StartupTest, ARunningViewerGetsTheWholeCommandLine) {
    HWND running = WindowOfClass("TQSMViewerFrame");
    ASSERT_NE(running, nullptr);
    ViewerOptions.ReuseInst = 1;
    const std::string line = "/Play \"" + dir_ + "/a b.qsm\"";
    EXPECT_EQ(Run(line), 1);
    ASSERT_EQ(g_copied.size(), 1u);
    EXPECT_EQ(g_copied[0], line + '\0');
    // Nothing to send: the running viewer only comes to the front.
    EXPECT_EQ(Run(""), 1);
    EXPECT_EQ(g_copied.size(), 1u);
    EXPECT_TRUE(host_.calls.empty());
    // Launch mode comes first: a launch that succeeds never reaches the running viewer.
    EXPECT_EQ(Run(Launch()), 0);
    EXPECT_EQ(g_copied.size(), 1u);
    // Without ReuseInst a second viewer runs.
    ViewerOptions.ReuseInst = 0;
    EXPECT_EQ(Run(line), 7);
    DestroyWindow(running);
}

// ---------------------------------------------------------------- the hand-over to editor 2

TEST_F(StartupTest, SendToRunningEditorTriesTheShellThenTheWindowThenTheProgram) {
    const char* path = "/home/u/My Songs/x.qsm";
    EXPECT_EQ(SendToRunningEditor(path, "qsm2", host_), 1);
    EXPECT_EQ(host_.calls, (std::vector<std::string>{std::string("shell qsm2 ") + path}));

    host_ = FakeHost{};
    host_.shell = 32;
    HWND editor = WindowOfClass("QuillStaveComposer2");
    EXPECT_EQ(SendToRunningEditor(path, "qsm2", host_), 1);
    ASSERT_EQ(g_copied.size(), 1u);
    EXPECT_EQ(g_copied[0], std::string(path) + '\0');
    DestroyWindow(editor);

    // No key: nothing to start.
    host_ = FakeHost{};
    host_.shell = 2;
    EXPECT_EQ(SendToRunningEditor(path, "qsm2", host_), 0);
    // A folder of three characters or fewer counts as none.
    MachineKey(kEditor2UninstallKey, "InstallLocation", "C:\\");
    EXPECT_EQ(SendToRunningEditor(path, "qsm2", host_), 0);
    EXPECT_EQ(host_.calls.size(), 2u);

    // The longest folder the key can give and a long path make one whole command.
    std::string folder = "/opt/" + std::string(515, 'q');
    MachineKey(kEditor2UninstallKey, "InstallLocation", folder.c_str());
    std::string longPath = "/home/u/" + std::string(600, 'p') + ".qsm";
    host_ = FakeHost{};
    host_.shell = 2;
    EXPECT_EQ(SendToRunningEditor(longPath.c_str(), "qsm2", host_), 1);
    ASSERT_EQ(host_.calls.size(), 2u);
    EXPECT_EQ(host_.calls[1], "run " + folder + "/qsm2 | " + longPath);
    host_.program = 31;  // the program could not be started
    EXPECT_EQ(SendToRunningEditor(longPath.c_str(), "qsm2", host_), 0);
}

TEST_F(StartupTest, TheLaunchpadProcedureCentresItsDialog) {
    HWND w =
        CreateWindowExA(0, "Static", "pad", WS_POPUP, 3, 4, 301, 151, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(LauchpadDlgProc(w, WM_INITDIALOG, 0, 0), TRUE);
    RECT r{};
    GetWindowRect(w, &r);
    EXPECT_EQ(r.left, (GetSystemMetrics(SM_CXSCREEN) - 301) / 2);
    EXPECT_EQ(r.top, (GetSystemMetrics(SM_CYSCREEN) - 151) / 2);
    EXPECT_EQ(r.right - r.left, 301);
    EXPECT_EQ(r.bottom - r.top, 151);
    EXPECT_EQ(LauchpadDlgProc(w, WM_PAINT, 0, 0), FALSE);
    DestroyWindow(w);
}

}  // namespace

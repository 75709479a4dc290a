// The real program with "/xprint" and no display: it opens the file, prints it on the default printer (the
// "PDF file" printer, as no CUPS tools are on the path) beside the file as <name>.pdf, and ends.
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "midi/tests/smf_builder.h"
#include "platform/print/printers.h"
#include "viewer/tests/process_fixture.h"

namespace {

class XPrintTest : public qsm::viewer_test::ProcessTest {
protected:
    void SetUp() override {
        ProcessTest::SetUp();
        setenv("HOME", dir_.c_str(), 1);
        const char* path = std::getenv("PATH");
        oldPath_ = path ? path : "/usr/bin:/bin";
    }
    // Runs the program with the arguments until it ends (without the CUPS tools on its path); its exit code.
    int RunViewer(std::vector<std::string> args, const std::string& errorFile = "") {
        setenv("PATH", (dir_ + "/no-programs").c_str(), 1);
        pid_t pid = Spawn(std::move(args), errorFile);
        setenv("PATH", oldPath_.c_str(), 1);
        if (pid < 0) return -1;
        const int code = ExitCode(pid);
        return code == -2 ? -1 : code;
    }
    std::string Run(const std::vector<std::string>& argv) {
        std::string out;
        qsm::print::RunProgram(argv, &out);
        return out;
    }
    int Pages(const std::string& pdf) {
        std::string info = Run({"pdfinfo", pdf});
        size_t at = info.find("Pages:");
        return at == std::string::npos ? 0 : std::atoi(info.c_str() + at + 6);
    }
    std::string oldPath_;
};

TEST_F(XPrintTest, TextScorePrintsBesideTheFileAndTheProgramEnds) {
    std::string score = dir_ + "/quartet.qsmtxt";
    std::filesystem::copy_file(QSM_TESTDATA_DIR "/layout/quartet.qsmtxt", score);
    EXPECT_EQ(RunViewer({"/xprint", score}), 0);
    std::string pdf = dir_ + "/quartet.pdf";
    ASSERT_TRUE(std::filesystem::exists(pdf));
    EXPECT_EQ(Pages(pdf), 1);
    EXPECT_NE(Run({"pdftotext", pdf, "-"}).find("Quartet study"), std::string::npos);
}

TEST_F(XPrintTest, AViewerThatNeverAnswersTheHandOverIsLeftAndTheFilePrintsAnyway) {
    // Something listens on the running viewer's socket but never answers.
    int silent = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un a{};
    a.sun_family = AF_UNIX;
    std::snprintf(a.sun_path, sizeof a.sun_path, "%s/tqsmviewerframe.sock", dir_.c_str());
    ASSERT_EQ(bind(silent, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
    ASSERT_EQ(listen(silent, 4), 0);
    std::string score = dir_ + "/quartet.qsmtxt";
    std::filesystem::copy_file(QSM_TESTDATA_DIR "/layout/quartet.qsmtxt", score);
    EXPECT_EQ(RunViewer({"/xprint", score}, dir_ + "/stderr.txt"), 0);
    close(silent);
    EXPECT_EQ(Pages(dir_ + "/quartet.pdf"), 1);
    std::ifstream err(dir_ + "/stderr.txt");
    std::string told((std::istreambuf_iterator<char>(err)), std::istreambuf_iterator<char>());
    EXPECT_NE(told.find("did not answer within 5 seconds; this start prints the file itself."),
              std::string::npos)
        << told;
}

TEST_F(XPrintTest, ImportedMidiFilePrints) {
    qsm::test::TrackBuilder track;
    track.Text(0, 0x03, "Tune").Tempo(0, 500000);
    for (int i = 0; i < 400; ++i)
        track.Event(0, {0x90, 60 + (i * 7) % 12, 90}).Event(96, {0x80, 60 + (i * 7) % 12, 0});
    track.End();
    qsm::test::Bytes bytes = qsm::test::MakeFile(0, 192, {track});
    std::string midi = dir_ + "/tune.mid";
    std::ofstream(midi, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    EXPECT_EQ(RunViewer({"/xprint", midi}), 0);
    std::string pdf = dir_ + "/tune.pdf";
    ASSERT_TRUE(std::filesystem::exists(pdf));
    EXPECT_GE(Pages(pdf), 1);
}

// A run that only prints starts no display, even where there is one: no SDL, and none of the graphics
// libraries behind it, is loaded (the dynamic loader lists what it loads).
TEST_F(XPrintTest, PrintingLoadsNoDisplayLibrary) {
    std::string score = dir_ + "/quartet.qsmtxt";
    std::filesystem::copy_file(QSM_TESTDATA_DIR "/layout/quartet.qsmtxt", score);
    unsetenv("QSM_BACKEND");
    setenv("DISPLAY", ":9999", 1);
    setenv("LD_DEBUG", "libs", 1);
    setenv("LD_DEBUG_OUTPUT", (dir_ + "/loaded").c_str(), 1);
    const int code = RunViewer({"/xprint", score});
    unsetenv("LD_DEBUG");
    unsetenv("LD_DEBUG_OUTPUT");
    unsetenv("DISPLAY");
    EXPECT_EQ(code, 0);
    EXPECT_TRUE(std::filesystem::exists(dir_ + "/quartet.pdf"));
    std::string loaded;
    for (const auto& entry : std::filesystem::directory_iterator(dir_))
        if (entry.path().filename().string().rfind("loaded", 0) == 0) {
            std::ifstream in(entry.path());
            loaded.append(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
        }
    EXPECT_NE(loaded.find("libcairo"), std::string::npos) << "the loader's list is missing";
    for (const char* library : {"libSDL2", "libGL", "libEGL", "libgbm", "libLLVM"})
        EXPECT_EQ(loaded.find(library), std::string::npos) << library << " was loaded";
}

}  // namespace

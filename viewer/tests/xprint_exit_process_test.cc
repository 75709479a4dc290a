// The real program with "/xprint", with no display and nobody to answer a box: a file that cannot be opened
// ends the run with exit code 1 and one line on the standard error stream; a run that printed names the PDF
// file it wrote; at most 50 pages are printed.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <spawn.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "midi/tests/smf_builder.h"
#include "platform/print/printers.h"
#include "viewer/tests/process_fixture.h"

namespace {

class XPrintExitTest : public qsm::viewer_test::ProcessTest {
protected:
    void SetUp() override {
        ProcessTest::SetUp();
        setenv("HOME", dir_.c_str(), 1);
    }
    // Runs the program with the arguments until it ends, with no CUPS tools on its path (so it prints to
    // the PDF file printer) and its standard error stream kept; its exit code.
    int RunViewer(std::vector<std::string> args) {
        args.insert(args.begin(), QSM2VIEW_PATH);
        std::vector<char*> argv;
        for (std::string& a : args)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        std::vector<std::string> env;
        for (char** e = environ; *e; ++e)
            if (std::strncmp(*e, "PATH=", 5) != 0) env.emplace_back(*e);
        env.push_back("PATH=" + dir_ + "/no-programs");
        std::vector<char*> envp;
        for (std::string& e : env)
            envp.push_back(e.data());
        envp.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 2, (dir_ + "/stderr.txt").c_str(),
                                         O_WRONLY | O_CREAT | O_TRUNC, 0600);
        pid_t pid = -1;
        int spawned = posix_spawn(&pid, QSM2VIEW_PATH, &actions, nullptr, argv.data(), envp.data());
        posix_spawn_file_actions_destroy(&actions);
        if (spawned != 0) return -1;
        return ExitCode(pid);
    }
    // The lines the program wrote on its standard error stream that are its own.
    std::vector<std::string> Told() {
        std::ifstream in(dir_ + "/stderr.txt");
        std::vector<std::string> lines;
        for (std::string line; std::getline(in, line);)
            if (line.rfind("QSM2View: ", 0) == 0) lines.push_back(line);
        return lines;
    }
    int Pages(const std::string& pdf) {
        std::string info;
        qsm::print::RunProgram({"pdfinfo", pdf}, &info);
        size_t at = info.find("Pages:");
        return at == std::string::npos ? 0 : std::atoi(info.c_str() + at + 6);
    }
    std::string Copy(const char* testdata, const char* name) {
        std::string path = dir_ + "/" + name;
        std::filesystem::copy_file(std::string(QSM_TESTDATA_DIR) + "/" + testdata, path);
        return path;
    }
};

TEST_F(XPrintExitTest, AFileThatCannotBeOpenedEndsTheRunWithOneLine) {
    const std::string missing = dir_ + "/missing.qsm";
    const std::string garbage = dir_ + "/garbage.qsm";
    std::ofstream(garbage) << "not a score at all";
    for (const std::string& file : {missing, garbage}) {
        SCOPED_TRACE(file);
        EXPECT_EQ(RunViewer({"/xprint", file}), 1);
        std::vector<std::string> told = Told();
        ASSERT_EQ(told.size(), 1u);
        EXPECT_NE(told[0].find(file), std::string::npos) << told[0];
    }
    EXPECT_FALSE(std::filesystem::exists(dir_ + "/missing.pdf"));
    EXPECT_FALSE(std::filesystem::exists(dir_ + "/garbage.pdf"));
}

TEST_F(XPrintExitTest, WithNoDisplayAtAllTheRunStillEnds) {
    // A display library that is started without a display may keep blocks of its own: they are not looked
    // for here.
    const char* asan = std::getenv("ASAN_OPTIONS");
    const std::string oldAsan = asan ? asan : "";
    setenv("ASAN_OPTIONS", "detect_leaks=0:abort_on_error=1", 1);
    unsetenv("QSM_BACKEND");
    unsetenv("DISPLAY");
    unsetenv("WAYLAND_DISPLAY");
    EXPECT_EQ(RunViewer({"/xprint", dir_ + "/missing.qsm"}), 1);
    EXPECT_EQ(Told().size(), 1u);
    // "/xprint" with no file names nothing to print.
    EXPECT_EQ(RunViewer({"/xprint"}), 1);
    ASSERT_EQ(Told().size(), 1u);
    EXPECT_NE(Told()[0].find("no file"), std::string::npos) << Told()[0];
    setenv("ASAN_OPTIONS", oldAsan.c_str(), 1);
}

TEST_F(XPrintExitTest, ARunThatPrintedNamesThePdfItWrote) {
    const std::string score = Copy("layout/quartet.qsmtxt", "quartet.qsmtxt");
    EXPECT_EQ(RunViewer({"/XPRINT", score}), 0);
    const std::string pdf = dir_ + "/quartet.pdf";
    ASSERT_EQ(Told(), std::vector<std::string>{"QSM2View: wrote " + pdf});
    EXPECT_EQ(Pages(pdf), 1);
}

TEST_F(XPrintExitTest, AtMostFiftyPagesArePrinted) {
    // Eight parts of 3000 notes, one to a beat, run to about 80 pages.
    std::vector<qsm::test::TrackBuilder> tracks(8);
    tracks[0].Text(0, 0x03, "Long tune").Tempo(0, 500000);
    for (int t = 0; t < 8; ++t) {
        for (int i = 0; i < 3000; ++i) {
            const int key = 36 + t * 6 + (i * 5) % 12, status = 0x90 | t;
            tracks[t].Event(0, {status, key, 90}).Event(192, {status, key, 0});
        }
        tracks[t].End();
    }
    qsm::test::Bytes bytes = qsm::test::MakeFile(1, 192, tracks);
    const std::string midi = dir_ + "/long.mid";
    std::ofstream(midi, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    EXPECT_EQ(RunViewer({"/xprint", midi}), 0);
    EXPECT_EQ(Pages(dir_ + "/long.pdf"), 50);
}

}  // namespace

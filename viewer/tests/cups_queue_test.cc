// A score printed on a real CUPS queue: a cupsd of the test's own (on a socket in a temporary folder) with a
// cups-pdf queue, which writes the job it receives as a PDF into the PDF folder of the user's home (its
// default setting). Skipped where cupsd or cups-pdf is missing or the test can't run cupsd (not root).
#include <gtest/gtest.h>
#include <poll.h>
#include <pwd.h>
#include <signal.h>
#include <spawn.h>
#include <sys/inotify.h>
#include <sys/wait.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "platform/framework/printer.h"
#include "platform/print/printers.h"
#include "render/hooks.h"
#include "render/layout/item_painter.h"
#include "score/base/color_palette.h"
#include "viewer/print_data.h"
#include "viewer/printer.h"
#include "viewer/tests/print_test_util.h"

extern char** environ;

namespace fs = std::filesystem;

namespace {

constexpr const char* kCupsd = "/usr/sbin/cupsd";
constexpr const char* kBackend = "/usr/lib/cups/backend/cups-pdf";
constexpr const char* kPpd = "/usr/share/ppd/cups-pdf/CUPS-PDF_opt.ppd";

// The file of the folder whose name starts with prefix; empty when there is none.
std::string FindFile(const std::string& dir, const std::string& prefix) {
    std::error_code ec;
    for (const auto& e : fs::directory_iterator(dir, ec))
        if (e.path().filename().string().rfind(prefix, 0) == 0) return e.path();
    return {};
}

// Whether the file holds a whole PDF: the job's writer may still be writing it when it is first seen.
bool IsWholePdf(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    size_t end = bytes.find_last_not_of(" \r\n");
    return end != std::string::npos && end >= 4 && bytes.compare(end - 4, 5, "%%EOF") == 0;
}

// Waits until a file whose name starts with prefix is created (or, with wholePdf, holds a whole PDF) in the
// folder, looking again at every change there; gives up after a minute without any change (a failed job).
std::string WaitForFile(const std::string& dir, const std::string& prefix, bool wholePdf) {
    int fd = inotify_init1(IN_CLOEXEC);
    if (fd < 0) return {};
    inotify_add_watch(fd, dir.c_str(),
                      wholePdf ? IN_CLOSE_WRITE | IN_MOVED_TO | IN_MODIFY | IN_ATTRIB : IN_CREATE);
    auto ready = [&] {
        std::string found = FindFile(dir, prefix);
        return found.empty() || (wholePdf && !IsWholePdf(found)) ? std::string() : found;
    };
    std::string found = ready();
    alignas(inotify_event) char buf[4096];
    while (found.empty()) {
        pollfd p{fd, POLLIN, 0};
        if (poll(&p, 1, 60000) <= 0 || read(fd, buf, sizeof buf) <= 0) break;
        found = ready();
    }
    close(fd);
    return found;
}

class CupsQueueTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!fs::exists(kCupsd) || !fs::exists(kBackend) || !fs::exists(kPpd))
            GTEST_SKIP()
                << "cupsd or cups-pdf is not installed (packages cups-daemon, printer-driver-cups-pdf)";
        if (geteuid() != 0) GTEST_SKIP() << "a cupsd of the test's own needs root (its jobs run as user lp)";
        char tmpl[] = "/tmp/qsm-cups-XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        dir_ = tmpl;
        queue_ = "QsmTest" + std::to_string(getpid());
        for (const char* sub : {"/spool", "/tmp", "/cache", "/state"})
            fs::create_directories(dir_ + sub);
        fs::permissions(dir_ + "/tmp", fs::perms::all | fs::perms::sticky_bit);
        std::ofstream(dir_ + "/cupsd.conf")
            << "Listen " << dir_ << "/cups.sock\nLogLevel warn\nWebInterface No\n"
            << "<Location />\n  Order allow,deny\n  Allow all\n</Location>\n";
        std::ofstream(dir_ + "/cups-files.conf")
            << "ServerRoot " << dir_ << "\nRequestRoot " << dir_ << "/spool\nTempDir " << dir_
            << "/tmp\nCacheDir " << dir_ << "/cache\nStateDir " << dir_ << "/state\nErrorLog " << dir_
            << "/error_log\nUser lp\n"
            << "Group lp\nSystemGroup root\n";
        std::string cmd = "chown -R lp:lp '" + dir_ + "/spool' '" + dir_ + "/tmp'";
        ASSERT_EQ(std::system(cmd.c_str()), 0);
        const passwd* user = getpwuid(geteuid());
        ASSERT_NE(user, nullptr);
        out_ = std::string(user->pw_dir) + "/PDF";
        madeOut_ = fs::create_directories(out_);

        std::string cfg = dir_ + "/cupsd.conf", files = dir_ + "/cups-files.conf";
        std::vector<char*> argv = {const_cast<char*>(kCupsd),
                                   const_cast<char*>("-f"),
                                   const_cast<char*>("-c"),
                                   cfg.data(),
                                   const_cast<char*>("-s"),
                                   files.data(),
                                   nullptr};
        ASSERT_EQ(posix_spawn(&cupsd_, kCupsd, nullptr, nullptr, argv.data(), environ), 0);
        ASSERT_FALSE(WaitForFile(dir_, "cups.sock", false).empty());
        setenv("CUPS_SERVER", (dir_ + "/cups.sock").c_str(), 1);
        std::string out;
        // The scheduler answers once it is listening.
        while (qsm::print::RunProgram({"lpstat", "-r"}, &out) != 0) {
        }
        ASSERT_EQ(qsm::print::RunProgram({"lpadmin", "-p", queue_, "-v", "cups-pdf:/", "-P", kPpd, "-E"}), 0);
        ASSERT_EQ(qsm::print::RunProgram({"lpadmin", "-d", queue_}), 0);
        qsm::print::InstallPrinters();
        qsm::InstallScoreHooks();
    }
    void TearDown() override {
        unsetenv("CUPS_SERVER");
        if (cupsd_ > 0) {
            kill(cupsd_, SIGTERM);
            waitpid(cupsd_, nullptr, 0);
        }
        if (!job_.empty()) fs::remove(job_);
        if (madeOut_) fs::remove(out_);
        if (!dir_.empty()) fs::remove_all(dir_);
    }
    std::string dir_, queue_, out_, job_;
    bool madeOut_ = false;
    pid_t cupsd_ = -1;
};

TEST_F(CupsQueueTest, JobReachesTheQueueAtTheEndOfTheDocument) {
    EXPECT_EQ(qsm::print::DefaultPrinterName(), queue_);
    auto score = qsm::printtest::LongScore(2, 40);
    TColorPalette palette;
    TQSMPrintData data(new TPrintDC("winspool", queue_.c_str(), "", nullptr), score.get(), score.get(),
                       &palette);
    data.lastPage = INT_MAX;
    int pages = data.CountPages();
    // cups-pdf names the file after the job's title.
    const std::string title = "QsmCupsTest" + std::to_string(getpid());
    EXPECT_EQ(PrintJob(&data, title.c_str(), nullptr), TPrintResult::Printed);
    job_ = WaitForFile(out_, title, true);
    ASSERT_FALSE(job_.empty()) << "no job in " << out_;
    std::string info;
    qsm::print::RunProgram({"pdfinfo", job_}, &info);
    size_t at = info.find("Pages:");
    ASSERT_NE(at, std::string::npos) << info;
    EXPECT_EQ(std::atoi(info.c_str() + at + 6), pages);
}

// The server refusing a job (a queue it does not have) is a failed hand-over, not a printed job.
TEST_F(CupsQueueTest, ARefusedJobIsReportedAsFailed) {
    std::string file = dir_ + "/refused.pdf";
    std::ofstream(file) << "%PDF-1.4\n%%EOF\n";
    EXPECT_FALSE(qsm::print::SubmitToCups({"NoSuchQueue", file, "Refused", 1, false}));
}

}  // namespace

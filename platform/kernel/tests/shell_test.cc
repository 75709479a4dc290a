// The shell: command-line splitting, documents and programs through a fake launcher, verbs of registered
// file classes, one real start of a script, and the special folders.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/kernel/process_env.h"
#include "platform/kernel/shell.h"
#include "platform/registry/registry.h"

namespace {

namespace fs = std::filesystem;

struct FakeLauncher : qsm::Launcher {
    std::vector<std::string> opened;
    std::vector<std::vector<std::string>> runs;
    std::string lastDirectory;
    bool answer = true;
    std::vector<std::string> Last() const { return runs.empty() ? std::vector<std::string>{} : runs.back(); }
    bool Open(const std::string& target) override {
        opened.push_back(target);
        return answer;
    }
    bool Run(const std::vector<std::string>& argv, const std::string& directory) override {
        runs.push_back(argv);
        lastDirectory = directory;
        return answer;
    }
};

class ShellTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string tmpl = (fs::temp_directory_path() / "qsm-shell-XXXXXX").string();
        dir = mkdtemp(tmpl.data());
        setenv("XDG_CONFIG_HOME", dir.c_str(), 1);
        setenv("QSM_SYSTEM_REGISTRY", (dir + "/system-HKLM.reg").c_str(), 1);
        old = qsm::SetLauncher(&fake);
    }
    void TearDown() override {
        qsm::SetLauncher(old);
        unsetenv("QSM_SYSTEM_REGISTRY");
        std::error_code ec;
        fs::remove_all(dir, ec);
    }
    static void SetDefault(HKEY root, const std::string& key, const std::string& value) {
        HKEY k = nullptr;
        ASSERT_EQ(RegCreateKeyExA(root, key.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &k, nullptr),
                  ERROR_SUCCESS);
        RegSetValueExA(k, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                       static_cast<DWORD>(value.size() + 1));
        RegCloseKey(k);
    }
    static intptr_t Result(HINSTANCE h) { return reinterpret_cast<intptr_t>(h); }

    std::string dir;
    FakeLauncher fake;
    qsm::Launcher* old = nullptr;
};

// Loaded by a browser with its own symbols first, the library sees the C library's empty environment
// variable: started programs still get the process's environment (a viewer started with none finds no
// display).
TEST(ProcessEnvironment, AnEmptyEnvironmentVariableFallsBackToTheStartingEnvironment) {
    char** own = environ;
    EXPECT_EQ(qsm::ProcessEnvironment(), own);
    char* none[] = {nullptr};
    for (char** seen : {static_cast<char**>(nullptr), none}) {
        bool path = false;
        environ = seen;
        char** env = qsm::ProcessEnvironment();
        environ = own;
        for (; *env != nullptr; ++env)
            path = path || std::string(*env).rfind("PATH=", 0) == 0;
        EXPECT_TRUE(path);
    }
}

TEST(ShellCommandLine, BlanksSeparateAndQuotesGroup) {
    using V = std::vector<std::string>;
    EXPECT_EQ(qsm::SplitCommandLine("a  b\tc"), (V{"a", "b", "c"}));
    EXPECT_EQ(qsm::SplitCommandLine("\"/opt/my prog\" /cached \"/tmp/a b.qsm\""),
              (V{"/opt/my prog", "/cached", "/tmp/a b.qsm"}));
    EXPECT_EQ(qsm::SplitCommandLine("x\"y z\"w \"\""), (V{"xy zw", ""}));
    EXPECT_EQ(qsm::SplitCommandLine("   "), V{});
}

TEST_F(ShellTest, DocumentsAndAddressesGoToTheDesktopOpener) {
    EXPECT_GT(Result(ShellExecuteA(nullptr, "open", "https://example.org/composer/", nullptr, nullptr, 1)),
              32);
    EXPECT_GT(Result(ShellExecuteA(nullptr, nullptr, "C:\\songs\\a.qsm", nullptr, nullptr, 1)), 32);
    EXPECT_EQ(fake.opened, (std::vector<std::string>{"https://example.org/composer/", "C:/songs/a.qsm"}));
    fake.answer = false;
    EXPECT_LE(Result(ShellExecuteA(nullptr, "Open", "/tmp/x.pdf", nullptr, nullptr, 1)), 32);

    SHELLEXECUTEINFOA info{};
    info.cbSize = sizeof info;
    info.lpVerb = "open";
    info.lpFile = "https://example.org/";
    info.nShow = 10;
    EXPECT_FALSE(ShellExecuteExA(&info));
    EXPECT_LE(reinterpret_cast<intptr_t>(info.hInstApp), 32);
    fake.answer = true;
    EXPECT_TRUE(ShellExecuteExA(&info));
    EXPECT_GT(reinterpret_cast<intptr_t>(info.hInstApp), 32);
    info.cbSize = 60;  // a record of another shape
    EXPECT_FALSE(ShellExecuteExA(&info));

    // A program is run with its parameters, in the folder given.
    EXPECT_GT(Result(ShellExecuteA(nullptr, "Open", "sh", "-c \"exit 0\"", dir.c_str(), 5)), 32);
    ASSERT_EQ(fake.runs.size(), 1u);
    EXPECT_EQ(fake.runs[0], (std::vector<std::string>{"sh", "-c", "exit 0"}));
    EXPECT_EQ(fake.lastDirectory, dir);
}

TEST_F(ShellTest, TheVolumeControlIsTheFirstMixerThatStarts) {
    struct : FakeLauncher {
        size_t failures = 0;
        bool Run(const std::vector<std::string>& argv, const std::string& directory) override {
            FakeLauncher::Run(argv, directory);
            return runs.size() > failures;
        }
    } mixers;
    qsm::SetLauncher(&mixers);
    EXPECT_GT(Result(ShellExecuteA(nullptr, "Open", "sndvol.exe", nullptr, nullptr, 5)), 32);
    EXPECT_EQ(mixers.runs, (std::vector<std::vector<std::string>>{{"pavucontrol"}}));
    mixers.runs.clear();
    mixers.failures = 2;
    EXPECT_GT(Result(ShellExecuteA(nullptr, "Open", "C:\\Windows\\SNDVOL32.EXE", nullptr, nullptr, 5)), 32);
    EXPECT_EQ(mixers.runs.back(), (std::vector<std::string>{"gnome-control-center", "sound"}));
    // None starts: the open fails, and nothing else is tried.
    mixers.runs.clear();
    mixers.failures = 100;
    EXPECT_LE(Result(ShellExecuteA(nullptr, "Open", "Sndvol32.exe", nullptr, nullptr, 5)), 32);
    EXPECT_EQ(mixers.runs.size(), 6u);
    EXPECT_TRUE(mixers.opened.empty());
    qsm::SetLauncher(&fake);
}

TEST_F(ShellTest, VerbsComeFromTheRegisteredFileClasses) {
    SetDefault(HKEY_LOCAL_MACHINE, "Software\\Classes\\.qsm", "QSM2.Document");
    SetDefault(HKEY_LOCAL_MACHINE, "Software\\Classes\\QSM2.Document\\shell\\qsm1\\command",
               "\"/opt/qsm one/qsm1\" /open \"%1\"");
    SetDefault(HKEY_LOCAL_MACHINE, "Software\\Classes\\QSM2.Document\\shell\\print\\command", "/opt/p %*");
    EXPECT_GT(Result(ShellExecuteA(nullptr, "qsm1", "/home/u/My Song.QSM", nullptr, nullptr, 1)), 32);
    EXPECT_EQ(fake.Last(), (std::vector<std::string>{"/opt/qsm one/qsm1", "/open", "/home/u/My Song.QSM"}));
    // Without "%1" the file comes last; "%*" takes the parameters.
    EXPECT_GT(Result(ShellExecuteA(nullptr, "print", "/a.qsm", "-n 2", nullptr, 1)), 32);
    EXPECT_EQ(fake.Last(), (std::vector<std::string>{"/opt/p", "-n", "2", "/a.qsm"}));
    // A verb nobody registered has no association and starts nothing.
    size_t runs = fake.runs.size();
    EXPECT_EQ(Result(ShellExecuteA(nullptr, "qsm3", "/home/u/a.qsm", nullptr, nullptr, 1)), SE_ERR_NOASSOC);
    EXPECT_EQ(Result(ShellExecuteA(nullptr, "qsm1", "/home/u/a.txt", nullptr, nullptr, 1)), SE_ERR_NOASSOC);
    EXPECT_EQ(fake.runs.size(), runs);

    // The user's classes come first; a class can be named instead of taken from the extension.
    SetDefault(HKEY_CURRENT_USER, "Software\\Classes\\QSM2.Document\\shell\\qsm1\\command",
               "/home/u/qsm1 %1");
    EXPECT_GT(Result(ShellExecuteA(nullptr, "qsm1", "/b.qsm", nullptr, nullptr, 1)), 32);
    EXPECT_EQ(fake.Last(), (std::vector<std::string>{"/home/u/qsm1", "/b.qsm"}));
    SetDefault(HKEY_LOCAL_MACHINE, "Software\\Classes\\htmlfile\\shell\\open\\command",
               "/usr/bin/browser \"%1\"");
    SHELLEXECUTEINFOA info{};
    info.cbSize = sizeof info;
    info.fMask = SEE_MASK_CLASSNAME;
    info.lpClass = "htmlfile";
    info.lpVerb = "open";
    info.lpFile = "https://example.org/?q=a b";
    EXPECT_TRUE(ShellExecuteExA(&info));
    EXPECT_EQ(fake.Last(), (std::vector<std::string>{"/usr/bin/browser", "https://example.org/?q=a b"}));
}

TEST_F(ShellTest, WinExecFindsAnUnquotedProgramPathWithBlanks) {
    fs::create_directories(dir + "/Quill Stave");
    std::ofstream(dir + "/Quill Stave/qsm2").put('x');
    std::string line = dir + "/Quill Stave/qsm2 \"/tmp/a b.qsm\" /x";
    EXPECT_GT(WinExec(line.c_str(), 1), 31u);
    EXPECT_EQ(fake.Last(), (std::vector<std::string>{dir + "/Quill Stave/qsm2", "/tmp/a b.qsm", "/x"}));
    EXPECT_GT(WinExec("\"/opt/x y/viewer\" /cached \"/c/f.qsm\"", 1), 31u);
    EXPECT_EQ(fake.Last(), (std::vector<std::string>{"/opt/x y/viewer", "/cached", "/c/f.qsm"}));
    EXPECT_EQ(WinExec("   ", 1), static_cast<UINT>(ERROR_FILE_NOT_FOUND));
    fake.answer = false;
    EXPECT_EQ(WinExec("prog", 1), static_cast<UINT>(ERROR_FILE_NOT_FOUND));
}

TEST_F(ShellTest, TheDesktopLauncherRunsAScriptWithItsArguments) {
    qsm::SetLauncher(nullptr);
    const std::string script = dir + "/report args.sh", fifo = dir + "/answer";
    {
        std::ofstream out(script);
        out << "#!/bin/sh\nprintf '%s|%s|%s' \"$2\" \"$3\" \"$(pwd)\" > \"$1\"\n";
    }
    chmod(script.c_str(), 0755);
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    std::string line = "\"" + script + "\" \"" + fifo + "\" one \"two words\"";
    ASSERT_GT(WinExec(line.c_str(), 1), 31u);
    // Waits for the script to write its answer.
    int fd = open(fifo.c_str(), O_RDONLY);
    ASSERT_GE(fd, 0);
    std::string got;
    char buf[512];
    ssize_t n;
    while ((n = read(fd, buf, sizeof buf)) > 0)
        got.append(buf, static_cast<size_t>(n));
    close(fd);
    EXPECT_EQ(got.substr(0, got.find('|', got.find('|') + 1)), "one|two words");
    // A program that is not there does not start.
    EXPECT_EQ(WinExec("/nonexistent/program arg", 1), static_cast<UINT>(ERROR_FILE_NOT_FOUND));
}

TEST_F(ShellTest, SpecialFoldersFollowTheXdgRules) {
    const char* oldHome = std::getenv("HOME");
    std::string savedHome = oldHome ? oldHome : "";
    setenv("HOME", dir.c_str(), 1);
    unsetenv("XDG_DATA_HOME");
    auto path = [](int csidl) {
        LPITEMIDLIST item = nullptr;
        char buf[MAX_PATH] = {};
        if (FAILED(SHGetSpecialFolderLocation(nullptr, csidl, &item))) return std::string("(failed)");
        EXPECT_TRUE(SHGetPathFromIDListA(item, buf));
        LPMALLOC malloc = nullptr;
        EXPECT_EQ(SHGetMalloc(&malloc), S_OK);
        malloc->Free(item);
        malloc->Release();
        return std::string(buf);
    };
    EXPECT_EQ(path(CSIDL_PERSONAL), dir);  // no documents folder at all: the home folder
    fs::create_directories(dir + "/Documents");
    EXPECT_EQ(path(CSIDL_PERSONAL), dir + "/Documents");
    std::ofstream(dir + "/user-dirs.dirs")
        << "# written by xdg-user-dirs-update\nXDG_DOCUMENTS_DIR=\"$HOME/Dokumente\"\n";
    EXPECT_EQ(path(CSIDL_PERSONAL), dir + "/Dokumente");
    EXPECT_EQ(path(CSIDL_LOCAL_APPDATA), dir + "/.local/share");
    setenv("XDG_DATA_HOME", "/data/home", 1);
    EXPECT_EQ(path(CSIDL_LOCAL_APPDATA), "/data/home");
    unsetenv("XDG_DATA_HOME");
    EXPECT_EQ(path(0x26), "(failed)");
    // A path too long for MAX_PATH is refused rather than cut.
    LPITEMIDLIST longItem = ILCreateFromPathA(std::string(300, 'a').c_str());
    char buf[MAX_PATH];
    EXPECT_FALSE(SHGetPathFromIDListA(longItem, buf));
    LPMALLOC malloc = nullptr;
    SHGetMalloc(&malloc);
    malloc->Free(longItem);
    setenv("HOME", savedHome.c_str(), 1);
}

}  // namespace

#include "platform/registry/registry.h"
#include "platform/base/compiler.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

// Each test works in a registry of its own folder.
class RegistryTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string tmpl = (std::filesystem::temp_directory_path() / "qsm-reg-XXXXXX").string();
        dir_ = mkdtemp(tmpl.data());
        setenv("XDG_CONFIG_HOME", dir_.c_str(), 1);
        setenv("QSM_SYSTEM_REGISTRY", (dir_ + "/system-HKLM.reg").c_str(), 1);
    }
    void TearDown() override {
        unsetenv("QSM_SYSTEM_REGISTRY");
        std::error_code ec;
        std::filesystem::remove_all(dir_, ec);
    }

    static HKEY Create(HKEY root, const char* path) {
        HKEY k = nullptr;
        EXPECT_EQ(RegCreateKeyExA(root, path, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &k, nullptr),
                  ERROR_SUCCESS);
        return k;
    }
    static void SetDword(HKEY k, const char* name, DWORD v) {
        ASSERT_EQ(RegSetValueExA(k, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&v), 4), ERROR_SUCCESS);
    }
    static bool GetDword(HKEY k, const char* name, DWORD* v) {
        DWORD type = 0, size = 4;
        return RegQueryValueExA(k, name, nullptr, &type, reinterpret_cast<BYTE*>(v), &size) ==
                   ERROR_SUCCESS &&
               type == REG_DWORD && size == 4;
    }

    std::string File() const { return dir_ + "/quillstave/registry/HKCU.reg"; }
    static std::string Slurp(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    }
    // Temporary files of writers left in the folder.
    std::vector<std::string> Temporaries() const {
        std::vector<std::string> out;
        for (const auto& e : std::filesystem::directory_iterator(dir_ + "/quillstave/registry")) {
            std::string name = e.path().filename().string();
            if (name.rfind("HKCU.reg.qsm-unfinished-", 0) == 0) out.push_back(name);
        }
        return out;
    }

    std::string dir_;
};

TEST_F(RegistryTest, TypedValuesKeysAndCase) {
    HKEY soft = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Software", 0, KEY_READ, &soft), ERROR_SUCCESS);
    RegCloseKey(soft);
    HKEY missing = nullptr;
    EXPECT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Nobody", 0, KEY_READ, &missing),
              ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(missing, nullptr);

    DWORD disp = 0;
    HKEY k = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Maker\\App\\Options", 0, nullptr, 0,
                              KEY_ALL_ACCESS, nullptr, &k, &disp),
              ERROR_SUCCESS);
    EXPECT_EQ(disp, static_cast<DWORD>(REG_CREATED_NEW_KEY));
    SetDword(k, "Count", 42);
    const char text[] = "hello";
    ASSERT_EQ(RegSetValueExA(k, "Name", 0, REG_SZ, reinterpret_cast<const BYTE*>(text), 6), ERROR_SUCCESS);
    const BYTE blob[4] = {1, 2, 0, 4};
    ASSERT_EQ(RegSetValueExA(k, "Blob", 0, REG_BINARY, blob, 4), ERROR_SUCCESS);
    RegCloseKey(k);

    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "software\\MAKER\\app\\options", 0, KEY_READ, &k),
              ERROR_SUCCESS);
    DWORD v = 0;
    EXPECT_TRUE(GetDword(k, "COUNT", &v));
    EXPECT_EQ(v, 42u);
    EXPECT_FALSE(GetDword(k, "Blob", &v));  // 4 binary bytes are not a DWORD
    DWORD type = 0, size = 0;
    EXPECT_EQ(RegQueryValueExA(k, "Name", nullptr, &type, nullptr, &size), ERROR_SUCCESS);
    EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(size, 6u);
    char small[3];
    size = 3;
    EXPECT_EQ(RegQueryValueExA(k, "Name", nullptr, &type, reinterpret_cast<BYTE*>(small), &size),
              ERROR_MORE_DATA);
    EXPECT_EQ(size, 6u);
    EXPECT_EQ(RegQueryValueExA(k, "None", nullptr, &type, nullptr, &size), ERROR_FILE_NOT_FOUND);
    // A key opened for reading refuses writes.
    EXPECT_EQ(RegSetValueExA(k, "Count", 0, REG_DWORD, blob, 4), ERROR_ACCESS_DENIED);

    char name[32];
    DWORD cch = sizeof(name);
    EXPECT_EQ(RegEnumValueA(k, 0, name, &cch, nullptr, &type, nullptr, nullptr), ERROR_SUCCESS);
    EXPECT_STREQ(name, "Blob");
    cch = sizeof(name);
    EXPECT_EQ(RegEnumValueA(k, 3, name, &cch, nullptr, &type, nullptr, nullptr), ERROR_NO_MORE_ITEMS);
    RegCloseKey(k);

    HKEY app = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Maker\\App", 0, KEY_ALL_ACCESS, &app),
              ERROR_SUCCESS);
    cch = sizeof(name);
    EXPECT_EQ(RegEnumKeyExA(app, 0, name, &cch, nullptr, nullptr, nullptr, nullptr), ERROR_SUCCESS);
    EXPECT_STREQ(name, "Options");
    EXPECT_EQ(cch, 7u);
    HKEY maker = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Maker", 0, KEY_ALL_ACCESS, &maker), ERROR_SUCCESS);
    EXPECT_EQ(RegDeleteKeyA(maker, "App"), ERROR_ACCESS_DENIED);  // it has a subkey
    ASSERT_EQ(RegDeleteKeyA(app, "Options"), ERROR_SUCCESS);
    EXPECT_EQ(RegOpenKeyExA(app, "Options", 0, KEY_READ, &k), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(RegDeleteKeyA(maker, "App"), ERROR_SUCCESS);
    // A handle to a deleted key answers so.
    EXPECT_EQ(RegQueryValueExA(app, "x", nullptr, nullptr, nullptr, nullptr), ERROR_KEY_DELETED);
    RegCloseKey(app);
    RegCloseKey(maker);
    EXPECT_EQ(RegCloseKey(reinterpret_cast<HKEY>(&disp)), ERROR_INVALID_HANDLE);
}

TEST_F(RegistryTest, ValuesAreSeenByOtherProcesses) {
    HKEY k = Create(HKEY_CURRENT_USER, "Software\\Shared");
    SetDword(k, "Parent", 1);
    pid_t pid = fork();
    if (pid == 0) {
        DWORD v = 0;
        bool ok = GetDword(k, "Parent", &v) && v == 1;
        DWORD two = 2;
        ok =
            ok && RegSetValueExA(k, "Child", 0, REG_DWORD, reinterpret_cast<BYTE*>(&two), 4) == ERROR_SUCCESS;
        _exit(ok ? 0 : 1);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    DWORD v = 0;
    EXPECT_TRUE(GetDword(k, "Child", &v));
    EXPECT_EQ(v, 2u);
    RegCloseKey(k);
}

TEST_F(RegistryTest, ConcurrentWritersLoseNothing) {
    HKEY k = Create(HKEY_CURRENT_USER, "Software\\Race");
    RegCloseKey(k);
    const int kWriters = 3, kValues = 60;
    pid_t pids[kWriters];
    for (int w = 0; w < kWriters; ++w) {
        pids[w] = fork();
        if (pids[w] == 0) {
            HKEY mine = nullptr;
            bool ok =
                RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Race", 0, KEY_ALL_ACCESS, &mine) == ERROR_SUCCESS;
            for (int i = 0; ok && i < kValues; ++i) {
                // gcc 12 reports the inlined string copy as overlapping; it is not (a known false report).
                QSM_GCC_FALSE_REPORT_BEGIN("-Wrestrict")
                std::string name = "w" + std::to_string(w) + "_" + std::to_string(i);
                QSM_GCC_FALSE_REPORT_END
                DWORD v = static_cast<DWORD>(w * 1000 + i);
                ok = RegSetValueExA(mine, name.c_str(), 0, REG_DWORD, reinterpret_cast<BYTE*>(&v), 4) ==
                     ERROR_SUCCESS;
            }
            _exit(ok ? 0 : 1);
        }
    }
    for (pid_t pid : pids) {
        int status = 0;
        waitpid(pid, &status, 0);
        ASSERT_TRUE(WIFEXITED(status));
        EXPECT_EQ(WEXITSTATUS(status), 0);
    }
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Race", 0, KEY_READ, &k), ERROR_SUCCESS);
    for (int w = 0; w < kWriters; ++w) {
        for (int i = 0; i < kValues; ++i) {
            std::string name = "w";
            name += std::to_string(w);
            name += '_';
            name += std::to_string(i);
            DWORD v = 0;
            ASSERT_TRUE(GetDword(k, name.c_str(), &v)) << name;
            EXPECT_EQ(v, static_cast<DWORD>(w * 1000 + i));
        }
    }
    RegCloseKey(k);
}

void CrashNow() {
    _exit(7);
}

TEST_F(RegistryTest, CrashInTheMiddleOfAWriteKeepsTheOldFile) {
    HKEY k = Create(HKEY_CURRENT_USER, "Software\\Crash");
    SetDword(k, "Old", 1);
    std::string big(5000, 'x');
    ASSERT_EQ(RegSetValueExA(k, "Big", 0, REG_SZ, reinterpret_cast<const BYTE*>(big.c_str()), 5001),
              ERROR_SUCCESS);
    std::string file = dir_ + "/quillstave/registry/HKCU.reg";
    std::ifstream before(file, std::ios::binary);
    std::string old((std::istreambuf_iterator<char>(before)), std::istreambuf_iterator<char>());
    pid_t pid = fork();
    if (pid == 0) {
        qsm::registry_internal::SetMidWriteHook(CrashNow);
        DWORD v = 2;
        RegSetValueExA(k, "New", 0, REG_DWORD, reinterpret_cast<BYTE*>(&v), 4);
        _exit(0);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    ASSERT_EQ(WEXITSTATUS(status), 7);  // it died in the middle of the write
    EXPECT_EQ(Slurp(file), old);
    EXPECT_EQ(Temporaries().size(), 1u);  // the dead writer's half file
    // Files of the user's own named like the settings file are not the writer's.
    for (const char* mine : {"HKCU.reg.backup", "HKCU.reg.a1B2c3"})
        std::ofstream(dir_ + "/quillstave/registry/" + mine) << old;
    DWORD v = 0;
    EXPECT_TRUE(GetDword(k, "Old", &v));
    EXPECT_FALSE(GetDword(k, "New", &v));
    // The lock died with the writer: the next write goes through and removes what the writer left.
    SetDword(k, "After", 3);
    EXPECT_TRUE(GetDword(k, "After", &v));
    EXPECT_EQ(v, 3u);
    EXPECT_TRUE(Temporaries().empty());
    EXPECT_TRUE(std::filesystem::exists(file + ".lock"));
    EXPECT_EQ(Slurp(file + ".backup"), old);
    EXPECT_EQ(Slurp(file + ".a1B2c3"), old);
    RegCloseKey(k);
}

TEST_F(RegistryTest, MachineRootReadsTheSystemFileUnderTheOverlay) {
    {
        std::ofstream sys(dir_ + "/system-HKLM.reg");
        sys << "QSMREG 1\nK Software%5CVendor\nV 4 Level 07000000\nV 1 Path 2F6F707400\n";
    }
    HKEY k = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\vendor", 0, KEY_ALL_ACCESS, &k), ERROR_SUCCESS);
    DWORD v = 0;
    EXPECT_TRUE(GetDword(k, "Level", &v));
    EXPECT_EQ(v, 7u);
    SetDword(k, "Level", 9);
    EXPECT_TRUE(GetDword(k, "Level", &v));
    EXPECT_EQ(v, 9u);
    char path[8];
    DWORD size = sizeof(path);
    EXPECT_EQ(RegQueryValueExA(k, "path", nullptr, nullptr, reinterpret_cast<BYTE*>(path), &size),
              ERROR_SUCCESS);
    EXPECT_STREQ(path, "/opt");
    RegCloseKey(k);
}

TEST_F(RegistryTest, SettingWhatIsStoredAlreadyLeavesTheFileAlone) {
    auto inode = [this] {
        struct stat st {};
        return stat(File().c_str(), &st) == 0 ? st.st_ino : 0;
    };
    HKEY k = Create(HKEY_CURRENT_USER, "Software\\Same");
    SetDword(k, "Level", 3);
    const ino_t written = inode();
    ASSERT_NE(written, 0u);
    SetDword(k, "Level", 3);
    EXPECT_EQ(inode(), written);
    // Another type of the same bytes, or the name in other case, is a change and is written.
    DWORD three = 3;
    ASSERT_EQ(RegSetValueExA(k, "Level", 0, REG_BINARY, reinterpret_cast<const BYTE*>(&three), 4),
              ERROR_SUCCESS);
    const ino_t binary = inode();
    EXPECT_NE(binary, written);
    ASSERT_EQ(RegSetValueExA(k, "LEVEL", 0, REG_BINARY, reinterpret_cast<const BYTE*>(&three), 4),
              ERROR_SUCCESS);
    EXPECT_NE(inode(), binary);
    char name[8];
    DWORD cch = sizeof name;
    ASSERT_EQ(RegEnumValueA(k, 0, name, &cch, nullptr, nullptr, nullptr, nullptr), ERROR_SUCCESS);
    EXPECT_STREQ(name, "LEVEL");
    RegCloseKey(k);

    // A machine value that only the system file holds is still stored in the overlay when set.
    {
        std::ofstream sys(dir_ + "/system-HKLM.reg");
        sys << "QSMREG 1\nK Software%5CVendor\nV 4 Level 07000000\n";
    }
    HKEY m = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Vendor", 0, KEY_ALL_ACCESS, &m), ERROR_SUCCESS);
    SetDword(m, "Level", 7);
    RegCloseKey(m);
    EXPECT_NE(Slurp(dir_ + "/quillstave/registry/HKLM.reg").find("V 4 Level 07000000"), std::string::npos);
}

TEST(RegistryFileForm, OddNamesRoundTripAndDamageIsKeptUnread) {
    std::string text =
        "QSMREG 1\nK Software%5CA%20B\nV 1 na%25me%0A 6869\nV 3 %20 \nK \nV 4 Top 01000000\n"
        "V 4 orphan\nK Software%5CA%20B%5CC\nV x bad 00\nV 4 badhex 0Z\nK %ZZ\nV 4 lost 00\n";
    std::string once = qsm::registry_internal::ReparseForTest(text);
    EXPECT_EQ(qsm::registry_internal::ReparseForTest(once), once);
    EXPECT_NE(once.find("V 1 na%25me%0A 6869"), std::string::npos);
    EXPECT_NE(once.find("V 3 %20 "), std::string::npos);
    EXPECT_NE(once.find("V 4 Top 01000000"), std::string::npos);
    // Damaged lines, and the values of a damaged key line, are kept as they were but not read.
    EXPECT_NE(once.find("\n!V 4 badhex 0Z\n"), std::string::npos);
    EXPECT_NE(once.find("\n!K %ZZ\n!V 4 lost 00\n"), std::string::npos);
    EXPECT_EQ(once.find("\nV 4 lost"), std::string::npos);
    qsm::registry_internal::ReparseForTest("K \\\\\\\nV 1 a %\n\n\n%%%\nK a%\nK b%4");
}

TEST_F(RegistryTest, TheDefaultValueOfAKeyIsKeptInTheFile) {
    std::string once = qsm::registry_internal::ReparseForTest("QSMREG 1\nK .qsm\nV 1  514100\nV 1 x \n");
    EXPECT_NE(once.find("V 1  514100"), std::string::npos);
    EXPECT_NE(once.find("V 1 x "), std::string::npos);
    HKEY k = Create(HKEY_CURRENT_USER, "Software\\Classes\\.qsm");
    ASSERT_EQ(RegSetValueExA(k, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>("QSM2.Document"), 14),
              ERROR_SUCCESS);
    RegCloseKey(k);
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Classes\\.qsm", 0, KEY_READ, &k), ERROR_SUCCESS);
    char text[32] = {};
    DWORD size = sizeof text;
    EXPECT_EQ(RegQueryValueExA(k, "", nullptr, nullptr, reinterpret_cast<BYTE*>(text), &size), ERROR_SUCCESS);
    EXPECT_STREQ(text, "QSM2.Document");
    RegCloseKey(k);
}

TEST_F(RegistryTest, AFileThatCannotBeReadIsNeverWrittenOver) {
    HKEY k = Create(HKEY_CURRENT_USER, "Software\\Locked");
    SetDword(k, "Mine", 1);
    const std::string old = Slurp(File());
    DWORD v = 2;
    if (geteuid() != 0) {
        ASSERT_EQ(chmod(File().c_str(), 0), 0);
        EXPECT_EQ(RegSetValueExA(k, "New", 0, REG_DWORD, reinterpret_cast<BYTE*>(&v), 4),
                  ERROR_ACCESS_DENIED);
        EXPECT_EQ(RegSetValueExA(k, "New", 0, REG_DWORD, reinterpret_cast<BYTE*>(&v), 4),
                  ERROR_ACCESS_DENIED);
        chmod(File().c_str(), 0600);
    } else {
        // As root: the file stays root's while another user owns the folder and writes.
        const uid_t nobody = 65534;
        for (const std::string& p :
             {dir_, dir_ + "/quillstave", dir_ + "/quillstave/registry", File() + ".lock"})
            ASSERT_EQ(chown(p.c_str(), nobody, nobody), 0);
        pid_t pid = fork();
        if (pid == 0) {
            if (setgid(nobody) != 0 || setuid(nobody) != 0) _exit(2);
            bool ok =
                RegSetValueExA(k, "New", 0, REG_DWORD, reinterpret_cast<BYTE*>(&v), 4) ==
                    ERROR_ACCESS_DENIED &&
                RegSetValueExA(k, "New", 0, REG_DWORD, reinterpret_cast<BYTE*>(&v), 4) == ERROR_ACCESS_DENIED;
            _exit(ok ? 0 : 1);
        }
        int status = 0;
        waitpid(pid, &status, 0);
        ASSERT_TRUE(WIFEXITED(status));
        EXPECT_EQ(WEXITSTATUS(status), 0);
    }
    EXPECT_EQ(Slurp(File()), old);
    EXPECT_TRUE(GetDword(k, "Mine", &v));
    RegCloseKey(k);
}

TEST_F(RegistryTest, DamagedLinesSurviveUnrelatedWritesAndCutValuesAreNotRead) {
    std::filesystem::create_directories(dir_ + "/quillstave/registry");
    {
        std::ofstream f(File(), std::ios::binary);
        f << "QSMREG 1\nK Software%5CApp%5COpt%Z1ons\nV 4 A 01000000\nK Software%5CApp\nV 4 B 02000000\n"
             "V 1 C 68656C6C";  // cut short: no line end
    }
    HKEY app = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\App", 0, KEY_ALL_ACCESS, &app), ERROR_SUCCESS);
    DWORD v = 0;
    EXPECT_TRUE(GetDword(app, "B", &v));
    EXPECT_EQ(RegQueryValueExA(app, "C", nullptr, nullptr, nullptr, nullptr), ERROR_FILE_NOT_FOUND);
    HKEY other = Create(HKEY_CURRENT_USER, "Software\\Other");
    SetDword(other, "X", 5);
    SetDword(app, "D", 6);
    const std::string now = Slurp(File());
    EXPECT_NE(now.find("!K Software%5CApp%5COpt%Z1ons\n!V 4 A 01000000\n"), std::string::npos) << now;
    EXPECT_NE(now.find("!V 1 C 68656C6C\n"), std::string::npos) << now;
    EXPECT_TRUE(GetDword(app, "B", &v));
    EXPECT_EQ(v, 2u);
    EXPECT_TRUE(GetDword(other, "X", &v));
    RegCloseKey(other);
    RegCloseKey(app);
}

TEST_F(RegistryTest, ValuesUnderADamagedKeyLineStayWithIt) {
    std::filesystem::create_directories(dir_ + "/quillstave/registry");
    // The key line of "Two" has lost its first byte, and "Four" has a zero byte in its name; each key holds
    // a "Zoom".
    const std::string damaged =
        "!X Software%5CApp%5CTwo\n!V 4 Zoom 32000000\n!V 1 Only 6100\n"
        "!K Software%5CApp%5CFo%00ur\n!V 4 Zoom 0B000000\n";
    {
        std::ofstream f(File(), std::ios::binary);
        f << "QSMREG 1\nK Software%5CApp%5COne\nV 4 Zoom 64000000\nX Software%5CApp%5CTwo\n"
             "V 4 Zoom 32000000\nV 1 Only 6100\nK Software%5CApp%5CThree\nV 4 Zoom 0A000000\n"
             "K Software%5CApp%5CFo%00ur\nV 4 Zoom 0B000000\n";
    }
    testing::internal::CaptureStderr();
    HKEY one = nullptr, three = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\App\\One", 0, KEY_ALL_ACCESS, &one), ERROR_SUCCESS);
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\App\\Three", 0, KEY_ALL_ACCESS, &three),
              ERROR_SUCCESS);
    DWORD v = 0;
    EXPECT_TRUE(GetDword(one, "Zoom", &v));
    EXPECT_EQ(v, 100u);
    EXPECT_EQ(RegQueryValueExA(one, "Only", nullptr, nullptr, nullptr, nullptr), ERROR_FILE_NOT_FOUND);
    SetDword(one, "Other", 1);
    SetDword(three, "Other", 2);
    EXPECT_TRUE(GetDword(one, "Zoom", &v));
    EXPECT_EQ(v, 100u);
    EXPECT_TRUE(GetDword(three, "Zoom", &v));
    EXPECT_EQ(v, 10u);
    HKEY app = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\App", 0, KEY_READ, &app), ERROR_SUCCESS);
    char name[16];
    DWORD cch = sizeof name;
    EXPECT_EQ(RegEnumKeyExA(app, 2, name, &cch, nullptr, nullptr, nullptr, nullptr), ERROR_NO_MORE_ITEMS);
    RegCloseKey(app);
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(err.find("damaged"), err.rfind("damaged")) << err;  // told once
    EXPECT_NE(err.find("damaged"), std::string::npos);
    const std::string now = Slurp(File());
    EXPECT_NE(now.find(damaged), std::string::npos) << now;
    EXPECT_EQ(now.find("\nV 4 Zoom 32000000"), std::string::npos) << now;
    RegCloseKey(one);
    RegCloseKey(three);
}

TEST_F(RegistryTest, KeysThousandsOfLevelsDeepAreWrittenOnceEach) {
    const int kLevels = 30000;
    std::string path = "Software";
    for (int i = 0; i < kLevels; ++i)
        path += "\\L";
    HKEY deep = Create(HKEY_CURRENT_USER, path.c_str());
    SetDword(deep, "Bottom", 1);
    HKEY other = Create(HKEY_CURRENT_USER, "Software\\Other");
    SetDword(other, "X", 2);
    SetDword(other, "X", 3);
    // A line per level, not the whole path again on each.
    EXPECT_LT(std::filesystem::file_size(File()), 16u * kLevels);
    DWORD v = 0;
    EXPECT_TRUE(GetDword(deep, "Bottom", &v));
    RegCloseKey(deep);
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, &deep), ERROR_SUCCESS);
    EXPECT_TRUE(GetDword(deep, "Bottom", &v));
    EXPECT_EQ(v, 1u);
    RegCloseKey(deep);
    RegCloseKey(other);
}

}  // namespace

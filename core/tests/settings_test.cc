#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <sys/wait.h>
#include <unistd.h>

#include "core/hooks.h"
#include "core/reg_key.h"
#include "core/sys_info.h"
#include "core/tests/test_files.h"
#include "platform/kernel/module.h"
#include "platform/kernel/resources.h"
#include "platform/registry/registry.h"

namespace {

class SettingsTest : public ::testing::Test {
protected:
    void SetUp() override {
        setenv("XDG_CONFIG_HOME", dir_.Path().c_str(), 1);
        SysInfo.SetNames("QuillStave Software", "QuillStave Composer 2 Viewer");
    }
    void TearDown() override { SysInfo.SetNames(nullptr, nullptr); }

    qsm_test::TempDir dir_;
};

TEST_F(SettingsTest, KeyWrapperQueriesFallBackToDefaults) {
    TKey missing(HKEY_CURRENT_USER, "Software\\Nobody", false);
    EXPECT_FALSE(missing.IsOpen());
    EXPECT_FALSE(missing.SetString("x", "v"));
    EXPECT_EQ(missing.QueryDWord(5, "v"), 5u);

    TKey k(HKEY_CURRENT_USER, "Software\\Test\\Key", true);
    ASSERT_TRUE(k.IsOpen());
    const BYTE four[4] = {1, 0, 0, 0};
    EXPECT_TRUE(k.SetBinary(four, 4, "Bin"));
    EXPECT_EQ(k.QueryDWord(9, "Bin"), 9u);  // binary, not a DWORD
    EXPECT_TRUE(k.SetDWord(77, "Num"));
    EXPECT_EQ(k.QueryDWord(9, "Num"), 77u);

    char buf[8];
    EXPECT_FALSE(k.QueryString(buf, sizeof(buf), nullptr, "None"));
    EXPECT_STREQ(buf, "");
    EXPECT_TRUE(k.QueryString(buf, sizeof(buf), "a default longer than the buffer", "None"));
    EXPECT_STREQ(buf, "a defau");
    // A string stored without terminator, exactly filling the buffer, is still terminated.
    ASSERT_EQ(RegSetValueExA(k.GetHandle(), "Raw", 0, REG_SZ, reinterpret_cast<const BYTE*>("12345678"), 8),
              ERROR_SUCCESS);
    EXPECT_TRUE(k.QueryString(buf, sizeof(buf), nullptr, "Raw"));
    EXPECT_STREQ(buf, "1234567");

    BYTE out[4] = {0, 0, 0, 0};
    const BYTE def[4] = {9, 9, 9, 9};
    EXPECT_EQ(k.QueryBinary(out, 4, nullptr, "Missing"), 0u);
    EXPECT_EQ(k.QueryBinary(out, 4, def, "Missing"), 4u);
    EXPECT_EQ(out[3], 9);
    EXPECT_EQ(k.QueryBinary(out, 4, nullptr, "Bin"), 4u);
    EXPECT_EQ(out[0], 1);
    EXPECT_TRUE(k.DeleteValue("Bin"));
    EXPECT_FALSE(k.DeleteValue("Bin"));

    TKeyReadOnly ro(HKEY_CURRENT_USER, "Software\\Test\\Key");
    ASSERT_TRUE(ro.IsOpen());
    EXPECT_EQ(ro.QueryDWord(0, "Num"), 77u);
    EXPECT_FALSE(ro.SetDWord(1, "Num"));
    TKeyReadOnly none(HKEY_CURRENT_USER, "Software\\Test\\Absent");
    EXPECT_FALSE(none.IsOpen());
}

TEST_F(SettingsTest, StoreReadsWritesAndDeletes) {
    EXPECT_EQ(SysInfo.ReadInt("Options", "Zoom", 8), 8);
    EXPECT_TRUE(SysInfo.WriteInt("Options", "Zoom", -3));
    EXPECT_EQ(SysInfo.ReadInt("Options", "Zoom", 8), -3);
    EXPECT_TRUE(SysInfo.WriteString("Options", "Name", "Viewer"));
    EXPECT_EQ(SysInfo.ReadInt("Options", "Name", 4), 4);  // a string is no integer

    char buf[16];
    EXPECT_TRUE(SysInfo.ReadString("Options", "Name", "dflt", buf, sizeof(buf)));
    EXPECT_STREQ(buf, "Viewer");
    EXPECT_FALSE(SysInfo.ReadString("Options", "Zoom", "dflt", buf, sizeof(buf)));  // an integer is no string
    EXPECT_STREQ(buf, "dflt");
    EXPECT_TRUE(SysInfo.WriteString("Options", "Name", nullptr));
    EXPECT_FALSE(SysInfo.ReadString("Options", "Name", "dflt", buf, 3));
    EXPECT_STREQ(buf, "df");
    EXPECT_FALSE(SysInfo.ReadString("No Such Section", "Name", "x", buf, sizeof(buf)));
    EXPECT_STREQ(buf, "x");

    std::vector<BYTE> blob(2500);
    for (size_t i = 0; i < blob.size(); ++i)
        blob[i] = static_cast<BYTE>(i);
    EXPECT_TRUE(SysInfo.WriteBlob("Options", "z-mru", blob.data(), 2500));
    std::vector<BYTE> back(2500);
    EXPECT_EQ(SysInfo.ReadBlob("Options", "z-mru", nullptr, back.data(), 2500), 2500u);
    EXPECT_EQ(back, blob);
    BYTE small[22] = {};
    const BYTE def[22] = {5};
    EXPECT_EQ(SysInfo.ReadBlob("Toolbars", "Tools", nullptr, small, 22), 0u);
    EXPECT_EQ(SysInfo.ReadBlob("Toolbars", "Tools", def, small, 22), 22u);
    EXPECT_EQ(small[0], 5);

    // The values live where the key form says.
    TKeyReadOnly k(HKEY_CURRENT_USER, "Software\\QuillStave Software\\QuillStave Composer 2 Viewer\\Options");
    EXPECT_EQ(k.QueryDWord(0, "Zoom"), static_cast<DWORD>(-3));

    // A null name deletes the section.
    EXPECT_TRUE(SysInfo.WriteString("Options", nullptr, nullptr));
    EXPECT_EQ(SysInfo.ReadInt("Options", "Zoom", 8), 8);

    // Without names nothing is read or written.
    SysInfo.SetNames(nullptr, "App");
    EXPECT_FALSE(SysInfo.WriteInt("Options", "Zoom", 1));
    EXPECT_EQ(SysInfo.ReadInt("Options", "Zoom", 2), 2);
}

// Runs body in a child process and answers its exit code (-1 when it did not exit normally).
template <class Body>
pid_t StartChild(Body body) {
    pid_t pid = fork();
    if (pid == 0) _exit(body());
    return pid;
}

int WaitChild(pid_t pid) {
    int status = 0;
    if (waitpid(pid, &status, 0) != pid || !WIFEXITED(status)) return -1;
    return WEXITSTATUS(status);
}

TEST_F(SettingsTest, TwoProcessesWritingAtOnceLoseNothing) {
    const int kRounds = 40;
    pid_t writers[2];
    for (int w = 0; w < 2; ++w) {
        writers[w] = StartChild([w] {
            char text[32];
            for (int i = 0; i < kRounds; ++i) {
                // Both write the same value name with their own value, and names of their own.
                if (!SysInfo.WriteInt("Options", "Shared", 100 + w)) return 1;
                std::snprintf(text, sizeof(text), "w%d-%d", w, i);
                if (!SysInfo.WriteString("MIDI Out Ports", text, text)) return 2;
                BYTE blob[64];
                std::memset(blob, w + 1, sizeof(blob));
                if (!SysInfo.WriteBlob("Toolbars", w ? "B" : "A", blob, sizeof(blob))) return 3;
            }
            return 0;
        });
    }
    EXPECT_EQ(WaitChild(writers[0]), 0);
    EXPECT_EQ(WaitChild(writers[1]), 0);

    int shared = SysInfo.ReadInt("Options", "Shared", -1);
    EXPECT_TRUE(shared == 100 || shared == 101) << shared;
    char name[32], value[32];
    for (int w = 0; w < 2; ++w) {
        for (int i = 0; i < kRounds; ++i) {
            std::snprintf(name, sizeof(name), "w%d-%d", w, i);
            ASSERT_TRUE(SysInfo.ReadString("MIDI Out Ports", name, "", value, sizeof(value))) << name;
            EXPECT_STREQ(value, name);
        }
        BYTE blob[64] = {};
        ASSERT_EQ(SysInfo.ReadBlob("Toolbars", w ? "B" : "A", nullptr, blob, sizeof(blob)), 64u);
        EXPECT_EQ(blob[0], w + 1);
        EXPECT_EQ(blob[63], w + 1);
    }
}

void DieMidWrite() {
    _exit(9);
}

TEST_F(SettingsTest, ACrashInTheMiddleOfAWriteKeepsTheOldSettings) {
    ASSERT_TRUE(SysInfo.WriteInt("Options", "Zoom", 12));
    ASSERT_TRUE(SysInfo.WriteString("Options", "Last File", "/home/user/song.qsm"));
    pid_t child = StartChild([] {
        qsm::registry_internal::SetMidWriteHook(DieMidWrite);
        SysInfo.WriteInt("Options", "Zoom", 30);
        return 0;
    });
    EXPECT_EQ(WaitChild(child), 9);  // it died inside the write
    EXPECT_EQ(SysInfo.ReadInt("Options", "Zoom", -1), 12);
    char buf[64];
    EXPECT_TRUE(SysInfo.ReadString("Options", "Last File", "", buf, sizeof(buf)));
    EXPECT_STREQ(buf, "/home/user/song.qsm");
    // The dead writer's lock does not block the next one.
    EXPECT_TRUE(SysInfo.WriteInt("Options", "Zoom", 14));
    EXPECT_EQ(SysInfo.ReadInt("Options", "Zoom", -1), 14);
}

std::vector<std::string> g_shown;
int g_waitShown = 0;
int g_restored = 0;

void Sink(const char* text, bool) {
    g_shown.push_back(text);
}
HCURSOR ShowWait() {
    ++g_waitShown;
    return reinterpret_cast<HCURSOR>(static_cast<uintptr_t>(0x1234));
}
void Restore(HCURSOR c) {
    EXPECT_EQ(c, reinterpret_cast<HCURSOR>(static_cast<uintptr_t>(0x1234)));
    ++g_restored;
}

const char kWaitText[] = "Loading the score";

TEST(StatusTexts, StackShowsTopAndBalancesTheWaitCursor) {
    qsm::SetStatusTextSink(Sink);
    qsm::SetCursorHooks({ShowWait, Restore});
    g_shown.clear();
    SysInfo.ResetStatus();
    int depth = SysInfo.GetStatusDepth();
    if (depth == 0) SysInfo.PushStatus("Ready", false);
    SysInfo.PushStatus("first", true);
    SysInfo.PushStatus(nullptr, true);
    EXPECT_STREQ(SysInfo.GetStatusText(), "Working...");
    EXPECT_EQ(g_waitShown, 1);
    EXPECT_EQ(SysInfo.GetWaitNesting(), 2);
    SysInfo.PopStatus();
    EXPECT_EQ(g_restored, 0);
    SysInfo.PopStatus();
    EXPECT_EQ(g_restored, 1);
    EXPECT_EQ(SysInfo.GetWaitNesting(), 0);
    EXPECT_STREQ(SysInfo.GetStatusText(), "Ready");
    size_t shown = g_shown.size();
    SysInfo.PopStatus();  // the base text stays and is shown again
    EXPECT_STREQ(SysInfo.GetStatusText(), "Ready");
    EXPECT_EQ(g_shown.size(), shown + 1);

    // Far more than twenty texts.
    for (int i = 0; i < 50; ++i)
        SysInfo.PushStatus("deep", i % 2 == 0);
    EXPECT_EQ(SysInfo.GetStatusDepth(), 51);
    SysInfo.ResetStatus();
    EXPECT_EQ(SysInfo.GetStatusDepth(), 1);
    EXPECT_EQ(SysInfo.GetWaitNesting(), 0);

    static const int kAnchor = 0;
    qsm::RegisterResource(qsm::ModuleOfAddress(&kAnchor), RT_STRING, MAKEINTRESOURCEA(20303), kWaitText,
                          sizeof(kWaitText) - 1);
    SysInfo.PushStatusId(20303, false);
    EXPECT_STREQ(SysInfo.GetStatusText(), "Loading the score");
    EXPECT_EQ(g_shown.back(), "Loading the score");
    SysInfo.ResetStatus();
    qsm::SetStatusTextSink(nullptr);
    qsm::SetCursorHooks({});
}

TEST(SystemInformation, AnswersOfThisPlatform) {
    EXPECT_TRUE(SysInfo.IsNT());
    EXPECT_TRUE(SysInfo.IsVersion4OrLater());
    EXPECT_TRUE(SysInfo.HasVersion4Shell());
    EXPECT_TRUE(SysInfo.IsNT5OrLater());
    EXPECT_TRUE(SysInfo.IsNT6OrLater());
    EXPECT_FALSE(SysInfo.IsWin9x());
    EXPECT_FALSE(SysInfo.IsWin32s());
    EXPECT_FALSE(SysInfo.IsWin98OrLater());
    EXPECT_FALSE(SysInfo.IsElevationLimited());
    EXPECT_EQ(SysInfo.IsUserAdmin(), geteuid() == 0);
    EXPECT_FALSE(IsLongTaskCancelled());
}

}  // namespace

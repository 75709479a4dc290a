// The MIDI manager's port choice and echo kept in the settings store.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "core/sys_info.h"
#include "core/tests/test_files.h"
#include "midi/midi_manager.h"
#include "platform/mm/mmtest.h"

namespace {

class ManagerSettings : public ::testing::Test {
protected:
    void SetUp() override {
        setenv("XDG_CONFIG_HOME", dir_.Path().c_str(), 1);
        SysInfo.SetNames("QuillStave Software", "QuillStave Composer 2 Viewer");
        qsm::mm::SetSynthAudio(false);
        qsm::mm::EnableTestRecorder(true);
    }
    void TearDown() override {
        qsm::mm::EnableTestRecorder(false);
        SysInfo.SetNames(nullptr, nullptr);
    }

    static std::string Read(const char* section, const char* name) {
        char buffer[64];
        SysInfo.ReadString(section, name, "<none>", buffer, sizeof(buffer));
        return buffer;
    }

    qsm_test::TempDir dir_;
};

TEST_F(ManagerSettings, OutputNamesStopAtTheFirstGapAndFitTheirFields) {
    const std::string longName(40, 'x');
    SysInfo.WriteString("MIDI Out Ports", "0", longName.c_str());
    SysInfo.WriteString("MIDI Out Ports", "2", "Test Recorder");
    SysInfo.WriteString("MIDI In Ports", "0", ("In " + longName).c_str());
    TMidiManager manager;
    manager.LoadSettings();
    EXPECT_EQ(manager.GetOutPortCount(), 1);
    EXPECT_EQ(std::string(manager.GetPortName(0)), std::string(31, 'x'));
    EXPECT_EQ(std::string(manager.GetPortName(1)), "");
    EXPECT_EQ(std::strlen(manager.GetInPortName()), 31u);
    EXPECT_FALSE(manager.IsEchoEnabled());
    EXPECT_EQ(manager.GetEchoDevice(), 0);
    EXPECT_EQ(manager.GetEchoChannel(), 0);
}

TEST_F(ManagerSettings, SavedChoiceLoadsBackAndReplacesTheOldList) {
    {
        TMidiManager manager;
        const char* names[] = {"Internal Synth", "Test Recorder", "Nothing Here"};
        manager.SetOutPortNames(names, 3);
        manager.SetInPortName("Test Recorder In");
        manager.SetEcho(1, 5);
        manager.SaveSettings();
    }
    EXPECT_EQ(Read("MIDI Out Ports", "2"), "Nothing Here");
    EXPECT_EQ(SysInfo.ReadInt("MIDI Echo", "Enabled", -1), 1);
    EXPECT_EQ(SysInfo.ReadInt("MIDI Echo", "DeviceNum", -1), 1);
    EXPECT_EQ(SysInfo.ReadInt("MIDI Echo", "ChnlOvrd", -1), 5);
    {
        TMidiManager manager;
        manager.LoadSettings();
        ASSERT_EQ(manager.GetOutPortCount(), 3);
        EXPECT_EQ(std::string(manager.GetPortName(1)), "Test Recorder");
        EXPECT_EQ(std::string(manager.GetInPortName()), "Test Recorder In");
        EXPECT_TRUE(manager.IsEchoEnabled());
        EXPECT_EQ(manager.GetEchoDevice(), 1);
        EXPECT_EQ(manager.GetEchoChannel(), 5);

        // A shorter list leaves none of the old names behind.
        const char* one[] = {"Test Recorder"};
        manager.SetOutPortNames(one, 1);
        manager.ClearEcho();
        manager.SaveSettings();
    }
    EXPECT_EQ(Read("MIDI Out Ports", "0"), "Test Recorder");
    EXPECT_EQ(Read("MIDI Out Ports", "1"), "<none>");
    EXPECT_EQ(SysInfo.ReadInt("MIDI Echo", "Enabled", -1), 0);
    {
        TMidiManager manager;
        const char* none[] = {nullptr};
        manager.SetOutPortNames(none, 0);
        manager.SaveSettings();
    }
    EXPECT_EQ(Read("MIDI Out Ports", "0"), "");
    TMidiManager manager;
    manager.LoadSettings();
    EXPECT_EQ(manager.GetOutPortCount(), 0);
}

TEST_F(ManagerSettings, LoadingKeepsThePortsOpenOnTheNewChoice) {
    SysInfo.WriteString("MIDI Out Ports", "0", "Test Recorder");
    SysInfo.WriteString("MIDI Out Ports", "1", "No Such Device");
    SysInfo.WriteInt("MIDI Echo", "Enabled", 1);
    SysInfo.WriteInt("MIDI Echo", "DeviceNum", 0);
    TMidiManager manager;
    const char* names[] = {"Test Recorder"};
    manager.SetOutPortNames(names, 1);
    manager.OpenPorts(true);
    HMIDIOUT before = manager.GetOutPortHandle(0);
    ASSERT_NE(before, nullptr);
    manager.LoadSettings();
    EXPECT_TRUE(manager.ArePortsOpen());
    EXPECT_NE(manager.GetOutPortHandle(0), nullptr);
    EXPECT_NE(manager.GetOutPortHandle(0), before);
    EXPECT_EQ(manager.GetOutPortHandle(1), nullptr);  // named device absent: the port stays closed
    EXPECT_EQ(manager.TestPorts(), 2u);
    manager.OpenPorts(false);
    manager.LoadSettings();
    EXPECT_FALSE(manager.ArePortsOpen());
}

}  // namespace

// The MIDI manager's port choice and echo kept in the settings store, and its helpers of port dialogs.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "core/sys_info.h"
#include "core/tests/test_files.h"
#include "midi/midi_manager.h"
#include "platform/mm/mmtest.h"
#include "platform/wm/winuser.h"

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

namespace {

class ManagerLists : public ::testing::Test {
protected:
    void SetUp() override {
        qsm::mm::SetSynthAudio(false);
        qsm::mm::EnableTestRecorder(true);
        list_ = CreateWindowExA(0, "LISTBOX", "", 0, 0, 0, 100, 100, nullptr, nullptr, nullptr, nullptr);
        edit_ = CreateWindowExA(0, "EDIT", "", 0, 0, 0, 100, 20, nullptr, nullptr, nullptr, nullptr);
        ASSERT_NE(list_, nullptr);
        ASSERT_NE(edit_, nullptr);
    }
    void TearDown() override {
        DestroyWindow(list_);
        DestroyWindow(edit_);
        qsm::mm::EnableTestRecorder(false);
    }

    std::vector<std::string> Strings() const {
        std::vector<std::string> out;
        const int count = static_cast<int>(SendMessageA(list_, LB_GETCOUNT, 0, 0));
        for (int i = 0; i < count; ++i) {
            char text[64] = {};
            SendMessageA(list_, LB_GETTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(text));
            out.push_back(text);
        }
        return out;
    }
    void Fill(std::initializer_list<const char*> names) {
        SendMessageA(list_, LB_RESETCONTENT, 0, 0);
        for (const char* n : names)
            SendMessageA(list_, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(n));
    }

    HWND list_ = nullptr;
    HWND edit_ = nullptr;
};

TEST_F(ManagerLists, PortNamesComeFromAndGoToListsAndAreTested) {
    TMidiManager manager;
    const std::string longName(40, 'y');
    Fill({"Test Recorder", longName.c_str(), "Nothing Here"});
    manager.SetOutPortNamesFromList(list_);
    ASSERT_EQ(manager.GetOutPortCount(), 3);
    EXPECT_EQ(std::string(manager.GetPortName(1)), std::string(31, 'y'));

    manager.FillPortList(list_);
    std::vector<std::string> ports = Strings();
    ASSERT_EQ(ports.size(), 16u);
    EXPECT_EQ(ports[0], "Test Recorder");
    EXPECT_EQ(ports[2], "Nothing Here");
    EXPECT_EQ(ports[3], "<Unavailable>");
    EXPECT_EQ(ports[15], "<Unavailable>");

    // The devices not chosen yet.
    manager.FillFreeOutDeviceList(list_);
    const std::vector<std::string> free = Strings();
    EXPECT_NE(std::find(free.begin(), free.end(), "Internal Synth"), free.end());
    EXPECT_EQ(std::find(free.begin(), free.end(), "Test Recorder"), free.end());

    // Testing a list keeps the open state.
    const char* names[] = {"Test Recorder"};
    manager.SetOutPortNames(names, 1);
    manager.OpenPorts(true);
    Fill({"Nothing Here", "Test Recorder", "Nothing Either"});
    EXPECT_EQ(manager.TestListDevices(list_), 5u);
    EXPECT_TRUE(manager.ArePortsOpen());
    EXPECT_NE(manager.GetOutPortHandle(0), nullptr);
    manager.OpenPorts(false);
    EXPECT_EQ(manager.TestListDevices(list_), 5u);
    EXPECT_FALSE(manager.ArePortsOpen());
}

TEST_F(ManagerLists, InputPortFromListsAndEdits) {
    TMidiManager manager;
    manager.SetInPortName("Test Recorder In");
    manager.FillInDeviceList(list_);
    const std::vector<std::string> devices = Strings();
    ASSERT_FALSE(devices.empty());
    const int selected = static_cast<int>(SendMessageA(list_, LB_GETCURSEL, 0, 0));
    ASSERT_GE(selected, 0);
    EXPECT_EQ(devices[static_cast<size_t>(selected)], "Test Recorder In");

    SetWindowTextA(edit_, "");
    EXPECT_TRUE(manager.TestInPortEdit(edit_));
    SetWindowTextA(edit_, "No Such Input");
    EXPECT_FALSE(manager.TestInPortEdit(edit_));
    SetWindowTextA(edit_, "Test Recorder In");
    EXPECT_TRUE(manager.TestInPortEdit(edit_));
    SetWindowTextA(edit_, "");
    manager.SetInPortNameFromEdit(edit_);
    EXPECT_EQ(std::string(manager.GetInPortName()), "");
    EXPECT_FALSE(manager.IsInPortMissing());
}

}  // namespace

#include "midi/tests/playback_fixture.h"

#include <chrono>
#include <cmath>
#include <cstdio>
#include <thread>

#include "platform/mm/mmsystem.h"
#include "platform/wm/backend.h"
#include "platform/wm/winuser.h"

namespace qsm::test {

namespace {

PlaybackTest* current = nullptr;

LRESULT OwnerProc(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam) {
    if (current != nullptr && current->manager_ && msg == current->manager_->GetSequencer()->GetMessageId()) {
        if (wparam == 1) {
            ++current->refills_;
            current->manager_->QueueNextBlock();
        } else if (wparam == 2) {
            ++current->ended_;
        }
        return 0;
    }
    return DefWindowProcA(hwnd, msg, wparam, lparam);
}

}  // namespace

std::vector<SongMessage> ShortMessages(const TMidiFileBuf& song) {
    std::vector<SongMessage> list;
    for (int i = 0; i < song.GetEventCount(); ++i) {
        const TMidiEvent* ev = song.GetEvent(i);
        if (ev->IsShortMsg()) list.push_back({ev->Tick, ev->GetMessage()});
    }
    return list;
}

std::vector<DWORD> RecordedMessages() {
    std::vector<DWORD> list;
    for (const auto& m : qsm::mm::GetRecording())
        list.push_back(m.msg & 0x00FFFFFF);
    return list;
}

std::vector<int16_t> ReadWavSamples(const std::string& path) {
    std::vector<int16_t> samples;
    FILE* f = std::fopen(path.c_str(), "rb");
    if (f == nullptr) return samples;
    std::fseek(f, 0, SEEK_END);
    long size = std::ftell(f);  // NOLINT(runtime/int): ftell's own type
    std::fseek(f, 44, SEEK_SET);
    samples.resize(size > 44 ? static_cast<size_t>(size - 44) / 2 : 0);
    samples.resize(std::fread(samples.data(), 2, samples.size(), f));
    std::fclose(f);
    return samples;
}

double Rms(const std::vector<int16_t>& s, int rate, DWORD fromMs, DWORD toMs) {
    size_t a = static_cast<size_t>(fromMs) * static_cast<size_t>(rate) / 1000 * 2;
    size_t b = std::min(s.size(), static_cast<size_t>(toMs) * static_cast<size_t>(rate) / 1000 * 2);
    double sum = 0;
    for (size_t i = a; i < b; ++i)
        sum += static_cast<double>(s[i]) * s[i];
    return b > a ? std::sqrt(sum / static_cast<double>(b - a)) : 0.0;
}

void PlaybackTest::SetUpPlayback(bool manual, DWORD clockStart) {
    qsm::mm::SetSynthAudio(false);
    qsm::mm::EnableTestRecorder(true);
    qsm::mm::ClearRecording();
    if (manual) {
        qsm::mm::UseManualClock(clockStart);
        qsm::mm::SetClockStepHook([] { qsm::wm::PumpMessages(); });
    }
    WNDCLASSA wc{};
    wc.lpfnWndProc = OwnerProc;
    wc.lpszClassName = "QsmPlaybackTestOwner";
    RegisterClassA(&wc);
    owner_ =
        CreateWindowExA(0, "QsmPlaybackTestOwner", "", 0, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(owner_, nullptr);
    current = this;
    manager_ = std::make_unique<TMidiManager>();
    const char* names[] = {"Test Recorder"};
    manager_->SetOutPortNames(names, 1);
    manager_->SetStartDelay(0);
    manager_->OpenPorts(true);
    ASSERT_NE(manager_->GetOutPortHandle(0), nullptr);
}

void PlaybackTest::TearDown() {
    if (manager_) manager_->Stop();
    manager_.reset();
    current = nullptr;
    if (owner_ != nullptr) DestroyWindow(owner_);
    qsm::wm::PumpMessages();
    qsm::mm::SetClockStepHook(nullptr);
    qsm::mm::UseRealClock();
    qsm::mm::EnableTestRecorder(false);
}

void PlaybackTest::Run(DWORD ms) {
    qsm::mm::AdvanceClock(ms);
}

void PlaybackTest::RunUntilEnded(DWORD ms) {
    auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (ended_.load() == 0 && std::chrono::steady_clock::now() < until) {
        qsm::wm::PumpMessages();
        std::this_thread::sleep_for(std::chrono::microseconds(500));
    }
}

void PlaybackTest::Pump(int ms) {
    auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (std::chrono::steady_clock::now() < until) {
        qsm::wm::PumpMessages();
        std::this_thread::sleep_for(std::chrono::microseconds(300));
    }
}

bool PlaybackTest::Play(DWORD startTick) {
    return manager_->Play(owner_, &song_, startTick);
}

TMidiEvent PlaybackTest::Short(DWORD tick, int port, DWORD msg) {
    TMidiEvent ev{};
    ev.Tick = tick;
    ev.Status = static_cast<BYTE>(msg & 0xFF);
    ev.Data1 = static_cast<BYTE>((msg >> 8) & 0xFF);
    ev.Data2 = static_cast<BYTE>((msg >> 16) & 0xFF);
    ev.KindPort = static_cast<BYTE>(port & 15);
    return ev;
}

void PlaybackTest::AddNotes(TMidiFileBuf& song, int port, int channel, const std::vector<DWORD>& ticks,
                            DWORD len, int firstKey) {
    int key = firstKey;
    for (DWORD tick : ticks) {
        DWORD k = static_cast<DWORD>(key);
        song.AddEvent(Short(tick, port, 0x90u | static_cast<DWORD>(channel) | (k << 8) | (100u << 16)));
        song.AddEvent(Short(tick + len, port, 0x80u | static_cast<DWORD>(channel) | (k << 8)));
        key = key >= 100 ? 40 : key + 1;
    }
}

}  // namespace qsm::test

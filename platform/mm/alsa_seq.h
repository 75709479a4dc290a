// The ALSA sequencer's ports as MIDI devices. Where no sequencer exists (no /dev/snd), there are no ports.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/base/wintypes.h"

namespace qsm::mm::alsa {

struct PortInfo {
    std::string client_name;
    std::string port_name;
    int client = 0;
    int port = 0;
};

// Ports other programs can be sent to (writable = true) or read from, without this process's own ports and
// the system client's, sorted by client name, then port name.
std::vector<PortInfo> ListPorts(bool writable);

// One output handle: a port of this process connected to the destination.
class Output {
public:
    static std::unique_ptr<Output> Open(int client, int port);
    ~Output();
    // Status and data bytes of one short message; MIDIERR_NOTREADY when the sequencer's queue is full.
    UINT Send(BYTE status, BYTE data1, BYTE data2);

private:
    Output() = default;
    int my_port_ = -1;
};

// One input handle: a client of its own with a reader thread, which hands each short message to the sink.
class Input {
public:
    static std::unique_ptr<Input> Open(int client, int port, std::function<void(DWORD)> sink);
    ~Input();

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace qsm::mm::alsa

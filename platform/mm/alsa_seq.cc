#include "platform/mm/alsa_seq.h"

#include <alsa/asoundlib.h>
#include <poll.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <mutex>
#include <set>
#include <thread>

#include "platform/kernel/lazy_library.h"
#include "platform/mm/mmsystem.h"

namespace qsm::mm::alsa {

namespace {

constexpr const char* kClientName = "QuillStave Viewer";

// The ALSA library is loaded when the sequencer's ports are first listed or opened.
#define QSM_ALSA_FUNCTIONS(X)           \
    X(snd_lib_error_set_handler)        \
    X(snd_seq_client_id)                \
    X(snd_seq_client_info_get_client)   \
    X(snd_seq_client_info_get_name)     \
    X(snd_seq_client_info_set_client)   \
    X(snd_seq_client_info_sizeof)       \
    X(snd_seq_close)                    \
    X(snd_seq_connect_from)             \
    X(snd_seq_connect_to)               \
    X(snd_seq_create_simple_port)       \
    X(snd_seq_delete_simple_port)       \
    X(snd_seq_event_input)              \
    X(snd_seq_event_output_direct)      \
    X(snd_seq_open)                     \
    X(snd_seq_poll_descriptors)         \
    X(snd_seq_poll_descriptors_count)   \
    X(snd_seq_port_info_get_capability) \
    X(snd_seq_port_info_get_name)       \
    X(snd_seq_port_info_get_port)       \
    X(snd_seq_port_info_get_type)       \
    X(snd_seq_port_info_set_client)     \
    X(snd_seq_port_info_set_port)       \
    X(snd_seq_port_info_sizeof)         \
    X(snd_seq_query_next_client)        \
    X(snd_seq_query_next_port)          \
    X(snd_seq_set_client_name)
QSM_LAZY_LIBRARY(AlsaApi, "libasound.so.2", QSM_ALSA_FUNCTIONS)

// Only called once the library was found (every use follows a sequencer handle opened through it).
const AlsaApi& Alsa() {
    return *AlsaApi::Get();
}

void QuietError(const char*, int, const char*, int, const char*, ...) {}

// The process's output client, shared by every output handle; sends are serialised by the mutex.
struct Shared {
    std::mutex mu;
    bool tried = false;
    snd_seq_t* seq = nullptr;
    std::set<int> own_clients;
};

Shared& GetShared() {
    static Shared* shared = new Shared;  // lives until the process ends
    return *shared;
}

snd_seq_t* OutputClientLocked(Shared& s) {
    if (!s.tried) {
        s.tried = true;
        if (AlsaApi::Get() == nullptr) return nullptr;  // no ALSA: no sequencer ports
        Alsa().snd_lib_error_set_handler(QuietError);
        if (Alsa().snd_seq_open(&s.seq, "default", SND_SEQ_OPEN_DUPLEX, SND_SEQ_NONBLOCK) < 0) {
            s.seq = nullptr;
        } else {
            Alsa().snd_seq_set_client_name(s.seq, kClientName);
            s.own_clients.insert(Alsa().snd_seq_client_id(s.seq));
        }
    }
    return s.seq;
}

}  // namespace

std::vector<PortInfo> ListPorts(bool writable) {
    Shared& s = GetShared();
    std::lock_guard<std::mutex> lock(s.mu);
    std::vector<PortInfo> ports;
    snd_seq_t* seq = OutputClientLocked(s);
    if (seq == nullptr) return ports;
    unsigned int need = writable ? (SND_SEQ_PORT_CAP_WRITE | SND_SEQ_PORT_CAP_SUBS_WRITE)
                                 : (SND_SEQ_PORT_CAP_READ | SND_SEQ_PORT_CAP_SUBS_READ);
    snd_seq_client_info_t* cinfo;
    snd_seq_port_info_t* pinfo;
    // What snd_seq_*_info_alloca do, through the loaded library.
    cinfo = static_cast<snd_seq_client_info_t*>(alloca(Alsa().snd_seq_client_info_sizeof()));
    pinfo = static_cast<snd_seq_port_info_t*>(alloca(Alsa().snd_seq_port_info_sizeof()));
    memset(cinfo, 0, Alsa().snd_seq_client_info_sizeof());
    memset(pinfo, 0, Alsa().snd_seq_port_info_sizeof());
    Alsa().snd_seq_client_info_set_client(cinfo, -1);
    while (Alsa().snd_seq_query_next_client(seq, cinfo) >= 0) {
        int client = Alsa().snd_seq_client_info_get_client(cinfo);
        if (client == SND_SEQ_CLIENT_SYSTEM || s.own_clients.count(client) != 0) continue;
        Alsa().snd_seq_port_info_set_client(pinfo, client);
        Alsa().snd_seq_port_info_set_port(pinfo, -1);
        while (Alsa().snd_seq_query_next_port(seq, pinfo) >= 0) {
            if ((Alsa().snd_seq_port_info_get_capability(pinfo) & need) != need) continue;
            if ((Alsa().snd_seq_port_info_get_type(pinfo) & SND_SEQ_PORT_TYPE_MIDI_GENERIC) == 0) continue;
            PortInfo info;
            info.client_name = Alsa().snd_seq_client_info_get_name(cinfo);
            info.port_name = Alsa().snd_seq_port_info_get_name(pinfo);
            info.client = client;
            info.port = Alsa().snd_seq_port_info_get_port(pinfo);
            ports.push_back(info);
        }
    }
    std::stable_sort(ports.begin(), ports.end(), [](const PortInfo& a, const PortInfo& b) {
        if (a.client_name != b.client_name) return a.client_name < b.client_name;
        return a.port_name < b.port_name;
    });
    return ports;
}

std::unique_ptr<Output> Output::Open(int client, int port) {
    Shared& s = GetShared();
    std::lock_guard<std::mutex> lock(s.mu);
    snd_seq_t* seq = OutputClientLocked(s);
    if (seq == nullptr) return nullptr;
    int mine =
        Alsa().snd_seq_create_simple_port(seq, "out", SND_SEQ_PORT_CAP_READ | SND_SEQ_PORT_CAP_SUBS_READ,
                                          SND_SEQ_PORT_TYPE_MIDI_GENERIC | SND_SEQ_PORT_TYPE_APPLICATION);
    if (mine < 0) return nullptr;
    if (Alsa().snd_seq_connect_to(seq, mine, client, port) < 0) {
        Alsa().snd_seq_delete_simple_port(seq, mine);
        return nullptr;
    }
    std::unique_ptr<Output> out(new Output);
    out->my_port_ = mine;
    return out;
}

Output::~Output() {
    Shared& s = GetShared();
    std::lock_guard<std::mutex> lock(s.mu);
    if (s.seq != nullptr && my_port_ >= 0) Alsa().snd_seq_delete_simple_port(s.seq, my_port_);
}

UINT Output::Send(BYTE status, BYTE data1, BYTE data2) {
    snd_seq_event_t ev;
    snd_seq_ev_clear(&ev);
    int channel = status & 0x0F;
    data1 &= 0x7F;
    data2 &= 0x7F;
    switch (status & 0xF0) {
        case 0x80:
            snd_seq_ev_set_noteoff(&ev, channel, data1, data2);
            break;
        case 0x90:
            snd_seq_ev_set_noteon(&ev, channel, data1, data2);
            break;
        case 0xA0:
            snd_seq_ev_set_keypress(&ev, channel, data1, data2);
            break;
        case 0xB0:
            snd_seq_ev_set_controller(&ev, channel, data1, data2);
            break;
        case 0xC0:
            snd_seq_ev_set_pgmchange(&ev, channel, data1);
            break;
        case 0xD0:
            snd_seq_ev_set_chanpress(&ev, channel, data1);
            break;
        case 0xE0:
            snd_seq_ev_set_pitchbend(&ev, channel, (data1 | (data2 << 7)) - 8192);
            break;
        default:
            if (status != 0xFF) return MMSYSERR_NOERROR;  // other system messages are not passed on
            ev.type = SND_SEQ_EVENT_RESET;
            break;
    }
    snd_seq_ev_set_source(&ev, my_port_);
    snd_seq_ev_set_subs(&ev);
    snd_seq_ev_set_direct(&ev);
    Shared& s = GetShared();
    std::lock_guard<std::mutex> lock(s.mu);
    if (s.seq == nullptr) return MMSYSERR_ERROR;
    int result = Alsa().snd_seq_event_output_direct(s.seq, &ev);
    if (result == -EAGAIN) return MIDIERR_NOTREADY;
    return result < 0 ? MMSYSERR_ERROR : MMSYSERR_NOERROR;
}

struct Input::Impl {
    snd_seq_t* seq = nullptr;
    std::function<void(DWORD)> sink;
    std::atomic<bool> stop{false};
    std::thread reader;

    static DWORD ToShortMessage(const snd_seq_event_t& ev) {
        auto pack = [](int status, int d1, int d2) {
            return static_cast<DWORD>((status & 0xFF) | ((d1 & 0x7F) << 8) | ((d2 & 0x7F) << 16));
        };
        const snd_seq_ev_note_t& n = ev.data.note;
        const snd_seq_ev_ctrl_t& c = ev.data.control;
        switch (ev.type) {
            case SND_SEQ_EVENT_NOTEON:
                return pack(0x90 | n.channel, n.note, n.velocity);
            case SND_SEQ_EVENT_NOTEOFF:
                return pack(0x80 | n.channel, n.note, n.velocity);
            case SND_SEQ_EVENT_KEYPRESS:
                return pack(0xA0 | n.channel, n.note, n.velocity);
            case SND_SEQ_EVENT_CONTROLLER:
                return pack(0xB0 | c.channel, static_cast<int>(c.param), c.value);
            case SND_SEQ_EVENT_PGMCHANGE:
                return pack(0xC0 | c.channel, c.value, 0);
            case SND_SEQ_EVENT_CHANPRESS:
                return pack(0xD0 | c.channel, c.value, 0);
            case SND_SEQ_EVENT_PITCHBEND: {
                int v = c.value + 8192;
                return pack(0xE0 | c.channel, v & 0x7F, (v >> 7) & 0x7F);
            }
            default:
                return 0;
        }
    }

    void Run() {
        int count = Alsa().snd_seq_poll_descriptors_count(seq, POLLIN);
        std::vector<pollfd> fds(static_cast<size_t>(count > 0 ? count : 1));
        count =
            Alsa().snd_seq_poll_descriptors(seq, fds.data(), static_cast<unsigned int>(fds.size()), POLLIN);
        while (!stop.load(std::memory_order_acquire)) {
            if (poll(fds.data(), static_cast<nfds_t>(count), 50) <= 0) continue;
            snd_seq_event_t* ev = nullptr;
            while (Alsa().snd_seq_event_input(seq, &ev) >= 0 && ev != nullptr) {
                DWORD msg = ToShortMessage(*ev);
                if (msg != 0) sink(msg);
            }
        }
    }
};

std::unique_ptr<Input> Input::Open(int client, int port, std::function<void(DWORD)> sink) {
    auto impl = std::make_unique<Impl>();
    {
        Shared& s = GetShared();
        std::lock_guard<std::mutex> lock(s.mu);
        if (AlsaApi::Get() == nullptr) return nullptr;
        Alsa().snd_lib_error_set_handler(QuietError);
        if (Alsa().snd_seq_open(&impl->seq, "default", SND_SEQ_OPEN_INPUT, SND_SEQ_NONBLOCK) < 0)
            return nullptr;
        Alsa().snd_seq_set_client_name(impl->seq, kClientName);
        s.own_clients.insert(Alsa().snd_seq_client_id(impl->seq));
    }
    int mine = Alsa().snd_seq_create_simple_port(
        impl->seq, "in", SND_SEQ_PORT_CAP_WRITE | SND_SEQ_PORT_CAP_SUBS_WRITE,
        SND_SEQ_PORT_TYPE_MIDI_GENERIC | SND_SEQ_PORT_TYPE_APPLICATION);
    if (mine < 0 || Alsa().snd_seq_connect_from(impl->seq, mine, client, port) < 0) {
        Alsa().snd_seq_close(impl->seq);
        return nullptr;
    }
    impl->sink = std::move(sink);
    Impl* raw = impl.get();
    impl->reader = std::thread([raw] { raw->Run(); });
    std::unique_ptr<Input> in(new Input);
    in->impl_ = std::move(impl);
    return in;
}

Input::~Input() {
    impl_->stop.store(true, std::memory_order_release);
    if (impl_->reader.joinable()) impl_->reader.join();
    Shared& s = GetShared();
    std::lock_guard<std::mutex> lock(s.mu);
    s.own_clients.erase(Alsa().snd_seq_client_id(impl_->seq));
    Alsa().snd_seq_close(impl_->seq);
}

}  // namespace qsm::mm::alsa

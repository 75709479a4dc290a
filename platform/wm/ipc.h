// Window messages between processes. The first process whose top-level window of a class exists binds a
// per-user Unix socket named after the class; FindWindowA in another process connects to it and gets a
// handle standing for the remote window, through which WM_COPYDATA and the activation calls go across.
//
// One connection carries one request and its reply. A client that stops waiting sends one byte more (any)
// and waits briefly for the verdict: a request the window has not yet taken is then dropped (kLate); one it
// has taken is answered as usual. Closing the connection withdraws the request too; shutting only the
// client's side for writing does not. All numbers are little-endian:
//   request: magic "QSWM", u16 version, u16 kind, u64 target window, u64 argument, u32 size, size bytes
//   reply:   magic "QSWM", u16 version, u16 status, i64 value
// The argument is the show command of kShowWindow, dwData of kCopyData and 1 for a kFind with a title; the
// bytes are the title of kFind and the data of kCopyData. Every other kind carries no bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace qsm::wm::ipc {

constexpr uint32_t kMagic = 0x4D575351u;  // "QSWM"
constexpr uint16_t kVersion = 1;
constexpr size_t kRequestHeaderSize = 28;
constexpr size_t kReplySize = 16;
// WM_COPYDATA blocks and titles beyond this are refused.
constexpr uint32_t kMaxData = 1u << 20;

enum class Kind : uint16_t {
    kFind = 1,
    kIsWindow = 2,
    kLastActivePopup = 3,
    kIsIconic = 4,
    kShowWindow = 5,
    kSetForeground = 6,
    kCopyData = 7,
};

enum class Status : uint16_t {
    kOk = 0,
    kNoWindow = 1,  // the target is not a window the server answers for
    kRefused = 2,   // the request was malformed
    kLate = 3,      // the client stopped waiting before the window took the request, which is dropped
};

struct Request {
    Kind kind = Kind::kFind;
    uint64_t target = 0;
    uint64_t arg = 0;
    std::string data;
};

struct Reply {
    Status status = Status::kOk;
    int64_t value = 0;
};

std::string EncodeRequest(const Request& r);
std::string EncodeReply(const Reply& r);
// False for bytes that are not a reply (wrong length, magic, version or status).
bool DecodeReply(const uint8_t* data, size_t size, Reply* out);

// Reads one request from bytes as they arrive. Feed takes what is offered and says how much of it was used;
// once a request is complete (kDone) or refused (kBad) further bytes are not used.
class RequestReader {
public:
    enum State { kNeedMore, kDone, kBad };

    State Feed(const uint8_t* data, size_t size, size_t* used);
    State state() const { return state_; }
    const Request& request() const { return request_; }
    // How many more bytes the request needs at most (0 once done or refused).
    size_t Wanted() const;

private:
    State CheckHeader();

    State state_ = kNeedMore;
    uint8_t header_[kRequestHeaderSize] = {};
    size_t have_ = 0;  // header bytes read
    uint32_t size_ = 0;
    Request request_;
};

}  // namespace qsm::wm::ipc

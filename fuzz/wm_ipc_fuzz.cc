// Fuzzes the reader of requests that other processes send to this process's windows. The first byte sets
// the size of the pieces the bytes arrive in; the rest is what a client wrote on the socket. The same
// bytes are also read as a reply.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "platform/wm/ipc.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    size_t piece = data[0] % 32 + 1;
    const uint8_t* bytes = data + 1;
    size_t n = size - 1;
    qsm::wm::ipc::RequestReader reader;
    size_t offset = 0;
    while (offset < n && reader.state() == qsm::wm::ipc::RequestReader::kNeedMore) {
        size_t take = piece < n - offset ? piece : n - offset;
        size_t used = 0;
        reader.Feed(bytes + offset, take, &used);
        if (used > take) abort();
        offset += used;
        if (used < take && reader.state() == qsm::wm::ipc::RequestReader::kNeedMore) abort();
    }
    if (reader.state() == qsm::wm::ipc::RequestReader::kDone) {
        // A request read whole is exactly the bytes it was read from.
        const qsm::wm::ipc::Request& r = reader.request();
        if (r.data.size() > qsm::wm::ipc::kMaxData) abort();
        std::string again = qsm::wm::ipc::EncodeRequest(r);
        if (again.size() != offset ||
            again.compare(0, offset, reinterpret_cast<const char*>(bytes), offset) != 0)
            abort();
    }
    if (reader.Wanted() > qsm::wm::ipc::kMaxData + qsm::wm::ipc::kRequestHeaderSize) abort();
    qsm::wm::ipc::Reply reply;
    qsm::wm::ipc::DecodeReply(bytes, n, &reply);
    return 0;
}

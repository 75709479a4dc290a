#include "core/zlib_stream.h"

#include <zlib.h>

#include <atomic>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

namespace {

const BYTE kEnvelope[6] = {'[', 'Q', 'S', 'Z', ']', 0};

}  // namespace

// The worker makes exactly the inflate calls the reader would make, each into a fresh kBufferSize of room,
// and lays their output end to end in a block; so the bytes and the final state the reader sees are the
// same as without it. The reader holds at most one block; the worker fills the others in order.
struct TQSRZLibInStream::TAhead {
    struct TBlock {
        std::unique_ptr<BYTE[]> data{new BYTE[kAheadBlockSize]};
        DWORD size = 0;
        // The stream's state after the last inflate call whose output is in the block.
        int state = kOpen;
    };
    TBlock ring[kAheadSlots];
    std::mutex lock;
    std::condition_variable changed;
    // Blocks filled and not yet given back by the reader, including the one it holds.
    int ready = 0;
    bool stop = false;
    // Read between inflate calls, so that an early close does not wait for a whole block.
    std::atomic<bool> stopping{false};
    std::thread worker;

    // The reader's side.
    const BYTE* data = ring[0].data.get();
    DWORD size = 0;
    bool holding = false;
    int next = 0;
};

// Every operation of the decompressing stream runs inside one: on the way in, the bytes the primitives took
// from the read window are counted as consumed; on the way out, the window is laid over the decompressed
// bytes not read yet (none while the status is set, the stream is closed or it compresses).
class TQSRZLibInStream::TWindowScope {
public:
    explicit TWindowScope(TQSRZLibInStream& s) : s_(s) {
        if (s_.scopeDepth_++ > 0 || s_.readNext_ == nullptr) return;
        const DWORD taken = static_cast<DWORD>(s_.readNext_ - (s_.Out() + s_.consumed_));
        s_.consumed_ += taken;
        s_.total_ += taken;
        s_.readNext_ = s_.readEnd_ = nullptr;
    }
    ~TWindowScope() {
        if (--s_.scopeDepth_ > 0 || !s_.decompressing_) return;
        const BYTE* next = s_.Out() + s_.consumed_;
        s_.readNext_ = next;
        s_.readEnd_ = next;
        if (!s_.GetError() && s_.state_ != kNotOpened && s_.consumed_ < s_.Produced())
            s_.readEnd_ = s_.Out() + s_.Produced();
    }
    TWindowScope(const TWindowScope&) = delete;
    TWindowScope& operator=(const TWindowScope&) = delete;

private:
    TQSRZLibInStream& s_;
};

TQSRZLibInStream::TQSRZLibInStream(int requestedMode, TQSRStream* underlying, bool ownsUnderlying)
    : TQSRZLibInStream(requestedMode, underlying, ownsUnderlying, true) {}

TQSRZLibInStream::TQSRZLibInStream(int requestedMode, TQSRStream* underlying, bool ownsUnderlying,
                                   bool decompressing)
    : decompressing_(decompressing),
      requestedMode_(requestedMode),
      mode_(requestedMode),
      in_(new BYTE[kBufferSize]),
      out_(new BYTE[kBufferSize]),
      codec_(new z_stream()),
      underlying_(underlying),
      ownsUnderlying_(ownsUnderlying) {
    codec_->avail_out = kBufferSize;
    if (!underlying_) SetError();
}

TQSRZLibInStream::~TQSRZLibInStream() {
    StopAhead();
    EndCodec();
    if (ownsUnderlying_) delete underlying_;
}

void TQSRZLibInStream::EndCodec() {
    if (codecStarted_) {
        if (decompressing_) {
            inflateEnd(codec_.get());
        } else {
            deflateEnd(codec_.get());
        }
    }
    codecStarted_ = false;
}

DWORD TQSRZLibInStream::Produced() const {
    return ahead_ ? ahead_->size : kBufferSize - codec_->avail_out;
}

const BYTE* TQSRZLibInStream::Out() const {
    return ahead_ ? ahead_->data : out_.get();
}

void TQSRZLibInStream::Open() {
    TWindowScope scope(*this);
    if (!decompressing_ || state_ != kNotOpened || !underlying_) return;
    EndCodec();
    *codec_ = z_stream();
    mode_ = requestedMode_;
    consumed_ = 0;
    total_ = 0;
    buffersRead_ = 0;
    state_ = kOpen;
    DWORD got = underlying_->ReadBlock(in_.get(), kBufferSize);
    codec_->next_in = in_.get();
    codec_->avail_in = got;
    codec_->next_out = out_.get();
    codec_->avail_out = kBufferSize;
    if (mode_ == kScoreEnvelope) {
        if (got > 10 && std::memcmp(in_.get(), kEnvelope, 6) == 0) {
            codec_->next_in += 6;
            codec_->avail_in -= 6;
            codecStarted_ = inflateInit(codec_.get()) == Z_OK;
            if (!codecStarted_) state_ = kFailed;
            return;
        }
        mode_ = kGzip;
    }
    if (mode_ == kGzip) {
        if (got > 5 && in_[0] == 0x1F && in_[1] == 0x8B) {
            codecStarted_ = inflateInit2(codec_.get(), 47) == Z_OK;
            if (!codecStarted_) state_ = kFailed;
            return;
        }
    }
    mode_ = kPlain;
}

void TQSRZLibInStream::Close() {
    TWindowScope scope(*this);
    StopAhead();
    EndCodec();
    state_ = kNotOpened;
}

int TQSRZLibInStream::InflateStep(int state) {
    if (state == kOpen && codec_->avail_in == 0) {
        codec_->next_in = in_.get();
        codec_->avail_in = underlying_->ReadBlock(in_.get(), kBufferSize);
        if (codec_->avail_in == 0) state = kInputDry;
    }
    int r = inflate(codec_.get(), state == kOpen ? Z_PARTIAL_FLUSH : Z_FINISH);
    if (r == Z_STREAM_END) {
        state = kFinished;
    } else if (r == Z_BUF_ERROR && state == kInputDry && codec_->avail_out == 0) {
        // Output still pending after the last input: more room is all it needs.
    } else if (r != Z_OK) {
        state = kFailed;
    }
    return state;
}

bool TQSRZLibInStream::MakeAvailable() {
    if (state_ == kNotOpened) Open();
    if (GetError() || state_ == kNotOpened) return false;
    while (Produced() == consumed_) {
        if (ahead_) {
            TakeBlock();
        } else {
            const bool inflating = mode_ != kPlain && (state_ == kOpen || state_ == kInputDry);
            if (inflating && ++buffersRead_ > kAheadAfterBuffers && StartAhead()) continue;
            consumed_ = 0;
            codec_->next_out = out_.get();
            codec_->avail_out = kBufferSize;
            if (mode_ == kPlain) {
                if (state_ == kOpen && codec_->avail_in == 0) {
                    codec_->next_in = in_.get();
                    codec_->avail_in = underlying_->ReadBlock(in_.get(), kBufferSize);
                    if (codec_->avail_in == 0) state_ = kInputDry;
                }
                if (codec_->avail_in > 0) {
                    std::memcpy(out_.get(), codec_->next_in, codec_->avail_in);
                    codec_->avail_out = kBufferSize - codec_->avail_in;
                    codec_->next_in += codec_->avail_in;
                    codec_->avail_in = 0;
                } else {
                    state_ = kFinished;
                }
            } else if (inflating) {
                state_ = InflateStep(state_);
            }
        }
        if (Produced() == 0 && state_ > kInputDry) return false;
    }
    return true;
}

bool TQSRZLibInStream::StartAhead() {
    auto ahead = std::make_unique<TAhead>();
    TAhead* a = ahead.get();
    const int state = state_;
    try {
        a->worker = std::thread([this, a, state] { InflateAhead(*a, state); });
    } catch (const std::system_error&) {
        return false;
    }
    ahead_ = std::move(ahead);
    consumed_ = 0;
    return true;
}

// Runs on the worker: only it touches the codec, the input buffer and the underlying stream until joined.
void TQSRZLibInStream::InflateAhead(TAhead& a, int state) {
    for (int slot = 0;; slot = (slot + 1) % kAheadSlots) {
        {
            std::unique_lock<std::mutex> hold(a.lock);
            a.changed.wait(hold, [&a] { return a.stop || a.ready < kAheadSlots; });
            if (a.stop) return;
        }
        TAhead::TBlock& block = a.ring[slot];
        block.size = 0;
        while (block.size + kBufferSize <= kAheadBlockSize && (state == kOpen || state == kInputDry)) {
            if (a.stopping.load(std::memory_order_relaxed)) return;
            codec_->next_out = block.data.get() + block.size;
            codec_->avail_out = kBufferSize;
            state = InflateStep(state);
            block.size += kBufferSize - codec_->avail_out;
        }
        block.state = state;
        {
            std::lock_guard<std::mutex> hold(a.lock);
            ++a.ready;
        }
        a.changed.notify_all();
        if (state != kOpen && state != kInputDry) return;
    }
}

void TQSRZLibInStream::TakeBlock() {
    TAhead& a = *ahead_;
    std::unique_lock<std::mutex> hold(a.lock);
    if (a.holding) {
        --a.ready;
        a.holding = false;
        a.changed.notify_all();
    }
    consumed_ = 0;
    a.size = 0;
    // After the last block there is nothing more to wait for.
    if (state_ != kOpen && state_ != kInputDry) return;
    a.changed.wait(hold, [&a] { return a.ready > 0; });
    const TAhead::TBlock& block = a.ring[a.next];
    a.next = (a.next + 1) % kAheadSlots;
    a.holding = true;
    a.data = block.data.get();
    a.size = block.size;
    state_ = block.state;
}

void TQSRZLibInStream::StopAhead() {
    if (!ahead_) return;
    {
        std::lock_guard<std::mutex> hold(ahead_->lock);
        ahead_->stop = true;
    }
    ahead_->stopping.store(true, std::memory_order_relaxed);
    ahead_->changed.notify_all();
    ahead_->worker.join();
    ahead_.reset();
    consumed_ = 0;
    codec_->next_out = out_.get();
    codec_->avail_out = kBufferSize;
}

BYTE TQSRZLibInStream::Get() {
    TWindowScope scope(*this);
    if (consumed_ < Produced() && !GetError()) {
        ++total_;
        return Out()[consumed_++];
    }
    if (!MakeAvailable()) {
        SetError();
        return 0;
    }
    ++total_;
    return Out()[consumed_++];
}

DWORD TQSRZLibInStream::ReadBlock(void* dst, DWORD n) {
    TWindowScope scope(*this);
    BYTE* p = static_cast<BYTE*>(dst);
    // The words and bytes of a record are mostly there already.
    if (state_ != kNotOpened && state_ != kFailed && n <= Produced() - consumed_ && !GetError()) {
        std::memcpy(p, Out() + consumed_, n);
        consumed_ += n;
        total_ += n;
        return n;
    }
    DWORD copied = 0;
    while (copied < n && MakeAvailable()) {
        DWORD k = Produced() - consumed_;
        if (k > n - copied) k = n - copied;
        std::memcpy(p + copied, Out() + consumed_, k);
        consumed_ += k;
        total_ += k;
        copied += k;
    }
    // Bytes the decompressor gave before it found the damage are delivered; the error comes with the first
    // read they cannot satisfy (as with Get), or from EndsCleanly.
    if (copied < n && state_ == kFailed) SetError();
    return copied;
}

DWORD TQSRZLibInStream::Tell() {
    TWindowScope scope(*this);
    return total_;
}

bool TQSRZLibInStream::EndsCleanly() {
    TWindowScope scope(*this);
    if (!decompressing_ || GetError()) return false;
    if (state_ == kNotOpened) Open();
    while (MakeAvailable()) {
        total_ += Produced() - consumed_;
        consumed_ = Produced();
    }
    if (state_ == kFailed) SetError();
    return mode_ == kPlain ? state_ != kFailed : state_ == kFinished;
}

bool TQSRZLibInStream::Seek(DWORD position) {
    TWindowScope scope(*this);
    if (position < total_) {
        StopAhead();
        underlying_->Rewind();
        Close();
        total_ = 0;
        consumed_ = 0;
        codec_->avail_out = kBufferSize;
    }
    std::vector<BYTE> scratch(kBufferSize);
    while (total_ < position && !GetError()) {
        DWORD want = position - total_ < kBufferSize ? position - total_ : kBufferSize;
        if (ReadBlock(scratch.data(), want) < want) break;
    }
    if (total_ < position) SetError();
    return !GetError();
}

void TQSRZLibInStream::Rewind() {
    TWindowScope scope(*this);
    StopAhead();
    if (underlying_) underlying_->Rewind();
    Close();
    total_ = 0;
    consumed_ = 0;
    codec_->avail_out = kBufferSize;
    TQSRStream::Rewind();
}

TQSRZLibOutStream::TQSRZLibOutStream(int mode, TQSRStream* underlying, bool ownsUnderlying)
    : TQSRZLibInStream(mode, underlying, ownsUnderlying, false) {}

TQSRZLibOutStream::~TQSRZLibOutStream() = default;

void TQSRZLibOutStream::Open() {
    if (state_ != kNotOpened || !underlying_) return;
    EndCodec();
    *codec_ = z_stream();
    mode_ = requestedMode_;
    total_ = 0;
    inCount_ = 0;
    state_ = kOpen;
    underlying_->Reset();
    codec_->next_out = out_.get();
    codec_->avail_out = kBufferSize;
    int r = Z_OK;
    if (mode_ == kScoreEnvelope) {
        underlying_->WriteString("[QSZ]");
        if (underlying_->GetError()) {
            SetError();
            return;
        }
        r = deflateInit(codec_.get(), 9);
        codecStarted_ = r == Z_OK;
    } else if (mode_ == kGzip) {
        r = deflateInit2(codec_.get(), 9, Z_DEFLATED, 31, 8, Z_DEFAULT_STRATEGY);
        codecStarted_ = r == Z_OK;
    } else {
        mode_ = kPlain;
    }
    if (r != Z_OK) SetError();
}

void TQSRZLibOutStream::Put(int byte) {
    if (state_ == kNotOpened) Open();
    if (state_ != kOpen) {
        SetError();
        return;
    }
    in_[inCount_++] = static_cast<BYTE>(byte);
    ++total_;
    if (inCount_ == kBufferSize) CompressInput(inCount_);
}

void TQSRZLibOutStream::WriteBlock(const void* data, DWORD n) {
    if (n == 0) return;
    if (state_ == kNotOpened) Open();
    if (state_ != kOpen) {
        SetError();
        return;
    }
    const BYTE* p = static_cast<const BYTE*>(data);
    while (n > 0) {
        DWORD k = kBufferSize - inCount_ < n ? kBufferSize - inCount_ : n;
        std::memcpy(in_.get() + inCount_, p, k);
        inCount_ += k;
        total_ += k;
        p += k;
        n -= k;
        if (inCount_ == kBufferSize) CompressInput(inCount_);
    }
}

void TQSRZLibOutStream::WriteOut() {
    if (mode_ != kPlain) {
        DWORD produced = Produced();
        if (produced > 0) {
            underlying_->WriteBlock(out_.get(), produced);
            if (underlying_->GetError()) SetError();
        }
        codec_->next_out = out_.get();
        codec_->avail_out = kBufferSize;
    } else {
        underlying_->WriteBlock(codec_->next_in, codec_->avail_in);
        if (underlying_->GetError()) SetError();
        codec_->next_in += codec_->avail_in;
        codec_->avail_in = 0;
    }
}

void TQSRZLibOutStream::CompressInput(DWORD count) {
    codec_->next_in = in_.get();
    codec_->avail_in = count;
    while (codec_->avail_in > 0 && !GetError()) {
        if (mode_ != kPlain && deflate(codec_.get(), Z_NO_FLUSH) != Z_OK) SetError();
        WriteOut();
    }
    codec_->avail_in = 0;
    inCount_ = 0;
}

void TQSRZLibOutStream::Finish() {
    if (state_ != kOpen) return;
    CompressInput(inCount_);
    state_ = kInputDry;
    if (mode_ != kPlain && codecStarted_) {
        int r;
        do {
            r = deflate(codec_.get(), Z_FINISH);
            if (Produced() == 0) break;
            WriteOut();
        } while (r == Z_OK);
        int end = deflateEnd(codec_.get());
        codecStarted_ = false;
        if (r != Z_OK && r != Z_STREAM_END) SetError();
        if (end != Z_OK) SetError();
    }
    underlying_->Flush();
    if (underlying_->GetError()) SetError();
    state_ = kFinished;
}

void TQSRZLibOutStream::Close() {
    Finish();
}

void TQSRZLibOutStream::Flush() {
    if (underlying_) underlying_->Flush();
}

BYTE TQSRZLibOutStream::Get() {
    SetError();
    return 0;
}

bool TQSRZLibOutStream::Seek(DWORD) {
    SetError();
    return false;
}

DWORD TQSRZLibOutStream::ReadBlock(void*, DWORD n) {
    if (n > 0) SetError();
    return 0;
}

void TQSRZLibOutStream::Rewind() {
    Finish();
    if (underlying_) underlying_->Rewind();
    ClearError();
}

void TQSRZLibOutStream::Reset() {
    EndCodec();
    if (underlying_) underlying_->Reset();
    ClearError();
    state_ = kNotOpened;
    total_ = 0;
    inCount_ = 0;
}

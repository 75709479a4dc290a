#include "core/ram_stream.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>

#include "platform/kernel/clipboard.h"
#include "platform/kernel/memory.h"
#include "platform/kernel/resources.h"

void TQSRSizerStream::Put(int) {
    Advance();
}

BYTE TQSRSizerStream::Get() {
    if (position_ < length_) {
        ++position_;
        return 0;
    }
    SetError();
    return 0;
}

bool TQSRSizerStream::Seek(DWORD position) {
    if (position > length_) return false;
    position_ = position;
    return true;
}

void TQSRSizerStream::Reset() {
    Rewind();
    length_ = 0;
}

TQSRSegRamStream::TQSRSegRamStream(WORD segmentSize) : segmentSize_(segmentSize ? segmentSize : 1) {
    first_ = NewSegment();
    current_ = first_;
}

TQSRSegRamStream::~TQSRSegRamStream() {
    for (Segment* s = first_; s;) {
        Segment* next = s->next;
        std::free(s);
        s = next;
    }
}

TQSRSegRamStream::Segment* TQSRSegRamStream::NewSegment() const {
    void* p = std::malloc(sizeof(Segment) + segmentSize_);
    if (!p) throw std::bad_alloc();
    auto* s = static_cast<Segment*>(p);
    s->next = nullptr;
    return s;
}

void TQSRSegRamStream::Put(int byte) {
    if (index_ == segmentSize_) {
        if (!current_->next) current_->next = NewSegment();
        current_ = current_->next;
        index_ = 0;
    }
    current_->Data()[index_++] = static_cast<BYTE>(byte);
    Advance();
}

BYTE TQSRSegRamStream::Get() {
    if (position_ >= length_) {
        SetError();
        return 0;
    }
    if (index_ == segmentSize_) {
        if (!current_->next) {
            SetError();
            return 0;
        }
        current_ = current_->next;
        index_ = 0;
    }
    ++position_;
    return current_->Data()[index_++];
}

bool TQSRSegRamStream::Seek(DWORD position) {
    if (position > length_) return false;
    current_ = first_;
    index_ = 0;
    position_ = position;
    if (position == 0) return true;
    // A position at a segment's end stays in that segment, as reading up to it would leave it.
    DWORD k = (position - 1) / segmentSize_;
    for (DWORD i = 0; i < k && current_->next; ++i)
        current_ = current_->next;
    index_ = static_cast<WORD>(position - k * segmentSize_);
    return true;
}

void TQSRSegRamStream::Reset() {
    TQSRSizerStream::Reset();
    for (Segment* s = first_->next; s;) {
        Segment* next = s->next;
        std::free(s);
        s = next;
    }
    first_->next = nullptr;
    current_ = first_;
    index_ = 0;
}

int TQSRSegRamStream::CountSegments() const {
    int n = 0;
    for (const Segment* s = first_; s; s = s->next)
        ++n;
    return n;
}

TQSRFlatRamStream::TQSRFlatRamStream(DWORD capacity, DWORD growStep) : owned_(true), growStep_(growStep) {
    block_ = GlobalAlloc(GMEM_MOVEABLE, capacity);
    if (block_) {
        data_ = static_cast<BYTE*>(GlobalLock(block_));
        capacity_ = capacity;
    } else {
        SetError();
    }
}

TQSRFlatRamStream::TQSRFlatRamStream(void* buffer, DWORD capacity, DWORD length)
    : capacity_(buffer ? capacity : 0), data_(static_cast<BYTE*>(buffer)) {
    length_ = length <= capacity_ ? length : capacity_;
}

TQSRFlatRamStream::TQSRFlatRamStream() = default;

TQSRFlatRamStream::~TQSRFlatRamStream() {
    if (owned_ && block_) {
        GlobalUnlock(block_);
        GlobalFree(block_);
    }
}

void TQSRFlatRamStream::SetView(const void* data, DWORD capacity, DWORD length) {
    data_ = static_cast<BYTE*>(const_cast<void*>(data));
    capacity_ = data ? capacity : 0;
    length_ = length <= capacity_ ? length : capacity_;
    position_ = 0;
}

bool TQSRFlatRamStream::Grow() {
    if (growStep_ == 0 || !owned_ || !block_) {
        SetError();
        return false;
    }
    DWORD fresh = capacity_ < growStep_ ? growStep_ : capacity_ + growStep_;
    if (fresh < capacity_) {
        SetError();
        return false;
    }
    GlobalUnlock(block_);
    if (!GlobalReAlloc(block_, fresh, GMEM_MOVEABLE)) {
        data_ = static_cast<BYTE*>(GlobalLock(block_));
        SetError();
        return false;
    }
    data_ = static_cast<BYTE*>(GlobalLock(block_));
    capacity_ = fresh;
    return true;
}

void TQSRFlatRamStream::Put(int byte) {
    if (position_ >= capacity_ && !Grow()) return;
    data_[position_] = static_cast<BYTE>(byte);
    Advance();
}

BYTE TQSRFlatRamStream::Get() {
    if (position_ < length_) return data_[position_++];
    SetError();
    return 0;
}

bool TQSRFlatRamStream::Seek(DWORD position) {
    if (position > length_) return false;
    position_ = position;
    return true;
}

void TQSRFlatRamStream::WriteBlock(const void* data, DWORD n) {
    const BYTE* p = static_cast<const BYTE*>(data);
    while (n > 0) {
        if (position_ >= capacity_ && !Grow()) {
            // Each refused byte sets the status again, as single puts would.
            return;
        }
        DWORD k = capacity_ - position_ < n ? capacity_ - position_ : n;
        std::memcpy(data_ + position_, p, k);
        position_ += k;
        if (position_ > length_) length_ = position_;
        p += k;
        n -= k;
    }
}

DWORD TQSRFlatRamStream::ReadBlock(void* dst, DWORD n) {
    DWORD avail = length_ - position_;
    DWORD k = avail < n ? avail : n;
    if (k > 0) std::memcpy(dst, data_ + position_, k);
    position_ += k;
    if (k < n) {
        static_cast<BYTE*>(dst)[k] = 0;
        SetError();
    }
    return k;
}

TQSRResourceStream::TQSRResourceStream(HMODULE module, LPCSTR name, LPCSTR type) {
    HRSRC r = FindResourceA(module, name, type);
    DWORD size = r ? SizeofResource(module, r) : 0;
    const void* data = r ? LockResource(LoadResource(module, r)) : nullptr;
    if (!data || size == 0) {
        SetError();
        return;
    }
    SetView(data, size, size);
}

void TQSRResourceStream::Put(int) {
    SetError();
}
void TQSRResourceStream::WriteBlock(const void*, DWORD n) {
    if (n > 0) SetError();
}

TQSRClipbrdStream::TQSRClipbrdStream(UINT format, HWND owner) {
    if (!IsClipboardFormatAvailable(format) || !OpenClipboard(owner)) {
        SetError();
        return;
    }
    opened_ = true;
    clipData_ = GetClipboardData(format);
    if (!clipData_) return;
    const BYTE* p = static_cast<const BYTE*>(GlobalLock(clipData_));
    if (!p) {
        clipData_ = nullptr;
        return;
    }
    DWORD size = static_cast<DWORD>(GlobalSize(clipData_));
    // The text may lack its terminator: its length never runs past the block.
    DWORD length =
        format == CF_TEXT ? static_cast<DWORD>(strnlen(reinterpret_cast<const char*>(p), size)) : size;
    SetView(p, size, length);
}

TQSRClipbrdStream::~TQSRClipbrdStream() {
    if (clipData_) GlobalUnlock(clipData_);
    if (opened_) CloseClipboard();
}

void TQSRClipbrdStream::Put(int) {
    SetError();
}
void TQSRClipbrdStream::WriteBlock(const void*, DWORD n) {
    if (n > 0) SetError();
}

// ---- TQSRByteView ----

TQSRByteView::TQSRByteView(const BYTE* data, DWORD length) : begin_(data), end_(data + length) {
    readNext_ = begin_;
    readEnd_ = end_;
}

// The window holds every byte not read yet while the status is clear: a call here finds the end.
BYTE TQSRByteView::Get() {
    SetError();
    return 0;
}

bool TQSRByteView::Seek(DWORD position) {
    if (position > GetSize()) return false;
    readNext_ = begin_ + position;
    readEnd_ = GetError() ? readNext_ : end_;
    return true;
}

DWORD TQSRByteView::ReadBlock(void* dst, DWORD n) {
    const DWORD k = std::min<DWORD>(n, static_cast<DWORD>(readEnd_ - readNext_));
    if (k > 0) std::memcpy(dst, readNext_, k);
    readNext_ += k;
    if (k < n) SetError();
    return k;
}

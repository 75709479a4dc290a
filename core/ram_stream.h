// Streams whose bytes live in memory: a byte counter (TQSRSizerStream), a chain of equal segments
// (TQSRSegRamStream), one growable global memory block or a view on a caller's buffer (TQSRFlatRamStream),
// and two read-only views: a module resource (TQSRResourceStream) and a clipboard format (TQSRClipbrdStream).
#pragma once

#include "core/stream.h"

// Counts bytes and stores nothing: after writing an object into it, GetSize is the object's size.
class TQSRSizerStream : public TQSRStream {
public:
    TQSRSizerStream() = default;

    void Put(int byte) override;
    BYTE Get() override;
    // False (position unchanged) beyond the length.
    bool Seek(DWORD position) override;
    DWORD Tell() override { return position_; }
    DWORD GetSize() override { return length_; }
    void Reset() override;

protected:
    // Moves the position on by one byte and the length with it.
    void Advance() {
        ++position_;
        if (position_ > length_) length_ = position_;
    }

    DWORD length_ = 0;
    DWORD position_ = 0;
};

// Bytes in a chain of segments of a fixed size; the first segment always exists.
class TQSRSegRamStream : public TQSRSizerStream {
public:
    explicit TQSRSegRamStream(WORD segmentSize);
    ~TQSRSegRamStream() override;

    void Put(int byte) override;
    BYTE Get() override;
    bool Seek(DWORD position) override;
    // Empties the stream and frees every segment but the first.
    void Reset() override;

    int CountSegments() const;

private:
    struct Segment {
        Segment* next;
        BYTE* Data() { return reinterpret_cast<BYTE*>(this + 1); }
    };
    Segment* NewSegment() const;

    WORD segmentSize_;
    Segment* first_;
    Segment* current_;
    WORD index_ = 0;
};

// Bytes in one global memory block that grows by a step, or in a caller's buffer of fixed size.
class TQSRFlatRamStream : public TQSRSizerStream {
public:
    // An owned block of the given capacity; a full block grows to the grow step, then by the grow step
    // (0: never grows).
    TQSRFlatRamStream(DWORD capacity, DWORD growStep);
    // A view on a caller's buffer holding length bytes; it never grows.
    TQSRFlatRamStream(void* buffer, DWORD capacity, DWORD length);
    // Empty, for the read-only views.
    TQSRFlatRamStream();
    ~TQSRFlatRamStream() override;

    void Put(int byte) override;
    BYTE Get() override;
    bool Seek(DWORD position) override;
    void WriteBlock(const void* data, DWORD n) override;
    DWORD ReadBlock(void* dst, DWORD n) override;

    const BYTE* GetData() const { return data_; }
    DWORD GetCapacity() const { return capacity_; }

protected:
    // Makes the stream a view on bytes it does not own.
    void SetView(const void* data, DWORD capacity, DWORD length);

private:
    bool Grow();

    DWORD capacity_ = 0;
    bool owned_ = false;
    DWORD growStep_ = 0;
    HGLOBAL block_ = nullptr;
    BYTE* data_ = nullptr;
};

// A read-only view on a caller's bytes that keeps them all in its read window, so that the primitives take
// every byte without a call. Reading past the end sets the status.
class TQSRByteView : public TQSRStream {
public:
    TQSRByteView(const BYTE* data, DWORD length);

    BYTE Get() override;
    bool Seek(DWORD position) override;
    DWORD Tell() override { return static_cast<DWORD>(readNext_ - begin_); }
    DWORD GetSize() override { return static_cast<DWORD>(end_ - begin_); }
    DWORD ReadBlock(void* dst, DWORD n) override;

private:
    const BYTE* begin_;
    const BYTE* end_;
};

// Reads a resource of a module in place. The status is set when the resource is missing or empty.
class TQSRResourceStream : public TQSRFlatRamStream {
public:
    TQSRResourceStream(HMODULE module, LPCSTR name, LPCSTR type);

    void Put(int byte) override;
    void WriteBlock(const void* data, DWORD n) override;
};

// Reads the clipboard's data of one format in place while the stream lives. The status is set when the
// format is not available or the clipboard cannot be opened. For CF_TEXT the length is that of the text.
class TQSRClipbrdStream : public TQSRFlatRamStream {
public:
    TQSRClipbrdStream(UINT format, HWND owner);
    ~TQSRClipbrdStream() override;

    void Put(int byte) override;
    void WriteBlock(const void* data, DWORD n) override;

private:
    bool opened_ = false;
    HANDLE clipData_ = nullptr;
};

// Streams over files: TQSRFStream passes every operation to the file; TQSRBFStream puts a small buffer in
// front of one for byte-by-byte text work and switches between reading and writing on demand.
#pragma once

#include <vector>

#include "core/stream.h"

class TQSRFStream : public TQSRStream {
public:
    // Open mode bits.
    enum : int { kRead = 1, kWrite = 2, kShareRead = 4, kShareWrite = 8 };

    // Opens the file when a name is given; test GetError afterwards.
    explicit TQSRFStream(int mode, const char* name = nullptr);
    ~TQSRFStream() override;

    // Closes any open file, clears the status and opens: mode 1 (or no write bit) an existing file for
    // reading, 2 creates or empties a file for writing, 3 an existing file for both.
    bool Open(int mode, const char* name);
    bool IsOpen() const { return handle_ != INVALID_HANDLE_VALUE; }
    void Close();

    void Put(int byte) override;
    BYTE Get() override;
    bool Seek(DWORD position) override;
    DWORD Tell() override;
    DWORD GetSize() override;
    void WriteBlock(const void* data, DWORD n) override;
    // One read of n bytes; the count read. A short count (also at the end of the file) sets no error.
    DWORD ReadBlock(void* dst, DWORD n) override;

    bool SeekRelative(LONG delta);
    // The last-write time in local time as DOS date (high 16 bits) and time (low 16 bits).
    bool GetDosDateTime(DWORD* packed);
    // Sets the file's times to a local DOS date and time.
    bool SetDosDateTime(DWORD packed);

private:
    HANDLE handle_ = INVALID_HANDLE_VALUE;
};

class TQSRBFStream : public TQSRStream {
public:
    // The buffer holds min(requested, 1024) bytes.
    TQSRBFStream(int mode, const char* name, DWORD requestedBufferSize);
    ~TQSRBFStream() override;

    bool Open(int mode, const char* name);
    // Writes pending bytes and closes the file.
    void Close();
    bool IsOpen() const { return file_.IsOpen(); }
    bool GetDosDateTime(DWORD* packed) { return file_.GetDosDateTime(packed); }
    bool SetDosDateTime(DWORD packed) { return file_.SetDosDateTime(packed); }
    DWORD GetBufferSize() const { return static_cast<DWORD>(buffer_.size()); }

    void Put(int byte) override;
    BYTE Get() override;
    bool Seek(DWORD position) override;
    DWORD Tell() override;
    // The file's size; bytes still in the write buffer are not counted.
    DWORD GetSize() override;
    // Writes the buffered bytes when writing. A failed write of the file sets this stream's status.
    void Flush() override;
    void Rewind() override;
    // Drops pending bytes and rewinds (the file is not emptied).
    void Reset() override;

private:
    void TakeFileError();

    TQSRFStream file_;
    std::vector<BYTE> buffer_;
    DWORD count_ = 0;
    DWORD readIndex_ = 0;
    bool writing_ = false;
};

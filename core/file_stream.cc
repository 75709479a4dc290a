#include "core/file_stream.h"

#include "platform/kernel/files.h"
#include "platform/kernel/system.h"

TQSRFStream::TQSRFStream(int mode, const char* name) {
    if (name) Open(mode, name);
}

TQSRFStream::~TQSRFStream() {
    Close();
}

bool TQSRFStream::Open(int mode, const char* name) {
    Close();
    ClearError();
    bool read = (mode & kRead) || !(mode & kWrite);
    DWORD access = (read ? GENERIC_READ : 0) | ((mode & kWrite) ? GENERIC_WRITE : 0);
    DWORD creation = read ? OPEN_EXISTING : CREATE_ALWAYS;
    DWORD share = ((mode & kShareRead) ? FILE_SHARE_READ : 0) | ((mode & kShareWrite) ? FILE_SHARE_WRITE : 0);
    handle_ = CreateFileA(name, access, share, nullptr, creation, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle_ == INVALID_HANDLE_VALUE) {
        SetError();
        return false;
    }
    return true;
}

void TQSRFStream::Close() {
    if (IsOpen()) CloseHandle(handle_);
    handle_ = INVALID_HANDLE_VALUE;
}

void TQSRFStream::Put(int byte) {
    BYTE b = static_cast<BYTE>(byte);
    DWORD written = 0;
    if (!WriteFile(handle_, &b, 1, &written, nullptr) || written != 1) SetError();
}

BYTE TQSRFStream::Get() {
    BYTE b = 0;
    DWORD read = 0;
    if (!ReadFile(handle_, &b, 1, &read, nullptr) || read != 1) {
        SetError();
        return 0;
    }
    return b;
}

bool TQSRFStream::Seek(DWORD position) {
    LONG high = 0;
    DWORD r = SetFilePointer(handle_, static_cast<LONG>(position), &high, FILE_BEGIN);
    if (r != position || high != 0) {
        SetError();
        return false;
    }
    return true;
}

DWORD TQSRFStream::Tell() {
    DWORD r = SetFilePointer(handle_, 0, nullptr, FILE_CURRENT);
    if (r == INVALID_SET_FILE_POINTER && GetLastError() != 0) {
        SetError();
        return 0;
    }
    return r;
}

DWORD TQSRFStream::GetSize() {
    DWORD size = GetFileSize(handle_, nullptr);
    if (size & 0x80000000u) {
        SetError();
        return 0;
    }
    return size;
}

void TQSRFStream::WriteBlock(const void* data, DWORD n) {
    if (n == 0) return;
    DWORD written = 0;
    if (!WriteFile(handle_, data, n, &written, nullptr) || written != n) SetError();
}

DWORD TQSRFStream::ReadBlock(void* dst, DWORD n) {
    DWORD read = 0;
    if (n > 0) ReadFile(handle_, dst, n, &read, nullptr);
    return read;
}

bool TQSRFStream::SeekRelative(LONG delta) {
    SetLastError(0);
    DWORD r = SetFilePointer(handle_, delta, nullptr, FILE_CURRENT);
    if (r == INVALID_SET_FILE_POINTER && GetLastError() != 0) {
        SetError();
        return false;
    }
    return true;
}

bool TQSRFStream::GetDosDateTime(DWORD* packed) {
    FILETIME written, local;
    WORD date = 0, time = 0;
    if (!packed || !GetFileTime(handle_, nullptr, nullptr, &written) ||
        !FileTimeToLocalFileTime(&written, &local) || !FileTimeToDosDateTime(&local, &date, &time)) {
        return false;
    }
    *packed = (static_cast<DWORD>(date) << 16) | time;
    return true;
}

bool TQSRFStream::SetDosDateTime(DWORD packed) {
    FILETIME local, utc;
    if (!DosDateTimeToFileTime(static_cast<WORD>(packed >> 16), static_cast<WORD>(packed & 0xFFFF), &local) ||
        !LocalFileTimeToFileTime(&local, &utc)) {
        return false;
    }
    return SetFileTime(handle_, &utc, &utc, &utc) != FALSE;
}

TQSRBFStream::TQSRBFStream(int mode, const char* name, DWORD requestedBufferSize)
    : file_(mode, name),
      buffer_(requestedBufferSize < 1 ? 1 : (requestedBufferSize > 1024 ? 1024 : requestedBufferSize)) {
    TakeFileError();
}

TQSRBFStream::~TQSRBFStream() {
    Close();
}

void TQSRBFStream::TakeFileError() {
    if (file_.GetError()) SetError();
}

bool TQSRBFStream::Open(int mode, const char* name) {
    Close();
    ClearError();
    bool ok = file_.Open(mode, name);
    count_ = 0;
    readIndex_ = 0;
    writing_ = false;
    TakeFileError();
    return ok;
}

void TQSRBFStream::Close() {
    Flush();
    file_.Close();
}

BYTE TQSRBFStream::Get() {
    if (writing_) Flush();
    if (count_ == 0) {
        count_ = file_.ReadBlock(buffer_.data(), static_cast<DWORD>(buffer_.size()));
        readIndex_ = 0;
        if (count_ == 0) {
            SetError();
            return 0;
        }
    }
    BYTE b = buffer_[readIndex_++];
    if (readIndex_ == count_) {
        // The buffer is used up: no read-ahead is left.
        count_ = 0;
        readIndex_ = 0;
    }
    return b;
}

void TQSRBFStream::Put(int byte) {
    if (!writing_) {
        // Writing goes on at the logical position, not behind the read-ahead.
        if (count_ > 0) Seek(Tell());
        writing_ = true;
    }
    buffer_[count_++] = static_cast<BYTE>(byte);
    if (count_ == buffer_.size()) Flush();
}

bool TQSRBFStream::Seek(DWORD position) {
    if (writing_) Flush();
    count_ = 0;
    readIndex_ = 0;
    bool ok = file_.Seek(position);
    TakeFileError();
    return ok;
}

DWORD TQSRBFStream::Tell() {
    DWORD pos = file_.Tell();
    TakeFileError();
    if (writing_) return pos + count_;
    return pos - (count_ - readIndex_);
}

DWORD TQSRBFStream::GetSize() {
    DWORD size = file_.GetSize();
    TakeFileError();
    return size;
}

void TQSRBFStream::Flush() {
    if (!writing_) return;
    file_.WriteBlock(buffer_.data(), count_);
    writing_ = false;
    count_ = 0;
    TakeFileError();
}

void TQSRBFStream::Rewind() {
    Flush();
    count_ = 0;
    readIndex_ = 0;
    file_.Rewind();
    TQSRStream::Rewind();
}

void TQSRBFStream::Reset() {
    count_ = 0;
    readIndex_ = 0;
    writing_ = false;
    Rewind();
}

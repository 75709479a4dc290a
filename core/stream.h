// The byte stream that every reader and writer works through. Derived streams supply the storage (put, get,
// seek ...); the primitives here (little-endian integers, strings, text lines, formatted text, copies) work
// on any of them. Streams never throw: a failed operation sets the status word, which stays set until
// Rewind, and callers test GetError after a sequence of operations.
#pragma once

#include <cstdarg>
#include <cstddef>

#include "platform/base/wintypes.h"

class TQSRStream {
public:
    TQSRStream() = default;
    TQSRStream(const TQSRStream&) = delete;
    TQSRStream& operator=(const TQSRStream&) = delete;
    virtual ~TQSRStream();

    virtual void SetError();
    // Writes the low 8 bits of the value.
    virtual void Put(int byte);
    // The next byte, or 0 with the status set when none can be read.
    virtual BYTE Get();
    virtual bool Seek(DWORD position);
    virtual DWORD Tell();
    virtual DWORD GetSize();
    virtual void Flush();
    // Clears the status and seeks to the start.
    virtual void Rewind();
    // Empties the stream (the base only rewinds).
    virtual void Reset();
    // Empties the stream and fills it with n zero bytes, then rewinds.
    virtual void FillZeros(DWORD n);
    virtual void WriteBlock(const void* data, DWORD n);
    // Reads up to n bytes; the count read. The base stops at the first failing Get.
    virtual DWORD ReadBlock(void* dst, DWORD n);

    int GetError() const { return status_; }

    // The next byte as Get gives it, taken from the read window when that holds one.
    BYTE GetByte() {
        if (readNext_ != readEnd_) return *readNext_++;
        return Get();
    }

    // The bytes held ready at the read position (none unless a derived stream keeps a read window), for a
    // reader that copies them out itself; TakeFromWindow passes over n of them (at most WindowSize).
    const BYTE* WindowData() const { return readNext_; }
    size_t WindowSize() const { return static_cast<size_t>(readEnd_ - readNext_); }
    void TakeFromWindow(size_t n) { readNext_ += n; }
    // Gives back the last n bytes taken with TakeFromWindow, when nothing else was done with the stream
    // since.
    void GiveBackToWindow(size_t n) { readNext_ -= n; }

    // The bytes of s and a zero byte (only the zero byte for a null s).
    void WriteString(const char* s);
    void WriteWord(WORD v);
    void WriteLong(DWORD v);
    // Little-endian values; when fewer bytes than needed can be read, the status is set and the missing
    // bytes count as 0.
    WORD ReadWord() {
        if (readEnd_ - readNext_ >= 2) {
            WORD v = static_cast<WORD>(readNext_[0] | (readNext_[1] << 8));
            readNext_ += 2;
            return v;
        }
        return ReadWordFromStream();
    }
    DWORD ReadLong() {
        if (readEnd_ - readNext_ >= 4) {
            DWORD v = static_cast<DWORD>(readNext_[0]) | (static_cast<DWORD>(readNext_[1]) << 8) |
                      (static_cast<DWORD>(readNext_[2]) << 16) | (static_cast<DWORD>(readNext_[3]) << 24);
            readNext_ += 4;
            return v;
        }
        return ReadLongFromStream();
    }
    // A zero-terminated string: keeps at most limit-1 characters, always terminates, and consumes the whole
    // string with its terminator. With a limit below 1 (or no buffer) the string is consumed and dropped.
    void ReadString(char* dst, int limit);
    // ReadString, then conversion from the given code page into the ANSI code page.
    void ReadStringCP(int codePage, char* dst, int limit);
    bool ReadBool();
    void WriteBool(bool v);
    // A number written as text with a zero byte (C locale).
    float ReadReal();
    void WriteReal(float v, int decimals);
    // One text line without its end (CR bytes are dropped, LF or a zero byte ends it); keeps at most limit-1
    // characters and answers the full length of the line.
    int ReadLine(char* dst, int limit);
    // The bytes of s without its terminator; with crlf a CR goes before each LF.
    void WriteText(const char* s, bool crlf);
    // Each string of a list ended by a null pointer, with WriteText (s, false).
    void WriteTexts(const char* s1, ...);
    // Formatted text (C locale), at most 255 characters, with a CR before each LF.
    void Printf(const char* format, ...) __attribute__((format(printf, 2, 3)));
    // Letters and digits as they are, white space as "+", every other byte as "%" and two lowercase hex
    // digits.
    void WriteUrlEncoded(const char* s);
    // Rewinds the source and copies all of it here.
    void CopyAll(TQSRStream& source);
    // Copies n bytes from the source's position; the count copied.
    DWORD CopyFrom(TQSRStream& source, DWORD n);

    TQSRStream& operator>>(char& v);
    TQSRStream& operator>>(signed char& v);
    TQSRStream& operator>>(unsigned char& v);
    TQSRStream& operator>>(int16_t& v);
    TQSRStream& operator>>(uint16_t& v);
    TQSRStream& operator>>(int32_t& v);
    TQSRStream& operator>>(uint32_t& v);
    TQSRStream& operator<<(char v);
    TQSRStream& operator<<(signed char v);
    TQSRStream& operator<<(unsigned char v);
    TQSRStream& operator<<(int16_t v);
    TQSRStream& operator<<(uint16_t v);
    TQSRStream& operator<<(int32_t v);
    TQSRStream& operator<<(uint32_t v);
    TQSRStream& operator<<(const char* s);

protected:
    // Only Rewind clears the status; derived streams that reopen call this.
    void ClearError() { status_ = 0; }

    // The read window: bytes a derived stream holds ready at its read position. GetByte, ReadWord, ReadLong
    // and the string and line readers take bytes from it without calling the stream, so a stream that sets
    // a window learns from readNext_ how far they got before it does anything else. SetError empties the
    // window (at readNext_, so that the position stays known). Empty unless a derived stream sets it.
    const BYTE* readNext_ = nullptr;
    const BYTE* readEnd_ = nullptr;

private:
    WORD ReadWordFromStream();
    DWORD ReadLongFromStream();

    int32_t status_ = 0;
};

// Converts a zero-terminated text in place from a code page into the ANSI code page; the result is cut at
// a character boundary to at most capacity-1 bytes and always terminated. Nothing happens for code page 0
// or the ANSI code page, or when the text does not decode.
void ConvertFromCodePage(int codePage, char* text, int capacity);
// v rounded to the given number of decimals through its text form.
float RoundToDecimals(float v, int decimals);
// Advances the seed n+1 times by seed := seed x 25173 + 13849 (mod 65536) and returns it.
WORD NextRandom16(WORD* seed, int n);
int Sign(int v);

#include "core/stream.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "platform/kernel/crt.h"
#include "platform/kernel/text.h"

namespace {

constexpr DWORD kCopyChunk = 32000;

}  // namespace

TQSRStream::~TQSRStream() = default;

void TQSRStream::SetError() {
    status_ = 1;
    readEnd_ = readNext_;
}

void TQSRStream::Put(int) {
    SetError();
}

BYTE TQSRStream::Get() {
    SetError();
    return 0;
}

bool TQSRStream::Seek(DWORD) {
    SetError();
    return false;
}

DWORD TQSRStream::Tell() {
    SetError();
    return 0;
}

DWORD TQSRStream::GetSize() {
    SetError();
    return 0;
}

void TQSRStream::Flush() {}

void TQSRStream::Rewind() {
    status_ = 0;
    Seek(0);
}

void TQSRStream::Reset() {
    Rewind();
}

void TQSRStream::FillZeros(DWORD n) {
    Reset();
    for (DWORD i = 0; i < n; ++i)
        Put(0);
    Rewind();
}

void TQSRStream::WriteBlock(const void* data, DWORD n) {
    const BYTE* p = static_cast<const BYTE*>(data);
    for (DWORD i = 0; i < n; ++i)
        Put(p[i]);
}

DWORD TQSRStream::ReadBlock(void* dst, DWORD n) {
    BYTE* p = static_cast<BYTE*>(dst);
    for (DWORD i = 0; i < n; ++i) {
        p[i] = Get();
        if (status_) return i;
    }
    return n;
}

void TQSRStream::WriteString(const char* s) {
    if (s) WriteBlock(s, static_cast<DWORD>(std::strlen(s)));
    Put(0);
}

void TQSRStream::WriteWord(WORD v) {
    BYTE b[2] = {static_cast<BYTE>(v & 0xFF), static_cast<BYTE>(v >> 8)};
    WriteBlock(b, 2);
}

void TQSRStream::WriteLong(DWORD v) {
    BYTE b[4] = {static_cast<BYTE>(v & 0xFF), static_cast<BYTE>((v >> 8) & 0xFF),
                 static_cast<BYTE>((v >> 16) & 0xFF), static_cast<BYTE>(v >> 24)};
    WriteBlock(b, 4);
}

WORD TQSRStream::ReadWordFromStream() {
    BYTE b[2] = {0, 0};
    DWORD got = ReadBlock(b, 2);
    if (got < 2) {
        // Some streams report a short block without an error; a value cut short is an error here.
        for (DWORD i = got; i < 2; ++i)
            b[i] = 0;
        SetError();
    }
    return static_cast<WORD>(b[0] | (b[1] << 8));
}

DWORD TQSRStream::ReadLongFromStream() {
    BYTE b[4] = {0, 0, 0, 0};
    DWORD got = ReadBlock(b, 4);
    if (got < 4) {
        for (DWORD i = got; i < 4; ++i)
            b[i] = 0;
        SetError();
    }
    return static_cast<DWORD>(b[0]) | (static_cast<DWORD>(b[1]) << 8) | (static_cast<DWORD>(b[2]) << 16) |
           (static_cast<DWORD>(b[3]) << 24);
}

void TQSRStream::ReadString(char* dst, int limit) {
    if (!dst || limit < 1) {
        while (GetByte() != 0) {
        }
        return;
    }
    int place = 0;
    int room = limit - 1;
    dst[0] = static_cast<char>(GetByte());
    while (dst[place] != 0) {
        if (room > 0) {
            ++place;
            --room;
        }
        dst[place] = static_cast<char>(GetByte());
    }
}

void TQSRStream::ReadStringCP(int codePage, char* dst, int limit) {
    ReadString(dst, limit);
    if (dst && limit >= 1) ConvertFromCodePage(codePage, dst, limit);
}

bool TQSRStream::ReadBool() {
    return GetByte() != 0;
}

void TQSRStream::WriteBool(bool v) {
    Put(v ? 1 : 0);
}

float TQSRStream::ReadReal() {
    char text[40];
    ReadString(text, sizeof(text));
    float v = 0.0f;
    qsm::ScanC(text, "%f", &v);
    return v;
}

void TQSRStream::WriteReal(float v, int decimals) {
    char text[40];
    qsm::FormatC(text, sizeof(text), "%01.*f", decimals, static_cast<double>(v));
    WriteString(text);
}

int TQSRStream::ReadLine(char* dst, int limit) {
    int count = 0;
    for (;;) {
        BYTE b = GetByte();
        if (b == 13) continue;
        if (b == 10 || b == 0) break;
        ++count;
        if (dst && count < limit) dst[count - 1] = static_cast<char>(b);
    }
    if (dst && limit >= 1) dst[count < limit ? count : limit - 1] = 0;
    return count;
}

void TQSRStream::WriteText(const char* s, bool crlf) {
    if (!s) return;
    if (!crlf) {
        WriteBlock(s, static_cast<DWORD>(std::strlen(s)));
        return;
    }
    const char* run = s;
    for (const char* p = s; *p; ++p) {
        if (*p == 10) {
            WriteBlock(run, static_cast<DWORD>(p - run));
            Put(13);
            run = p;
        }
    }
    WriteBlock(run, static_cast<DWORD>(std::strlen(run)));
}

void TQSRStream::WriteTexts(const char* s1, ...) {
    va_list args;
    va_start(args, s1);
    for (const char* s = s1; s; s = va_arg(args, const char*))
        WriteText(s, false);
    va_end(args);
}

void TQSRStream::Printf(const char* format, ...) {
    char buffer[256];
    va_list args;
    va_start(args, format);
    int n = qsm::VFormatC(buffer, sizeof(buffer), format, args);
    va_end(args);
    if (n < 0) buffer[0] = 0;
    WriteText(buffer, true);
}

void TQSRStream::WriteUrlEncoded(const char* s) {
    if (!s) return;
    static const char kHex[] = "0123456789abcdef";
    for (const BYTE* p = reinterpret_cast<const BYTE*>(s); *p; ++p) {
        BYTE c = *p;
        if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9')) {
            Put(c);
        } else if (c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r') {
            Put('+');
        } else {
            BYTE esc[3] = {'%', static_cast<BYTE>(kHex[c >> 4]), static_cast<BYTE>(kHex[c & 15])};
            WriteBlock(esc, 3);
        }
    }
}

void TQSRStream::CopyAll(TQSRStream& source) {
    source.Rewind();
    std::vector<BYTE> buffer(kCopyChunk);
    DWORD k;
    do {
        k = source.ReadBlock(buffer.data(), kCopyChunk);
        if (k > 0) WriteBlock(buffer.data(), k);
    } while (k == kCopyChunk);
}

DWORD TQSRStream::CopyFrom(TQSRStream& source, DWORD n) {
    std::vector<BYTE> buffer(kCopyChunk);
    DWORD copied = 0;
    DWORD k;
    do {
        DWORD want = n - copied < kCopyChunk ? n - copied : kCopyChunk;
        k = source.ReadBlock(buffer.data(), want);
        if (k > 0) WriteBlock(buffer.data(), k);
        copied += k;
    } while (copied < n && k == kCopyChunk && !status_);
    return copied;
}

TQSRStream& TQSRStream::operator>>(char& v) {
    v = static_cast<char>(GetByte());
    return *this;
}
TQSRStream& TQSRStream::operator>>(signed char& v) {
    v = static_cast<signed char>(GetByte());
    return *this;
}
TQSRStream& TQSRStream::operator>>(unsigned char& v) {
    v = GetByte();
    return *this;
}
TQSRStream& TQSRStream::operator>>(int16_t& v) {
    v = static_cast<int16_t>(ReadWord());
    return *this;
}
TQSRStream& TQSRStream::operator>>(uint16_t& v) {
    v = ReadWord();
    return *this;
}
TQSRStream& TQSRStream::operator>>(int32_t& v) {
    v = static_cast<int32_t>(ReadLong());
    return *this;
}
TQSRStream& TQSRStream::operator>>(uint32_t& v) {
    v = ReadLong();
    return *this;
}
TQSRStream& TQSRStream::operator<<(char v) {
    Put(static_cast<BYTE>(v));
    return *this;
}
TQSRStream& TQSRStream::operator<<(signed char v) {
    Put(static_cast<BYTE>(v));
    return *this;
}
TQSRStream& TQSRStream::operator<<(unsigned char v) {
    Put(v);
    return *this;
}
TQSRStream& TQSRStream::operator<<(int16_t v) {
    WriteWord(static_cast<WORD>(v));
    return *this;
}
TQSRStream& TQSRStream::operator<<(uint16_t v) {
    WriteWord(v);
    return *this;
}
TQSRStream& TQSRStream::operator<<(int32_t v) {
    WriteLong(static_cast<DWORD>(v));
    return *this;
}
TQSRStream& TQSRStream::operator<<(uint32_t v) {
    WriteLong(v);
    return *this;
}
TQSRStream& TQSRStream::operator<<(const char* s) {
    WriteString(s);
    return *this;
}

void ConvertFromCodePage(int codePage, char* text, int capacity) {
    if (!text || capacity < 1) return;
    if (codePage == 0 || static_cast<UINT>(codePage) == GetACP()) return;
    // The text is taken as it stands in the buffer, up to its terminator or the buffer's end.
    int len = static_cast<int>(strnlen(text, static_cast<size_t>(capacity)));
    if (len == 0) return;
    int units = MultiByteToWideChar(static_cast<UINT>(codePage), 0, text, len, nullptr, 0);
    if (units <= 0) return;
    std::vector<WCHAR> wide(static_cast<size_t>(units));
    if (MultiByteToWideChar(static_cast<UINT>(codePage), 0, text, len, wide.data(), units) != units) return;
    int bytes = WideCharToMultiByte(CP_ACP, 0, wide.data(), units, nullptr, 0, nullptr, nullptr);
    if (bytes <= 0) return;
    std::vector<char> out(static_cast<size_t>(bytes));
    WideCharToMultiByte(CP_ACP, 0, wide.data(), units, out.data(), bytes, nullptr, nullptr);
    // The ANSI code page has one byte per character, so any cut is at a character boundary.
    int keep = bytes < capacity - 1 ? bytes : capacity - 1;
    std::memcpy(text, out.data(), static_cast<size_t>(keep));
    text[keep] = 0;
}

float RoundToDecimals(float v, int decimals) {
    char text[64];
    qsm::FormatC(text, sizeof(text), "%01.*f", decimals, static_cast<double>(v));
    float r = v;
    qsm::ScanC(text, "%f", &r);
    return r;
}

WORD NextRandom16(WORD* seed, int n) {
    for (int i = 0; i <= n; ++i)
        *seed = static_cast<WORD>(*seed * 25173u + 13849u);
    return *seed;
}

int Sign(int v) {
    return v < 0 ? -1 : (v > 0 ? 1 : 0);
}

// Basic types of the platform layer: the sized integer names, handles, geometry records and small helpers
// that the rest of the system is written against. Integer widths follow the 32-bit model the stored formats
// use: LONG and DWORD are 32 bits on every host.
#pragma once

#include <cstddef>
#include <cstdint>

using BYTE = uint8_t;
using WORD = uint16_t;
using DWORD = uint32_t;
using UINT = uint32_t;
using INT = int32_t;
using LONG = int32_t;
using ULONG = uint32_t;
using SHORT = int16_t;
using USHORT = uint16_t;
using CHAR = char;
using UCHAR = unsigned char;
using BOOL = int32_t;
using BOOLEAN = uint8_t;
using COLORREF = uint32_t;
using ATOM = uint16_t;
using WCHAR = char16_t;  // one UTF-16 code unit, as the wide functions of the platform take them

using WPARAM = uintptr_t;
using LPARAM = intptr_t;
using LRESULT = intptr_t;
using UINT_PTR = uintptr_t;
using INT_PTR = intptr_t;
using DWORD_PTR = uintptr_t;
using SIZE_T = size_t;
using LONG_PTR = intptr_t;

using LPSTR = char*;
using LPCSTR = const char*;
using LPVOID = void*;
using LPCVOID = const void*;
using LPBYTE = BYTE*;
using LPDWORD = DWORD*;
using LPWSTR = WCHAR*;
using LPCWSTR = const WCHAR*;

#ifndef TRUE
#define TRUE 1
#endif
#ifndef FALSE
#define FALSE 0
#endif

#ifndef MAX_PATH
#define MAX_PATH 260
#endif

// Handles are distinct opaque pointer types so that one kind cannot be passed for another.
#define QSM_DECLARE_HANDLE(name) \
    struct name##__;             \
    using name = name##__*
QSM_DECLARE_HANDLE(HWND);
QSM_DECLARE_HANDLE(HDC);
QSM_DECLARE_HANDLE(HINSTANCE);
QSM_DECLARE_HANDLE(HKEY);
QSM_DECLARE_HANDLE(HMENU);
QSM_DECLARE_HANDLE(HICON);
QSM_DECLARE_HANDLE(HCURSOR);
QSM_DECLARE_HANDLE(HRSRC);
QSM_DECLARE_HANDLE(HGLOBAL_);
QSM_DECLARE_HANDLE(HACCEL);
QSM_DECLARE_HANDLE(HFONT);
QSM_DECLARE_HANDLE(HPEN);
QSM_DECLARE_HANDLE(HBRUSH);
QSM_DECLARE_HANDLE(HBITMAP);
QSM_DECLARE_HANDLE(HRGN);
QSM_DECLARE_HANDLE(HPALETTE);
QSM_DECLARE_HANDLE(HGDIOBJ_);
QSM_DECLARE_HANDLE(HMIDIOUT);
QSM_DECLARE_HANDLE(HMIDIIN);
QSM_DECLARE_HANDLE(HDROP);
QSM_DECLARE_HANDLE(HMONITOR);
#undef QSM_DECLARE_HANDLE

using HANDLE = void*;
using HMODULE = HINSTANCE;
using HGLOBAL = void*;
using HGDIOBJ = void*;

#define INVALID_HANDLE_VALUE (reinterpret_cast<HANDLE>(static_cast<intptr_t>(-1)))

struct POINT {
    LONG x;
    LONG y;
};
struct SIZE {
    LONG cx;
    LONG cy;
};
struct RECT {
    LONG left;
    LONG top;
    LONG right;
    LONG bottom;
};
using LPPOINT = POINT*;
using LPRECT = RECT*;
using LPCRECT = const RECT*;

constexpr WORD LOWORD(DWORD_PTR v) { return static_cast<WORD>(v & 0xFFFF); }
constexpr WORD HIWORD(DWORD_PTR v) { return static_cast<WORD>((v >> 16) & 0xFFFF); }
constexpr BYTE LOBYTE(DWORD_PTR v) { return static_cast<BYTE>(v & 0xFF); }
constexpr BYTE HIBYTE(DWORD_PTR v) { return static_cast<BYTE>((v >> 8) & 0xFF); }
constexpr WORD MAKEWORD(BYTE lo, BYTE hi) { return static_cast<WORD>(lo | (static_cast<WORD>(hi) << 8)); }
constexpr LONG MAKELONG(WORD lo, WORD hi) {
    return static_cast<LONG>(static_cast<DWORD>(lo) | (static_cast<DWORD>(hi) << 16));
}
constexpr WPARAM MAKEWPARAM(WORD lo, WORD hi) { return static_cast<WPARAM>(static_cast<DWORD>(MAKELONG(lo, hi))); }
constexpr LPARAM MAKELPARAM(WORD lo, WORD hi) { return static_cast<LPARAM>(MAKELONG(lo, hi)); }
// Signed coordinates packed in an LPARAM (mouse messages).
constexpr int GET_X_LPARAM(LPARAM lp) { return static_cast<SHORT>(LOWORD(static_cast<DWORD_PTR>(lp))); }
constexpr int GET_Y_LPARAM(LPARAM lp) { return static_cast<SHORT>(HIWORD(static_cast<DWORD_PTR>(lp))); }

constexpr COLORREF RGB(BYTE r, BYTE g, BYTE b) {
    return static_cast<COLORREF>(r) | (static_cast<COLORREF>(g) << 8) | (static_cast<COLORREF>(b) << 16);
}
constexpr BYTE GetRValue(COLORREF c) { return static_cast<BYTE>(c & 0xFF); }
constexpr BYTE GetGValue(COLORREF c) { return static_cast<BYTE>((c >> 8) & 0xFF); }
constexpr BYTE GetBValue(COLORREF c) { return static_cast<BYTE>((c >> 16) & 0xFF); }

// a * b / c computed in 64 bits and rounded half away from zero; -1 when c is 0 or the result does not fit
// in 32 bits.
int MulDiv(int a, int b, int c);

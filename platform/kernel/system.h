// Process-wide kernel services: the last-error value, kernel handles, the system version, the process token
// and the administrator test.
#pragma once

#include "platform/base/wintypes.h"

DWORD GetLastError();
void SetLastError(DWORD dwErrCode);

// Closes any handle the kernel layer gave out (files, searches, tokens). FALSE for an unknown handle.
BOOL CloseHandle(HANDLE hObject);

// The version as the system reports it: an NT platform of version 6.1, build 7601.
DWORD GetVersion();

#define VER_PLATFORM_WIN32s 0
#define VER_PLATFORM_WIN32_WINDOWS 1
#define VER_PLATFORM_WIN32_NT 2

struct OSVERSIONINFOA {
    DWORD dwOSVersionInfoSize;
    DWORD dwMajorVersion;
    DWORD dwMinorVersion;
    DWORD dwBuildNumber;
    DWORD dwPlatformId;
    CHAR szCSDVersion[128];
};
using LPOSVERSIONINFOA = OSVERSIONINFOA*;

BOOL GetVersionExA(LPOSVERSIONINFOA lpVersionInformation);

// The calling process (a pseudo handle that needs no closing) and its access token.
HANDLE GetCurrentProcess();
DWORD GetCurrentProcessId();

#define TOKEN_QUERY 0x0008

enum TOKEN_INFORMATION_CLASS { TokenElevationType = 18, TokenElevation = 20 };
enum TOKEN_ELEVATION_TYPE {
    TokenElevationTypeDefault = 1,
    TokenElevationTypeFull = 2,
    TokenElevationTypeLimited = 3
};

BOOL OpenProcessToken(HANDLE ProcessHandle, DWORD DesiredAccess, HANDLE* TokenHandle);
// Answers TokenElevationType (the default type: no split token here) and TokenElevation (elevated when the
// effective user is root).
BOOL GetTokenInformation(HANDLE TokenHandle, TOKEN_INFORMATION_CLASS TokenInformationClass,
                         LPVOID TokenInformation, DWORD TokenInformationLength, DWORD* ReturnLength);

// True when the effective user is the administrator (root).
BOOL IsUserAnAdmin();

// Passes a text to the debugger: here it goes to the debug sink (standard error unless one is set).
void OutputDebugStringA(LPCSTR lpOutputString);

namespace qsm {

// Where OutputDebugStringA sends its texts (null: standard error again). Returns the previous sink.
using DebugSink = void (*)(const char* text);
DebugSink SetDebugSink(DebugSink sink);

// Base of every object behind a kernel handle; CloseHandle destroys it.
class KernelObject {
public:
    virtual ~KernelObject() = default;
};

// Makes a handle for a kernel object (the handle owns it) and finds the object of a handle (null when the
// handle is unknown or of another kind).
HANDLE RegisterKernelObject(KernelObject* object);
KernelObject* LookupKernelObject(HANDLE handle);
template <class T>
T* LookupKernelObjectAs(HANDLE handle) {
    return dynamic_cast<T*>(LookupKernelObject(handle));
}

}  // namespace qsm

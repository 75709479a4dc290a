#include "platform/kernel/system.h"

#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstring>
#include <memory>
#include <mutex>
#include <unordered_map>

#include "platform/base/winerror.h"

namespace {

thread_local DWORD t_lastError = 0;

std::mutex& HandleMutex() {
    static std::mutex m;
    return m;
}

std::unordered_map<HANDLE, std::unique_ptr<qsm::KernelObject>>& HandleTable() {
    static auto* table = new std::unordered_map<HANDLE, std::unique_ptr<qsm::KernelObject>>();
    return *table;
}

class TokenObject : public qsm::KernelObject {};

constexpr DWORD kMajor = 6;
constexpr DWORD kMinor = 1;
constexpr DWORD kBuild = 7601;

HANDLE CurrentProcessPseudoHandle() {
    return reinterpret_cast<HANDLE>(static_cast<intptr_t>(-1) - 0);
}

}  // namespace

DWORD GetLastError() {
    return t_lastError;
}
void SetLastError(DWORD dwErrCode) {
    t_lastError = dwErrCode;
}

BOOL CloseHandle(HANDLE hObject) {
    std::unique_ptr<qsm::KernelObject> victim;
    {
        std::lock_guard<std::mutex> lock(HandleMutex());
        auto it = HandleTable().find(hObject);
        if (it == HandleTable().end()) {
            SetLastError(ERROR_INVALID_HANDLE);
            return FALSE;
        }
        victim = std::move(it->second);
        HandleTable().erase(it);
    }
    return TRUE;
}

DWORD GetVersion() {
    return kMajor | (kMinor << 8) | (kBuild << 16);
}

BOOL GetVersionExA(LPOSVERSIONINFOA info) {
    if (!info || info->dwOSVersionInfoSize < sizeof(OSVERSIONINFOA)) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return FALSE;
    }
    info->dwMajorVersion = kMajor;
    info->dwMinorVersion = kMinor;
    info->dwBuildNumber = kBuild;
    info->dwPlatformId = VER_PLATFORM_WIN32_NT;
    std::memset(info->szCSDVersion, 0, sizeof(info->szCSDVersion));
    return TRUE;
}

HANDLE GetCurrentProcess() {
    return CurrentProcessPseudoHandle();
}
DWORD GetCurrentProcessId() {
    return static_cast<DWORD>(getpid());
}

BOOL OpenProcessToken(HANDLE ProcessHandle, DWORD /*DesiredAccess*/, HANDLE* TokenHandle) {
    if (!TokenHandle || ProcessHandle != CurrentProcessPseudoHandle()) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    *TokenHandle = qsm::RegisterKernelObject(new TokenObject());
    return TRUE;
}

BOOL GetTokenInformation(HANDLE TokenHandle, TOKEN_INFORMATION_CLASS cls, LPVOID info, DWORD length,
                         DWORD* returnLength) {
    if (!qsm::LookupKernelObjectAs<TokenObject>(TokenHandle)) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    DWORD value = 0;
    switch (cls) {
        case TokenElevationType:
            value = TokenElevationTypeDefault;
            break;
        case TokenElevation:
            value = geteuid() == 0 ? 1 : 0;
            break;
        default:
            SetLastError(ERROR_INVALID_PARAMETER);
            return FALSE;
    }
    if (returnLength) *returnLength = sizeof(DWORD);
    if (!info || length < sizeof(DWORD)) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return FALSE;
    }
    std::memcpy(info, &value, sizeof(DWORD));
    return TRUE;
}

BOOL IsUserAnAdmin() {
    return geteuid() == 0 ? TRUE : FALSE;
}

namespace qsm {

HANDLE RegisterKernelObject(KernelObject* object) {
    HANDLE h = static_cast<HANDLE>(object);
    std::lock_guard<std::mutex> lock(HandleMutex());
    HandleTable()[h].reset(object);
    return h;
}

KernelObject* LookupKernelObject(HANDLE handle) {
    std::lock_guard<std::mutex> lock(HandleMutex());
    auto it = HandleTable().find(handle);
    return it == HandleTable().end() ? nullptr : it->second.get();
}

}  // namespace qsm

namespace {
std::atomic<qsm::DebugSink> g_debugSink{nullptr};
}  // namespace

void OutputDebugStringA(LPCSTR lpOutputString) {
    if (!lpOutputString) return;
    if (qsm::DebugSink sink = g_debugSink.load()) {
        sink(lpOutputString);
        return;
    }
    std::fputs(lpOutputString, stderr);
    std::fflush(stderr);
}

qsm::DebugSink qsm::SetDebugSink(DebugSink sink) {
    return g_debugSink.exchange(sink);
}

#include "core/sys_info.h"

#include <cstring>

#include "core/hooks.h"
#include "core/reg_key.h"
#include "core/text_utils.h"
#include "platform/kernel/module.h"
#include "platform/kernel/resources.h"
#include "platform/kernel/system.h"
#include "platform/registry/registry.h"

TSysInfo SysInfo;

TStatusState::TStatusState(const char* text, bool wait) : text_(text ? text : ""), wait_(wait) {
    if (wait_) SysInfo.BeginWaitCursor();
}

TStatusState::~TStatusState() {
    if (wait_) SysInfo.EndWaitCursor();
}

TSysInfo::TSysInfo() : version_(GetVersion()) {}

TSysInfo::~TSysInfo() {
    while (!status_.empty())
        status_.pop_back();
}

bool TSysInfo::IsNT() const {
    return (version_ & 0x80000000u) == 0;
}
bool TSysInfo::IsVersion4OrLater() const {
    return (version_ & 0xFF) > 3;
}
bool TSysInfo::IsWin9x() const {
    return IsVersion4OrLater() && !IsNT();
}
bool TSysInfo::IsWin32s() const {
    return !IsNT() && (version_ & 0xFF) <= 3;
}
bool TSysInfo::IsNT5OrLater() const {
    return IsNT() && (version_ & 0xFF) > 4;
}
bool TSysInfo::IsNT6OrLater() const {
    return IsNT() && (version_ & 0xFF) > 5;
}

bool TSysInfo::IsWin98OrLater() const {
    if (!IsWin9x()) return false;
    OSVERSIONINFOA info{};
    info.dwOSVersionInfoSize = sizeof(info);
    if (!GetVersionExA(&info) || info.dwPlatformId != VER_PLATFORM_WIN32_WINDOWS) return false;
    return info.dwMajorVersion > 4 || (info.dwMajorVersion == 4 && info.dwMinorVersion != 0);
}

bool TSysInfo::IsUserAdmin() {
    if (adminAnswer_ < 0) adminAnswer_ = IsUserAnAdmin() ? 1 : 0;
    return adminAnswer_ != 0;
}

bool TSysInfo::IsElevationLimited() const {
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return false;
    DWORD type = 0, size = 0;
    bool limited = GetTokenInformation(token, TokenElevationType, &type, sizeof(type), &size) &&
                   type == TokenElevationTypeLimited;
    CloseHandle(token);
    return limited;
}

void TSysInfo::PushStatus(const char* text, bool wait) {
    status_.push_back(std::make_unique<TStatusState>(text ? text : "Working...", wait));
    ShowStatus(true);
}

void TSysInfo::PushStatusId(UINT id, bool wait) {
    char text[128];
    static const int kAnchor = 0;
    HMODULE module = qsm::ModuleOfAddress(&kAnchor);
    LoadStringA(module, id, text, sizeof(text));
    PushStatus(text, wait);
}

void TSysInfo::PopStatus() {
    if (status_.size() > 1) status_.pop_back();
    ShowStatus(true);
}

void TSysInfo::ResetStatus() {
    waitNesting_ = 0;
    while (status_.size() > 1)
        status_.pop_back();
    ShowStatus(true);
}

void TSysInfo::ShowStatus(bool repaint) {
    if (!status_.empty()) qsm::ShowStatusText(status_.back()->GetText(), repaint);
}

const char* TSysInfo::GetStatusText() const {
    return status_.empty() ? "" : status_.back()->GetText();
}

void TSysInfo::BeginWaitCursor() {
    if (waitNesting_ == 0) savedCursor_ = qsm::ShowWaitCursor();
    ++waitNesting_;
}

void TSysInfo::EndWaitCursor() {
    if (waitNesting_ <= 1) {
        qsm::RestoreCursor(savedCursor_);
        waitNesting_ = 0;
    } else {
        --waitNesting_;
    }
}

void TSysInfo::SetNames(const char* company, const char* application) {
    company_ = company ? std::make_unique<std::string>(company) : nullptr;
    application_ = application ? std::make_unique<std::string>(application) : nullptr;
}

std::unique_ptr<TKey> TSysInfo::OpenAppKey() {
    if (!company_ || !application_ || company_->empty() || application_->empty()) return nullptr;
    TKey software(HKEY_CURRENT_USER, "Software", false);
    if (!software.IsOpen()) return nullptr;
    TKey company(software.GetHandle(), company_->c_str(), true);
    if (!company.IsOpen()) return nullptr;
    auto app = std::make_unique<TKey>(company.GetHandle(), application_->c_str(), true);
    if (!app->IsOpen()) return nullptr;
    return app;
}

std::unique_ptr<TKey> TSysInfo::OpenSectionKey(const char* section) {
    std::unique_ptr<TKey> app = OpenAppKey();
    if (!app || !section || !*section) return app;
    auto key = std::make_unique<TKey>(app->GetHandle(), section, true);
    if (!key->IsOpen()) return nullptr;
    return key;
}

int32_t TSysInfo::ReadInt(const char* section, const char* name, int32_t defaultValue) {
    std::unique_ptr<TKey> key = OpenSectionKey(section);
    if (!key) return defaultValue;
    return static_cast<int32_t>(key->QueryDWord(static_cast<DWORD>(defaultValue), name));
}

bool TSysInfo::ReadString(const char* section, const char* name, const char* defaultText, char* buffer,
                          DWORD size) {
    std::unique_ptr<TKey> key = OpenSectionKey(section);
    if (!key) {
        SafeStrCopy(buffer, defaultText, static_cast<int>(size));
        return false;
    }
    DWORD type = 0, count = 0;
    bool stored =
        RegQueryValueExA(key->GetHandle(), name, nullptr, &type, nullptr, &count) == ERROR_SUCCESS &&
        type == REG_SZ;
    if (!stored) {
        SafeStrCopy(buffer, defaultText, static_cast<int>(size));
        return false;
    }
    return key->QueryString(buffer, size, defaultText, name);
}

DWORD TSysInfo::ReadBlob(const char* section, const char* name, const void* defaultBlock, void* buffer,
                         DWORD size) {
    std::unique_ptr<TKey> key = OpenSectionKey(section);
    if (!key) {
        if (!defaultBlock || !buffer) return 0;
        std::memcpy(buffer, defaultBlock, size);
        return size;
    }
    return key->QueryBinary(buffer, size, defaultBlock, name);
}

bool TSysInfo::WriteInt(const char* section, const char* name, int32_t value) {
    std::unique_ptr<TKey> key = OpenSectionKey(section);
    return key && key->SetDWord(static_cast<DWORD>(value), name);
}

bool TSysInfo::WriteString(const char* section, const char* name, const char* value) {
    if (!name) {
        // The whole section goes.
        if (!section || !*section) return false;
        std::unique_ptr<TKey> app = OpenAppKey();
        return app && app->DeleteSubKey(section);
    }
    std::unique_ptr<TKey> key = OpenSectionKey(section);
    if (!key) return false;
    if (!value) return key->DeleteValue(name);
    return key->SetString(value, name);
}

bool TSysInfo::WriteBlob(const char* section, const char* name, const void* data, DWORD size) {
    std::unique_ptr<TKey> key = OpenSectionKey(section);
    return key && key->SetBinary(data, size, name);
}

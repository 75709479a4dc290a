// The process-wide object that holds the system version and the tests derived from it, the stack of status
// texts shown on the main window's message bar (each with an optional wait cursor), and the settings store:
// integers, strings and byte blocks by section and name under
// HKEY_CURRENT_USER\Software\<company>\<application>\<section>.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/base/wintypes.h"

class TKey;

// One status text; one made with the wait flag holds a wait-cursor request while it lives.
class TStatusState {
public:
    TStatusState(const char* text, bool wait);
    ~TStatusState();
    TStatusState(const TStatusState&) = delete;
    TStatusState& operator=(const TStatusState&) = delete;

    const char* GetText() const { return text_.c_str(); }
    bool IsWait() const { return wait_; }

private:
    std::string text_;
    bool wait_;
};

class TSysInfo {
public:
    TSysInfo();
    ~TSysInfo();
    TSysInfo(const TSysInfo&) = delete;
    TSysInfo& operator=(const TSysInfo&) = delete;

    // System information from the version taken at construction.
    DWORD GetVersionWord() const { return version_; }
    bool IsNT() const;
    bool IsVersion4OrLater() const;
    bool HasVersion4Shell() const { return IsVersion4OrLater(); }
    bool IsWin9x() const;
    bool IsWin32s() const;
    bool IsNT5OrLater() const;
    bool IsNT6OrLater() const;
    bool IsWin98OrLater() const;
    // Computed once and kept for the process.
    bool IsUserAdmin();
    bool IsElevationLimited() const;

    // Status texts. A null text pushes "Working...". The stack grows as needed; the bottom text is the base
    // text, which PopStatus never removes.
    void PushStatus(const char* text, bool wait);
    // The text of a string resource (at most 127 characters) of the module that holds this code.
    void PushStatusId(UINT id, bool wait);
    void PopStatus();
    void ResetStatus();
    // Shows the top text through the status text sink (see core/hooks.h).
    void ShowStatus(bool repaint);
    const char* GetStatusText() const;
    int GetStatusDepth() const { return static_cast<int>(status_.size()); }

    void BeginWaitCursor();
    void EndWaitCursor();
    int GetWaitNesting() const { return waitNesting_; }

    // The settings store. Before SetNames every read gives its default and every write fails.
    void SetNames(const char* company, const char* application);
    bool IsRegistryMode() const { return registryMode_ != 0; }
    int32_t ReadInt(const char* section, const char* name, int32_t defaultValue);
    // At most size-1 characters and a terminator: the stored string, or the default when the key or value
    // is missing or of another type. True when the stored string was read.
    bool ReadString(const char* section, const char* name, const char* defaultText, char* buffer, DWORD size);
    // The value's bytes (at most size) and their count; when missing, the default block's size bytes (the
    // default holds size bytes) and size, or 0 without a default.
    DWORD ReadBlob(const char* section, const char* name, const void* defaultBlock, void* buffer, DWORD size);
    bool WriteInt(const char* section, const char* name, int32_t value);
    // A null value deletes the value; a null name deletes the whole section key.
    bool WriteString(const char* section, const char* name, const char* value);
    bool WriteBlob(const char* section, const char* name, const void* data, DWORD size);

    // HKCU\Software\<company>\<application>, opened or created; null when the names are unset or the key
    // cannot be opened.
    std::unique_ptr<TKey> OpenAppKey();
    // The section under the application key (the application key itself for an empty or null section).
    std::unique_ptr<TKey> OpenSectionKey(const char* section);

private:
    std::vector<std::unique_ptr<TStatusState>> status_;
    DWORD version_;
    HCURSOR savedCursor_ = nullptr;
    int32_t waitNesting_ = 0;
    int32_t registryMode_ = 1;
    std::unique_ptr<std::string> company_;
    std::unique_ptr<std::string> application_;
    int adminAnswer_ = -1;
};

// The one settings and status object of the process.
extern TSysInfo SysInfo;

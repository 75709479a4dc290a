// Opening in the browser, shortcut files and special folders.
#include "ui/shell.h"

#include <cstring>
#include <fstream>
#include <string>

#include "platform/base/compiler.h"
#include "platform/kernel/files.h"
#include "platform/wm/folder_dialog.h"
#include "platform/wm/winuser.h"
#include "ui/message_box.h"

int OpenInBrowser(const char* addressOrFile) {
    SHELLEXECUTEINFOA info{};
    info.cbSize = sizeof info;
    info.lpVerb = "open";
    info.lpFile = addressOrFile;
    info.nShow = SW_SHOWDEFAULT;
    if (ShellExecuteExA(&info)) return 1;
    AppInfoBox(
        "First try failed, probably due to a system setup problem with your default browser.\n"
        "Now trying a different approach...");
    info = SHELLEXECUTEINFOA{};
    info.cbSize = sizeof info;
    info.fMask = SEE_MASK_CLASSNAME;
    info.lpClass = "htmlfile";
    info.lpVerb = "open";
    info.lpFile = addressOrFile;
    info.nShow = SW_SHOWDEFAULT;
    return ShellExecuteExA(&info) ? 1 : 0;
}

namespace {

int ShowFolderAtStart(HWND hwnd, UINT msg, LPARAM, LPARAM folder) {
    if (msg == BFFM_INITIALIZED) SendMessageA(hwnd, BFFM_SETSELECTIONA, TRUE, folder);
    return 0;
}

}  // namespace

bool BrowseForFolder(TWindow* window, char* path) {
    if (!path) return false;
    LPMALLOC allocator = nullptr;
    if (FAILED(SHGetMalloc(&allocator))) return false;
    auto* buffer = static_cast<char*>(allocator->Alloc(MAX_PATH));
    if (!buffer) {
        allocator->Release();
        return false;
    }
    BROWSEINFOA info{};
    TWindow* owner = FindMessageBoxOwner(window);
    info.hwndOwner = owner ? owner->GetHandle() : nullptr;
    info.pszDisplayName = buffer;
    info.ulFlags = BIF_RETURNONLYFSDIRS | BIF_EDITBOX | BIF_NEWDIALOGSTYLE;
    // The folder of the path, cut from a copy: the caller's path stays as it is unless a folder is chosen.
    std::string folder = qsm::NativePath(path);
    size_t slash = folder.find_last_of('/');
    folder = slash == std::string::npos ? std::string() : folder.substr(0, slash == 0 ? 1 : slash);
    const DWORD attributes = folder.empty() ? INVALID_FILE_ATTRIBUTES : GetFileAttributesA(folder.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        info.lpfn = ShowFolderAtStart;
        info.lParam = reinterpret_cast<LPARAM>(folder.c_str());
    }
    bool ok = false;
    if (LPITEMIDLIST item = SHBrowseForFolderA(&info)) {
        if (SHGetPathFromIDListA(item, buffer)) {
            std::memcpy(path, buffer, std::strlen(buffer) + 1);
            ok = true;
        }
        allocator->Free(item);
    }
    allocator->Free(buffer);
    allocator->Release();
    return ok;
}

namespace {

// A value of a desktop entry: no line breaks.
std::string OneLine(const char* text) {
    std::string s = text ? text : "";
    for (char& c : s)
        if (c == '\n' || c == '\r') c = ' ';
    return s;
}

// An argument of the Exec key: in double quotes, with the characters the format reserves escaped, and
// field codes kept from being expanded.
std::string QuotedArgument(const std::string& arg) {
    std::string out = "\"";
    for (char c : arg) {
        if (c == '"' || c == '`' || c == '$' || c == '\\') out += '\\';
        out += c;
        if (c == '%') out += '%';
    }
    return out + "\"";
}

}  // namespace

bool CreateShortcut(const char* shortcutPath, const char* target, const char* arguments,
                    const char* description) {
    if (!shortcutPath || !*shortcutPath || !target || !*target) return false;
    const std::string path = qsm::NativePath(shortcutPath);
    std::string name = path.substr(path.find_last_of('/') + 1);
    if (size_t dot = name.rfind('.'); dot != std::string::npos && dot > 0) name.resize(dot);
    std::string exec = QuotedArgument(qsm::NativePath(target));
    // gcc 12 reports the inlined string copy as overlapping; it is not (a known false report).
    QSM_GCC_FALSE_REPORT_BEGIN("-Wrestrict")
    for (const std::string& a : qsm::SplitCommandLine(OneLine(arguments)))
        exec += " " + QuotedArgument(a);
    QSM_GCC_FALSE_REPORT_END
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (!out) return false;
    out << "[Desktop Entry]\nType=Application\nName=" << OneLine(name.c_str()) << "\nExec=" << exec << "\n";
    if (description && *description) out << "Comment=" << OneLine(description) << "\n";
    out.flush();
    return static_cast<bool>(out);
}

bool GetSpecialFolderPath(int csidl, char* path) {
    if (!path) return false;
    LPMALLOC allocator = nullptr;
    if (FAILED(SHGetMalloc(&allocator))) return false;
    LPITEMIDLIST item = nullptr;
    bool ok = false;
    if (SUCCEEDED(SHGetSpecialFolderLocation(nullptr, csidl, &item))) {
        char buf[MAX_PATH];
        if (SHGetPathFromIDListA(item, buf)) {
            std::memcpy(path, buf, std::strlen(buf) + 1);
            ok = true;
        }
        allocator->Free(item);
    }
    allocator->Release();
    return ok;
}

// Opening in the browser, shortcut files and special folders.
#include "ui/shell.h"

#include <cstring>
#include <fstream>
#include <string>

#include "platform/kernel/files.h"
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
    for (const std::string& a : qsm::SplitCommandLine(OneLine(arguments)))
        exec += " " + QuotedArgument(a);
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

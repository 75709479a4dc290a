// Opening documents and starting programs through the launcher, shell verbs from the registry, and the
// special folders.
#include "platform/kernel/shell.h"
#include "platform/kernel/process_env.h"

#include <poll.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <thread>

#include "platform/kernel/files.h"
#include "platform/kernel/system.h"
#include "platform/kernel/text.h"
#include "platform/registry/registry.h"

namespace {

// Reaps a started program whenever it ends, so that it never lingers as a zombie.
void ReapLater(pid_t pid) {
    std::thread([pid] {
        int status;
        while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
    }).detach();
}

pid_t Spawn(const std::vector<std::string>& argv, const std::string& directory) {
    if (argv.empty() || argv[0].empty()) return -1;
    std::vector<char*> args;
    for (const std::string& a : argv)
        args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (!directory.empty()) posix_spawn_file_actions_addchdir_np(&actions, directory.c_str());
    pid_t pid = -1;
    // posix_spawnp reports a program that cannot be executed (missing, not executable) as an error.
    int rc = posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), qsm::ProcessEnvironment());
    posix_spawn_file_actions_destroy(&actions);
    return rc == 0 ? pid : -1;
}

// Runs an opener (xdg-open, gio) and waits for its answer. An opener that has not ended after a while is
// running the program itself (some desktops open that way): that counts as opened.
bool RunOpener(const std::vector<std::string>& argv) {
    pid_t pid = Spawn(argv, std::string());
    if (pid < 0) return false;
    int fd = static_cast<int>(syscall(SYS_pidfd_open, pid, 0));
    if (fd >= 0) {
        pollfd p{fd, POLLIN, 0};
        int ready = poll(&p, 1, 5000);
        close(fd);
        if (ready <= 0) {
            ReapLater(pid);
            return true;
        }
    }
    int status = 0;
    while (waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR) return false;
    }
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

class DesktopLauncher : public qsm::Launcher {
public:
    bool Open(const std::string& target) override {
        return RunOpener({"xdg-open", target}) || RunOpener({"gio", "open", target});
    }
    bool Run(const std::vector<std::string>& argv, const std::string& directory) override {
        pid_t pid = Spawn(argv, directory);
        if (pid < 0) return false;
        ReapLater(pid);
        return true;
    }
};

std::atomic<qsm::Launcher*> g_launcher{nullptr};

bool IsFile(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool IsProgram(const std::string& path) {
    return IsFile(path) && access(path.c_str(), X_OK) == 0;
}

// A program named without a folder is looked for on PATH.
bool NamesProgram(const std::string& file) {
    if (file.find('/') != std::string::npos) return IsProgram(file);
    const char* path = std::getenv("PATH");
    std::string dirs = path ? path : "";
    size_t start = 0;
    while (start <= dirs.size()) {
        size_t end = dirs.find(':', start);
        if (end == std::string::npos) end = dirs.size();
        std::string dir = dirs.substr(start, end - start);
        if (!dir.empty() && IsProgram(dir + "/" + file)) return true;
        start = end + 1;
    }
    return false;
}

std::string ReadString(HKEY root, const std::string& key) {
    HKEY k = nullptr;
    if (RegOpenKeyExA(root, key.c_str(), 0, KEY_READ, &k) != ERROR_SUCCESS) return std::string();
    char buf[2048] = {};
    DWORD size = sizeof buf - 1, type = 0;
    std::string out;
    if (RegQueryValueExA(k, nullptr, nullptr, &type, reinterpret_cast<LPBYTE>(buf), &size) == ERROR_SUCCESS &&
        (type == REG_SZ || type == REG_EXPAND_SZ))
        out.assign(buf, strnlen(buf, size));
    RegCloseKey(k);
    return out;
}

std::string ClassesValue(const std::string& key) {
    std::string v = ReadString(HKEY_CURRENT_USER, "Software\\Classes\\" + key);
    return v.empty() ? ReadString(HKEY_LOCAL_MACHINE, "Software\\Classes\\" + key) : v;
}

std::string Extension(const std::string& file) {
    size_t slash = file.find_last_of("/\\");
    size_t dot = file.rfind('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return std::string();
    return file.substr(dot);
}

// The arguments of a registered command with the file and the parameters put in.
std::vector<std::string> Expand(const std::string& command, const std::string& file,
                                const std::string& params) {
    std::vector<std::string> out;
    bool placed = false;
    for (std::string token : qsm::SplitCommandLine(command)) {
        if (token == "%*") {
            for (const std::string& p : qsm::SplitCommandLine(params))
                out.push_back(p);
            continue;
        }
        for (const char* mark : {"%1", "%L", "%l"}) {
            size_t at;
            while ((at = token.find(mark)) != std::string::npos) {
                token.replace(at, 2, file);
                placed = true;
            }
        }
        out.push_back(token);
    }
    if (!placed && !file.empty()) out.push_back(file);
    return out;
}

// The programs that stand for a Windows program of the same task on a Linux desktop, in the order they are
// tried: the volume control is the sound server's mixer, else the desktop's own.
const std::vector<std::vector<std::string>>* StandIns(const std::string& file) {
    static const std::vector<std::vector<std::string>> mixers = {
        {"pavucontrol"},         {"pavucontrol-qt"}, {"gnome-control-center", "sound"},
        {"mate-volume-control"}, {"xfce4-mixer"},    {"kmix"},
    };
    size_t slash = file.find_last_of("/\\");
    const std::string name = slash == std::string::npos ? file : file.substr(slash + 1);
    for (const char* volume : {"sndvol.exe", "sndvol32.exe"})
        if (qsm::CompareNoCase(name.c_str(), volume) == 0) return &mixers;
    return nullptr;
}

int Execute(const SHELLEXECUTEINFOA& info) {
    const std::string verb = info.lpVerb && *info.lpVerb ? info.lpVerb : "open";
    const std::string file = info.lpFile ? info.lpFile : "";
    const std::string params = info.lpParameters ? info.lpParameters : "";
    const std::string directory = info.lpDirectory ? qsm::NativePath(info.lpDirectory) : std::string();
    const bool isOpen = qsm::CompareNoCase(verb.c_str(), "open") == 0;
    if (file.empty()) return SE_ERR_FNF;
    std::string fileClass;
    if ((info.fMask & SEE_MASK_CLASSNAME) && info.lpClass)
        fileClass = info.lpClass;
    else if (!Extension(file).empty())
        fileClass = ClassesValue(Extension(file));
    std::string command = fileClass.empty() ? std::string() : qsm::ShellVerbCommand(fileClass, verb);
    qsm::Launcher& launcher = qsm::GetLauncher();
    const std::string native = file.find("://") == std::string::npos ? qsm::NativePath(file.c_str()) : file;
    if (!command.empty()) return launcher.Run(Expand(command, native, params), directory) ? 42 : SE_ERR_FNF;
    if (!isOpen) return SE_ERR_NOASSOC;
    if (const auto* standIns = StandIns(file)) {
        for (const std::vector<std::string>& argv : *standIns)
            if (launcher.Run(argv, directory)) return 42;
        return SE_ERR_FNF;
    }
    if (NamesProgram(native)) {
        std::vector<std::string> argv{native};
        for (const std::string& p : qsm::SplitCommandLine(params))
            argv.push_back(p);
        return launcher.Run(argv, directory) ? 42 : SE_ERR_FNF;
    }
    return launcher.Open(native) ? 42 : SE_ERR_FNF;
}

}  // namespace

qsm::Launcher* qsm::SetLauncher(Launcher* launcher) {
    return g_launcher.exchange(launcher);
}

qsm::Launcher& qsm::GetLauncher() {
    static DesktopLauncher desktop;
    Launcher* l = g_launcher.load();
    return l ? *l : desktop;
}

std::vector<std::string> qsm::SplitCommandLine(const std::string& line) {
    std::vector<std::string> out;
    std::string current;
    bool inQuotes = false, any = false;
    for (char c : line) {
        if (c == '"') {
            inQuotes = !inQuotes;
            any = true;
        } else if ((c == ' ' || c == '\t') && !inQuotes) {
            if (any) out.push_back(current);
            current.clear();
            any = false;
        } else {
            current += c;
            any = true;
        }
    }
    if (any) out.push_back(current);
    return out;
}

std::string qsm::ShellVerbCommand(const std::string& fileClass, const std::string& verb) {
    if (fileClass.empty() || verb.empty()) return std::string();
    return ClassesValue(fileClass + "\\shell\\" + verb + "\\command");
}

BOOL ShellExecuteExA(SHELLEXECUTEINFOA* pExecInfo) {
    if (!pExecInfo || pExecInfo->cbSize != sizeof(SHELLEXECUTEINFOA)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    int result = Execute(*pExecInfo);
    pExecInfo->hInstApp = reinterpret_cast<HINSTANCE>(static_cast<intptr_t>(result));
    if (result > 32) return TRUE;
    SetLastError(ERROR_FILE_NOT_FOUND);
    return FALSE;
}

HINSTANCE ShellExecuteA(HWND hwnd, LPCSTR lpOperation, LPCSTR lpFile, LPCSTR lpParameters, LPCSTR lpDirectory,
                        INT nShowCmd) {
    SHELLEXECUTEINFOA info{};
    info.cbSize = sizeof info;
    info.hwnd = hwnd;
    info.lpVerb = lpOperation;
    info.lpFile = lpFile;
    info.lpParameters = lpParameters;
    info.lpDirectory = lpDirectory;
    info.nShow = nShowCmd;
    ShellExecuteExA(&info);
    return info.hInstApp;
}

UINT WinExec(LPCSTR lpCmdLine, UINT) {
    std::string line = lpCmdLine ? lpCmdLine : "";
    size_t start = line.find_first_not_of(" \t");
    if (start == std::string::npos) return ERROR_FILE_NOT_FOUND;
    line = line.substr(start);
    std::vector<std::string> argv = qsm::SplitCommandLine(line);
    if (line[0] != '"') {
        // An unquoted program path may hold blanks: the shortest start of the line that names a file wins.
        for (size_t end = line.find(' '); end != std::string::npos; end = line.find(' ', end + 1)) {
            std::string candidate = qsm::NativePath(line.substr(0, end).c_str());
            if (IsFile(candidate)) {
                argv = qsm::SplitCommandLine(line.substr(end + 1));
                argv.insert(argv.begin(), candidate);
                break;
            }
        }
    }
    if (argv.empty()) return ERROR_FILE_NOT_FOUND;
    argv[0] = qsm::NativePath(argv[0].c_str());
    return qsm::GetLauncher().Run(argv, std::string()) ? 33 : ERROR_FILE_NOT_FOUND;
}

// ---- special folders ----

// An item is the path's bytes with their terminator.
struct ITEMIDLIST {};

namespace {

class ShellAllocator : public IMalloc {
public:
    void* Alloc(SIZE_T size) override { return std::malloc(size ? size : 1); }
    void Free(void* block) override { std::free(block); }
    ULONG AddRef() override { return 1; }
    ULONG Release() override { return 1; }
};

ShellAllocator g_allocator;

std::string Home() {
    const char* h = std::getenv("HOME");
    return h && *h ? h : "/";
}

bool IsFolder(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::string ConfigHome() {
    const char* c = std::getenv("XDG_CONFIG_HOME");
    return c && *c == '/' ? c : Home() + "/.config";
}

// XDG_DOCUMENTS_DIR="$HOME/Documents" in user-dirs.dirs.
std::string DocumentsFolder() {
    std::ifstream in(ConfigHome() + "/user-dirs.dirs");
    std::string line;
    while (std::getline(in, line)) {
        const std::string key = "XDG_DOCUMENTS_DIR=";
        if (line.compare(0, key.size(), key) != 0) continue;
        std::string v = line.substr(key.size());
        if (v.size() >= 2 && v.front() == '"' && v.back() == '"') v = v.substr(1, v.size() - 2);
        if (v.compare(0, 5, "$HOME") == 0) v = Home() + v.substr(5);
        // A documents folder that is the home folder itself means "not set".
        if (!v.empty() && v[0] == '/' && v != Home() && v != Home() + "/") return v;
    }
    return IsFolder(Home() + "/Documents") ? Home() + "/Documents" : Home();
}

std::string DataHome() {
    const char* d = std::getenv("XDG_DATA_HOME");
    return d && *d == '/' ? d : Home() + "/.local/share";
}

}  // namespace

HRESULT SHGetMalloc(LPMALLOC* ppMalloc) {
    if (!ppMalloc) return E_INVALIDARG;
    *ppMalloc = &g_allocator;
    return S_OK;
}

LPITEMIDLIST ILCreateFromPathA(LPCSTR path) {
    if (!path) return nullptr;
    size_t n = std::strlen(path);
    void* item = g_allocator.Alloc(n + 1);
    if (item) std::memcpy(item, path, n + 1);
    return static_cast<LPITEMIDLIST>(item);
}

HRESULT SHGetSpecialFolderLocation(HWND, int csidl, LPITEMIDLIST* ppidl) {
    if (!ppidl) return E_INVALIDARG;
    *ppidl = nullptr;
    std::string path;
    if (csidl == CSIDL_PERSONAL)
        path = DocumentsFolder();
    else if (csidl == CSIDL_LOCAL_APPDATA)
        path = DataHome();
    else
        return E_INVALIDARG;
    *ppidl = ILCreateFromPathA(path.c_str());
    return *ppidl ? S_OK : E_FAIL;
}

BOOL SHGetPathFromIDListA(LPCITEMIDLIST pidl, LPSTR pszPath) {
    if (!pidl || !pszPath) return FALSE;
    const char* path = reinterpret_cast<const char*>(pidl);
    size_t n = std::strlen(path);
    if (n >= MAX_PATH) {
        pszPath[0] = 0;
        return FALSE;
    }
    std::memcpy(pszPath, path, n + 1);
    return TRUE;
}

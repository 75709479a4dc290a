#include "core/file_utils.h"

#include <sys/stat.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "core/file_stream.h"
#include "core/hooks.h"
#include "core/text_utils.h"
#include "platform/kernel/system.h"
#include "platform/kernel/text.h"

namespace {

bool IsSeparator(char c) {
    return c == '/' || c == '\\';
}

int LastSeparator(const char* path) {
    int last = -1;
    for (const char* p = path; *p;) {
        const char* next = CharNextA(p);
        if (next == p + 1 && IsSeparator(*p)) last = static_cast<int>(p - path);
        p = next;
    }
    return last;
}

void Store(char* path, const std::string& s) {
    SafeStrCopy(path, s.c_str(), MAX_PATH);
}

bool SameFile(const char* a, const char* b) {
    struct stat sa, sb;
    std::string pa = qsm::NativePath(a), pb = qsm::NativePath(b);
    return ::stat(pa.c_str(), &sa) == 0 && ::stat(pb.c_str(), &sb) == 0 && sa.st_dev == sb.st_dev &&
           sa.st_ino == sb.st_ino;
}

}  // namespace

void SplitPath(const char* path, int* folderEnd, int* extensionStart) {
    int folder = -1, ext = -1, len = 0;
    if (path) {
        for (const char* p = path; *p;) {
            const char* next = CharNextA(p);
            if (next == p + 1) {
                if (IsSeparator(*p)) {
                    folder = static_cast<int>(p - path);
                    ext = -1;
                } else if (*p == '.') {
                    ext = static_cast<int>(p - path);
                }
            }
            p = next;
        }
        len = static_cast<int>(std::strlen(path));
    }
    if (folderEnd) *folderEnd = folder;
    if (extensionStart) *extensionStart = ext < 0 ? len : ext;
}

int GetExtensionPos(const char* path) {
    int ext = 0;
    SplitPath(path, nullptr, &ext);
    return ext;
}

const char* GetExtensionPart(const char* path) {
    return path ? path + GetExtensionPos(path) : "";
}

const char* GetFileNamePart(const char* path) {
    if (!path) return "";
    return path + LastSeparator(path) + 1;
}

void ReplaceExtension(char* path, const char* extension) {
    if (!path) return;
    std::string s(path, static_cast<size_t>(GetExtensionPos(path)));
    if (extension && *extension) {
        if (*extension != '.') s.push_back('.');
        s += extension;
    }
    Store(path, s);
}

void AppendExtensionIfNone(char* path, const char* extension) {
    if (!path || !extension || *GetExtensionPart(path)) return;
    std::string s(path);
    if (*extension != '.') s.push_back('.');
    s += extension;
    Store(path, s);
}

void StripFileName(char* path, bool cutName) {
    if (!path) return;
    if (cutName) path[LastSeparator(path) + 1] = 0;
    size_t len = std::strlen(path);
    if (len == 0 || !IsSeparator(path[len - 1])) return;
    // A root keeps its separator.
    if (len == 1 || (len == 3 && path[1] == ':')) return;
    path[len - 1] = 0;
    if (path[0] == '\\' && path[1] == '\\') {
        int count = 0;
        for (const char* p = path; *p; ++p)
            count += *p == '\\';
        if (count < 4 && len < MAX_PATH) std::strcat(path, "\\");
    }
}

void AppendPath(char* path, const char* part) {
    if (!path || !part) return;
    std::string s(path);
    while (!s.empty() && IsSeparator(s.back()) && s.size() > 1)
        s.pop_back();
    while (IsSeparator(*part))
        ++part;
    if (s.empty() || !IsSeparator(s.back())) s.push_back('/');
    s += part;
    Store(path, s);
}

void ComposePath(const char* path, char* out, int parts) {
    if (!out) return;
    if (!path) path = "";
    int folder = 0, ext = 0;
    SplitPath(path, &folder, &ext);
    std::string s;
    if (parts & 1) s.append(path, static_cast<size_t>(folder + 1));
    if (parts & 2) s.append(path + folder + 1, static_cast<size_t>(ext - folder - 1));
    if (parts & 4) s += path[ext] ? path + ext : ".";
    Store(out, s);
}

void MakeAbsolutePath(char* path) {
    if (!path || !*path || LastSeparator(path) >= 0 || (path[1] == ':' && path[0] != 0)) return;
    char cwd[MAX_PATH];
    DWORD n = GetCurrentDirectoryA(MAX_PATH, cwd);
    if (n == 0 || n >= MAX_PATH) return;
    std::string name(path);
    Store(path, cwd);
    AppendPath(path, name.c_str());
}

const char* GetPathBelowFolder(const char* path, const char* folder) {
    if (!path || !folder || !*folder) return nullptr;
    size_t n = std::strlen(folder);
    if (std::strlen(path) < n || qsm::CompareNoCase(path, folder, static_cast<int>(n)) != 0) return nullptr;
    if (IsSeparator(folder[n - 1])) return path + n;
    return IsSeparator(path[n]) ? path + n + 1 : nullptr;
}

void GetShortPath(const char* path, char* out) {
    if (!out) return;
    DWORD n = path ? GetShortPathNameA(path, out, MAX_PATH) : 0;
    if (n == 0 || n >= MAX_PATH) SafeStrCopy(out, path, MAX_PATH);
}

void GetTrueFileName(const char* path, char* out) {
    if (!out) return;
    SafeStrCopy(out, path, MAX_PATH);
    if (!path) return;
    WIN32_FIND_DATAA fd;
    HANDLE h = FindFirstFileA(path, &fd);
    if (h == INVALID_HANDLE_VALUE) return;
    FindClose(h);
    std::string s(path, static_cast<size_t>(LastSeparator(path) + 1));
    s += fd.cFileName;
    Store(out, s);
}

bool GetFileTimeByName(const char* path, FILETIME* time) {
    if (!time) return false;
    *time = FILETIME{0, 0};
    HANDLE h = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    bool ok = GetFileTime(h, nullptr, nullptr, time) != FALSE;
    CloseHandle(h);
    if (!ok) *time = FILETIME{0, 0};
    return ok;
}

bool IsFolder(const char* path) {
    DWORD a = path ? GetFileAttributesA(path) : INVALID_FILE_ATTRIBUTES;
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

bool IsPlainFile(const char* path) {
    DWORD a = path ? GetFileAttributesA(path) : INVALID_FILE_ATTRIBUTES;
    return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
}

bool IsReadOnlyFile(const char* path) {
    DWORD a = path ? GetFileAttributesA(path) : INVALID_FILE_ATTRIBUTES;
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_READONLY);
}

bool CreateFolder(const char* path) {
    return CreateDirectoryA(path, nullptr) != FALSE;
}
bool RemoveFolder(const char* path) {
    return RemoveDirectoryA(path) != FALSE;
}
bool RemoveFile(const char* path) {
    return DeleteFileA(path) != FALSE;
}

bool CopyFileUnlessSame(const char* source, const char* target) {
    if (!source || !target || SameFile(source, target)) return false;
    return CopyFileA(source, target, FALSE) != FALSE;
}

bool MoveFileReplacing(const char* source, const char* target) {
    if (!source || !target || SameFile(source, target)) return false;
    return MoveFileExA(source, target, MOVEFILE_REPLACE_EXISTING | MOVEFILE_COPY_ALLOWED) != FALSE;
}

bool MakeUniqueFileName(char* out, const char* folder, const char* baseName, const char* extension) {
    if (!out) return false;
    char base[MAX_PATH];
    SafeStrCopy(base, folder ? folder : "", MAX_PATH);
    if (*base) {
        AppendPath(base, baseName ? baseName : "");
    } else {
        SafeStrCopy(base, baseName, MAX_PATH);
    }
    for (int n = 1; n < 12000; ++n) {
        char name[MAX_PATH];
        int len = std::snprintf(name, sizeof(name), "%s%d.%s", base, n, extension ? extension : "");
        if (len < 0 || len >= MAX_PATH) return false;
        if (GetFileAttributesA(name) == INVALID_FILE_ATTRIBUTES) {
            SafeStrCopy(out, name, MAX_PATH);
            return true;
        }
    }
    return false;
}

bool ReplaceFileWithBackup(const char* path, const char* backupFolder, const char* backupExtension,
                           int copies) {
    if (!path) return false;
    if (!IsPlainFile(path)) return true;
    const char* bakExt = backupExtension && *backupExtension ? backupExtension : ".bak";
    char folder[MAX_PATH];
    if (backupFolder && *backupFolder) {
        SafeStrCopy(folder, backupFolder, MAX_PATH);
    } else {
        SafeStrCopy(folder, path, MAX_PATH);
        StripFileName(folder, true);
    }
    std::string name = GetFileNamePart(path);
    std::string stem(name, 0, static_cast<size_t>(GetExtensionPos(name.c_str())));
    std::string ext = GetExtensionPart(name.c_str());
    if (copies < 1) copies = 1;
    std::string chosen;
    FILETIME oldest{0xFFFFFFFFu, 0xFFFFFFFFu};
    for (int k = 0; k < copies; ++k) {
        char file[MAX_PATH];
        if (k == 0) {
            std::snprintf(file, sizeof(file), "%s%s", name.c_str(), bakExt);
        } else {
            std::snprintf(file, sizeof(file), "%s.q%d%s%s", stem.c_str(), k, ext.c_str(), bakExt);
        }
        char full[MAX_PATH];
        SafeStrCopy(full, folder, MAX_PATH);
        AppendPath(full, file);
        FILETIME t;
        if (!GetFileTimeByName(full, &t)) {
            chosen = full;
            break;
        }
        if (CompareFileTime(&t, &oldest) < 0) {
            oldest = t;
            chosen = full;
        }
    }
    return MoveFileExA(path, chosen.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_COPY_ALLOWED) != FALSE;
}

int HasCrLfLineEnds(const char* path, int defaultAnswer) {
    TQSRBFStream in(TQSRFStream::kRead | TQSRFStream::kShareRead, path, 30000);
    if (in.GetError()) return 0;
    bool sawLf = false;
    BYTE prev = 0;
    for (;;) {
        BYTE b = in.Get();
        if (in.GetError()) break;
        if (b == 10) {
            if (prev != 13) return 0;
            sawLf = true;
        }
        prev = b;
    }
    return sawLf ? 1 : defaultAnswer;
}

bool RepairCrLfCopy(const char* source, const char* target) {
    TQSRBFStream in(TQSRFStream::kRead | TQSRFStream::kShareRead, source, 30000);
    if (in.GetError()) return false;
    TQSRBFStream out(TQSRFStream::kWrite, target, 30000);
    if (out.GetError()) return false;
    bool pendingCr = false;
    for (;;) {
        BYTE b = in.Get();
        if (in.GetError()) break;
        if (pendingCr) {
            pendingCr = false;
            if (b == 10) {
                out.Put(10);
                continue;
            }
            out.Put(13);
        } else if (b == 10) {
            return false;
        }
        if (b == 13) {
            pendingCr = true;
        } else {
            out.Put(b);
        }
    }
    if (pendingCr) out.Put(13);
    out.Close();
    return out.GetError() == 0;
}

TSavedCurrentDir::TSavedCurrentDir() : folder_(new char[MAX_PATH]) {
    DWORD n = GetCurrentDirectoryA(MAX_PATH, folder_);
    if (n == 0 || n >= MAX_PATH) folder_[0] = 0;
}

TSavedCurrentDir::~TSavedCurrentDir() {
    if (folder_[0]) SetCurrentDirectoryA(folder_);
    delete[] folder_;
}

TQSBusyCursor::TQSBusyCursor(bool on) {
    Set(on);
}

TQSBusyCursor::~TQSBusyCursor() {
    Set(false);
}

void TQSBusyCursor::Set(bool on) {
    if (on == on_) return;
    if (on) {
        saved_ = qsm::ShowWaitCursor();
    } else {
        qsm::RestoreCursor(saved_);
    }
    on_ = on;
}

#include "platform/kernel/files.h"

#include <dirent.h>
#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

#include "platform/base/winerror.h"
#include "platform/kernel/system.h"
#include "platform/kernel/text.h"

namespace {

class FileObject : public qsm::KernelObject {
public:
    explicit FileObject(int fd) : fd_(fd) {}
    ~FileObject() override {
        if (fd_ >= 0) ::close(fd_);
    }
    int fd() const { return fd_; }

private:
    int fd_;
};

class FindObject : public qsm::KernelObject {
public:
    std::vector<WIN32_FIND_DATAA> matches;
    size_t next = 0;
};

constexpr int64_t kEpochDifference = 11644473600LL;  // seconds from 1601 to 1970

DWORD ErrorFromErrno(int e) {
    switch (e) {
        case ENOENT:
            return ERROR_FILE_NOT_FOUND;
        case ENOTDIR:
            return ERROR_PATH_NOT_FOUND;
        case EACCES:
        case EPERM:
        case EROFS:
        case EISDIR:
            return ERROR_ACCESS_DENIED;
        case EEXIST:
            return ERROR_ALREADY_EXISTS;
        case ENOTEMPTY:
            return ERROR_DIR_NOT_EMPTY;
        case ENOMEM:
            return ERROR_NOT_ENOUGH_MEMORY;
        case EBADF:
            return ERROR_INVALID_HANDLE;
        case ENOSPC:
        case EIO:
            return ERROR_WRITE_FAULT;
        default:
            return ERROR_INVALID_FUNCTION;
    }
}

BOOL Fail() {
    SetLastError(ErrorFromErrno(errno));
    return FALSE;
}

int Fd(HANDLE h) {
    auto* f = qsm::LookupKernelObjectAs<FileObject>(h);
    if (!f) {
        SetLastError(ERROR_INVALID_HANDLE);
        return -1;
    }
    return f->fd();
}

uint64_t ToTicks(const FILETIME& ft) {
    return (static_cast<uint64_t>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime;
}

FILETIME FromTicks(uint64_t t) {
    return FILETIME{static_cast<DWORD>(t & 0xFFFFFFFFu), static_cast<DWORD>(t >> 32)};
}

FILETIME FromTimespec(const timespec& ts) {
    int64_t secs = static_cast<int64_t>(ts.tv_sec) + kEpochDifference;
    if (secs < 0) return FILETIME{0, 0};
    return FromTicks(static_cast<uint64_t>(secs) * 10000000ULL + static_cast<uint64_t>(ts.tv_nsec / 100));
}

timespec ToTimespec(const FILETIME& ft) {
    uint64_t t = ToTicks(ft);
    timespec ts;
    ts.tv_sec = static_cast<time_t>(static_cast<int64_t>(t / 10000000ULL) - kEpochDifference);
    ts.tv_nsec = static_cast<long>((t % 10000000ULL) * 100);  // NOLINT: the system's own field type
    return ts;
}

// Offset of local time from UTC, in seconds, at the given UTC second.
int64_t LocalOffsetAt(time_t utc) {
    tm local;
    if (!localtime_r(&utc, &local)) return 0;
    return local.tm_gmtoff;
}

void FillFindData(const std::string& path, const char* name, const struct stat& st, WIN32_FIND_DATAA& fd) {
    std::memset(&fd, 0, sizeof(fd));
    (void)path;
    fd.dwFileAttributes = S_ISDIR(st.st_mode) ? FILE_ATTRIBUTE_DIRECTORY : 0;
    if (!(st.st_mode & S_IWUSR)) fd.dwFileAttributes |= FILE_ATTRIBUTE_READONLY;
    if (fd.dwFileAttributes == 0) fd.dwFileAttributes = FILE_ATTRIBUTE_NORMAL;
    fd.ftCreationTime = FromTimespec(st.st_ctim);
    fd.ftLastAccessTime = FromTimespec(st.st_atim);
    fd.ftLastWriteTime = FromTimespec(st.st_mtim);
    uint64_t size = S_ISDIR(st.st_mode) ? 0 : static_cast<uint64_t>(st.st_size);
    fd.nFileSizeHigh = static_cast<DWORD>(size >> 32);
    fd.nFileSizeLow = static_cast<DWORD>(size & 0xFFFFFFFFu);
    size_t n = strnlen(name, MAX_PATH - 1);
    std::memcpy(fd.cFileName, name, n);
    fd.cFileName[n] = 0;
}

// "*" and "?" pattern matching without regard to case.
bool Matches(const char* pattern, const char* name) {
    const char* starP = nullptr;
    const char* starN = nullptr;
    while (*name) {
        if (*pattern == '*') {
            starP = pattern++;
            starN = name;
        } else if (*pattern == '?' || (*pattern && qsm::ToLower1252(static_cast<BYTE>(*pattern)) ==
                                                       qsm::ToLower1252(static_cast<BYTE>(*name)))) {
            ++pattern;
            ++name;
        } else if (starP) {
            pattern = starP + 1;
            name = ++starN;
        } else {
            return false;
        }
    }
    while (*pattern == '*')
        ++pattern;
    return *pattern == 0;
}

bool CopyContents(int in, int out) {
    std::vector<char> buf(65536);
    for (;;) {
        ssize_t n = ::read(in, buf.data(), buf.size());
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        if (n == 0) return true;
        ssize_t done = 0;
        while (done < n) {
            ssize_t w = ::write(out, buf.data() + done, static_cast<size_t>(n - done));
            if (w < 0) {
                if (errno == EINTR) continue;
                return false;
            }
            done += w;
        }
    }
}

// Copies a file into a new temporary file beside the target and returns its path (empty on failure).
std::string CopyBeside(const std::string& src, const std::string& dst, struct stat& st) {
    int in = ::open(src.c_str(), O_RDONLY | O_CLOEXEC);
    if (in < 0) return std::string();
    if (fstat(in, &st) != 0 || S_ISDIR(st.st_mode)) {
        int e = S_ISDIR(st.st_mode) ? EISDIR : errno;
        ::close(in);
        errno = e;
        return std::string();
    }
    std::string tmp = dst + ".XXXXXX";
    std::vector<char> name(tmp.begin(), tmp.end());
    name.push_back(0);
    int out = mkstemp(name.data());
    if (out < 0) {
        int e = errno;
        ::close(in);
        errno = e;
        return std::string();
    }
    bool ok = CopyContents(in, out);
    int e = errno;
    ::close(in);
    if (ok) {
        fchmod(out, st.st_mode & 07777);
        timespec times[2] = {st.st_atim, st.st_mtim};
        futimens(out, times);
        ok = ::fsync(out) == 0;
        e = errno;
    }
    if (::close(out) != 0 && ok) {
        ok = false;
        e = errno;
    }
    if (!ok) {
        ::unlink(name.data());
        errno = e;
        return std::string();
    }
    return std::string(name.data());
}

bool SameFile(const std::string& a, const std::string& b) {
    struct stat sa, sb;
    return ::stat(a.c_str(), &sa) == 0 && ::stat(b.c_str(), &sb) == 0 && sa.st_dev == sb.st_dev &&
           sa.st_ino == sb.st_ino;
}

DWORD CopyOut(const std::string& s, DWORD n, LPSTR buf) {
    if (!buf || s.size() + 1 > n) return static_cast<DWORD>(s.size() + 1);
    std::memcpy(buf, s.c_str(), s.size() + 1);
    return static_cast<DWORD>(s.size());
}

}  // namespace

namespace qsm {

std::string NativePath(const char* path) {
    std::string p(path ? path : "");
    std::replace(p.begin(), p.end(), '\\', '/');
    return p;
}

int FileDescriptorOf(HANDLE file) {
    auto* f = LookupKernelObjectAs<FileObject>(file);
    return f ? f->fd() : -1;
}

}  // namespace qsm

HANDLE CreateFileA(LPCSTR lpFileName, DWORD access, DWORD /*share*/, LPSECURITY_ATTRIBUTES, DWORD creation,
                   DWORD /*flags*/, HANDLE) {
    if (!lpFileName || !*lpFileName) {
        SetLastError(ERROR_PATH_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    int flags = O_CLOEXEC;
    bool rd = (access & GENERIC_READ) != 0;
    bool wr = (access & GENERIC_WRITE) != 0;
    flags |= (rd && wr) ? O_RDWR : (wr ? O_WRONLY : O_RDONLY);
    switch (creation) {
        case CREATE_NEW:
            flags |= O_CREAT | O_EXCL;
            break;
        case CREATE_ALWAYS:
            flags |= O_CREAT | O_TRUNC;
            break;
        case OPEN_EXISTING:
            break;
        case OPEN_ALWAYS:
            flags |= O_CREAT;
            break;
        case TRUNCATE_EXISTING:
            flags |= O_TRUNC;
            break;
        default:
            SetLastError(ERROR_INVALID_PARAMETER);
            return INVALID_HANDLE_VALUE;
    }
    std::string path = qsm::NativePath(lpFileName);
    struct stat st;
    if (::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) {
        SetLastError(ERROR_ACCESS_DENIED);
        return INVALID_HANDLE_VALUE;
    }
    int fd = ::open(path.c_str(), flags, 0666);
    if (fd < 0) {
        SetLastError(errno == EEXIST ? ERROR_FILE_EXISTS : ErrorFromErrno(errno));
        return INVALID_HANDLE_VALUE;
    }
    SetLastError(ERROR_SUCCESS);
    return qsm::RegisterKernelObject(new FileObject(fd));
}

BOOL ReadFile(HANDLE hFile, LPVOID lpBuffer, DWORD n, LPDWORD lpRead, LPVOID) {
    if (lpRead) *lpRead = 0;
    int fd = Fd(hFile);
    if (fd < 0) return FALSE;
    DWORD total = 0;
    while (total < n) {
        ssize_t r = ::read(fd, static_cast<char*>(lpBuffer) + total, n - total);
        if (r < 0) {
            if (errno == EINTR) continue;
            if (lpRead) *lpRead = total;
            return Fail();
        }
        if (r == 0) break;
        total += static_cast<DWORD>(r);
    }
    if (lpRead) *lpRead = total;
    return TRUE;
}

BOOL WriteFile(HANDLE hFile, LPCVOID lpBuffer, DWORD n, LPDWORD lpWritten, LPVOID) {
    if (lpWritten) *lpWritten = 0;
    int fd = Fd(hFile);
    if (fd < 0) return FALSE;
    DWORD total = 0;
    while (total < n) {
        ssize_t w = ::write(fd, static_cast<const char*>(lpBuffer) + total, n - total);
        if (w < 0) {
            if (errno == EINTR) continue;
            if (lpWritten) *lpWritten = total;
            return Fail();
        }
        total += static_cast<DWORD>(w);
    }
    if (lpWritten) *lpWritten = total;
    return TRUE;
}

DWORD SetFilePointer(HANDLE hFile, LONG lDistance, LONG* lpDistanceHigh, DWORD method) {
    int fd = Fd(hFile);
    if (fd < 0) return INVALID_SET_FILE_POINTER;
    int64_t dist =
        lpDistanceHigh
            ? static_cast<int64_t>((static_cast<uint64_t>(static_cast<DWORD>(*lpDistanceHigh)) << 32) |
                                   static_cast<DWORD>(lDistance))
            : static_cast<int64_t>(lDistance);
    int whence = method == FILE_CURRENT ? SEEK_CUR : (method == FILE_END ? SEEK_END : SEEK_SET);
    off_t r = ::lseek(fd, static_cast<off_t>(dist), whence);
    if (r < 0) {
        Fail();
        return INVALID_SET_FILE_POINTER;
    }
    if (lpDistanceHigh) *lpDistanceHigh = static_cast<LONG>(static_cast<uint64_t>(r) >> 32);
    SetLastError(ERROR_SUCCESS);
    return static_cast<DWORD>(static_cast<uint64_t>(r) & 0xFFFFFFFFu);
}

DWORD GetFileSize(HANDLE hFile, LPDWORD lpHigh) {
    int fd = Fd(hFile);
    struct stat st;
    if (fd < 0 || ::fstat(fd, &st) != 0) {
        if (fd >= 0) Fail();
        return INVALID_FILE_SIZE;
    }
    uint64_t size = static_cast<uint64_t>(st.st_size);
    if (lpHigh) *lpHigh = static_cast<DWORD>(size >> 32);
    SetLastError(ERROR_SUCCESS);
    return static_cast<DWORD>(size & 0xFFFFFFFFu);
}

BOOL SetEndOfFile(HANDLE hFile) {
    int fd = Fd(hFile);
    if (fd < 0) return FALSE;
    off_t pos = ::lseek(fd, 0, SEEK_CUR);
    if (pos < 0 || ::ftruncate(fd, pos) != 0) return Fail();
    return TRUE;
}

BOOL FlushFileBuffers(HANDLE hFile) {
    int fd = Fd(hFile);
    if (fd < 0) return FALSE;
    return ::fsync(fd) == 0 ? TRUE : Fail();
}

BOOL GetFileTime(HANDLE hFile, LPFILETIME c, LPFILETIME a, LPFILETIME w) {
    int fd = Fd(hFile);
    struct stat st;
    if (fd < 0) return FALSE;
    if (::fstat(fd, &st) != 0) return Fail();
    if (c) *c = FromTimespec(st.st_ctim);
    if (a) *a = FromTimespec(st.st_atim);
    if (w) *w = FromTimespec(st.st_mtim);
    return TRUE;
}

BOOL SetFileTime(HANDLE hFile, const FILETIME*, const FILETIME* a, const FILETIME* w) {
    int fd = Fd(hFile);
    if (fd < 0) return FALSE;
    timespec times[2];
    times[0].tv_nsec = UTIME_OMIT;
    times[1].tv_nsec = UTIME_OMIT;
    if (a) times[0] = ToTimespec(*a);
    if (w) times[1] = ToTimespec(*w);
    return ::futimens(fd, times) == 0 ? TRUE : Fail();
}

void GetSystemTimeAsFileTime(LPFILETIME ft) {
    timespec ts;
    clock_gettime(CLOCK_REALTIME, &ts);
    *ft = FromTimespec(ts);
}

BOOL FileTimeToLocalFileTime(const FILETIME* in, LPFILETIME out) {
    if (!in || !out) return FALSE;
    time_t utc = ToTimespec(*in).tv_sec;
    int64_t ticks = static_cast<int64_t>(ToTicks(*in)) + LocalOffsetAt(utc) * 10000000LL;
    *out = FromTicks(static_cast<uint64_t>(ticks < 0 ? 0 : ticks));
    return TRUE;
}

BOOL LocalFileTimeToFileTime(const FILETIME* in, LPFILETIME out) {
    if (!in || !out) return FALSE;
    // The local wall-clock second taken apart as if it were UTC, then put together in local time.
    time_t wall = ToTimespec(*in).tv_sec;
    tm parts;
    if (!gmtime_r(&wall, &parts)) return FALSE;
    parts.tm_isdst = -1;
    time_t utc = mktime(&parts);
    int64_t offset = static_cast<int64_t>(wall) - static_cast<int64_t>(utc);
    int64_t ticks = static_cast<int64_t>(ToTicks(*in)) - offset * 10000000LL;
    *out = FromTicks(static_cast<uint64_t>(ticks < 0 ? 0 : ticks));
    return TRUE;
}

BOOL FileTimeToDosDateTime(const FILETIME* ft, WORD* date, WORD* time) {
    if (!ft || !date || !time) return FALSE;
    time_t secs = ToTimespec(*ft).tv_sec;
    tm p;
    if (!gmtime_r(&secs, &p)) return FALSE;
    int year = p.tm_year + 1900;
    if (year < 1980 || year > 2107) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    *date = static_cast<WORD>(((year - 1980) << 9) | ((p.tm_mon + 1) << 5) | p.tm_mday);
    *time = static_cast<WORD>((p.tm_hour << 11) | (p.tm_min << 5) | (p.tm_sec / 2));
    return TRUE;
}

BOOL DosDateTimeToFileTime(WORD date, WORD time, LPFILETIME ft) {
    if (!ft) return FALSE;
    int day = date & 0x1F;
    int month = (date >> 5) & 0x0F;
    int year = (date >> 9) + 1980;
    int sec = (time & 0x1F) * 2;
    int min = (time >> 5) & 0x3F;
    int hour = time >> 11;
    if (day < 1 || month < 1 || month > 12 || hour > 23 || min > 59 || sec > 59) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    tm p{};
    p.tm_year = year - 1900;
    p.tm_mon = month - 1;
    p.tm_mday = day;
    p.tm_hour = hour;
    p.tm_min = min;
    p.tm_sec = sec;
    time_t secs = timegm(&p);
    *ft = FromTimespec(timespec{secs, 0});
    return TRUE;
}

LONG CompareFileTime(const FILETIME* a, const FILETIME* b) {
    uint64_t x = ToTicks(*a), y = ToTicks(*b);
    return x < y ? -1 : (x > y ? 1 : 0);
}

DWORD GetFileAttributesA(LPCSTR lpFileName) {
    if (!lpFileName) return INVALID_FILE_ATTRIBUTES;
    struct stat st;
    if (::stat(qsm::NativePath(lpFileName).c_str(), &st) != 0) {
        Fail();
        return INVALID_FILE_ATTRIBUTES;
    }
    DWORD attr = S_ISDIR(st.st_mode) ? FILE_ATTRIBUTE_DIRECTORY : 0;
    if (!(st.st_mode & S_IWUSR)) attr |= FILE_ATTRIBUTE_READONLY;
    return attr ? attr : FILE_ATTRIBUTE_NORMAL;
}

HANDLE FindFirstFileA(LPCSTR lpFileName, LPWIN32_FIND_DATAA data) {
    if (!lpFileName || !data) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_HANDLE_VALUE;
    }
    std::string path = qsm::NativePath(lpFileName);
    size_t slash = path.find_last_of('/');
    std::string dir = slash == std::string::npos ? "." : (slash == 0 ? "/" : path.substr(0, slash));
    std::string pattern = slash == std::string::npos ? path : path.substr(slash + 1);
    if (pattern.empty()) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    DIR* d = ::opendir(dir.c_str());
    if (!d) {
        SetLastError(errno == ENOENT ? ERROR_PATH_NOT_FOUND : ErrorFromErrno(errno));
        return INVALID_HANDLE_VALUE;
    }
    auto* find = new FindObject();
    while (dirent* e = ::readdir(d)) {
        if (!Matches(pattern.c_str(), e->d_name)) continue;
        struct stat st;
        std::string full = dir + "/" + e->d_name;
        if (::stat(full.c_str(), &st) != 0) continue;
        WIN32_FIND_DATAA fd;
        FillFindData(full, e->d_name, st, fd);
        find->matches.push_back(fd);
    }
    ::closedir(d);
    // An exact match comes first, the rest by name.
    std::sort(find->matches.begin(), find->matches.end(),
              [&](const WIN32_FIND_DATAA& a, const WIN32_FIND_DATAA& b) {
                  bool ea = pattern == a.cFileName, eb = pattern == b.cFileName;
                  if (ea != eb) return ea;
                  int c = qsm::CompareNoCase(a.cFileName, b.cFileName);
                  return c != 0 ? c < 0 : std::strcmp(a.cFileName, b.cFileName) < 0;
              });
    if (find->matches.empty()) {
        delete find;
        SetLastError(ERROR_FILE_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    *data = find->matches[0];
    find->next = 1;
    return qsm::RegisterKernelObject(find);
}

BOOL FindNextFileA(HANDLE h, LPWIN32_FIND_DATAA data) {
    auto* find = qsm::LookupKernelObjectAs<FindObject>(h);
    if (!find || !data) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (find->next >= find->matches.size()) {
        SetLastError(ERROR_NO_MORE_FILES);
        return FALSE;
    }
    *data = find->matches[find->next++];
    return TRUE;
}

BOOL FindClose(HANDLE h) {
    if (!qsm::LookupKernelObjectAs<FindObject>(h)) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    return CloseHandle(h);
}

BOOL CreateDirectoryA(LPCSTR path, LPSECURITY_ATTRIBUTES) {
    if (!path) return FALSE;
    return ::mkdir(qsm::NativePath(path).c_str(), 0777) == 0 ? TRUE : Fail();
}

BOOL RemoveDirectoryA(LPCSTR path) {
    if (!path) return FALSE;
    return ::rmdir(qsm::NativePath(path).c_str()) == 0 ? TRUE : Fail();
}

BOOL DeleteFileA(LPCSTR path) {
    if (!path) return FALSE;
    std::string p = qsm::NativePath(path);
    struct stat st;
    if (::lstat(p.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    return ::unlink(p.c_str()) == 0 ? TRUE : Fail();
}

BOOL CopyFileA(LPCSTR src, LPCSTR dst, BOOL failIfExists) {
    if (!src || !dst) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    std::string s = qsm::NativePath(src), d = qsm::NativePath(dst);
    struct stat st;
    bool exists = ::stat(d.c_str(), &st) == 0;
    if (exists && failIfExists) {
        SetLastError(ERROR_FILE_EXISTS);
        return FALSE;
    }
    if (exists && SameFile(s, d)) {
        SetLastError(ERROR_SHARING_VIOLATION);
        return FALSE;
    }
    // The copy is made beside the target and renamed over it, so that a failed copy leaves the old target.
    std::string tmp = CopyBeside(s, d, st);
    if (tmp.empty()) return Fail();
    if (failIfExists ? ::link(tmp.c_str(), d.c_str()) != 0 : ::rename(tmp.c_str(), d.c_str()) != 0) {
        int e = errno;
        ::unlink(tmp.c_str());
        errno = e;
        SetLastError(e == EEXIST ? ERROR_FILE_EXISTS : ErrorFromErrno(e));
        return FALSE;
    }
    if (failIfExists) ::unlink(tmp.c_str());
    return TRUE;
}

BOOL MoveFileExA(LPCSTR src, LPCSTR dst, DWORD flags) {
    if (!src || !dst) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    std::string s = qsm::NativePath(src), d = qsm::NativePath(dst);
    bool replace = (flags & MOVEFILE_REPLACE_EXISTING) != 0;
    struct stat st;
    if (::lstat(s.c_str(), &st) != 0) return Fail();
    if (!replace && ::lstat(d.c_str(), &st) == 0) {
        SetLastError(ERROR_ALREADY_EXISTS);
        return FALSE;
    }
    if (replace) {
        if (::rename(s.c_str(), d.c_str()) == 0) return TRUE;
    } else {
        if (::renameat2(AT_FDCWD, s.c_str(), AT_FDCWD, d.c_str(), RENAME_NOREPLACE) == 0) return TRUE;
        if (errno == EINVAL || errno == ENOSYS) {
            // File systems without the no-replace rename: a hard link cannot replace either.
            if (::link(s.c_str(), d.c_str()) == 0) return ::unlink(s.c_str()) == 0 ? TRUE : Fail();
        }
    }
    if (errno != EXDEV || !(flags & MOVEFILE_COPY_ALLOWED)) {
        SetLastError(errno == EEXIST ? ERROR_ALREADY_EXISTS : ErrorFromErrno(errno));
        return FALSE;
    }
    // Across file systems: copy beside the target, then put it in place and remove the source.
    std::string tmp = CopyBeside(s, d, st);
    if (tmp.empty()) return Fail();
    int r = replace ? ::rename(tmp.c_str(), d.c_str()) : ::link(tmp.c_str(), d.c_str());
    if (r != 0) {
        int e = errno;
        ::unlink(tmp.c_str());
        SetLastError(e == EEXIST ? ERROR_ALREADY_EXISTS : ErrorFromErrno(e));
        return FALSE;
    }
    if (!replace) ::unlink(tmp.c_str());
    ::unlink(s.c_str());
    return TRUE;
}

BOOL MoveFileA(LPCSTR src, LPCSTR dst) {
    return MoveFileExA(src, dst, MOVEFILE_COPY_ALLOWED);
}

DWORD GetCurrentDirectoryA(DWORD n, LPSTR buf) {
    std::vector<char> cwd(4096);
    if (!::getcwd(cwd.data(), cwd.size())) {
        Fail();
        return 0;
    }
    return CopyOut(std::string(cwd.data()), n, buf);
}

BOOL SetCurrentDirectoryA(LPCSTR path) {
    if (!path) return FALSE;
    return ::chdir(qsm::NativePath(path).c_str()) == 0 ? TRUE : Fail();
}

DWORD GetShortPathNameA(LPCSTR longPath, LPSTR shortPath, DWORD n) {
    if (!longPath) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    struct stat st;
    if (::stat(qsm::NativePath(longPath).c_str(), &st) != 0) {
        Fail();
        return 0;
    }
    return CopyOut(std::string(longPath), n, shortPath);
}

DWORD GetTempPathA(DWORD n, LPSTR buf) {
    const char* env = std::getenv("TMPDIR");
    std::string dir = env && *env ? env : "/tmp";
    if (dir.back() != '/') dir.push_back('/');
    return CopyOut(dir, n, buf);
}

UINT GetTempFileNameA(LPCSTR path, LPCSTR prefix, UINT unique, LPSTR out) {
    if (!path || !out) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    std::string dir = qsm::NativePath(path);
    if (!dir.empty() && dir.back() != '/') dir.push_back('/');
    std::string pre = prefix ? std::string(prefix).substr(0, 3) : std::string();
    auto nameFor = [&](UINT number) {
        char hex[16];
        std::snprintf(hex, sizeof(hex), "%X", number & 0xFFFF);
        return dir + pre + hex + ".tmp";
    };
    auto finish = [&](const std::string& name, UINT number) -> UINT {
        if (name.size() >= MAX_PATH) {
            SetLastError(ERROR_INSUFFICIENT_BUFFER);
            return 0;
        }
        std::memcpy(out, name.c_str(), name.size() + 1);
        return number;
    };
    if (unique != 0) return finish(nameFor(unique), unique & 0xFFFF);
    UINT start = static_cast<UINT>(getpid() ^ time(nullptr)) & 0xFFFF;
    for (UINT i = 0; i < 0x10000; ++i) {
        UINT number = ((start + i) & 0xFFFF) ? ((start + i) & 0xFFFF) : 1;
        std::string name = nameFor(number);
        int fd = ::open(name.c_str(), O_CREAT | O_EXCL | O_WRONLY | O_CLOEXEC, 0600);
        if (fd >= 0) {
            ::close(fd);
            return finish(name, number);
        }
        if (errno != EEXIST) {
            Fail();
            return 0;
        }
    }
    SetLastError(ERROR_FILE_EXISTS);
    return 0;
}

#include "platform/gdi/font_match_cache.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace qsm::gdi {
namespace {

// The file: a first line naming the kind and its layout, then counted lists of little-endian numbers and
// counted strings, and last a 64-bit FNV-1a sum of everything before it.
constexpr std::string_view kMagic = "quillstave font matches 1\n";
constexpr size_t kMaxFile = 1 << 20;

uint64_t Sum(std::string_view data) {
    uint64_t h = 0xcbf29ce484222325ull;
    for (unsigned char c : data) {
        h ^= c;
        h *= 0x100000001b3ull;
    }
    return h;
}

void PutU64(std::string& out, uint64_t v) {
    for (int i = 0; i < 8; ++i)
        out += static_cast<char>(v >> (8 * i));
}

void PutU32(std::string& out, uint32_t v) {
    for (int i = 0; i < 4; ++i)
        out += static_cast<char>(v >> (8 * i));
}

void PutString(std::string& out, const std::string& s) {
    PutU32(out, static_cast<uint32_t>(s.size()));
    out += s;
}

void PutPath(std::string& out, const PathState& p) {
    PutString(out, p.path);
    out += p.exists ? '\1' : '\0';
    PutU64(out, p.dev);
    PutU64(out, p.ino);
    PutU64(out, p.size);
    PutU64(out, static_cast<uint64_t>(p.mtimeNs));
    PutU64(out, static_cast<uint64_t>(p.ctimeNs));
}

class Reader {
public:
    explicit Reader(std::string_view data) : data_(data) {}

    bool U64(uint64_t* v) {
        if (data_.size() - pos_ < 8) return false;
        *v = 0;
        for (int i = 0; i < 8; ++i)
            *v |= uint64_t{static_cast<unsigned char>(data_[pos_ + i])} << (8 * i);
        pos_ += 8;
        return true;
    }
    bool U32(uint32_t* v) {
        if (data_.size() - pos_ < 4) return false;
        *v = 0;
        for (int i = 0; i < 4; ++i)
            *v |= uint32_t{static_cast<unsigned char>(data_[pos_ + i])} << (8 * i);
        pos_ += 4;
        return true;
    }
    bool I32(int* v) {
        uint32_t u;
        if (!U32(&u)) return false;
        *v = static_cast<int>(u);
        return true;
    }
    bool Flag(bool* v) {
        if (pos_ >= data_.size() || static_cast<unsigned char>(data_[pos_]) > 1) return false;
        *v = data_[pos_++] != 0;
        return true;
    }
    bool String(std::string* s) {
        uint32_t n;
        if (!U32(&n) || data_.size() - pos_ < n) return false;
        s->assign(data_.substr(pos_, n));
        pos_ += n;
        return true;
    }
    // A count of items each at least `least` bytes long, so that no count asks for more than the data holds.
    bool Count(size_t least, size_t* n) {
        uint32_t c;
        if (!U32(&c) || c > (data_.size() - pos_) / least) return false;
        *n = c;
        return true;
    }
    bool Path(PathState* p) {
        uint64_t m, c;
        if (!String(&p->path) || !Flag(&p->exists) || !U64(&p->dev) || !U64(&p->ino) || !U64(&p->size) ||
            !U64(&m) || !U64(&c))
            return false;
        p->mtimeNs = static_cast<int64_t>(m);
        p->ctimeNs = static_cast<int64_t>(c);
        return true;
    }
    bool AtEnd() const { return pos_ == data_.size(); }

private:
    std::string_view data_;
    size_t pos_ = 0;
};

int64_t Ns(const struct timespec& t) {
    return static_cast<int64_t>(t.tv_sec) * 1000000000 + t.tv_nsec;
}

bool MakeFolder(const std::string& folder) {
    return ::mkdir(folder.c_str(), 0700) == 0 || errno == EEXIST;
}

}  // namespace

PathState StatPath(const std::string& path) {
    PathState p;
    p.path = path;
    struct stat st;
    if (::stat(path.c_str(), &st) != 0) return p;
    p.exists = true;
    p.dev = st.st_dev;
    p.ino = st.st_ino;
    p.size = static_cast<uint64_t>(st.st_size);
    p.mtimeNs = Ns(st.st_mtim);
    p.ctimeNs = Ns(st.st_ctim);
    return p;
}

bool PathsUnchanged(const std::vector<PathState>& paths) {
    for (const PathState& p : paths)
        if (!(StatPath(p.path) == p)) return false;
    return true;
}

bool ChangedSince(const std::vector<PathState>& paths, int64_t sinceNs) {
    // A file system that keeps whole seconds (some keep even ones) stamps a change up to two seconds early:
    // a time without a fraction of a second is taken as that much later.
    constexpr int64_t kSecond = 1000000000;
    auto after = [&](int64_t t) { return t + (t % kSecond == 0 ? 2 * kSecond : 0) >= sinceNs; };
    for (const PathState& p : paths)
        if (p.exists && (after(p.mtimeNs) || after(p.ctimeNs))) return true;
    return false;
}

std::string EncodeFontMatches(const FontMatchRecord& record) {
    std::string out(kMagic);
    PutU32(out, static_cast<uint32_t>(record.facts.size()));
    for (const std::string& fact : record.facts)
        PutString(out, fact);
    PutU32(out, static_cast<uint32_t>(record.paths.size()));
    for (const PathState& p : record.paths)
        PutPath(out, p);
    PutU32(out, static_cast<uint32_t>(record.files.size()));
    for (size_t i = 0; i < record.files.size(); ++i) {
        PutPath(out, record.files[i]);
        out += i < record.taken.size() && record.taken[i] ? '\1' : '\0';
    }
    PutU32(out, static_cast<uint32_t>(record.matches.size()));
    for (const auto& [key, m] : record.matches) {
        PutString(out, key);
        PutString(out, m.file);
        PutU32(out, static_cast<uint32_t>(m.index));
        PutString(out, m.family);
        PutU32(out, static_cast<uint32_t>(m.weight));
        PutU32(out, static_cast<uint32_t>(m.slant));
    }
    PutU64(out, Sum(out));
    return out;
}

bool DecodeFontMatches(std::string_view data, FontMatchRecord* record) {
    *record = {};
    if (data.size() < kMagic.size() + 8 || data.size() > kMaxFile || !data.starts_with(kMagic)) return false;
    std::string_view body = data.substr(0, data.size() - 8);
    uint64_t sum;
    Reader tail(data.substr(body.size()));
    if (!tail.U64(&sum) || sum != Sum(body)) return false;
    Reader in(body.substr(kMagic.size()));
    FontMatchRecord r;
    size_t n;
    if (!in.Count(4, &n)) return false;
    r.facts.resize(n);
    for (std::string& fact : r.facts)
        if (!in.String(&fact)) return false;
    // A path takes 4 bytes of length, a flag and five numbers at least.
    constexpr size_t kPathBytes = 4 + 1 + 5 * 8;
    if (!in.Count(kPathBytes, &n)) return false;
    r.paths.resize(n);
    for (PathState& p : r.paths)
        if (!in.Path(&p)) return false;
    if (!in.Count(kPathBytes + 1, &n)) return false;
    r.files.resize(n);
    r.taken.resize(n);
    for (size_t i = 0; i < n; ++i) {
        bool taken;
        if (!in.Path(&r.files[i]) || !in.Flag(&taken)) return false;
        r.taken[i] = taken;
    }
    if (!in.Count(6 * 4, &n)) return false;
    for (size_t i = 0; i < n; ++i) {
        std::string key;
        FontMatch m;
        if (!in.String(&key) || !in.String(&m.file) || !in.I32(&m.index) || !in.String(&m.family) ||
            !in.I32(&m.weight) || !in.I32(&m.slant))
            return false;
        r.matches[std::move(key)] = std::move(m);
    }
    if (!in.AtEnd()) return false;
    *record = std::move(r);
    return true;
}

std::string FontMatchFile(const std::string& program, std::string_view install) {
    // Beside the settings store's folder name, in the cache folder rather than the configuration one.
    std::string base;
    const char* xdg = std::getenv("XDG_CACHE_HOME");
    if (xdg && *xdg == '/') {
        base = xdg;
    } else {
        const char* home = std::getenv("HOME");
        if (!home || *home != '/') return {};
        base = std::string(home) + "/.cache";
    }
    std::string name;
    for (char c : program)
        name += c == '/' ? '_' : c;
    char tag[20];
    std::snprintf(tag, sizeof tag, "-%016llx", static_cast<unsigned long long>(Sum(install)));
    return base + "/quillstave/font-matches-" + (name.empty() ? "program" : name) + tag;
}

bool ReadFontMatches(const std::string& file, FontMatchRecord* record) {
    *record = {};
    // Not blocking: a pipe or a device put in the file's place must not hold up the start.
    int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return false;
    std::string data;
    struct stat st;
    // Only the user may have written it: the file says which font files the program loads.
    bool ok = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_uid == ::geteuid() &&
              (st.st_mode & (S_IWGRP | S_IWOTH)) == 0 && st.st_size > 0 &&
              static_cast<uint64_t>(st.st_size) <= kMaxFile;
    if (ok) {
        data.resize(static_cast<size_t>(st.st_size));
        size_t done = 0;
        while (done < data.size()) {
            ssize_t r = ::read(fd, data.data() + done, data.size() - done);
            if (r < 0 && errno == EINTR) continue;
            if (r <= 0) break;
            done += static_cast<size_t>(r);
        }
        // A file that grew or shrank under the read is not whole.
        ok = done == data.size();
    }
    ::close(fd);
    return ok && DecodeFontMatches(data, record);
}

bool WriteFontMatches(const std::string& file, const FontMatchRecord& record) {
    size_t slash = file.find_last_of('/');
    if (slash == std::string::npos || slash == 0) return false;
    std::string folder = file.substr(0, slash);
    size_t up = folder.find_last_of('/');
    if (up != std::string::npos && up > 0 && !MakeFolder(folder.substr(0, up))) return false;
    if (!MakeFolder(folder)) return false;
    std::string text = EncodeFontMatches(record);
    std::string temp = file + ".XXXXXX";
    int fd = ::mkstemp(temp.data());
    if (fd < 0) return false;
    bool ok = true;
    size_t done = 0;
    while (ok && done < text.size()) {
        ssize_t w = ::write(fd, text.data() + done, text.size() - done);
        if (w < 0 && errno == EINTR) continue;
        if (w <= 0)
            ok = false;
        else
            done += static_cast<size_t>(w);
    }
    // A file cut short by a crash fails its sum: it need not reach the disk before the rename.
    if (::close(fd) != 0) ok = false;
    if (ok && ::rename(temp.c_str(), file.c_str()) != 0) ok = false;
    if (!ok) ::unlink(temp.c_str());
    return ok;
}

}  // namespace qsm::gdi

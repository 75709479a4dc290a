#include "platform/registry/registry.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>

namespace {

// ---------------------------------------------------------------- the key tree

std::string Lower(const std::string& s) {
    std::string out(s);
    for (char& c : out) {
        unsigned char u = static_cast<unsigned char>(c);
        if (u >= 'A' && u <= 'Z')
            c = static_cast<char>(u + 32);
        else if (u >= 0xC0 && u <= 0xDE && u != 0xD7)
            c = static_cast<char>(u + 32);
    }
    return out;
}

struct Value {
    std::string name;
    DWORD type = REG_NONE;
    std::string data;
};

struct Key {
    std::string name;
    std::map<std::string, Value> values;  // by lower-case name
    std::map<std::string, std::unique_ptr<Key>> subkeys;
    // The root only: lines of the file that did not parse, kept as they were so that a write loses nothing.
    std::vector<std::string> kept;

    Key() = default;
    Key(const Key&) = delete;
    Key& operator=(const Key&) = delete;
    // Deep trees are taken apart without recursion.
    ~Key() {
        std::vector<std::unique_ptr<Key>> pending;
        for (auto& entry : subkeys)
            pending.push_back(std::move(entry.second));
        while (!pending.empty()) {
            std::unique_ptr<Key> k = std::move(pending.back());
            pending.pop_back();
            for (auto& entry : k->subkeys)
                pending.push_back(std::move(entry.second));
            k->subkeys.clear();
        }
    }

    Key* Find(const std::string& component) const {
        auto it = subkeys.find(Lower(component));
        return it == subkeys.end() ? nullptr : it->second.get();
    }
    Key* Make(const std::string& component) {
        auto& slot = subkeys[Lower(component)];
        if (!slot) {
            slot = std::make_unique<Key>();
            slot->name = component;
        }
        return slot.get();
    }
};

// The non-empty parts of a path between separators.
std::vector<std::string> SplitPath(const std::string& path, char separator = '\\') {
    std::vector<std::string> parts;
    std::string cur;
    for (char c : path) {
        if (c == separator) {
            if (!cur.empty()) parts.push_back(cur);
            cur.clear();
        } else {
            cur.push_back(c);
        }
    }
    if (!cur.empty()) parts.push_back(cur);
    return parts;
}

std::string JoinPath(const std::vector<std::string>& parts) {
    std::string out;
    for (size_t i = 0; i < parts.size(); ++i) {
        if (i) out.push_back('\\');
        out += parts[i];
    }
    return out;
}

Key* MakeKey(Key& root, const std::vector<std::string>& parts) {
    Key* k = &root;
    for (const std::string& p : parts)
        k = k->Make(p);
    return k;
}

Key* FindKey(const Key& root, const std::vector<std::string>& parts) {
    Key* k = const_cast<Key*>(&root);
    for (const std::string& p : parts) {
        k = k->Find(p);
        if (!k) return nullptr;
    }
    return k;
}

// ---------------------------------------------------------------- the file form
//
// QSMREG 1
// K <path>                       a key (path from the root, components joined by "\")
// k <depth> <name>               a key below the key of that depth on the way to the key before it (the
//                                root has depth 0): deep keys are written so
// V <type> <name> <hex bytes>    a value of the key before it
// !<line>                        a line kept from a damaged file, not read
// Texts are escaped: bytes outside "!".."~" and "%" itself are written as "%" and two hex digits.

std::string Escape(const std::string& s) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : s) {
        if (c > 0x20 && c < 0x7F && c != '%') {
            out.push_back(static_cast<char>(c));
        } else {
            out.push_back('%');
            out.push_back(kHex[c >> 4]);
            out.push_back(kHex[c & 15]);
        }
    }
    return out;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

bool Unescape(const std::string& s, std::string& out) {
    out.clear();
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] != '%') {
            out.push_back(s[i]);
            continue;
        }
        if (i + 2 >= s.size()) return false;
        int hi = HexDigit(s[i + 1]), lo = HexDigit(s[i + 2]);
        if (hi < 0 || lo < 0) return false;
        out.push_back(static_cast<char>(hi * 16 + lo));
        i += 2;
    }
    return true;
}

bool Unhex(const std::string& s, std::string& out) {
    if (s.size() % 2) return false;
    out.clear();
    for (size_t i = 0; i < s.size(); i += 2) {
        int hi = HexDigit(s[i]), lo = HexDigit(s[i + 1]);
        if (hi < 0 || lo < 0) return false;
        out.push_back(static_cast<char>(hi * 16 + lo));
    }
    return true;
}

// Keys this deep or less are written with their whole path; deeper ones name their parent by its depth, so
// that a deep path is not written again for every level.
constexpr size_t kFullPathDepth = 16;

void WriteValues(const Key& k, std::string& out) {
    static const char kHex[] = "0123456789ABCDEF";
    for (const auto& entry : k.values) {
        const Value& v = entry.second;
        out += "V " + std::to_string(v.type) + " " + Escape(v.name) + " ";
        for (unsigned char c : v.data) {
            out.push_back(kHex[c >> 4]);
            out.push_back(kHex[c & 15]);
        }
        out += "\n";
    }
}

std::string Serialize(const Key& root) {
    std::string out = "QSMREG 1\n";
    for (const std::string& line : root.kept)
        out += "!" + line + "\n";
    struct Frame {
        const Key* key;
        std::map<std::string, std::unique_ptr<Key>>::const_iterator next;
    };
    std::vector<Frame> stack;
    std::vector<std::string> path;  // the names down to the current key, while it is not deep
    auto emit = [&](const Key& k, size_t depth) {
        if (depth <= kFullPathDepth) {
            out += "K " + Escape(JoinPath(path)) + "\n";
        } else {
            out += "k " + std::to_string(depth - 1) + " " + Escape(k.name) + "\n";
        }
        WriteValues(k, out);
    };
    emit(root, 0);
    stack.push_back({&root, root.subkeys.begin()});
    while (!stack.empty()) {
        Frame& top = stack.back();
        if (top.next == top.key->subkeys.end()) {
            stack.pop_back();
            if (!path.empty() && path.size() == stack.size()) path.pop_back();
            continue;
        }
        const Key& child = *top.next->second;
        ++top.next;
        if (stack.size() <= kFullPathDepth) path.push_back(child.name);
        stack.push_back({&child, child.subkeys.begin()});
        emit(child, stack.size() - 1);
    }
    return out;
}

std::vector<std::string> Tokens(const std::string& line) {
    std::vector<std::string> t;
    size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && line[i] == ' ')
            ++i;
        size_t start = i;
        while (i < line.size() && line[i] != ' ')
            ++i;
        if (i > start) t.push_back(line.substr(start, i - start));
    }
    return t;
}

// A damaged line that still has the shape of a value line: four fields, one blank between each, and either
// the value mark first or a number second. Any other damaged line may have been the line of a key.
bool ShapedLikeValue(const std::string& line) {
    if (std::count(line.begin(), line.end(), ' ') != 3 || line.size() < 3 || line[1] != ' ') return false;
    if (line[0] == 'V') return true;
    size_t end = line.find(' ', 2);
    if (end == 2) return false;
    for (size_t i = 2; i < end; ++i)
        if (line[i] < '0' || line[i] > '9') return false;
    return true;
}

// Names in the file are escaped, so raw blanks and control bytes in one are damage; so is a zero byte,
// which no name given to the functions above can hold.
bool UsableName(const std::string& raw, const std::string& name) {
    for (unsigned char c : raw)
        if (c <= 0x20 || c == 0x7F) return false;
    return name.find('\0') == std::string::npos;
}

// Reads the file form. Lines that do not parse, the values after a key line that does not parse, and a last
// line cut short (no line end) are not read but kept in the root, to be written back as "!" lines in the
// order they came; the answer is how many such lines there were (earlier "!" lines are kept again but not
// counted). A damaged line that could have been a key line ends the key before it: the values that follow,
// up to the next key line that reads, are kept with the damaged line, never given to another key.
size_t Parse(const std::string& text, Key& root) {
    Key* current = nullptr;
    std::vector<Key*> stack;  // the root and the keys down to the current one
    size_t damaged = 0;
    size_t pos = 0;
    bool first = true;
    auto keep = [&](const std::string& line) {
        root.kept.push_back(line);
        ++damaged;
        if (!ShapedLikeValue(line)) {
            current = nullptr;
            stack.clear();
        }
    };
    while (pos < text.size()) {
        size_t end = text.find('\n', pos);
        const bool cut = end == std::string::npos;
        if (cut) end = text.size();
        std::string line = text.substr(pos, end - pos);
        pos = end + 1;
        if (first) {
            first = false;
            if (line.rfind("QSMREG ", 0) == 0) continue;
        }
        if (line.empty()) continue;
        if (line[0] == '!') {
            root.kept.push_back(line.substr(1));
            continue;
        }
        if (cut) {
            keep(line);
            continue;
        }
        if (line[0] == 'K' && (line.size() == 1 || line[1] == ' ')) {
            std::string path;
            const std::string raw = line.size() > 2 ? line.substr(2) : std::string();
            current = nullptr;
            stack.clear();
            if (!Unescape(raw, path) || !UsableName(raw, path)) {
                keep(line);
                continue;
            }
            current = &root;
            stack.push_back(current);
            for (const std::string& part : SplitPath(path)) {
                current = current->Make(part);
                stack.push_back(current);
            }
        } else if (line.rfind("k ", 0) == 0) {
            // "k <depth of the parent> <name>"
            std::vector<std::string> t = Tokens(line.substr(2));
            std::string name;
            char* stop = nullptr;
            unsigned long depth = t.size() == 2 ? std::strtoul(t[0].c_str(), &stop, 10) : 0;
            if (t.size() != 2 || *stop != 0 || depth >= stack.size() || !Unescape(t[1], name) ||
                name.empty() || name.find('\\') != std::string::npos || !UsableName(t[1], name)) {
                current = nullptr;
                stack.clear();
                keep(line);
                continue;
            }
            stack.resize(depth + 1);
            current = stack.back()->Make(name);
            stack.push_back(current);
        } else if (line.rfind("V ", 0) == 0 && current) {
            // "type name hex", one blank between each: the key's default value has an empty name, so two
            // blanks follow its type.
            std::vector<std::string> t;
            std::string rest = line.substr(2);
            size_t a = rest.find(' '), b = a == std::string::npos ? a : rest.find(' ', a + 1);
            if (b != std::string::npos && rest.find(' ', b + 1) == std::string::npos)
                t = {rest.substr(0, a), rest.substr(a + 1, b - a - 1), rest.substr(b + 1)};
            else
                t = Tokens(rest);
            Value v;
            char* stop = nullptr;
            unsigned long type = t.size() >= 2 && t.size() <= 3 ? std::strtoul(t[0].c_str(), &stop, 10) : 0;
            if (t.size() < 2 || t.size() > 3 || *stop != 0 || type > 0xFFFFFFFFul ||
                !Unescape(t[1], v.name) || v.name.find('\0') != std::string::npos ||
                (t.size() == 3 && !Unhex(t[2], v.data))) {
                keep(line);
                continue;
            }
            v.type = static_cast<DWORD>(type);
            std::string lname = Lower(v.name);
            current->values[lname] = std::move(v);
        } else {
            keep(line);
        }
    }
    return damaged;
}

// ---------------------------------------------------------------- the files

enum class Root { kUser, kMachine };

std::string UserFolder() {
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    std::string base;
    if (xdg && *xdg == '/') {
        base = xdg;
    } else {
        const char* home = std::getenv("HOME");
        base = std::string(home && *home ? home : "/tmp") + "/.config";
    }
    return base + "/quillstave/registry";
}

std::string FileOf(Root r) {
    return UserFolder() + (r == Root::kUser ? "/HKCU.reg" : "/HKLM.reg");
}

std::string SystemFile() {
    const char* env = std::getenv("QSM_SYSTEM_REGISTRY");
    return env && *env ? env : "/etc/quillstave/HKLM.reg";
}

// Reads a whole file: 0 when read, else the error (ENOENT when there is no such file).
int ReadWhole(const std::string& path, std::string& out, struct stat* st) {
    out.clear();
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return errno;
    if (st) ::fstat(fd, st);
    char buf[65536];
    int error = 0;
    for (;;) {
        ssize_t n = ::read(fd, buf, sizeof(buf));
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) error = errno != ENOENT ? errno : EIO;
        if (n <= 0) break;
        out.append(buf, static_cast<size_t>(n));
    }
    ::close(fd);
    if (error) out.clear();
    return error;
}

// Tells the user once per file and kind of trouble (on the standard error stream).
void ReportOnce(const std::string& path, const char* what) {
    static auto* told = new std::set<std::string>();
    if (!told->insert(path + "\n" + what).second) return;
    std::fprintf(stderr, "Settings file %s: %s\n", path.c_str(), what);
}

void ReportDamage(const std::string& path, size_t damaged) {
    if (damaged)
        ReportOnce(path, "damaged lines were found; they are kept in the file as they were but not read");
}

// A write goes to "<file>.qsm-unfinished-XXXXXX" first, a name of this program's own that no user would
// give a file, and is renamed over the file once whole.
constexpr const char kUnfinished[] = ".qsm-unfinished-";

// Temporary files of writers that died before their rename: plain files of this user named as above. Only
// called under the file's lock, which every writer holds while its temporary file exists.
void RemoveStaleTemporaries(const std::string& path) {
    size_t slash = path.find_last_of('/');
    std::string folder = path.substr(0, slash), prefix = path.substr(slash + 1) + kUnfinished;
    DIR* dir = ::opendir(folder.c_str());
    if (!dir) return;
    std::vector<std::string> stale;
    while (struct dirent* e = ::readdir(dir)) {
        std::string name = e->d_name;
        if (name.size() != prefix.size() + 6 || name.compare(0, prefix.size(), prefix) != 0) continue;
        bool temp = true;
        for (size_t i = prefix.size(); i < name.size(); ++i) {
            unsigned char c = static_cast<unsigned char>(name[i]);
            if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'))) temp = false;
        }
        struct stat st;
        std::string full = folder + "/" + name;
        if (temp && ::lstat(full.c_str(), &st) == 0 && S_ISREG(st.st_mode) && st.st_uid == ::geteuid())
            stale.push_back(full);
    }
    ::closedir(dir);
    for (const std::string& f : stale)
        ::unlink(f.c_str());
}

bool MakeFolders(const std::string& folder) {
    std::string cur;
    for (const std::string& part : SplitPath(folder, '/')) {
        cur += "/" + part;
        if (::mkdir(cur.c_str(), 0700) != 0 && errno != EEXIST) return false;
    }
    return true;
}

void (*g_midWriteHook)() = nullptr;

bool WriteAtomically(const std::string& path, const std::string& text) {
    std::string folder = path.substr(0, path.find_last_of('/'));
    std::string tmpl = path + kUnfinished + "XXXXXX";
    std::vector<char> name(tmpl.begin(), tmpl.end());
    name.push_back(0);
    int fd = ::mkstemp(name.data());
    if (fd < 0) return false;
    ::fchmod(fd, 0600);
    bool ok = true;
    size_t done = 0;
    size_t half = text.size() / 2;
    while (done < text.size()) {
        size_t chunk = done < half ? half - done : text.size() - done;
        ssize_t w = ::write(fd, text.data() + done, chunk);
        if (w < 0) {
            if (errno == EINTR) continue;
            ok = false;
            break;
        }
        done += static_cast<size_t>(w);
        if (done == half && g_midWriteHook) g_midWriteHook();
    }
    if (ok && ::fsync(fd) != 0) ok = false;
    if (::close(fd) != 0) ok = false;
    if (ok && ::rename(name.data(), path.c_str()) != 0) ok = false;
    if (!ok) {
        ::unlink(name.data());
        return false;
    }
    int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
    return true;
}

// A parsed file, kept while the file on disk is the same one.
struct CachedFile {
    bool valid = false;
    dev_t dev = 0;
    ino_t ino = 0;
    struct timespec mtime {};
    off_t size = 0;
    std::shared_ptr<Key> tree;
};

class Store {
public:
    // The tree of a root as it is now on disk (shared, read-only).
    std::shared_ptr<const Key> Load(Root r) {
        std::shared_ptr<Key> tree = LoadFile(FileOf(r), r == Root::kUser ? user_ : machine_);
        if (r == Root::kUser) return tree;
        // The machine root: the system file under the user's overlay.
        std::shared_ptr<Key> system = LoadFile(SystemFile(), system_);
        auto merged = std::make_shared<Key>();
        Merge(*merged, *system);
        Merge(*merged, *tree);
        return merged;
    }

    // Runs a change under the root's file lock on the tree as it is on disk, and writes the file when the
    // change answers true. The answer is the change's status.
    template <class Change>
    LSTATUS Modify(Root r, Change change) {
        std::string path = FileOf(r);
        if (!MakeFolders(UserFolder())) return ERROR_CANTWRITE;
        int lock = ::open((path + ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
        if (lock < 0) return ERROR_CANTWRITE;
        while (::flock(lock, LOCK_EX) != 0) {
            if (errno != EINTR) {
                ::close(lock);
                return ERROR_CANTWRITE;
            }
        }
        std::string text;
        int error = ReadWhole(path, text, nullptr);
        if (error != 0 && error != ENOENT) {
            // Writing now would replace values that could not be read.
            ReportOnce(path, "cannot be read; settings are not saved");
            ::close(lock);
            return ERROR_ACCESS_DENIED;
        }
        Key tree;
        ReportDamage(path, Parse(text, tree));
        EnsureSoftware(tree);
        bool write = false;
        LSTATUS status = change(tree, write);
        if (status == ERROR_SUCCESS && write) {
            RemoveStaleTemporaries(path);
            if (!WriteAtomically(path, Serialize(tree))) status = ERROR_CANTWRITE;
        }
        ::close(lock);  // releases the lock
        return status;
    }

    static void EnsureSoftware(Key& tree) { tree.Make("Software"); }

private:
    static void Merge(Key& into, const Key& from) {
        std::vector<std::pair<Key*, const Key*>> pending{{&into, &from}};
        while (!pending.empty()) {
            auto [to, source] = pending.back();
            pending.pop_back();
            for (const auto& v : source->values)
                to->values[v.first] = v.second;
            for (const auto& s : source->subkeys)
                pending.emplace_back(to->Make(s.second->name), s.second.get());
        }
    }

    static std::shared_ptr<Key> LoadFile(const std::string& path, CachedFile& cache) {
        struct stat st;
        if (::stat(path.c_str(), &st) != 0) {
            auto empty = std::make_shared<Key>();
            EnsureSoftware(*empty);
            cache.valid = false;
            return empty;
        }
        if (cache.valid && cache.dev == st.st_dev && cache.ino == st.st_ino && cache.size == st.st_size &&
            cache.mtime.tv_sec == st.st_mtim.tv_sec && cache.mtime.tv_nsec == st.st_mtim.tv_nsec) {
            return cache.tree;
        }
        std::string text;
        struct stat opened;
        if (ReadWhole(path, text, &opened) != 0) {
            ReportOnce(path, "cannot be read; its settings are not used");
            auto empty = std::make_shared<Key>();
            EnsureSoftware(*empty);
            return empty;
        }
        auto tree = std::make_shared<Key>();
        ReportDamage(path, Parse(text, *tree));
        EnsureSoftware(*tree);
        cache.valid = true;
        cache.dev = opened.st_dev;
        cache.ino = opened.st_ino;
        cache.size = opened.st_size;
        cache.mtime = opened.st_mtim;
        cache.tree = tree;
        return tree;
    }

    CachedFile user_, machine_, system_;
};

// ---------------------------------------------------------------- handles

struct OpenKey {
    Root root;
    std::vector<std::string> path;
    bool writable;
};

std::mutex& Mutex() {
    static std::mutex m;
    return m;
}

Store& TheStore() {
    static auto* store = new Store();
    return *store;
}

std::set<OpenKey*>& Handles() {
    static auto* handles = new std::set<OpenKey*>();
    return *handles;
}

bool Resolve(HKEY h, OpenKey& out) {
    if (h == HKEY_CURRENT_USER || h == HKEY_LOCAL_MACHINE) {
        out.root = h == HKEY_CURRENT_USER ? Root::kUser : Root::kMachine;
        out.path.clear();
        out.writable = true;
        return true;
    }
    auto* k = reinterpret_cast<OpenKey*>(h);
    if (Handles().count(k) == 0) return false;
    out = *k;
    return true;
}

HKEY NewHandle(const OpenKey& k) {
    auto* p = new OpenKey(k);
    Handles().insert(p);
    return reinterpret_cast<HKEY>(p);
}

bool Writable(REGSAM sam) {
    return (sam & (KEY_SET_VALUE | KEY_CREATE_SUB_KEY)) != 0;
}

std::vector<std::string> Below(const OpenKey& k, LPCSTR sub) {
    std::vector<std::string> path = k.path;
    if (sub) {
        for (const std::string& p : SplitPath(sub))
            path.push_back(p);
    }
    return path;
}

}  // namespace

LSTATUS RegOpenKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD, REGSAM samDesired, PHKEY phkResult) {
    if (!phkResult) return ERROR_INVALID_PARAMETER;
    *phkResult = nullptr;
    std::lock_guard<std::mutex> lock(Mutex());
    OpenKey parent;
    if (!Resolve(hKey, parent)) return ERROR_INVALID_HANDLE;
    OpenKey k{parent.root, Below(parent, lpSubKey), Writable(samDesired)};
    std::shared_ptr<const Key> tree = TheStore().Load(k.root);
    if (!FindKey(*tree, k.path)) return ERROR_FILE_NOT_FOUND;
    *phkResult = NewHandle(k);
    return ERROR_SUCCESS;
}

LSTATUS RegCreateKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD, LPSTR, DWORD, REGSAM samDesired, LPVOID,
                        PHKEY phkResult, LPDWORD lpdwDisposition) {
    if (!phkResult) return ERROR_INVALID_PARAMETER;
    *phkResult = nullptr;
    std::lock_guard<std::mutex> lock(Mutex());
    OpenKey parent;
    if (!Resolve(hKey, parent)) return ERROR_INVALID_HANDLE;
    OpenKey k{parent.root, Below(parent, lpSubKey), Writable(samDesired)};
    bool created = false;
    std::shared_ptr<const Key> tree = TheStore().Load(k.root);
    if (!FindKey(*tree, k.path)) {
        if (!parent.writable) return ERROR_ACCESS_DENIED;
        LSTATUS s = TheStore().Modify(k.root, [&](Key& t, bool& write) {
            Key* cur = &t;
            for (const std::string& p : k.path) {
                Key* next = cur->Find(p);
                if (!next) {
                    next = cur->Make(p);
                    created = true;
                    write = true;
                }
                cur = next;
            }
            return ERROR_SUCCESS;
        });
        if (s != ERROR_SUCCESS) return s;
    }
    if (lpdwDisposition) *lpdwDisposition = created ? REG_CREATED_NEW_KEY : REG_OPENED_EXISTING_KEY;
    *phkResult = NewHandle(k);
    return ERROR_SUCCESS;
}

LSTATUS RegCloseKey(HKEY hKey) {
    if (hKey == HKEY_CURRENT_USER || hKey == HKEY_LOCAL_MACHINE) return ERROR_SUCCESS;
    std::lock_guard<std::mutex> lock(Mutex());
    auto* k = reinterpret_cast<OpenKey*>(hKey);
    if (Handles().erase(k) == 0) return ERROR_INVALID_HANDLE;
    delete k;
    return ERROR_SUCCESS;
}

LSTATUS RegQueryValueExA(HKEY hKey, LPCSTR lpValueName, LPDWORD, LPDWORD lpType, LPBYTE lpData,
                         LPDWORD lpcbData) {
    if (lpData && !lpcbData) return ERROR_INVALID_PARAMETER;
    std::lock_guard<std::mutex> lock(Mutex());
    OpenKey k;
    if (!Resolve(hKey, k)) return ERROR_INVALID_HANDLE;
    std::shared_ptr<const Key> tree = TheStore().Load(k.root);
    Key* key = FindKey(*tree, k.path);
    if (!key) return ERROR_KEY_DELETED;
    auto it = key->values.find(Lower(lpValueName ? lpValueName : ""));
    if (it == key->values.end()) return ERROR_FILE_NOT_FOUND;
    const Value& v = it->second;
    if (lpType) *lpType = v.type;
    DWORD size = static_cast<DWORD>(v.data.size());
    if (!lpData) {
        if (lpcbData) *lpcbData = size;
        return ERROR_SUCCESS;
    }
    if (*lpcbData < size) {
        *lpcbData = size;
        return ERROR_MORE_DATA;
    }
    if (size) std::memcpy(lpData, v.data.data(), size);
    *lpcbData = size;
    return ERROR_SUCCESS;
}

LSTATUS RegSetValueExA(HKEY hKey, LPCSTR lpValueName, DWORD, DWORD dwType, const BYTE* lpData, DWORD cbData) {
    if (!lpData && cbData) return ERROR_INVALID_PARAMETER;
    std::lock_guard<std::mutex> lock(Mutex());
    OpenKey k;
    if (!Resolve(hKey, k)) return ERROR_INVALID_HANDLE;
    if (!k.writable) return ERROR_ACCESS_DENIED;
    Value v;
    v.name = lpValueName ? lpValueName : "";
    v.type = dwType;
    if (cbData) v.data.assign(reinterpret_cast<const char*>(lpData), cbData);
    const std::string lower = Lower(v.name);
    // A value that already holds these exact bytes, type and name is not written again: the file on disk
    // already says what the write would.
    auto holds = [&](const Key& key) {
        auto it = key.values.find(lower);
        return it != key.values.end() && it->second.name == v.name && it->second.type == v.type &&
               it->second.data == v.data;
    };
    std::shared_ptr<const Key> now = TheStore().Load(k.root);
    const Key* found = FindKey(*now, k.path);
    // The user's tree is the file itself; a machine value must be in the overlay, so that is checked
    // under the lock below.
    if (found && k.root == Root::kUser && holds(*found)) return ERROR_SUCCESS;
    // A machine key that only the system file holds takes its values in the overlay.
    bool seen = found != nullptr;
    return TheStore().Modify(k.root, [&](Key& t, bool& write) -> LSTATUS {
        Key* key = FindKey(t, k.path);
        if (!key && seen && k.root == Root::kMachine) key = MakeKey(t, k.path);
        if (!key) return ERROR_KEY_DELETED;
        if (holds(*key)) return ERROR_SUCCESS;
        key->values[lower] = v;
        write = true;
        return ERROR_SUCCESS;
    });
}

LSTATUS RegDeleteValueA(HKEY hKey, LPCSTR lpValueName) {
    std::lock_guard<std::mutex> lock(Mutex());
    OpenKey k;
    if (!Resolve(hKey, k)) return ERROR_INVALID_HANDLE;
    if (!k.writable) return ERROR_ACCESS_DENIED;
    std::string name = Lower(lpValueName ? lpValueName : "");
    return TheStore().Modify(k.root, [&](Key& t, bool& write) -> LSTATUS {
        Key* key = FindKey(t, k.path);
        if (!key) return ERROR_KEY_DELETED;
        if (key->values.erase(name) == 0) return ERROR_FILE_NOT_FOUND;
        write = true;
        return ERROR_SUCCESS;
    });
}

LSTATUS RegDeleteKeyA(HKEY hKey, LPCSTR lpSubKey) {
    if (!lpSubKey || SplitPath(lpSubKey).empty()) return ERROR_INVALID_PARAMETER;
    std::lock_guard<std::mutex> lock(Mutex());
    OpenKey k;
    if (!Resolve(hKey, k)) return ERROR_INVALID_HANDLE;
    std::vector<std::string> path = Below(k, lpSubKey);
    return TheStore().Modify(k.root, [&](Key& t, bool& write) -> LSTATUS {
        std::vector<std::string> parentPath(path.begin(), path.end() - 1);
        Key* parent = FindKey(t, parentPath);
        Key* victim = parent ? parent->Find(path.back()) : nullptr;
        if (!victim) return ERROR_FILE_NOT_FOUND;
        if (!victim->subkeys.empty()) return ERROR_ACCESS_DENIED;
        parent->subkeys.erase(Lower(path.back()));
        write = true;
        return ERROR_SUCCESS;
    });
}

namespace {

LSTATUS CopyName(const std::string& name, LPSTR out, LPDWORD cch) {
    if (!out || !cch) return ERROR_INVALID_PARAMETER;
    if (name.size() + 1 > *cch) {
        *cch = static_cast<DWORD>(name.size());
        return ERROR_MORE_DATA;
    }
    std::memcpy(out, name.c_str(), name.size() + 1);
    *cch = static_cast<DWORD>(name.size());
    return ERROR_SUCCESS;
}

}  // namespace

LSTATUS RegEnumKeyExA(HKEY hKey, DWORD dwIndex, LPSTR lpName, LPDWORD lpcchName, LPDWORD, LPSTR lpClass,
                      LPDWORD lpcchClass, LPVOID) {
    std::lock_guard<std::mutex> lock(Mutex());
    OpenKey k;
    if (!Resolve(hKey, k)) return ERROR_INVALID_HANDLE;
    std::shared_ptr<const Key> tree = TheStore().Load(k.root);
    Key* key = FindKey(*tree, k.path);
    if (!key) return ERROR_KEY_DELETED;
    if (dwIndex >= key->subkeys.size()) return ERROR_NO_MORE_ITEMS;
    auto it = key->subkeys.begin();
    std::advance(it, dwIndex);
    if (lpClass && lpcchClass && *lpcchClass > 0) lpClass[0] = 0;
    if (lpcchClass) *lpcchClass = 0;
    return CopyName(it->second->name, lpName, lpcchName);
}

LSTATUS RegEnumValueA(HKEY hKey, DWORD dwIndex, LPSTR lpValueName, LPDWORD lpcchValueName, LPDWORD,
                      LPDWORD lpType, LPBYTE lpData, LPDWORD lpcbData) {
    if (lpData && !lpcbData) return ERROR_INVALID_PARAMETER;
    std::lock_guard<std::mutex> lock(Mutex());
    OpenKey k;
    if (!Resolve(hKey, k)) return ERROR_INVALID_HANDLE;
    std::shared_ptr<const Key> tree = TheStore().Load(k.root);
    Key* key = FindKey(*tree, k.path);
    if (!key) return ERROR_KEY_DELETED;
    if (dwIndex >= key->values.size()) return ERROR_NO_MORE_ITEMS;
    auto it = key->values.begin();
    std::advance(it, dwIndex);
    const Value& v = it->second;
    LSTATUS s = CopyName(v.name, lpValueName, lpcchValueName);
    if (s != ERROR_SUCCESS) return s;
    if (lpType) *lpType = v.type;
    DWORD size = static_cast<DWORD>(v.data.size());
    if (lpcbData) {
        if (lpData && *lpcbData < size) {
            *lpcbData = size;
            return ERROR_MORE_DATA;
        }
        if (lpData && size) std::memcpy(lpData, v.data.data(), size);
        *lpcbData = size;
    }
    return ERROR_SUCCESS;
}

namespace qsm {

const char* RegistryFolder() {
    static thread_local std::string folder;
    folder = UserFolder();
    return folder.c_str();
}

namespace registry_internal {

std::string ReparseForTest(const std::string& text) {
    Key tree;
    Parse(text, tree);
    return Serialize(tree);
}

void SetMidWriteHook(void (*hook)()) {
    g_midWriteHook = hook;
}

}  // namespace registry_internal
}  // namespace qsm

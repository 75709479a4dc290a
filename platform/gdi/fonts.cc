// Fonts: face matching through fontconfig, private font files, FreeType metrics with whole-pixel advances,
// character sets, and glyph output through cairo.
#include <cairo-ft.h>
#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_TRUETYPE_TABLES_H
#include FT_ADVANCES_H
#include FT_OUTLINE_H
#include <iconv.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cmath>
#include <condition_variable>
#include <cstring>
#include <ctime>
#include <iterator>
#include <map>
#include <mutex>
#include <set>
#include <span>
#include <system_error>
#include <thread>
#include <unordered_map>
#include <vector>

#include "platform/gdi/face_lookup.h"
#include "platform/gdi/font_match_cache.h"
#include "platform/gdi/font_setup.h"
#include "platform/gdi/gdi_internal.h"
#include "platform/kernel/module.h"

namespace qsm::gdi {

struct FontFace {
    FT_Face ft = nullptr;
    std::string file;
    int index = 0;
    int upm = 1000;
    int winAscent = 800;
    int winDescent = 200;
    int lineGap = 0;
    int hheaAscent = 800;
    int hheaDescent = 200;
    int avgWidth = 500;
    int maxAdvance = 1000;
    FT_CharMap unicodeMap = nullptr;
    FT_CharMap symbolMap = nullptr;
    std::map<unsigned, int> advances;               // glyph index -> advance in font units
    std::unordered_map<uint32_t, unsigned> glyphs;  // character -> glyph index (0: none)
    cairo_font_face_t* cairo[4] = {};               // by synthesis: bit 0 bold, bit 1 italic
    // Scaled fonts by synthesis, pixels per em and device scale, made once: glyph output only selects one.
    struct ScaledKey {
        int synth;
        double ppem, scale;
        bool operator<(const ScaledKey& o) const {
            if (synth != o.synth) return synth < o.synth;
            if (ppem != o.ppem) return ppem < o.ppem;
            return scale < o.scale;
        }
    };
    std::map<ScaledKey, cairo_scaled_font_t*> scaled;

    // Each byte's glyph in text of one byte per character decoded without a code page (a symbol font's
    // bytes, or the default Windows code page), found on first use: by symbol (1) or not (0).
    struct ByteGlyph {
        bool found = false;
        unsigned glyph = 0;
        int units = 0;  // advance in font units
        uint32_t shown = 0;
    };
    std::unique_ptr<std::array<ByteGlyph, 256>> byteGlyphs[2];

    unsigned GlyphFor(uint32_t cp);
    int AdvanceUnits(unsigned glyph);
    ~FontFace();
};

namespace {

std::recursive_mutex g_fontMutex;
FT_Library g_ft = nullptr;
// Taken last, with nothing else taken while it is held: the making and freeing of FreeType faces (FreeType
// wants those one at a time) and the counts of their users. cairo lets go of its font faces under its own
// locks, so the release of a face's last user cannot wait for g_fontMutex.
std::mutex g_faceLifeMutex;

// A FreeType face is released when the last of its users lets go: the FontFace and each cairo font face made
// on it (cairo may keep those cached after the FontFace is gone).
struct FtOwner {
    FT_Face face;
    int refs;
};
cairo_user_data_key_t g_ownerKey;

void ReleaseOwner(void* p) {
    auto* owner = static_cast<FtOwner*>(p);
    std::lock_guard lock(g_faceLifeMutex);
    if (--owner->refs == 0) {
        FT_Done_Face(owner->face);
        delete owner;
    }
}

// The map is g_fontMutex's; the count is g_faceLifeMutex's.
std::map<FT_Face, FtOwner*>* g_owners = nullptr;

FtOwner* OwnerOf(FT_Face face) {
    if (!g_owners) g_owners = new std::map<FT_Face, FtOwner*>();
    auto it = g_owners->find(face);
    if (it != g_owners->end()) return it->second;
    auto* owner = new FtOwner{face, 1};
    (*g_owners)[face] = owner;
    return owner;
}

FT_Error NewFace(const char* file, FT_Long index, FT_Face* face) {
    std::lock_guard lock(g_faceLifeMutex);
    return FT_New_Face(g_ft, file, index, face);
}

void DoneFace(FT_Face face) {
    std::lock_guard lock(g_faceLifeMutex);
    FT_Done_Face(face);
}
// Null while kept matches stand in for fontconfig (see SetUpAhead).
FcConfig* g_config = nullptr;
std::map<std::string, std::shared_ptr<FontFace>>* g_faces = nullptr;
std::map<std::string, int>* g_private = nullptr;  // private font files and how often each was added
// Font files that the set-up gave fontconfig ahead of the program's own AddFontResourceExA for them (see
// StartFontSetup). Matches made while any of them is not yet added by the program would count it: the first
// match then takes them all back out of fontconfig.
std::set<std::string>* g_ahead = nullptr;

using Match = FontMatch;
std::map<std::string, Match>* g_matches = nullptr;
// Whether fontconfig's set of fonts is still the one the set-up made (the system's and the files given
// ahead): matches made in it are kept for later runs.
bool g_setUpSet = false;

// What stat says of the paths now, and whether that is what fontconfig found: nothing changed since `since`,
// taken before fontconfig read them.
bool StatPaths(std::vector<PathState>& paths, std::vector<PathState>& files, int64_t since) {
    for (auto* list : {&paths, &files})
        for (PathState& p : *list)
            p = StatPath(p.path);
    return !ChangedSince(paths, since) && !ChangedSince(files, since);
}

// fontconfig's set-up reads the system's whole font configuration (some fifty files of XML) and its font
// caches, a good part of a short run's time. StartFontSetup runs it on a thread of its own, with the adding
// of the program's private font files, and then matches the faces the program will ask for, one by one. The
// first use of fonts waits until the set-up proper is done (from then on the state is the main thread's); a
// first use that comes before the thread has even begun (a busy machine may be slow to schedule it) does the
// set-up proper itself, the same way, and the thread only matches faces. A face the thread is matching is
// waited for until the thread has matched it, and one it has not begun yet is matched by the program itself
// rather than after the faces before it. Meanwhile both threads may match faces: fontconfig matches from
// several threads at once; anything that changes fontconfig's set of fonts first waits for the thread to end.
// The matches made in the set-up's set of fonts are kept in a file for later runs (font_match_cache.h): a run
// that finds them made under the same conditions takes them instead of setting fontconfig up at all.
struct SetupThread {
    std::mutex mutex;  // guards the members below but the set-up's own work
    std::mutex writeMutex;
    std::condition_variable changed;
    std::thread thread;
    bool started = false;
    bool stateTaken = false;         // the set-up proper was begun, by the thread or by the first use
    std::vector<std::string> files;  // private font files given ahead, read by whoever takes the set-up
    bool stateReady = false;
    std::set<std::string> pending;         // faces the thread has still to match
    std::string current;                   // the one of them it is matching now
    std::map<std::string, Match> matched;  // faces it matched that the program has not asked for yet
    // The matches made in the set-up's set of fonts, kept in a file for later runs under the key the set-up
    // found: written when `sound` (nothing changed while fontconfig read it) and there is something new.
    FontMatchRecord kept;
    std::string keptFile;
    bool sound = false;
    bool keptNew = false;
    bool keyToStat = false;   // the key's paths are still to be stat'ed
    int64_t since = 0;        // when fontconfig began to read them
    FontMatchRecord earlier;  // the file as found when the set-up began, its key unchanged then

    // A process that ends before it uses a font lets the set-up end rather than end under it. Matches made
    // since the thread's end are kept then.
    ~SetupThread() {
        Stop();
        WriteKept();
    }
    // True for the first caller once the set-up was started: it does the set-up proper (SetUpAhead), then
    // StateDone.
    bool TakeState() {
        std::lock_guard lock(mutex);
        if (!started || stateTaken) return false;
        stateTaken = true;
        return true;
    }
    void StateDone() {
        {
            std::lock_guard lock(mutex);
            stateReady = true;
        }
        changed.notify_all();
    }
    void WaitForState();
    // True when the match is new to the record.
    bool Keep(const std::string& key, const Match& m) {
        std::lock_guard lock(mutex);
        if (!kept.matches.emplace(key, m).second) return false;
        keptNew = true;
        return true;
    }
    // The key's paths stat'ed: sound when nothing changed since fontconfig began to read them. The matches
    // the file had still hold if its key is this one.
    void StatKey() {
        std::vector<PathState> paths, files;
        int64_t from;
        {
            std::lock_guard lock(mutex);
            if (!keyToStat) return;
            paths = kept.paths;
            files = kept.files;
            from = since;
        }
        bool ok = StatPaths(paths, files, from);
        std::lock_guard lock(mutex);
        keyToStat = false;
        kept.paths = std::move(paths);
        kept.files = std::move(files);
        sound = ok;
        if (earlier.SameKey(kept)) kept.matches.insert(earlier.matches.begin(), earlier.matches.end());
        earlier = {};
    }
    // A failure to write leaves the file as it was: later runs find it stale or missing and match anew. Files
    // are written in the order their records were taken, the last with all.
    void WriteKept() {
        std::lock_guard writing(writeMutex);
        FontMatchRecord record;
        std::string file;
        {
            std::lock_guard lock(mutex);
            if (!sound || !keptNew) return;
            keptNew = false;
            record = kept;
            file = keptFile;
        }
        WriteFontMatches(file, record);
    }
    // The thread's match of the face, waited for while the thread is matching it; false when the thread has
    // none, or has not begun it (it is the caller's to match now).
    bool Take(const std::string& key, Match* m) {
        std::unique_lock lock(mutex);
        if (key != current && pending.erase(key) != 0) return false;
        changed.wait(lock, [&] { return pending.count(key) == 0; });
        auto it = matched.find(key);
        if (it == matched.end()) return false;
        *m = std::move(it->second);
        matched.erase(it);
        return true;
    }
    // Before fontconfig's set of fonts changes: the thread ends after the face it is matching, and what it
    // matched is of no use any more.
    void Stop() {
        std::thread t;
        {
            std::lock_guard lock(mutex);
            pending.clear();
            matched.clear();
            t = std::move(thread);
        }
        if (t.joinable()) t.join();
    }
};
SetupThread g_setup;

void SetUpFreeType() {
    FT_Init_FreeType(&g_ft);
    g_faces = new std::map<std::string, std::shared_ptr<FontFace>>();
    g_private = new std::map<std::string, int>();
    g_ahead = new std::set<std::string>();
    g_matches = new std::map<std::string, Match>();
}

void SetUpState() {
    FcInit();
    g_config = FcConfigGetCurrent();
    SetUpFreeType();
}

std::string ExePath() {
    char exe[4096];
    ssize_t n = readlink("/proc/self/exe", exe, sizeof exe);
    return std::string(exe, n > 0 ? static_cast<size_t>(n) : 0);
}

// What fontconfig's answers depend on besides the files it reads: its version and FreeType's, the program's
// name and the environment variables it looks at.
std::vector<std::string> RunFacts() {
    std::vector<std::string> facts;
    facts.push_back("fontconfig " + std::to_string(FcGetVersion()));
    FT_Int major = 0, minor = 0, patch = 0;
    FT_Library_Version(g_ft, &major, &minor, &patch);
    facts.push_back("freetype " + std::to_string(major) + "." + std::to_string(minor) + "." +
                    std::to_string(patch));
    // fontconfig's rules may look at the program's name.
    facts.push_back(std::string("program ") + program_invocation_short_name);
    std::string path = ExePath();
    facts.push_back("exe " + path.substr(path.find_last_of('/') + 1));
    for (const char* name : {"FONTCONFIG_FILE", "FONTCONFIG_PATH", "FONTCONFIG_SYSROOT", "FC_LANG", "LANG",
                             "LC_ALL", "LC_CTYPE", "LC_MESSAGES", "HOME", "XDG_CONFIG_HOME", "XDG_DATA_HOME",
                             "XDG_CACHE_HOME", "XDG_DATA_DIRS", "XDG_CURRENT_DESKTOP"}) {
        const char* value = std::getenv(name);
        facts.push_back(value ? std::string(name) + "=" + value : std::string("unset ") + name);
    }
    return facts;
}

// Every file and folder fontconfig read its configuration, fonts and caches from, with the folders that hold
// its configuration files (a file may appear there) and the places it looks for the user's configuration even
// when they are not there; not stat'ed yet.
std::vector<PathState> ConfigPaths() {
    std::vector<std::string> names;
    std::set<std::string> seen;
    auto add = [&](std::string name) {
        if (!name.empty() && seen.insert(name).second) names.push_back(std::move(name));
    };
    auto addAll = [&](FcStrList* list, bool withFolder) {
        if (!list) return;
        while (FcChar8* s = FcStrListNext(list)) {
            std::string name = reinterpret_cast<const char*>(s);
            size_t slash = name.find_last_of('/');
            if (withFolder && slash != std::string::npos && slash > 0) add(name.substr(0, slash));
            add(std::move(name));
        }
        FcStrListDone(list);
    };
    addAll(FcConfigGetConfigFiles(g_config), true);
    addAll(FcConfigGetFontDirs(g_config), false);
    addAll(FcConfigGetCacheDirs(g_config), false);
    std::vector<std::string> userFolders;
    if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && *xdg) userFolders.push_back(xdg);
    const char* home = std::getenv("HOME");
    if (home && *home) userFolders.push_back(std::string(home) + "/.config");
    for (const std::string& folder : userFolders) {
        add(folder + "/fontconfig");
        add(folder + "/fontconfig/fonts.conf");
        add(folder + "/fontconfig/conf.d");
    }
    if (home && *home) {
        add(std::string(home) + "/.fonts.conf");
        add(std::string(home) + "/.fonts.conf.d");
    }
    // The program's own file: a program built anew in the same place may ask fontconfig otherwise.
    add("/proc/self/exe");
    std::vector<PathState> paths(names.size());
    for (size_t i = 0; i < names.size(); ++i)
        paths[i].path = std::move(names[i]);
    return paths;
}

int64_t CoarseNow() {
    struct timespec t;
    clock_gettime(CLOCK_REALTIME_COARSE, &t);
    return static_cast<int64_t>(t.tv_sec) * 1000000000 + t.tv_nsec;
}

// fontconfig with the files given ahead, in their order; whether it took each.
std::vector<bool> SetUpFontconfigAhead() {
    FcInit();
    g_config = FcConfigGetCurrent();
    std::vector<bool> taken;
    for (const std::string& file : g_setup.files)
        taken.push_back(FcConfigAppFontAddFile(g_config, reinterpret_cast<const FcChar8*>(file.c_str())));
    return taken;
}

// The key of the matches fontconfig gives now, once it has read all it needs, but for what stat says of the
// paths.
FontMatchRecord KeyNow(std::vector<std::string> facts, std::vector<bool> taken) {
    FontMatchRecord key;
    key.facts = std::move(facts);
    key.paths = ConfigPaths();
    key.files.resize(g_setup.files.size());
    for (size_t i = 0; i < g_setup.files.size(); ++i)
        key.files[i].path = g_setup.files[i];
    key.taken = std::move(taken);
    return key;
}

// The set-up proper of StartFontSetup: FreeType's state, and fontconfig's with the private font files given
// to the face matching ahead of the program's own AddFontResourceExA for them. When the matches an earlier
// run kept hold for this one (same key: nothing fontconfig would read or look at changed) and have every face
// the set-up is to match, they stand in for fontconfig, which is not set up until a face they lack is asked
// for or its set of fonts changes.
void SetUpAhead() {
    SetUpFreeType();
    std::vector<std::string> facts = RunFacts();
    // Copies of the program in other places (other font files given ahead) keep files of their own rather
    // than take turns with one.
    std::string install = ExePath();
    for (const std::string& f : g_setup.files)
        install += '\0' + f;
    std::string file = FontMatchFile(program_invocation_short_name, install);
    FontMatchRecord found;
    bool holds = !file.empty() && ReadFontMatches(file, &found) && found.facts == facts &&
                 found.files.size() == g_setup.files.size() && found.taken.size() == found.files.size();
    for (size_t i = 0; holds && i < found.files.size(); ++i)
        holds = found.files[i].path == g_setup.files[i];
    holds = holds && PathsUnchanged(found.paths) && PathsUnchanged(found.files);
    g_setUpSet = true;
    if (holds) {
        std::lock_guard lock(g_setup.mutex);
        bool all = std::all_of(g_setup.pending.begin(), g_setup.pending.end(),
                               [&](const std::string& key) { return found.matches.count(key) != 0; });
        if (all) {
            for (size_t i = 0; i < found.files.size(); ++i)
                if (found.taken[i]) g_ahead->insert(found.files[i].path);
            *g_matches = found.matches;
            g_setup.pending.clear();
            g_setup.kept = std::move(found);
            g_setup.keptFile = std::move(file);
            g_setup.sound = true;
            return;
        }
    }
    int64_t since = CoarseNow();
    std::vector<bool> taken = SetUpFontconfigAhead();
    for (size_t i = 0; i < taken.size(); ++i)
        if (taken[i]) g_ahead->insert(g_setup.files[i]);
    // The paths are stat'ed by the thread once it has matched its faces (StatKey), not while the program
    // waits for the set-up.
    std::lock_guard lock(g_setup.mutex);
    g_setup.kept = KeyNow(std::move(facts), std::move(taken));
    g_setup.keptFile = std::move(file);
    g_setup.since = since;
    g_setup.keyToStat = !g_setup.keptFile.empty();
    if (holds) g_setup.earlier = std::move(found);
}

// fontconfig set up where kept matches stood in for it, as the set-up would have set it up. The matches it
// gives from now on are kept only when the key is still the one they were found under.
void NeedFontconfig() {
    if (g_config) return;
    int64_t since = CoarseNow();
    FontMatchRecord key = KeyNow(RunFacts(), SetUpFontconfigAhead());
    bool sound = StatPaths(key.paths, key.files, since);
    std::lock_guard lock(g_setup.mutex);
    if (!sound || !key.SameKey(g_setup.kept)) g_setup.sound = false;
}

void SetupThread::WaitForState() {
    if (TakeState()) {
        SetUpAhead();
        StateDone();
        return;
    }
    std::unique_lock lock(mutex);
    changed.wait(lock, [this] { return !started || stateReady; });
}

void InitFonts() {
    g_setup.WaitForState();
    if (!g_faces) SetUpState();
}

std::shared_ptr<FontFace> LoadFace(const std::string& file, int index) {
    std::string key = file + "#" + std::to_string(index);
    auto it = g_faces->find(key);
    if (it != g_faces->end()) return it->second;
    FT_Face ft = nullptr;
    if (NewFace(file.c_str(), index, &ft) != 0 || !ft) return nullptr;
    if (!FT_IS_SCALABLE(ft) || ft->units_per_EM == 0) {
        DoneFace(ft);
        return nullptr;
    }
    auto face = std::make_shared<FontFace>();
    face->ft = ft;
    face->file = file;
    face->index = index;
    face->upm = ft->units_per_EM;
    face->hheaAscent = ft->ascender;
    face->hheaDescent = -ft->descender;
    face->lineGap = ft->height - (ft->ascender - ft->descender);
    face->maxAdvance = ft->max_advance_width;
    face->winAscent = face->hheaAscent;
    face->winDescent = face->hheaDescent;
    face->avgWidth = face->upm / 2;
    if (auto* os2 = static_cast<TT_OS2*>(FT_Get_Sfnt_Table(ft, FT_SFNT_OS2))) {
        if (os2->usWinAscent + os2->usWinDescent > 0) {
            face->winAscent = os2->usWinAscent;
            face->winDescent = os2->usWinDescent;
        }
        if (os2->xAvgCharWidth > 0) face->avgWidth = os2->xAvgCharWidth;
    }
    if (face->winAscent + face->winDescent <= 0) {
        // No usable vertical metrics: an em-high cell.
        face->winAscent = face->upm * 4 / 5;
        face->winDescent = face->upm - face->winAscent;
    }
    for (int i = 0; i < ft->num_charmaps; ++i) {
        FT_CharMap cm = ft->charmaps[i];
        if (cm->encoding == FT_ENCODING_UNICODE && !face->unicodeMap) face->unicodeMap = cm;
        if (cm->encoding == FT_ENCODING_MS_SYMBOL && !face->symbolMap) face->symbolMap = cm;
    }
    (*g_faces)[key] = face;
    return face;
}

// Forgets the loaded faces of a file; fonts made from them keep theirs.
void ForgetFaces(const std::string& file) {
    for (auto it = g_faces->begin(); it != g_faces->end();)
        it = it->second->file == file ? g_faces->erase(it) : std::next(it);
}

bool EqualNoCase(const char* a, const char* b) {
    return strcasecmp(a, b) == 0;
}

// fontconfig cannot drop one application font: the set is made again from the files the program added.
void RebuildPrivateSet() {
    g_setup.Stop();
    NeedFontconfig();
    g_setUpSet = false;
    FcConfigAppFontClear(g_config);
    for (auto& [file, n] : *g_private)
        FcConfigAppFontAddFile(g_config, reinterpret_cast<const FcChar8*>(file.c_str()));
    g_ahead->clear();
    g_matches->clear();
}

std::string MatchKey(const char* family, bool bold, bool italic) {
    return std::string(family) + (bold ? "|b" : "|r") + (italic ? "i" : "n");
}

// What fontconfig finds for the face; touches nothing but fontconfig.
Match MatchFace(const char* family, bool bold, bool italic) {
    Match m;
    FcPattern* pat = FcPatternCreate();
    if (*family) FcPatternAddString(pat, FC_FAMILY, reinterpret_cast<const FcChar8*>(family));
    FcPatternAddInteger(pat, FC_WEIGHT, bold ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR);
    FcPatternAddInteger(pat, FC_SLANT, italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
    FcPatternAddBool(pat, FC_SCALABLE, FcTrue);
    FcConfigSubstitute(g_config, pat, FcMatchPattern);
    FcDefaultSubstitute(pat);
    FcResult result;
    FcPattern* found = FcFontMatch(g_config, pat, &result);
    if (found) {
        FcChar8* s = nullptr;
        if (FcPatternGetString(found, FC_FILE, 0, &s) == FcResultMatch) m.file = reinterpret_cast<char*>(s);
        FcPatternGetInteger(found, FC_INDEX, 0, &m.index);
        FcPatternGetInteger(found, FC_WEIGHT, 0, &m.weight);
        FcPatternGetInteger(found, FC_SLANT, 0, &m.slant);
        // The face's name is the asked-for family when the match carries it among its names.
        for (int n = 0; FcPatternGetString(found, FC_FAMILY, n, &s) == FcResultMatch; ++n) {
            if (n == 0) m.family = reinterpret_cast<char*>(s);
            if (EqualNoCase(reinterpret_cast<char*>(s), family)) {
                m.family = reinterpret_cast<char*>(s);
                break;
            }
        }
        FcPatternDestroy(found);
    }
    FcPatternDestroy(pat);
    return m;
}

// The family fontconfig draws in place of `family` when it binds it as strongly as the family asked for (its
// metric-compatible aliases); empty when the match is the family itself or a mere fallback.
Match MatchStandIn(const char* family) {
    Match m;
    FcPattern* pat = FcPatternCreate();
    FcPatternAddString(pat, FC_FAMILY, reinterpret_cast<const FcChar8*>(family));
    FcPatternAddBool(pat, FC_SCALABLE, FcTrue);
    FcConfigSubstitute(g_config, pat, FcMatchPattern);
    FcDefaultSubstitute(pat);
    std::vector<std::string> strong;
    FcValue v;
    FcValueBinding binding;
    for (int n = 1; FcPatternGetWithBinding(pat, FC_FAMILY, n, &v, &binding) == FcResultMatch; ++n) {
        if (v.type == FcTypeString && binding == FcValueBindingStrong)
            strong.emplace_back(reinterpret_cast<const char*>(v.u.s));
    }
    FcResult result;
    FcPattern* found = FcFontMatch(g_config, pat, &result);
    FcChar8* s = nullptr;
    if (found && FcPatternGetString(found, FC_FAMILY, 0, &s) == FcResultMatch) {
        const char* name = reinterpret_cast<const char*>(s);
        if (!EqualNoCase(name, family) &&
            std::any_of(strong.begin(), strong.end(),
                        [&](const std::string& f) { return EqualNoCase(f.c_str(), name); }))
            m.family = name;
    }
    if (found) FcPatternDestroy(found);
    FcPatternDestroy(pat);
    return m;
}

// A match kept like FindMatch's, under its own key.
Match FindStandIn(const char* family) {
    std::string key = std::string(family) + "|standin";
    auto it = g_matches->find(key);
    if (it != g_matches->end()) return it->second;
    Match m;
    if (!g_setup.Take(key, &m)) {
        NeedFontconfig();
        m = MatchStandIn(family);
    }
    if (g_setUpSet && g_setup.Keep(key, m)) g_setup.WriteKept();
    (*g_matches)[key] = m;
    return m;
}

bool SameFile(const std::string& a, const std::string& b) {
    if (a == b) return true;
    struct stat sa, sb;
    return stat(a.c_str(), &sa) == 0 && stat(b.c_str(), &sb) == 0 && sa.st_dev == sb.st_dev &&
           sa.st_ino == sb.st_ino;
}

Match FindMatch(const char* family, bool bold, bool italic) {
    std::string key = MatchKey(family, bold, italic);
    auto it = g_matches->find(key);
    if (it != g_matches->end()) return it->second;
    Match m;
    if (!g_setup.Take(key, &m)) {
        NeedFontconfig();
        m = MatchFace(family, bold, italic);
    }
    // A face the file lacked is written at once: a program that does not end in the ordinary way would lose
    // it, and the next run would set fontconfig up for it again. Until the thread has stat'ed the key (its
    // last step), it writes the file itself.
    if (g_setUpSet && g_setup.Keep(key, m)) g_setup.WriteKept();
    (*g_matches)[key] = m;
    return m;
}

// Code page of a character set, as iconv names it; empty for 1252.
const char* CodePageName(int charset) {
    switch (charset) {
        case EASTEUROPE_CHARSET:
            return "CP1250";
        case RUSSIAN_CHARSET:
            return "CP1251";
        case GREEK_CHARSET:
            return "CP1253";
        case TURKISH_CHARSET:
            return "CP1254";
        case HEBREW_CHARSET:
            return "CP1255";
        case ARABIC_CHARSET:
            return "CP1256";
        case BALTIC_CHARSET:
            return "CP1257";
        case VIETNAMESE_CHARSET:
            return "CP1258";
        case THAI_CHARSET:
            return "CP874";
        case SHIFTJIS_CHARSET:
            return "CP932";
        case GB2312_CHARSET:
            return "CP936";
        case HANGUL_CHARSET:
            return "CP949";
        case CHINESEBIG5_CHARSET:
            return "CP950";
        case OEM_CHARSET:
            return "CP437";
        case MAC_CHARSET:
            return "MACINTOSH";
        default:
            return "";
    }
}

const uint16_t kCp1252High[32] = {0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                  0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
                                  0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                  0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

std::vector<uint32_t> DecodeBytes(int charset, const char* text, int count) {
    std::vector<uint32_t> out;
    out.reserve(static_cast<size_t>(count));
    const auto* bytes = reinterpret_cast<const unsigned char*>(text);
    const char* page = CodePageName(charset);
    if (!*page) {
        for (int i = 0; i < count; ++i) {
            unsigned char b = bytes[i];
            out.push_back(b >= 0x80 && b < 0xA0 ? kCp1252High[b - 0x80] : b);
        }
        return out;
    }
    iconv_t cd = iconv_open("UTF-32LE", page);
    if (cd == reinterpret_cast<iconv_t>(-1)) {
        for (int i = 0; i < count; ++i)
            out.push_back(bytes[i]);
        return out;
    }
    std::vector<char> buf(static_cast<size_t>(count) * 4 + 8);
    char* in = const_cast<char*>(text);
    size_t inLeft = static_cast<size_t>(count);
    while (inLeft > 0) {
        char* o = buf.data();
        size_t oLeft = buf.size();
        size_t r = iconv(cd, &in, &inLeft, &o, &oLeft);
        size_t produced = (buf.size() - oLeft) / 4;
        for (size_t k = 0; k < produced; ++k) {
            uint32_t cp;
            std::memcpy(&cp, buf.data() + k * 4, 4);
            out.push_back(cp);
        }
        if (r == static_cast<size_t>(-1) && inLeft > 0) {
            // An invalid or cut-off sequence: one replacement character per byte skipped.
            out.push_back(0xFFFD);
            ++in;
            --inLeft;
            iconv(cd, nullptr, nullptr, nullptr, nullptr);
        }
    }
    iconv_close(cd);
    return out;
}

double PixelsPerEm(const Font& font, double scaleY) {
    const FontFace& f = *font.face;
    double h = std::fabs(font.lf.lfHeight * scaleY);
    double ppem;
    if (font.lf.lfHeight < 0)
        ppem = std::round(h);
    else if (font.lf.lfHeight > 0)
        ppem = std::round(h * f.upm / (f.winAscent + f.winDescent));
    else
        ppem = std::round(16.0 * std::fabs(scaleY));
    return ppem < 1 ? 1 : ppem;
}

int Px(int units, double ppem, int upm) {
    return static_cast<int>(std::floor(units * ppem / upm + 0.5));
}

// The glyph of the character, and the character of the font it was found by.
unsigned FindGlyph(FontFace& f, uint32_t cp, bool symbol, uint32_t* found) {
    unsigned g = 0;
    uint32_t shown = cp;
    if (symbol && cp < 0x100) g = f.GlyphFor(shown = 0xF000 + cp);
    if (!g) g = f.GlyphFor(shown = cp);
    if (!g && cp >= 0xF000 && cp <= 0xF0FF) g = f.GlyphFor(cp - 0xF000), shown = cp;
    if (!g && !symbol && cp >= 0x20 && cp < 0x100 && f.symbolMap && !f.unicodeMap)
        g = f.GlyphFor(shown = 0xF000 + cp);
    *found = shown;
    return g;
}

// Whether the font's byte text decodes without a code page (ByteGlyphs applies).
bool PlainBytes(const Font& font) {
    return font.lf.lfCharSet == SYMBOL_CHARSET || !*CodePageName(font.lf.lfCharSet);
}

// The glyph of a byte of text in a font whose byte text decodes without a code page (PlainBytes).
const FontFace::ByteGlyph& ByteGlyphOf(const Font& font, unsigned char b) {
    FontFace& f = *font.face;
    const bool symbol = font.lf.lfCharSet == SYMBOL_CHARSET;
    auto& table = f.byteGlyphs[symbol ? 1 : 0];
    if (!table) table = std::make_unique<std::array<FontFace::ByteGlyph, 256>>();
    FontFace::ByteGlyph& e = (*table)[b];
    if (!e.found) {
        uint32_t cp = !symbol && b >= 0x80 && b < 0xA0 ? kCp1252High[b - 0x80] : b;
        e.glyph = FindGlyph(f, cp, symbol, &e.shown);
        e.units = f.AdvanceUnits(e.glyph);
        e.found = true;
    }
    return e;
}

GlyphRun MakeRun(const Font& font, double scaleY, const uint32_t* cps, size_t count, bool symbol) {
    GlyphRun run;
    run.glyphs.reserve(count);
    run.advances.reserve(count);
    run.chars.reserve(count);
    FontFace& f = *font.face;
    double ppem = PixelsPerEm(font, scaleY);
    for (uint32_t cp : std::span<const uint32_t>(cps, count)) {
        uint32_t shown;  // the character of the font the glyph was found by
        unsigned g = FindGlyph(f, cp, symbol, &shown);
        int adv = Px(f.AdvanceUnits(g), ppem, f.upm);
        run.glyphs.push_back(g);
        run.advances.push_back(adv);
        run.chars.push_back(shown);
        run.width += adv;
    }
    return run;
}

}  // namespace

FontFace::~FontFace() {
    std::lock_guard lock(g_fontMutex);
    for (auto& [key, sf] : scaled)
        cairo_scaled_font_destroy(sf);
    for (cairo_font_face_t* cf : cairo)
        if (cf) cairo_font_face_destroy(cf);
    FtOwner* owner = OwnerOf(ft);
    g_owners->erase(ft);
    ReleaseOwner(owner);
}

unsigned FontFace::GlyphFor(uint32_t cp) {
    auto it = glyphs.find(cp);
    if (it != glyphs.end()) return it->second;
    unsigned g = 0;
    if (unicodeMap) {
        FT_Set_Charmap(ft, unicodeMap);
        g = FT_Get_Char_Index(ft, cp);
    }
    if (!g && symbolMap) {
        FT_Set_Charmap(ft, symbolMap);
        g = FT_Get_Char_Index(ft, cp);
    }
    glyphs.emplace(cp, g);
    return g;
}

int FontFace::AdvanceUnits(unsigned glyph) {
    auto it = advances.find(glyph);
    if (it != advances.end()) return it->second;
    FT_Fixed adv = 0;
    if (FT_Get_Advance(ft, glyph, FT_LOAD_NO_SCALE | FT_LOAD_NO_HINTING, &adv) != 0) adv = 0;
    advances[glyph] = static_cast<int>(adv);
    return static_cast<int>(adv);
}

void StartFontSetup(std::vector<std::string> fontFiles, std::vector<FaceRequest> faces) {
    std::lock_guard fonts(g_fontMutex);
    std::lock_guard lock(g_setup.mutex);
    // Once started, the state is the thread's until the first use of fonts: not even looked at here.
    if (g_setup.started || g_faces) return;
    g_setup.started = true;
    for (const FaceRequest& face : faces)
        g_setup.pending.insert(MatchKey(face.face.c_str(), face.bold, face.italic));
    g_setup.files = std::move(fontFiles);
    auto setUp = [faces = std::move(faces)] {
        g_setup.WaitForState();
        for (const FaceRequest& face : faces) {
            std::string key = MatchKey(face.face.c_str(), face.bold, face.italic);
            {
                // Faces the program no longer wants (fontconfig's set changed) are not matched.
                std::lock_guard lock(g_setup.mutex);
                if (g_setup.pending.count(key) == 0) continue;
                g_setup.current = key;
            }
            Match m = MatchFace(face.face.c_str(), face.bold, face.italic);
            {
                // Matched before any change to fontconfig's set (that waits for this thread): to be kept.
                std::lock_guard lock(g_setup.mutex);
                g_setup.current.clear();
                if (g_setup.kept.matches.emplace(key, m).second) g_setup.keptNew = true;
                if (g_setup.pending.erase(key) != 0) g_setup.matched[key] = std::move(m);
            }
            g_setup.changed.notify_all();
        }
        g_setup.StatKey();
        g_setup.WriteKept();
    };
    // Without a thread to be had (std::system_error), the first use of fonts does the set-up itself.
    try {
        g_setup.thread = std::thread(std::move(setUp));
    } catch (const std::system_error&) {
        g_setup.started = false;
        g_setup.pending.clear();
        g_setup.files.clear();
    }
}

bool FontconfigSetUp() {
    std::lock_guard lock(g_fontMutex);
    return g_config != nullptr;
}

bool ResolveFont(Font& font) {
    std::lock_guard lock(g_fontMutex);
    if (font.face) return true;
    InitFonts();
    // Files added ahead that the program has not added by now must not be matched.
    if (!g_ahead->empty()) RebuildPrivateSet();
    bool bold = font.lf.lfWeight >= FW_SEMIBOLD;
    bool italic = font.lf.lfItalic != 0;
    Match m = FindMatch(font.lf.lfFaceName, bold, italic);
    if (!m.file.empty()) font.face = LoadFace(m.file, m.index);
    if (!font.face) {
        // Whatever fontconfig gives for no family at all.
        Match d = FindMatch("", bold, italic);
        if (!d.file.empty()) font.face = LoadFace(d.file, d.index);
        m = d;
    }
    if (!font.face) return false;
    font.family = m.family;
    // Bold and italic are made up when the face found has not got them. The face's own style tells, not the
    // match: fontconfig's rules may report a regular face as bold or oblique when they plan to fake it.
    FT_Long style = font.face->ft ? font.face->ft->style_flags : 0;
    font.synthBold = bold && !(style & FT_STYLE_FLAG_BOLD);
    font.synthItalic = italic && !(style & FT_STYLE_FLAG_ITALIC);
    return true;
}

FontMetricsPx MetricsFor(const Font& font, double scaleY) {
    FontMetricsPx m;
    if (!font.face) return m;
    std::lock_guard lock(g_fontMutex);
    const FontFace& f = *font.face;
    m.ppem = PixelsPerEm(font, scaleY);
    m.ascent = Px(f.winAscent, m.ppem, f.upm);
    m.descent = Px(f.winDescent, m.ppem, f.upm);
    m.height = m.ascent + m.descent;
    m.internalLeading = m.height - static_cast<int>(m.ppem);
    if (m.internalLeading < 0) m.internalLeading = 0;
    int gap = f.hheaAscent + f.hheaDescent + f.lineGap - (f.winAscent + f.winDescent);
    m.externalLeading = gap > 0 ? Px(gap, m.ppem, f.upm) : 0;
    m.aveCharWidth = Px(f.avgWidth, m.ppem, f.upm);
    m.maxCharWidth = Px(f.maxAdvance, m.ppem, f.upm);
    return m;
}

GlyphRun ShapeBytes(const Font& font, double scaleY, const char* text, int count) {
    if (!font.face || count <= 0) return {};
    std::lock_guard lock(g_fontMutex);
    if (PlainBytes(font)) {
        GlyphRun run;
        run.glyphs.reserve(static_cast<size_t>(count));
        run.advances.reserve(static_cast<size_t>(count));
        run.chars.reserve(static_cast<size_t>(count));
        const FontFace& f = *font.face;
        double ppem = PixelsPerEm(font, scaleY);
        for (int i = 0; i < count; ++i) {
            const FontFace::ByteGlyph& e = ByteGlyphOf(font, static_cast<unsigned char>(text[i]));
            int adv = Px(e.units, ppem, f.upm);
            run.glyphs.push_back(e.glyph);
            run.advances.push_back(adv);
            run.chars.push_back(e.shown);
            run.width += adv;
        }
        return run;
    }
    bool symbol = font.lf.lfCharSet == SYMBOL_CHARSET;
    std::vector<uint32_t> cps;
    if (symbol) {
        for (int i = 0; i < count; ++i)
            cps.push_back(static_cast<unsigned char>(text[i]));
    } else {
        cps = DecodeBytes(font.lf.lfCharSet, text, count);
    }
    return MakeRun(font, scaleY, cps.data(), cps.size(), symbol);
}

int BytesWidth(const Font& font, double scaleY, const char* text, int count) {
    if (!font.face || count <= 0) return 0;
    std::lock_guard lock(g_fontMutex);
    if (!PlainBytes(font)) return ShapeBytes(font, scaleY, text, count).width;
    const FontFace& f = *font.face;
    double ppem = PixelsPerEm(font, scaleY);
    int width = 0;
    for (int i = 0; i < count; ++i)
        width += Px(ByteGlyphOf(font, static_cast<unsigned char>(text[i])).units, ppem, f.upm);
    return width;
}

GlyphRun ShapeWide(const Font& font, double scaleY, const char16_t* text, int count) {
    if (!font.face || count <= 0) return {};
    std::lock_guard lock(g_fontMutex);
    // Short strings, single symbols most of all, decode into the stack.
    uint32_t local[32];
    std::vector<uint32_t> heap;
    uint32_t* cps = local;
    if (count > 32) {
        heap.resize(static_cast<size_t>(count));
        cps = heap.data();
    }
    size_t n = 0;
    for (int i = 0; i < count; ++i) {
        uint32_t c = text[i];
        if (c >= 0xD800 && c < 0xDC00 && i + 1 < count && text[i + 1] >= 0xDC00 && text[i + 1] < 0xE000) {
            c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            ++i;
        }
        cps[n++] = c;
    }
    return MakeRun(font, scaleY, cps, n, font.lf.lfCharSet == SYMBOL_CHARSET);
}

namespace {

// A glyph's outline in font units for a PDF file, made bold or slanted as the screen's glyphs are.
struct PdfOutlineSource {
    FontFace* face;
    int synth;
};

struct OutlineText {
    std::string* out;
    FT_Vector last;
};

// Font units are fine enough that half of one is far below a device pixel: the control points that the
// conversion of quadratic curves makes are rounded to whole units.
void AppendPoint(OutlineText& t, double x, double y) {
    AppendPdfNumber(*t.out, x, 0);
    *t.out += ' ';
    AppendPdfNumber(*t.out, y, 0);
    *t.out += ' ';
}

int OutlineMove(const FT_Vector* to, void* user) {
    // A fill closes every figure itself.
    auto& t = *static_cast<OutlineText*>(user);
    AppendPoint(t, to->x, to->y);
    *t.out += "m\n";
    t.last = *to;
    return 0;
}

int OutlineLine(const FT_Vector* to, void* user) {
    auto& t = *static_cast<OutlineText*>(user);
    AppendPoint(t, to->x, to->y);
    *t.out += "l\n";
    t.last = *to;
    return 0;
}

int OutlineConic(const FT_Vector* c, const FT_Vector* to, void* user) {
    auto& t = *static_cast<OutlineText*>(user);
    // The quadratic segment as the cubic that draws the same curve.
    AppendPoint(t, t.last.x + 2.0 / 3.0 * (c->x - t.last.x), t.last.y + 2.0 / 3.0 * (c->y - t.last.y));
    AppendPoint(t, to->x + 2.0 / 3.0 * (c->x - to->x), to->y + 2.0 / 3.0 * (c->y - to->y));
    AppendPoint(t, to->x, to->y);
    *t.out += "c\n";
    t.last = *to;
    return 0;
}

int OutlineCubic(const FT_Vector* c1, const FT_Vector* c2, const FT_Vector* to, void* user) {
    auto& t = *static_cast<OutlineText*>(user);
    AppendPoint(t, c1->x, c1->y);
    AppendPoint(t, c2->x, c2->y);
    AppendPoint(t, to->x, to->y);
    *t.out += "c\n";
    t.last = *to;
    return 0;
}

// A table of the face's font file, for the font program a PDF file embeds.
bool PdfFontTable(const void* context, uint32_t tag, std::string* data) {
    FT_Face ft = static_cast<const FontFace*>(context)->ft;
    FT_ULong length = 0;
    if (!ft || FT_Load_Sfnt_Table(ft, tag, 0, nullptr, &length) != 0 || length == 0) return false;
    data->resize(length);
    return FT_Load_Sfnt_Table(ft, tag, 0, reinterpret_cast<FT_Byte*>(data->data()), &length) == 0;
}

// The font's synthesised styles: bold (1), italic (2).
int SynthOf(const Font& font) {
    return (font.synthBold ? 1 : 0) | (font.synthItalic ? 2 : 0);
}

bool PdfGlyphOutline(const void*, unsigned glyph, PdfGlyph* out, void* context) {
    auto& src = *static_cast<PdfOutlineSource*>(context);
    FT_Face ft = src.face->ft;
    if (!ft || FT_Load_Glyph(ft, glyph, FT_LOAD_NO_SCALE | FT_LOAD_NO_HINTING | FT_LOAD_NO_BITMAP) != 0)
        return false;
    FT_GlyphSlot slot = ft->glyph;
    out->advance = static_cast<double>(slot->advance.x);
    if (slot->format != FT_GLYPH_FORMAT_OUTLINE) return true;
    FT_Outline& outline = slot->outline;
    // The synthesized styles of the screen's glyphs: strokes a 24th of the em stronger, a slant of 12
    // degrees.
    if (src.synth & 1) FT_Outline_Embolden(&outline, src.face->upm / 24);
    if (src.synth & 2) {
        FT_Matrix shear{0x10000, 0x0366A, 0, 0x10000};
        FT_Outline_Transform(&outline, &shear);
    }
    OutlineText text{&out->path, {0, 0}};
    FT_Outline_Funcs funcs{OutlineMove, OutlineLine, OutlineConic, OutlineCubic, 0, 0};
    if (FT_Outline_Decompose(&outline, &funcs, &text) != 0) out->path.clear();
    FT_BBox box;
    FT_Outline_Get_CBox(&outline, &box);
    out->box[0] = static_cast<double>(box.xMin);
    out->box[1] = static_cast<double>(box.yMin);
    out->box[2] = static_cast<double>(box.xMax);
    out->box[3] = static_cast<double>(box.yMax);
    return true;
}

}  // namespace

void ShowGlyphRunPdf(DC& dc, const Font& font, double ppem, const GlyphRun& run, double x, double y,
                     const int* deviceAdvances, const double m[6], PdfRgb color) {
    if (!font.face || run.glyphs.empty()) return;
    std::lock_guard lock(g_fontMutex);
    FontFace& f = *font.face;
    const int synth = SynthOf(font);
    // The faces' descriptions go with the faces the file holds: a file ended lets both go.
    if (dc.pdfFaces.empty()) dc.pdfFaceInfos.clear();
    const PdfFontInfo* info = nullptr;
    for (const DC::PdfFaceInfo& e : dc.pdfFaceInfos)
        if (e.face == &f && e.synth == synth) info = &e.info;
    if (!info) {
        // The file embeds the glyphs' outlines: the face stays loaded until the file is done.
        if (std::find(dc.pdfFaces.begin(), dc.pdfFaces.end(), font.face) == dc.pdfFaces.end())
            dc.pdfFaces.push_back(font.face);
        DC::PdfFaceInfo& e = dc.pdfFaceInfos.emplace_back();
        e.face = &f;
        e.synth = synth;
        e.info.key = &f.cairo[synth];
        e.info.unitsPerEm = f.upm;
        if (const char* name = FT_Get_Postscript_Name(f.ft)) e.info.name = name;
        if (synth) e.info.name += synth == 3 ? ",BoldItalic" : synth == 1 ? ",Bold" : ",Italic";
        e.info.table = PdfFontTable;
        e.info.tableContext = &f;
        // The glyph table is read where FreeType holds the file (the face stays loaded until the file is
        // done), when it is the very table FreeType reads.
        FT_ULong glyfLength = 0;
        std::string_view glyf;
        if (f.ft && f.ft->stream && f.ft->stream->base &&
            FindSfntTable({reinterpret_cast<const char*>(f.ft->stream->base), f.ft->stream->size},
                          static_cast<unsigned>(f.ft->face_index & 0xFFFF), SfntTag('g', 'l', 'y', 'f'),
                          &glyf) &&
            FT_Load_Sfnt_Table(f.ft, SfntTag('g', 'l', 'y', 'f'), 0, nullptr, &glyfLength) == 0 &&
            glyfLength == glyf.size())
            e.info.glyf = glyf;
        e.info.synthetic = synth != 0;
        info = &e.info;
    }
    // Runs are mostly a glyph or two.
    PdfGlyphPos local[16];
    std::vector<PdfGlyphPos> heap;
    PdfGlyphPos* glyphs = local;
    if (run.glyphs.size() > std::size(local)) {
        heap.resize(run.glyphs.size());
        glyphs = heap.data();
    }
    double pen = x;
    for (size_t i = 0; i < run.glyphs.size(); ++i) {
        glyphs[i] = {static_cast<unsigned>(run.glyphs[i]), pen, y, i < run.chars.size() ? run.chars[i] : 0};
        pen += deviceAdvances ? deviceAdvances[i] : run.advances[i];
    }
    PdfOutlineSource source{&f, synth};
    ShowPdfGlyphs(dc, *info, ppem, glyphs, run.glyphs.size(), m, color, PdfGlyphOutline, &source);
}

namespace {

// The scaled font for glyph output of `f` with synthesis `synth` at `ppem` pixels per em under the linear
// part of `ctm`, made once; null when none can be (caller holds g_fontMutex).
cairo_scaled_font_t* ScaledFont(FontFace& f, int synth, double ppem, const cairo_matrix_t& ctm) {
    // FreeType refuses sizes beyond 16 bits of pixels, and cairo loses memory on that refusal; a font whose
    // metrics ask for such a size (only a broken one can) draws nothing.
    constexpr double kMaxPixelsPerEm = 16384;
    if (!(ppem > 0 && ppem * std::max(std::fabs(ctm.xx), std::fabs(ctm.yy)) <= kMaxPixelsPerEm))
        return nullptr;
    if (!f.cairo[synth]) {
        f.cairo[synth] = cairo_ft_font_face_create_for_ft_face(f.ft, FT_LOAD_NO_HINTING);
        FtOwner* owner = OwnerOf(f.ft);
        {
            std::lock_guard life(g_faceLifeMutex);
            ++owner->refs;
        }
        if (cairo_font_face_set_user_data(f.cairo[synth], &g_ownerKey, owner, ReleaseOwner) !=
            CAIRO_STATUS_SUCCESS) {
            std::lock_guard life(g_faceLifeMutex);
            --owner->refs;
        }
        unsigned flags = 0;
        if (synth & 1) flags |= CAIRO_FT_SYNTHESIZE_BOLD;
        if (synth & 2) flags |= CAIRO_FT_SYNTHESIZE_OBLIQUE;
        if (flags) cairo_ft_font_face_set_synthesize(f.cairo[synth], flags);
    }
    FontFace::ScaledKey key{synth, ppem, ctm.xx};
    cairo_scaled_font_t*& sf = f.scaled[key];
    if (!sf) {
        cairo_matrix_t fm, linear;
        cairo_matrix_init_scale(&fm, ppem, ppem);
        cairo_matrix_init(&linear, ctm.xx, ctm.yx, ctm.xy, ctm.yy, 0, 0);
        cairo_font_options_t* opts = cairo_font_options_create();
        cairo_font_options_set_hint_style(opts, CAIRO_HINT_STYLE_NONE);
        cairo_font_options_set_hint_metrics(opts, CAIRO_HINT_METRICS_OFF);
        sf = cairo_scaled_font_create(f.cairo[synth], &fm, &linear, opts);
        cairo_font_options_destroy(opts);
        if (cairo_scaled_font_status(sf) != CAIRO_STATUS_SUCCESS) {
            // Selecting a failed font would put the context in error for good.
            cairo_scaled_font_destroy(sf);
            f.scaled.erase(key);
            return nullptr;
        }
    }
    return sf;
}

}  // namespace

void DrawGlyphRun(cairo_t* cr, const Font& font, double ppem, const GlyphRun& run, double x, double y,
                  const int* deviceAdvances) {
    if (!font.face || run.glyphs.empty()) return;
    if (DC* dc = PdfDCOf(cr); dc && dc->pdf) {
        double m[6];
        PdfRgb color;
        PdfGlyphTarget(*dc, cr, m, &color);
        ShowGlyphRunPdf(*dc, font, ppem, run, x, y, deviceAdvances, m, color);
        return;
    }
    std::lock_guard lock(g_fontMutex);
    FontFace& f = *font.face;
    // The scaled font is made for the context's transformation without its translation (the device
    // scale of PDF surfaces).
    cairo_matrix_t ctm;
    cairo_get_matrix(cr, &ctm);
    cairo_scaled_font_t* sf = ScaledFont(f, SynthOf(font), ppem, ctm);
    if (!sf) return;
    cairo_set_scaled_font(cr, sf);
    cairo_glyph_t local[32];
    std::vector<cairo_glyph_t> heap;
    cairo_glyph_t* glyphs = local;
    if (run.glyphs.size() > std::size(local)) {
        heap.resize(run.glyphs.size());
        glyphs = heap.data();
    }
    double pen = x;
    for (size_t i = 0; i < run.glyphs.size(); ++i) {
        glyphs[i].index = run.glyphs[i];
        glyphs[i].x = pen;
        glyphs[i].y = y;
        pen += deviceAdvances ? deviceAdvances[i] : run.advances[i];
    }
    cairo_show_glyphs(cr, glyphs, static_cast<int>(run.glyphs.size()));
}

FaceLookup LookUpFace(const char* face) {
    FaceLookup answer;
    if (!face || !*face) return answer;
    std::lock_guard lock(g_fontMutex);
    InitFonts();
    if (!g_ahead->empty()) RebuildPrivateSet();
    Match m = FindMatch(face, false, false);
    if (m.file.empty()) return answer;
    if (EqualNoCase(m.family.c_str(), face)) {
        answer.family = m.family;
        answer.kind = std::any_of(g_private->begin(), g_private->end(),
                                  [&](const auto& added) { return SameFile(added.first, m.file); })
                          ? FaceLookup::Private
                          : FaceLookup::Installed;
        return answer;
    }
    Match standIn = FindStandIn(face);
    if (!standIn.family.empty() && EqualNoCase(standIn.family.c_str(), m.family.c_str())) {
        answer.kind = FaceLookup::StandIn;
        answer.family = m.family;
    }
    return answer;
}

}  // namespace qsm::gdi

using namespace qsm::gdi;

int AddFontResourceExA(LPCSTR path, DWORD flags, LPVOID reserved) {
    (void)flags;
    (void)reserved;
    if (!path || !*path) return 0;
    struct stat st;
    if (stat(path, &st) != 0 || !S_ISREG(st.st_mode)) return 0;
    std::lock_guard lock(g_fontMutex);
    InitFonts();
    FT_Face probe = nullptr;
    if (NewFace(path, -1, &probe) != 0 || !probe) return 0;
    int faces = static_cast<int>(probe->num_faces);
    DoneFace(probe);
    if (faces <= 0) return 0;
    int& count = (*g_private)[path];
    if (count == 0) {
        ForgetFaces(path);  // the file may have changed since it was last loaded
        // A file the set-up added ahead is in fontconfig's set already, and the faces matched so far were
        // matched with it.
        if (g_ahead->erase(path) == 0) {
            g_setup.Stop();
            NeedFontconfig();
            g_setUpSet = false;
            if (!FcConfigAppFontAddFile(g_config, reinterpret_cast<const FcChar8*>(path))) {
                g_private->erase(path);
                return 0;
            }
            g_matches->clear();
        }
    }
    ++count;
    return faces;
}

BOOL RemoveFontResourceExA(LPCSTR path, DWORD flags, LPVOID reserved) {
    (void)flags;
    (void)reserved;
    if (!path) return FALSE;
    std::lock_guard lock(g_fontMutex);
    InitFonts();
    auto it = g_private->find(path);
    if (it == g_private->end()) return FALSE;
    if (--it->second > 0) return TRUE;
    g_private->erase(it);
    ForgetFaces(path);
    RebuildPrivateSet();
    return TRUE;
}

namespace {

// The private-font functions are what "gdi32.dll" offers to a run-time look-up.
const bool g_gdi32Registered = [] {
    qsm::AddBuiltinModuleFunctions(
        "gdi32.dll", {{"AddFontResourceExA", reinterpret_cast<FARPROC>(&AddFontResourceExA)},
                      {"RemoveFontResourceExA", reinterpret_cast<FARPROC>(&RemoveFontResourceExA)}});
    return true;
}();

}  // namespace

int GetTextFaceA(HDC hdc, int count, LPSTR face) {
    DC* dc = ToDC(hdc);
    if (!dc || !dc->st.font || !ResolveFont(*dc->st.font)) return 0;
    const std::string& name = dc->st.font->family;
    if (!face) return static_cast<int>(name.size()) + 1;
    if (count <= 0) return 0;
    size_t n = std::min(name.size(), static_cast<size_t>(count - 1));
    std::memcpy(face, name.data(), n);
    face[n] = 0;
    return static_cast<int>(n);
}

int lstrlenW(LPCWSTR text) {
    if (!text) return 0;
    int n = 0;
    while (text[n])
        ++n;
    return n;
}

// fontconfig 2.14 keeps a few blocks from parsing its configuration unreachable for the life of the
// process; leak checking in the sanitizer builds is told to ignore them.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libfontconfig.so\n";
}

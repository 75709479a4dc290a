// The matches a run keeps for later runs: the file that holds them, and runs (each a process of its own) that
// find the same faces whether fontconfig or the kept matches answer, and that set fontconfig up again
// whenever something its answers depend on changed.
#include "platform/gdi/font_match_cache.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sched.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <system_error>
#include <vector>

#include "platform/gdi/font_setup.h"
#include "platform/gdi/gdi.h"

namespace {

using qsm::gdi::FontMatchRecord;
using qsm::gdi::PathState;

const std::string kMusic = std::string(QSM_FONTS_DIR) + "/qsm2stda.ttf";
const std::string kCue = std::string(QSM_FONTS_DIR) + "/qsm2std.ttf";

std::string MakeTempDir() {
    std::string dir = (std::filesystem::temp_directory_path() / "qsm-font-matches-XXXXXX").string();
    return mkdtemp(dir.data()) ? dir : std::string();
}

void WriteText(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

std::string ReadText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

int64_t CoarseNow() {
    struct timespec t;
    clock_gettime(CLOCK_REALTIME_COARSE, &t);
    return static_cast<int64_t>(t.tv_sec) * 1000000000 + t.tv_nsec;
}

// Waits until the clock that file times come from has moved on, past every time stamped on the paths given
// (and, for a folder, on everything in it): whatever was changed before is older than any time read after.
// A file system may stamp a change with a finer time than that clock's, ahead of it until its next tick or
// two (a change stamped finely moves on the times of the changes that follow it, on every file).
void LetTheClockMoveOn(const std::vector<std::string>& paths) {
    int64_t newest = CoarseNow();
    auto take = [&](const std::string& path) {
        PathState p = qsm::gdi::StatPath(path);
        if (p.exists) newest = std::max({newest, p.mtimeNs, p.ctimeNs});
    };
    for (const std::string& path : paths) {
        take(path);
        std::error_code ec;
        if (!std::filesystem::is_directory(path, ec)) continue;
        for (auto it = std::filesystem::recursive_directory_iterator(path, ec);
             !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec))
            take(it->path().string());
    }
    while (CoarseNow() <= newest)
        sched_yield();
}

FontMatchRecord SomeRecord(const std::string& dir) {
    FontMatchRecord r;
    r.facts = {"fontconfig 1", "LANG=C", std::string("odd \0 bytes\n", 12)};
    r.paths = {qsm::gdi::StatPath(dir), qsm::gdi::StatPath(dir + "/absent")};
    r.files = {qsm::gdi::StatPath(dir + "/a.ttf"), qsm::gdi::StatPath(dir)};
    r.taken = {false, true};
    r.matches["Arial|rn"] = {"/fonts/a.ttf", 0, "Arial", 80, 0};
    r.matches["|bi"] = {"/fonts/b.ttc", 3, "B", 200, 100};
    r.matches["X|rn"] = {};
    return r;
}

TEST(FontMatchFile, KeepsItsRecordWholeAndRefusesAnythingElse) {
    std::string dir = MakeTempDir();
    ASSERT_FALSE(dir.empty());
    FontMatchRecord r = SomeRecord(dir), back;
    std::string file = qsm::gdi::EncodeFontMatches(r);
    ASSERT_TRUE(qsm::gdi::DecodeFontMatches(file, &back));
    EXPECT_TRUE(back.SameKey(r));
    EXPECT_EQ(back.matches, r.matches);
    EXPECT_TRUE(qsm::gdi::DecodeFontMatches(qsm::gdi::EncodeFontMatches(FontMatchRecord{}), &back));
    // Cut short anywhere, grown, or with any byte changed, the file is refused and gives nothing.
    for (size_t n = 0; n < file.size(); ++n) {
        back.facts = {"left over"};
        EXPECT_FALSE(qsm::gdi::DecodeFontMatches(std::string_view(file).substr(0, n), &back)) << n;
        EXPECT_TRUE(back.facts.empty() && back.matches.empty());
        std::string changed = file;
        changed[n] = static_cast<char>(changed[n] ^ 0x20);
        EXPECT_FALSE(qsm::gdi::DecodeFontMatches(changed, &back)) << n;
    }
    EXPECT_FALSE(qsm::gdi::DecodeFontMatches(file + '\0', &back));

    // Written at once into a folder made for it; read back the same.
    std::string path = dir + "/cache/quillstave/font-matches-test";
    ASSERT_TRUE(qsm::gdi::WriteFontMatches(path, r));
    ASSERT_TRUE(qsm::gdi::ReadFontMatches(path, &back));
    EXPECT_EQ(back.matches, r.matches);
    EXPECT_EQ(std::filesystem::directory_iterator(dir + "/cache/quillstave")->path(), path);  // no temporary
    ::chmod(path.c_str(), 0620);
    EXPECT_FALSE(qsm::gdi::ReadFontMatches(path, &back));
    // A folder that cannot be made fails the write quietly; a missing or foreign file reads as nothing.
    EXPECT_FALSE(qsm::gdi::WriteFontMatches("/dev/null/quillstave/font-matches-test", r));
    EXPECT_FALSE(qsm::gdi::ReadFontMatches(dir + "/absent", &back));
    EXPECT_FALSE(qsm::gdi::ReadFontMatches(dir, &back));
    // A pipe in the file's place is not waited on.
    ASSERT_EQ(::mkfifo((dir + "/pipe").c_str(), 0600), 0);
    EXPECT_FALSE(qsm::gdi::ReadFontMatches(dir + "/pipe", &back));
    std::filesystem::remove_all(dir);
}

TEST(FontMatchFile, ItsPathsTellEveryChange) {
    std::string dir = MakeTempDir();
    ASSERT_FALSE(dir.empty());
    WriteText(dir + "/a.conf", "a");
    WriteText(dir + "/b.conf", "b");
    auto states = [&] {
        return std::vector<PathState>{qsm::gdi::StatPath(dir), qsm::gdi::StatPath(dir + "/a.conf"),
                                      qsm::gdi::StatPath(dir + "/b.conf"),
                                      qsm::gdi::StatPath(dir + "/c.conf")};
    };
    std::vector<PathState> before = states();
    EXPECT_TRUE(before[1].exists && !before[3].exists);
    EXPECT_TRUE(qsm::gdi::PathsUnchanged(before));
    LetTheClockMoveOn({dir});
    int64_t since = CoarseNow();
    EXPECT_FALSE(qsm::gdi::ChangedSince(before, since));
    const std::vector<std::function<void()>> changes = {
        [&] { ::utimensat(AT_FDCWD, (dir + "/a.conf").c_str(), nullptr, 0); },  // touched
        [&] { ::chmod((dir + "/a.conf").c_str(), 0600); },                      // its inode changed
        [&] { std::filesystem::rename(dir + "/b.conf", dir + "/a.conf"); },     // replaced
        [&] { WriteText(dir + "/c.conf", "c"); },                               // appeared
        [&] { std::filesystem::remove(dir + "/c.conf"); },                      // went
    };
    for (size_t i = 0; i < changes.size(); ++i) {
        changes[i]();
        EXPECT_FALSE(qsm::gdi::PathsUnchanged(before)) << i;
        std::vector<PathState> after = states();
        EXPECT_TRUE(qsm::gdi::ChangedSince(after, since)) << i;
        before = after;
    }
    // Whole seconds may be a file system's rounding down of a change made up to two seconds later.
    PathState coarse = before[1];
    coarse.mtimeNs = coarse.ctimeNs = (since / 1000000000 - 1) * 1000000000;
    EXPECT_TRUE(qsm::gdi::ChangedSince({coarse}, since));
    coarse.mtimeNs = coarse.ctimeNs = since - 1000000000 + 1;
    EXPECT_FALSE(qsm::gdi::ChangedSince({coarse}, since));
    std::filesystem::remove_all(dir);
}

// What a program finds for a face: its name, metrics and the width of a text.
std::string Describe(const char* name, int weight, bool italic) {
    HDC dc = CreateCompatibleDC(nullptr);
    LOGFONTA lf{};
    lf.lfHeight = -40;
    lf.lfWeight = weight;
    lf.lfItalic = italic;
    CopyFaceName(lf.lfFaceName, name);
    HFONT f = CreateFontIndirectA(&lf);
    HGDIOBJ old = SelectObject(dc, f);
    char face[LF_FACESIZE] = "";
    GetTextFaceA(dc, LF_FACESIZE, face);
    TEXTMETRICA tm{};
    GetTextMetricsA(dc, &tm);
    SIZE size{};
    GetTextExtentPoint32A(dc, "Hamburgefonstiv 1234", 20, &size);
    SelectObject(dc, old);
    DeleteObject(f);
    DeleteDC(dc);
    char out[256];
    std::snprintf(out, sizeof out, "[%s %ld/%ld/%ld/%ld %ld %d]", face, static_cast<long>(tm.tmAscent),
                  static_cast<long>(tm.tmDescent), static_cast<long>(tm.tmAveCharWidth),
                  static_cast<long>(tm.tmMaxCharWidth), static_cast<long>(size.cx), tm.tmItalic);
    return out;
}

// The faces the viewer asks for at its start, then a few odd ones.
const std::vector<qsm::gdi::FaceRequest> kUsual = {{"QSM2STDA"},
                                                   {"Times New Roman"},
                                                   {"Arial"},
                                                   {"Arial", true},
                                                   {"Microsoft Sans Serif", true},
                                                   {"Times New Roman", true},
                                                   {"Times New Roman", false, true},
                                                   {"Times New Roman", true, true},
                                                   {"MS Sans Serif"}};
const std::vector<qsm::gdi::FaceRequest> kOdd = {
    {"No Such Family At All"}, {""}, {"", true, true}, {"liberation sans", true, true}, {"qsm2stda", true}};

std::string DescribeAll() {
    std::string out;
    for (const auto& list : {kUsual, kOdd})
        for (const auto& face : list)
            out += Describe(face.face.c_str(), face.bold ? FW_BOLD : FW_NORMAL, face.italic);
    return out;
}

// One run of a program in a process of its own, ended as a program ends (or cut short): what `body` gives,
// with whether fontconfig was set up ("fontconfig") or kept matches answered ("kept").
std::string Run(const std::function<std::string()>& body, bool cutShort = false) {
    int fds[2];
    if (::pipe(fds) != 0) return "no pipe";
    fflush(nullptr);
    pid_t pid = ::fork();
    if (pid == 0) {
        ::close(fds[0]);
        std::string out = body();
        out += qsm::gdi::FontconfigSetUp() ? " fontconfig" : " kept";
        if (::write(fds[1], out.data(), out.size()) != static_cast<ssize_t>(out.size())) std::_Exit(2);
        ::close(fds[1]);
        if (cutShort) std::_Exit(0);
        std::exit(0);
    }
    ::close(fds[1]);
    std::string out;
    char buf[4096];
    for (ssize_t n; (n = ::read(fds[0], buf, sizeof buf)) > 0;)
        out.append(buf, static_cast<size_t>(n));
    ::close(fds[0]);
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? out : "failed: " + out;
}

// A start as the viewer's: the set-up, the program adding its files, then the faces.
std::string Start(std::vector<std::string> files, std::function<void()> before = {},
                  std::function<std::string()> after = {}, bool cutShort = false) {
    return Run(
        [=] {
            if (before) before();
            qsm::gdi::StartFontSetup(files, kUsual);
            for (const std::string& f : files)
                AddFontResourceExA(f.c_str(), FR_PRIVATE, nullptr);
            std::string out = DescribeAll();
            if (after) out += after();
            return out;
        },
        cutShort);
}

class KeptMatches : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = MakeTempDir();
        ASSERT_FALSE(dir_.empty());
        // The system's configuration, read through a file of the test's own.
        std::filesystem::create_directory(dir_ + "/conf");
        conf_ = dir_ + "/conf/fonts.conf";
        WriteText(
            conf_,
            "<?xml version=\"1.0\"?>\n<fontconfig><include>/etc/fonts/fonts.conf</include></fontconfig>\n");
        setenv("FONTCONFIG_FILE", conf_.c_str(), 1);
        setenv("XDG_CACHE_HOME", dir_.c_str(), 1);
        // A first run lets fontconfig write caches of its own; what it kept is dropped.
        Start({kMusic});
        std::filesystem::remove_all(dir_ + "/quillstave");
        LetTheClockMoveOn({dir_});
    }
    void TearDown() override {
        unsetenv("FONTCONFIG_FILE");
        unsetenv("XDG_CACHE_HOME");
        std::filesystem::remove_all(dir_);
    }
    std::string File() const {
        auto files = std::filesystem::directory_iterator(dir_ + "/quillstave");
        return files == std::filesystem::directory_iterator() ? std::string() : files->path().string();
    }

    std::string dir_, conf_;
};

TEST_F(KeptMatches, AreTheFacesFontconfigFinds) {
    std::string first = Start({kMusic, kCue});
    ASSERT_TRUE(first.ends_with(" fontconfig")) << first;
    EXPECT_NE(first.find("[QSM2STDA "), std::string::npos) << first;
    EXPECT_NE(first.find("[Liberation Sans "), std::string::npos) << first;
    std::string faces = first.substr(0, first.size() - 11);
    EXPECT_EQ(Start({kMusic, kCue}), faces + " kept");
    // A face the kept matches lack sets fontconfig up; it is kept at once, even for a run that is cut short.
    auto mono = [] { return Describe("Liberation Mono", FW_BOLD, true); };
    std::string more = Start({kMusic, kCue}, {}, mono, true);
    EXPECT_TRUE(more.starts_with(faces + "[Liberation Mono ") && more.ends_with(" fontconfig")) << more;
    EXPECT_EQ(Start({kMusic, kCue}, {}, mono), more.substr(0, more.size() - 11) + " kept");

    // A damaged file is of no use: fontconfig answers, and the file is made again.
    std::string file = ReadText(File());
    ASSERT_FALSE(file.empty());
    EXPECT_NE(File().find("/font-matches-" + std::string(program_invocation_short_name) + "-"),
              std::string::npos);
    file[file.size() / 2] = static_cast<char>(file[file.size() / 2] ^ 1);
    WriteText(File(), file);
    EXPECT_EQ(Start({kMusic, kCue}), faces + " fontconfig");
    WriteText(File(), file.substr(0, file.size() / 3));
    EXPECT_EQ(Start({kMusic, kCue}), faces + " fontconfig");
    EXPECT_EQ(Start({kMusic, kCue}), faces + " kept");
}

TEST_F(KeptMatches, StandAsideWhenWhatFontconfigWouldReadChanges) {
    std::string first = Start({kMusic});
    ASSERT_TRUE(first.ends_with(" fontconfig")) << first;
    std::string faces = first.substr(0, first.size() - 11);
    EXPECT_EQ(Start({kMusic}), faces + " kept");
    // A configuration file touched.
    ::utimensat(AT_FDCWD, conf_.c_str(), nullptr, 0);
    LetTheClockMoveOn({dir_});
    EXPECT_EQ(Start({kMusic}), faces + " fontconfig");
    EXPECT_EQ(Start({kMusic}), faces + " kept");
    // A private font added or taken out after the set-up: fontconfig's set changes.
    std::string later = Start({kMusic}, {}, [] {
        std::string out = std::to_string(AddFontResourceExA(kCue.c_str(), FR_PRIVATE, nullptr));
        out += Describe("QSM2STD", FW_NORMAL, false);
        out += RemoveFontResourceExA(kMusic.c_str(), FR_PRIVATE, nullptr) ? "-" : "?";
        return out + Describe("QSM2STDA", FW_NORMAL, false);
    });
    EXPECT_EQ(later.substr(0, faces.size()), faces);
    EXPECT_NE(later.find("1[QSM2STD "), std::string::npos) << later;
    EXPECT_NE(later.find("-["), std::string::npos) << later;
    EXPECT_EQ(later.find("-[QSM2STDA "), std::string::npos) << later;
    EXPECT_TRUE(later.ends_with(" fontconfig")) << later;
    EXPECT_EQ(Start({kMusic}), faces + " kept");
    // An environment variable fontconfig reads; another private font given at the set-up.
    auto german = [] { setenv("FC_LANG", "de", 1); };
    EXPECT_TRUE(Start({kMusic}, german).ends_with(" fontconfig"));
    EXPECT_TRUE(Start({kMusic, kCue}, german).ends_with(" fontconfig"));
    EXPECT_TRUE(Start({kMusic, kCue}, german).ends_with(" kept"));
}

}  // namespace

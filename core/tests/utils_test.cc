#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "core/date_time.h"
#include "core/file_utils.h"
#include "core/hooks.h"
#include "core/tests/test_files.h"
#include "core/text_utils.h"

namespace {

using qsm_test::ReadFile;
using qsm_test::TempDir;
using qsm_test::WriteFile;

TEST(TextUtils, NumbersAndTrimming) {
    EXPECT_TRUE(IsNumberText(" -12 ", false));
    EXPECT_TRUE(IsNumberText("3.5", true));
    EXPECT_TRUE(IsNumberText("+7", false));
    EXPECT_FALSE(IsNumberText("3.5", false));
    EXPECT_FALSE(IsNumberText("1 2", false));
    EXPECT_FALSE(IsNumberText("1-", false));
    EXPECT_FALSE(IsNumberText("1.2.3", true));
    EXPECT_FALSE(IsNumberText("- ", false));
    EXPECT_FALSE(IsNumberText("", false));
    EXPECT_FALSE(IsNumberText("12a", false));
    EXPECT_TRUE(IsDigitChar('7'));
    EXPECT_FALSE(IsDigitChar('x'));

    char t[32] = " \t a b \r\n";
    Trim(t);
    EXPECT_STREQ(t, "a b");
    char s[32] = "xxabcxx";
    TrimLeftSet(s, "x");
    EXPECT_STREQ(s, "abcxx");
    TrimRightSet(s, "xc");
    EXPECT_STREQ(s, "ab");
    char all[8] = "   ";
    TrimRight(all);
    EXPECT_STREQ(all, "");

    char r[32] = "a_b-c_d";
    ReplaceChars(r, "_ -\0", 2);
    EXPECT_STREQ(r, "a bc d");
    char runs[32] = "a  b//c  ";
    CollapseRuns(runs, " /");
    EXPECT_STREQ(runs, "a b/c ");
}

TEST(TextUtils, BoundedCopiesAndLists) {
    char four[4];
    SafeStrCopy(four, "abcdef", 4);
    EXPECT_STREQ(four, "abc");
    SafeStrCopy(four, nullptr, 4);
    EXPECT_STREQ(four, "");
    char menu[8];
    CopyDoublingAmpersands(menu, "A&B&C", 7);
    EXPECT_STREQ(menu, "A&&B&C");  // the second one no longer fits
    CopyDoublingAmpersands(menu, "A&B&C", 8);
    EXPECT_STREQ(menu, "A&&B&&C");
    CopyDoublingAmpersands(menu, "R&D", 8);
    EXPECT_STREQ(menu, "R&&D");

    const char list[] = "one\0two\0three\0";
    EXPECT_STREQ(GetListString(list, 1), "two");
    EXPECT_STREQ(GetListString(list, 5), "one");
    EXPECT_STREQ(GetListString(list, 3), "one");
    EXPECT_EQ(FindListString(list, "THREE", true, -1), 2);
    EXPECT_EQ(FindListString(list, "THREE", false, -1), -1);
    EXPECT_EQ(FindListString(nullptr, "one", false, 9), 9);
}

TEST(DateTime, PartsDatesAndProgress) {
    TTimeParts p(3723004);
    EXPECT_EQ(p.GetHours(), 1);
    EXPECT_EQ(p.GetMinutes(), 2);
    EXPECT_EQ(p.GetSeconds(), 3);
    EXPECT_EQ(p.GetMilliseconds(), 4);

    EXPECT_FALSE(IsLeapYear(1900));
    EXPECT_TRUE(IsLeapYear(2000));
    EXPECT_EQ(DaysInMonth(2, 2024), 29);
    EXPECT_EQ(DaysInMonth(11, 2023), 30);

    TDosDate d(2000, 2, 28);
    d.NextDay();
    EXPECT_EQ(d.GetDay(), 29);
    d.NextDay();
    EXPECT_EQ(d.GetMonth(), 3);
    EXPECT_EQ(d.GetDay(), 1);
    TDosDate eve(1999, 12, 31);
    eve.NextDay();
    EXPECT_EQ(eve.GetYear(), 2000);
    EXPECT_EQ(eve.GetMonth(), 1);
    eve.PrevDay();
    EXPECT_EQ(eve.GetYear(), 1999);
    EXPECT_EQ(eve.GetDay(), 31);
    EXPECT_EQ(TDosDate(2024, 5, 17).GetPacked(), 0x58B1);
    EXPECT_TRUE(TDosDate(2001, 1, 1) > TDosDate(2000, 12, 31));
    TDosDate y;
    y.SetYear2(79);
    EXPECT_EQ(y.GetYear(), 2079);
    y.SetYear2(85);
    EXPECT_EQ(y.GetYear(), 1985);
    EXPECT_EQ(y.GetYear2(), 85);
    TDosDate today;
    today.SetToday();
    EXPECT_GE(today.GetYear(), 2024);

    char buf[40];
    TDosDate f(2021, 3, 7);
    f.Format(buf, sizeof(buf), 0);
    EXPECT_STREQ(buf, "03/07/2021");
    f.Format(buf, sizeof(buf), 1);
    EXPECT_STREQ(buf, "07 March 2021");
    f.Format(buf, sizeof(buf), 2);
    EXPECT_STREQ(buf, "07-Mar-2021");
    f.Format(buf, sizeof(buf), 3);
    EXPECT_STREQ(buf, "03/07/21");
    f.Format(buf, 6, 1);
    EXPECT_STREQ(buf, "07 Ma");
    for (int style = 0; style < 4; ++style) {
        f.Format(buf, sizeof(buf), style);
        TDosDate back;
        EXPECT_TRUE(back.Parse(buf, style)) << buf;
        EXPECT_EQ(back, f) << buf;
    }
    TDosDate bad(2000, 1, 1);
    EXPECT_FALSE(bad.Parse("13/01/2000", 0));
    EXPECT_FALSE(bad.Parse("01 Smarch 2000", 1));
    EXPECT_FALSE(bad.Parse("01/01/1970", 0));
    EXPECT_FALSE(bad.Parse("1/2/3/4", 0));
    EXPECT_TRUE(bad.Parse("05-jun-99", 2));
    EXPECT_EQ(bad, TDosDate(1999, 6, 5));

    TProgressCounter c;
    c.Start(0);
    EXPECT_EQ(c.Step(), 100);
    c.Start(0xC00001);
    for (int i = 0; i < 125828; ++i)
        c.Step();
    EXPECT_EQ(c.Step(), 2);
    c.Start(3);
    EXPECT_EQ(c.Step(), 33);
    c.Step();
    c.Step();
    EXPECT_EQ(c.Step(), 100);
}

TEST(PathUtils, PartsOfPaths) {
    int folder = 0, ext = 0;
    SplitPath("/home/me/song.v2.qsm", &folder, &ext);
    EXPECT_EQ(folder, 8);
    EXPECT_EQ(ext, 16);
    EXPECT_STREQ(GetExtensionPart("C:\\dir.x\\file"), "");
    EXPECT_STREQ(GetFileNamePart("C:\\Songs\\a.qsm"), "a.qsm");
    EXPECT_STREQ(GetFileNamePart("plain"), "plain");

    char p[MAX_PATH] = "/a/song.qsmtxt";
    ReplaceExtension(p, "qsm");
    EXPECT_STREQ(p, "/a/song.qsm");
    AppendExtensionIfNone(p, ".mid");
    EXPECT_STREQ(p, "/a/song.qsm");
    char q[MAX_PATH] = "/a/song";
    AppendExtensionIfNone(q, "mid");
    EXPECT_STREQ(q, "/a/song.mid");

    char s[MAX_PATH] = "/home/me/file.qsm";
    StripFileName(s, true);
    EXPECT_STREQ(s, "/home/me");
    char root[MAX_PATH] = "C:\\";
    StripFileName(root, false);
    EXPECT_STREQ(root, "C:\\");
    char slash[MAX_PATH] = "/file";
    StripFileName(slash, true);
    EXPECT_STREQ(slash, "/");
    char unc[MAX_PATH] = "\\\\server\\share\\";
    StripFileName(unc, false);
    EXPECT_STREQ(unc, "\\\\server\\share\\");

    char j[MAX_PATH] = "/home/me/";
    AppendPath(j, "/x.qsm");
    EXPECT_STREQ(j, "/home/me/x.qsm");
    char out[MAX_PATH];
    ComposePath("/d/name.ext", out, 1);
    EXPECT_STREQ(out, "/d/");
    ComposePath("/d/name.ext", out, 2);
    EXPECT_STREQ(out, "name");
    ComposePath("/d/name.ext", out, 6);
    EXPECT_STREQ(out, "name.ext");
    ComposePath("/d/", out, 2);
    EXPECT_STREQ(out, "");
    ComposePath("C:\\d\\noext", out, 4);
    EXPECT_STREQ(out, ".");

    EXPECT_STREQ(GetPathBelowFolder("/Home/Me/x/y", "/home/me"), "x/y");
    EXPECT_STREQ(GetPathBelowFolder("/home/me/x", "/home/me/"), "x");
    EXPECT_EQ(GetPathBelowFolder("/home/meo/x", "/home/me"), nullptr);
    // A path longer than the buffer is cut, never written past it.
    char longPath[MAX_PATH];
    std::memset(longPath, 'a', MAX_PATH - 1);
    longPath[MAX_PATH - 1] = 0;
    AppendPath(longPath, "more");
    EXPECT_EQ(std::strlen(longPath), static_cast<size_t>(MAX_PATH - 1));
}

TEST(FileUtils, FilesCopiesMovesAndBackups) {
    TempDir dir;
    std::string a = dir.File("a.qsm"), b = dir.File("b.qsm");
    WriteFile(a, "AAA");
    EXPECT_TRUE(IsPlainFile(a.c_str()));
    EXPECT_FALSE(IsFolder(a.c_str()));
    EXPECT_TRUE(IsFolder(dir.Path().c_str()));
    EXPECT_FALSE(IsReadOnlyFile(a.c_str()));
    FILETIME t;
    EXPECT_TRUE(GetFileTimeByName(a.c_str(), &t));
    EXPECT_FALSE(GetFileTimeByName(dir.File("none").c_str(), &t));
    EXPECT_EQ(t.dwLowDateTime | t.dwHighDateTime, 0u);

    // Another spelling of the same file is the same file.
    std::string again = dir.Path() + "/./a.qsm";
    EXPECT_FALSE(CopyFileUnlessSame(a.c_str(), again.c_str()));
    EXPECT_EQ(ReadFile(a), "AAA");
    EXPECT_TRUE(CopyFileUnlessSame(a.c_str(), b.c_str()));
    EXPECT_EQ(ReadFile(b), "AAA");
    WriteFile(b, "BBB");
    EXPECT_FALSE(MoveFileReplacing(a.c_str(), again.c_str()));
    EXPECT_TRUE(MoveFileReplacing(a.c_str(), b.c_str()));
    EXPECT_EQ(ReadFile(b), "AAA");
    EXPECT_FALSE(IsPlainFile(a.c_str()));
    // A move that cannot be done leaves the target.
    EXPECT_FALSE(MoveFileReplacing(a.c_str(), b.c_str()));
    EXPECT_EQ(ReadFile(b), "AAA");

    char unique[MAX_PATH];
    WriteFile(dir.File("take1.tmp"), "");
    ASSERT_TRUE(MakeUniqueFileName(unique, dir.Path().c_str(), "take", "tmp"));
    EXPECT_EQ(std::string(unique), dir.File("take2.tmp"));

    char name[MAX_PATH];
    std::string mixed = dir.File("B.QSM");
    GetTrueFileName(mixed.c_str(), name);
    EXPECT_EQ(std::string(name), b);

    EXPECT_TRUE(ReplaceFileWithBackup(dir.File("missing.qsm").c_str(), nullptr, nullptr, 2));
    EXPECT_TRUE(ReplaceFileWithBackup(b.c_str(), nullptr, nullptr, 2));
    EXPECT_EQ(ReadFile(dir.File("b.qsm.bak")), "AAA");
    WriteFile(b, "second");
    EXPECT_TRUE(ReplaceFileWithBackup(b.c_str(), nullptr, nullptr, 2));
    EXPECT_EQ(ReadFile(dir.File("b.q1.qsm.bak")), "second");
    EXPECT_EQ(ReadFile(dir.File("b.qsm.bak")), "AAA");

    std::string sub = dir.File("sub");
    EXPECT_TRUE(CreateFolder(sub.c_str()));
    {
        TSavedCurrentDir saved;
        ASSERT_TRUE(SetCurrentDirectoryA(sub.c_str()));
        char bare[MAX_PATH] = "x.qsm";
        MakeAbsolutePath(bare);
        EXPECT_EQ(std::string(bare), sub + "/x.qsm");
    }
    char cwd[MAX_PATH];
    GetCurrentDirectoryA(MAX_PATH, cwd);
    EXPECT_NE(std::string(cwd), sub);
    EXPECT_TRUE(RemoveFolder(sub.c_str()));
    EXPECT_FALSE(RemoveFile(b.c_str()));  // moved to its backup
    EXPECT_TRUE(RemoveFile(dir.File("b.qsm.bak").c_str()));
}

TEST(FileUtils, LineEndRepair) {
    TempDir dir;
    std::string src = dir.File("in"), dst = dir.File("out");
    WriteFile(src, std::string("\x41\x0D\x0A\x42\x0D\x43", 6));
    EXPECT_EQ(HasCrLfLineEnds(src.c_str(), 7), 1);
    EXPECT_TRUE(RepairCrLfCopy(src.c_str(), dst.c_str()));
    EXPECT_EQ(ReadFile(dst), std::string("\x41\x0A\x42\x0D\x43", 5));
    WriteFile(src, std::string("\x41\x0A", 2));
    EXPECT_EQ(HasCrLfLineEnds(src.c_str(), 7), 0);
    EXPECT_FALSE(RepairCrLfCopy(src.c_str(), dst.c_str()));
    WriteFile(src, "no line feed\r");
    EXPECT_EQ(HasCrLfLineEnds(src.c_str(), 7), 7);
    EXPECT_TRUE(RepairCrLfCopy(src.c_str(), dst.c_str()));
    EXPECT_EQ(ReadFile(dst), "no line feed\r");
    EXPECT_EQ(HasCrLfLineEnds(dir.File("none").c_str(), 7), 0);
    EXPECT_FALSE(RepairCrLfCopy(dir.File("none").c_str(), dst.c_str()));
    EXPECT_FALSE(RepairCrLfCopy(src.c_str(), dir.File("no/such/folder").c_str()));
}

int g_cursorShown = 0;

TEST(BusyCursor, RestoresThePreviousCursor) {
    static HCURSOR previous = reinterpret_cast<HCURSOR>(static_cast<uintptr_t>(0x77));
    qsm::SetCursorHooks({[] {
                             ++g_cursorShown;
                             return previous;
                         },
                         [](HCURSOR c) {
                             EXPECT_EQ(c, previous);
                             --g_cursorShown;
                         }});
    {
        TQSBusyCursor busy(true);
        EXPECT_EQ(g_cursorShown, 1);
        busy.Set(true);
        EXPECT_EQ(g_cursorShown, 1);
        busy.Set(false);
        EXPECT_EQ(g_cursorShown, 0);
        busy.Set(true);
    }
    EXPECT_EQ(g_cursorShown, 0);
    { TQSBusyCursor off(false); }
    EXPECT_EQ(g_cursorShown, 0);
    qsm::SetCursorHooks({});
}

}  // namespace

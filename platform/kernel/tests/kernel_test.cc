#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

#include "platform/base/winerror.h"
#include "platform/kernel/kernel.h"

namespace {

class TempFolder {
public:
    TempFolder() {
        std::string tmpl = (std::filesystem::temp_directory_path() / "qsm-kernel-XXXXXX").string();
        path_ = mkdtemp(tmpl.data());
    }
    ~TempFolder() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    std::string operator/(const std::string& name) const { return path_ + "/" + name; }
    const std::string& path() const { return path_; }

private:
    std::string path_;
};

void Put(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

std::string Get(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

TEST(KernelText, CodePagesConvertBothWays) {
    EXPECT_EQ(GetACP(), 1252u);
    WCHAR wide[16];
    // 0x80 is the euro sign in 1252; 0x81 has no character and keeps its value.
    ASSERT_EQ(MultiByteToWideChar(CP_ACP, 0, "\x80\x81\xE9", 3, wide, 16), 3);
    EXPECT_EQ(wide[0], 0x20AC);
    EXPECT_EQ(wide[1], 0x0081);
    EXPECT_EQ(wide[2], 0x00E9);
    char back[8];
    BOOL usedDefault = TRUE;
    ASSERT_EQ(WideCharToMultiByte(CP_ACP, 0, wide, 3, back, 8, nullptr, &usedDefault), 3);
    EXPECT_EQ(std::string(back, 3), "\x80\x81\xE9");
    EXPECT_FALSE(usedDefault);

    // Sizes with the terminator, and a buffer too small.
    EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 0, "\xE2\x82\xAC!", -1, nullptr, 0), 3);
    SetLastError(0);
    EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 0, "abc", -1, wide, 2), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
    // A bad UTF-8 byte: replaced, or refused when asked to be strict.
    EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 0,
                                  "a\xFF"
                                  "b",
                                  3, wide, 16),
              3);
    EXPECT_EQ(wide[1], 0xFFFD);
    EXPECT_EQ(MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS,
                                  "a\xFF"
                                  "b",
                                  3, wide, 16),
              0);
    // A double-byte code page through iconv.
    ASSERT_EQ(MultiByteToWideChar(932, 0,
                                  "\x82\xA0"
                                  "A",
                                  3, wide, 16),
              2);
    EXPECT_EQ(wide[0], 0x3042);
    char sjis[8];
    ASSERT_EQ(WideCharToMultiByte(932, 0, wide, 2, sjis, 8, nullptr, nullptr), 3);
    EXPECT_EQ(std::string(sjis, 3),
              "\x82\xA0"
              "A");
    // Characters the page lacks become the default character.
    const WCHAR greek[] = {0x03A9, 'x'};
    ASSERT_EQ(WideCharToMultiByte(1252, 0, greek, 2, back, 8, "#", &usedDefault), 2);
    EXPECT_EQ(std::string(back, 2), "#x");
    EXPECT_TRUE(usedDefault);
    EXPECT_TRUE(IsDBCSLeadByteEx(932, 0x82));
    EXPECT_FALSE(IsDBCSLeadByteEx(1252, 0x82));
}

TEST(KernelText, CharactersAndComparisons) {
    const char* s = "ab";
    EXPECT_EQ(CharNextA(s), s + 1);
    EXPECT_EQ(CharNextA(s + 2), s + 2);
    EXPECT_EQ(CharPrevA(s, s), s);
    EXPECT_EQ(CharPrevA(s, s + 2), s + 1);
    EXPECT_TRUE(IsCharAlphaA('\xE9'));
    EXPECT_TRUE(IsCharAlphaA('\x8A'));
    EXPECT_FALSE(IsCharAlphaA('\xD7'));
    EXPECT_FALSE(IsCharAlphaA('1'));
    EXPECT_TRUE(IsCharAlphaNumericA('1'));
    EXPECT_FALSE(IsCharAlphaNumericA('-'));
    EXPECT_TRUE(IsCharUpperA('\xC9'));
    EXPECT_TRUE(IsCharLowerA('\xE9'));
    EXPECT_EQ(lstrcmpiA("\xC9t\xC9", "\xE9T\xE9"), 0);
    EXPECT_LT(lstrcmpiA("abc", "ABD"), 0);
    EXPECT_NE(lstrcmpA("abc", "ABC"), 0);
    EXPECT_EQ(qsm::CompareNoCase("Folder\\x", "FOLDER", 6), 0);

    char number[32];
    qsm::FormatC(number, sizeof(number), "%2.8f", 0.5);
    EXPECT_STREQ(number, "0.50000000");
    float f = 0;
    EXPECT_EQ(qsm::ScanC("1.25", "%f", &f), 1);
    EXPECT_FLOAT_EQ(f, 1.25f);
}

TEST(KernelFiles, OpenReadWriteSeekAndTimes) {
    TempFolder dir;
    std::string path = dir / "f.bin";
    EXPECT_EQ(CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr),
              INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    HANDLE h = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    DWORD n = 0;
    ASSERT_TRUE(WriteFile(h, "hello world", 11, &n, nullptr));
    EXPECT_EQ(n, 11u);
    EXPECT_EQ(GetFileSize(h, nullptr), 11u);
    EXPECT_EQ(SetFilePointer(h, 6, nullptr, FILE_BEGIN), 6u);
    char buf[16] = {};
    ASSERT_TRUE(ReadFile(h, buf, 16, &n, nullptr));
    EXPECT_EQ(n, 5u);
    EXPECT_STREQ(buf, "world");
    ASSERT_TRUE(ReadFile(h, buf, 16, &n, nullptr));
    EXPECT_EQ(n, 0u);  // at the end: success with nothing
    EXPECT_EQ(SetFilePointer(h, -3, nullptr, FILE_END), 8u);
    EXPECT_EQ(SetFilePointer(h, -20, nullptr, FILE_CURRENT), INVALID_SET_FILE_POINTER);
    EXPECT_TRUE(SetEndOfFile(h));
    EXPECT_EQ(GetFileSize(h, nullptr), 8u);

    FILETIME wanted, got;
    ASSERT_TRUE(DosDateTimeToFileTime(static_cast<WORD>(((2020 - 1980) << 9) | (2 << 5) | 29),
                                      static_cast<WORD>((23 << 11) | (59 << 5) | 29), &wanted));
    ASSERT_TRUE(SetFileTime(h, nullptr, nullptr, &wanted));
    ASSERT_TRUE(GetFileTime(h, nullptr, nullptr, &got));
    EXPECT_EQ(CompareFileTime(&wanted, &got), 0);
    WORD date = 0, time = 0;
    ASSERT_TRUE(FileTimeToDosDateTime(&got, &date, &time));
    EXPECT_EQ(date >> 9, 40);
    EXPECT_EQ((date >> 5) & 15, 2);
    EXPECT_EQ(date & 31, 29);
    EXPECT_EQ(time, static_cast<WORD>((23 << 11) | (59 << 5) | 29));
    FILETIME local, utc;
    ASSERT_TRUE(FileTimeToLocalFileTime(&got, &local));
    ASSERT_TRUE(LocalFileTimeToFileTime(&local, &utc));
    EXPECT_EQ(CompareFileTime(&utc, &got), 0);
    EXPECT_TRUE(CloseHandle(h));
    EXPECT_FALSE(CloseHandle(h));

    // A folder is not a file; backslashes are folder separators.
    EXPECT_EQ(CreateFileA(dir.path().c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr),
              INVALID_HANDLE_VALUE);
    std::string backslashed = dir.path() + "\\f.bin";
    EXPECT_EQ(GetFileAttributesA(backslashed.c_str()), static_cast<DWORD>(FILE_ATTRIBUTE_NORMAL));
    EXPECT_EQ(GetFileAttributesA(dir.path().c_str()), static_cast<DWORD>(FILE_ATTRIBUTE_DIRECTORY));
    chmod(path.c_str(), 0444);
    EXPECT_EQ(GetFileAttributesA(path.c_str()), static_cast<DWORD>(FILE_ATTRIBUTE_READONLY));
    EXPECT_EQ(GetFileAttributesA((dir / "none").c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST(KernelFiles, FindCopyMoveAndFolders) {
    TempFolder dir;
    Put(dir / "Song.QSM", "one");
    Put(dir / "other.qsm", "two");
    Put(dir / "notes.txt", "three");
    WIN32_FIND_DATAA fd;
    HANDLE f = FindFirstFileA((dir / "*.qsm").c_str(), &fd);
    ASSERT_NE(f, INVALID_HANDLE_VALUE);
    EXPECT_STREQ(fd.cFileName, "other.qsm");
    ASSERT_TRUE(FindNextFileA(f, &fd));
    EXPECT_STREQ(fd.cFileName, "Song.QSM");
    EXPECT_EQ(fd.nFileSizeLow, 3u);
    EXPECT_FALSE(FindNextFileA(f, &fd));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_MORE_FILES));
    EXPECT_TRUE(FindClose(f));
    // The name as stored on disk, found without regard to case.
    f = FindFirstFileA((dir / "song.qsm").c_str(), &fd);
    ASSERT_NE(f, INVALID_HANDLE_VALUE);
    EXPECT_STREQ(fd.cFileName, "Song.QSM");
    FindClose(f);
    EXPECT_EQ(FindFirstFileA((dir / "*.mid").c_str(), &fd), INVALID_HANDLE_VALUE);

    // Copying a file onto itself is refused and leaves it whole.
    std::string dotted = dir.path() + "/./notes.txt";
    EXPECT_FALSE(CopyFileA((dir / "notes.txt").c_str(), dotted.c_str(), FALSE));
    EXPECT_EQ(Get(dir / "notes.txt"), "three");
    EXPECT_TRUE(CopyFileA((dir / "notes.txt").c_str(), (dir / "copy.txt").c_str(), FALSE));
    EXPECT_FALSE(CopyFileA((dir / "notes.txt").c_str(), (dir / "copy.txt").c_str(), TRUE));
    EXPECT_EQ(Get(dir / "copy.txt"), "three");

    EXPECT_FALSE(MoveFileA((dir / "copy.txt").c_str(), (dir / "other.qsm").c_str()));
    EXPECT_EQ(Get(dir / "other.qsm"), "two");
    EXPECT_TRUE(
        MoveFileExA((dir / "copy.txt").c_str(), (dir / "other.qsm").c_str(), MOVEFILE_REPLACE_EXISTING));
    EXPECT_EQ(Get(dir / "other.qsm"), "three");
    EXPECT_EQ(GetFileAttributesA((dir / "copy.txt").c_str()), INVALID_FILE_ATTRIBUTES);
    // A failed replacing move leaves the target.
    EXPECT_FALSE(
        MoveFileExA((dir / "gone.txt").c_str(), (dir / "other.qsm").c_str(), MOVEFILE_REPLACE_EXISTING));
    EXPECT_EQ(Get(dir / "other.qsm"), "three");

    EXPECT_TRUE(CreateDirectoryA((dir / "sub").c_str(), nullptr));
    EXPECT_FALSE(CreateDirectoryA((dir / "sub").c_str(), nullptr));
    EXPECT_FALSE(DeleteFileA((dir / "sub").c_str()));
    EXPECT_TRUE(RemoveDirectoryA((dir / "sub").c_str()));
    EXPECT_TRUE(DeleteFileA((dir / "notes.txt").c_str()));

    char cwd[MAX_PATH];
    DWORD len = GetCurrentDirectoryA(MAX_PATH, cwd);
    ASSERT_GT(len, 0u);
    EXPECT_GT(GetCurrentDirectoryA(1, cwd), 1u);  // the size needed
    char tmp[MAX_PATH];
    ASSERT_GT(GetTempPathA(MAX_PATH, tmp), 0u);
    EXPECT_EQ(tmp[std::strlen(tmp) - 1], '/');
    char name[MAX_PATH];
    UINT number = GetTempFileNameA(dir.path().c_str(), "qsmtest", 0, name);
    ASSERT_NE(number, 0u);
    EXPECT_NE(std::string(name).find("/qsm"), std::string::npos);
    EXPECT_EQ(GetFileAttributesA(name), static_cast<DWORD>(FILE_ATTRIBUTE_NORMAL));
    char second[MAX_PATH];
    ASSERT_NE(GetTempFileNameA(dir.path().c_str(), "qsm", 0, second), 0u);
    EXPECT_STRNE(name, second);
}

TEST(KernelMemory, GlobalBlocksKeepTheirHandle) {
    HGLOBAL h = GlobalAlloc(GHND, 10);
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(GlobalSize(h), 10u);
    BYTE* p = static_cast<BYTE*>(GlobalLock(h));
    EXPECT_EQ(p[9], 0);
    p[0] = 42;
    EXPECT_FALSE(GlobalUnlock(h));
    EXPECT_EQ(GlobalReAlloc(h, 100000, GMEM_MOVEABLE | GMEM_ZEROINIT), h);
    p = static_cast<BYTE*>(GlobalLock(h));
    EXPECT_EQ(p[0], 42);
    EXPECT_EQ(p[99999], 0);
    GlobalUnlock(h);
    EXPECT_EQ(GlobalFree(h), nullptr);
    EXPECT_EQ(GlobalFree(h), h);
    EXPECT_EQ(GlobalLock(h), nullptr);
}

TEST(KernelResources, EmbeddedFilesAndStringTables) {
    HRSRC r = FindResourceA(nullptr, MAKEINTRESOURCEA(3), "KernelTestData");
    ASSERT_NE(r, nullptr);
    std::string expected = Get(std::string(QSM_SOURCE_DIR) + "/platform/kernel/tests/data/sample.bin");
    ASSERT_EQ(SizeofResource(nullptr, r), expected.size());
    const char* data = static_cast<const char*>(LockResource(LoadResource(nullptr, r)));
    EXPECT_EQ(std::string(data, expected.size()), expected);
    // By name, and by "#number".
    EXPECT_NE(FindResourceA(GetModuleHandleA(nullptr), "Named", MAKEINTRESOURCEA(10)), nullptr);
    EXPECT_NE(FindResourceA(nullptr, "#3", "KERNELTESTDATA"), nullptr);
    EXPECT_EQ(FindResourceA(nullptr, MAKEINTRESOURCEA(4), "KernelTestData"), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_RESOURCE_NAME_NOT_FOUND));
    EXPECT_EQ(FindResourceA(nullptr, MAKEINTRESOURCEA(3), "NoType"), nullptr);

    char text[64];
    EXPECT_EQ(LoadStringA(nullptr, 100, text, sizeof(text)), 5);
    EXPECT_STREQ(text, "Ready");
    EXPECT_EQ(LoadStringA(nullptr, 20303, text, 12), 11);
    EXPECT_STREQ(text, "Moving the ");
    LoadStringA(nullptr, 7, text, sizeof(text));
    EXPECT_STREQ(text, "Tab\there \"quoted\"");
    EXPECT_EQ(LoadStringA(nullptr, 101, text, sizeof(text)), 0);
    EXPECT_STREQ(text, "");
}

void LocalFunction() {}

TEST(KernelModules, HandlesNamesAndLibraries) {
    HMODULE self = GetModuleHandleA(nullptr);
    ASSERT_NE(self, nullptr);
    EXPECT_EQ(qsm::ModuleOfAddress(reinterpret_cast<const void*>(&LocalFunction)), self);
    char path[4096];
    DWORD n = GetModuleFileNameA(nullptr, path, sizeof(path));
    ASSERT_GT(n, 0u);
    EXPECT_NE(std::string(path).find("platform_kernel_tests"), std::string::npos);

    HMODULE z = LoadLibraryA("libz.so.1");
    ASSERT_NE(z, nullptr);
    EXPECT_EQ(GetModuleHandleA("libz.so.1"), z);
    auto version = reinterpret_cast<const char* (*)()>(GetProcAddress(z, "zlibVersion"));
    ASSERT_NE(version, nullptr);
    EXPECT_EQ(version()[0], '1');
    EXPECT_EQ(GetProcAddress(z, MAKEINTRESOURCEA(680)), nullptr);
    EXPECT_EQ(GetProcAddress(z, "NoSuchFunction"), nullptr);
    EXPECT_TRUE(FreeLibrary(z));
    EXPECT_EQ(LoadLibraryA("shell32.dll"), nullptr);
}

class FakeDesktop : public qsm::ClipboardBackend {
public:
    bool HasText() override { return !text.empty(); }
    std::string GetText() override { return text; }
    void SetText(const std::string& t) override { text = t; }
    std::string text;
};

TEST(KernelClipboard, StoreFormatsAndBackend) {
    UINT f1 = RegisterClipboardFormatA("QSM Clip");
    EXPECT_GE(f1, 0xC000u);
    EXPECT_EQ(RegisterClipboardFormatA("qsm clip"), f1);
    EXPECT_EQ(SetClipboardData(CF_TEXT, nullptr), nullptr);  // not open
    ASSERT_TRUE(OpenClipboard(nullptr));
    EXPECT_FALSE(OpenClipboard(nullptr));
    EmptyClipboard();
    HGLOBAL h = GlobalAlloc(GMEM_MOVEABLE, 3);
    std::memcpy(GlobalLock(h), "ab", 3);
    GlobalUnlock(h);
    SetClipboardData(f1, h);
    EXPECT_TRUE(IsClipboardFormatAvailable(f1));
    EXPECT_EQ(GetClipboardData(f1), h);
    EXPECT_FALSE(IsClipboardFormatAvailable(CF_TEXT));
    CloseClipboard();

    FakeDesktop desktop;
    desktop.text = "from the desktop";
    qsm::SetClipboardBackend(&desktop);
    EXPECT_TRUE(IsClipboardFormatAvailable(CF_TEXT));
    ASSERT_TRUE(OpenClipboard(nullptr));
    HANDLE t = GetClipboardData(CF_TEXT);
    ASSERT_NE(t, nullptr);
    EXPECT_STREQ(static_cast<const char*>(GlobalLock(t)), "from the desktop");
    GlobalUnlock(t);
    HGLOBAL mine = GlobalAlloc(GMEM_MOVEABLE, 5);
    std::memcpy(GlobalLock(mine), "ours", 5);
    GlobalUnlock(mine);
    SetClipboardData(CF_TEXT, mine);
    EXPECT_EQ(desktop.text, "ours");
    EmptyClipboard();
    CloseClipboard();
    qsm::SetClipboardBackend(nullptr);
}

TEST(KernelSystem, VersionAndToken) {
    DWORD v = GetVersion();
    EXPECT_EQ(v & 0xFF, 6u);
    EXPECT_EQ(v & 0x80000000u, 0u);
    OSVERSIONINFOA info{};
    info.dwOSVersionInfoSize = sizeof(info);
    ASSERT_TRUE(GetVersionExA(&info));
    EXPECT_EQ(info.dwPlatformId, static_cast<DWORD>(VER_PLATFORM_WIN32_NT));
    HANDLE token = nullptr;
    ASSERT_TRUE(OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token));
    DWORD type = 0, size = 0;
    ASSERT_TRUE(GetTokenInformation(token, TokenElevationType, &type, sizeof(type), &size));
    EXPECT_EQ(type, static_cast<DWORD>(TokenElevationTypeDefault));
    EXPECT_TRUE(CloseHandle(token));
    EXPECT_FALSE(GetTokenInformation(token, TokenElevationType, &type, sizeof(type), &size));
}

}  // namespace

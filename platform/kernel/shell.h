// The shell: documents, folders and web addresses opened with the program the desktop associates with
// them, programs started from a command line, shell verbs of registered file classes, and the special
// folders of the user (documents, application data) after the XDG base-directory rules.
//
// Every start goes through one launcher (qsm::Launcher), which tests replace. The desktop's launcher opens
// with xdg-open and, when that fails, tries once more with "gio open"; it starts programs with an argument
// vector and no shell, and never waits for a started program to end.
//
// Verbs: ShellExecute with the verb "open" (or none) opens the file or address with the desktop's program,
// or runs it when it names a program. Any other verb, and a class named with SEE_MASK_CLASSNAME, is looked
// up in the registry as the file classes keep it: the file's extension under Software\Classes names its
// class (for example ".qsm" -> "QSM2.Document"), and Software\Classes\<class>\shell\<verb>\command holds the
// command line, in which "%1" (or "%L") stands for the file and "%*" for the parameters. The user's classes
// (HKEY_CURRENT_USER) come before the machine's (HKEY_LOCAL_MACHINE).
//
// Windows programs that a Linux desktop has under other names are opened as the first of their stand-ins
// that starts: the volume control ("sndvol.exe", "Sndvol32.exe", with or without a folder, in any case) is
// pavucontrol, pavucontrol-qt, the sound panel of gnome-control-center, mate-volume-control, xfce4-mixer or
// kmix.
#pragma once

#include <string>
#include <vector>

#include "platform/base/winerror.h"
#include "platform/base/wintypes.h"

// Results of ShellExecuteA (as an HINSTANCE) and WinExec: above 32 is success.
#define SE_ERR_FNF 2
#define SE_ERR_PNF 3
#define SE_ERR_ACCESSDENIED 5
#define SE_ERR_NOASSOC 31

#define SEE_MASK_DEFAULT 0x00000000u
#define SEE_MASK_CLASSNAME 0x00000001u

struct SHELLEXECUTEINFOA {
    DWORD cbSize;  // sizeof(SHELLEXECUTEINFOA)
    ULONG fMask;
    HWND hwnd;
    LPCSTR lpVerb;
    LPCSTR lpFile;
    LPCSTR lpParameters;
    LPCSTR lpDirectory;
    int nShow;
    HINSTANCE hInstApp;  // out: above 32 on success, else an SE_ERR_ code
    void* lpIDList;
    LPCSTR lpClass;  // with SEE_MASK_CLASSNAME
    HKEY hkeyClass;
    DWORD dwHotKey;
    HANDLE hIcon;
    HANDLE hProcess;
};

HINSTANCE ShellExecuteA(HWND hwnd, LPCSTR lpOperation, LPCSTR lpFile, LPCSTR lpParameters, LPCSTR lpDirectory,
                        INT nShowCmd);
BOOL ShellExecuteExA(SHELLEXECUTEINFOA* pExecInfo);
// Starts the program of the command line (blanks separate arguments, double quotes group them); an
// unquoted program path with blanks in it is found by trying ever longer starts of the line. Above 31 on
// success, else ERROR_FILE_NOT_FOUND.
UINT WinExec(LPCSTR lpCmdLine, UINT uCmdShow);

// ---- special folders ----

using HRESULT = LONG;
#define S_OK 0L
#define E_FAIL static_cast<HRESULT>(0x80004005u)
#define E_INVALIDARG static_cast<HRESULT>(0x80070057u)
#define SUCCEEDED(hr) ((hr) >= 0)
#define FAILED(hr) ((hr) < 0)

#define CSIDL_PERSONAL 0x0005
#define CSIDL_LOCAL_APPDATA 0x001C

// A shell item: here always a file-system path. Item lists are allocated by the shell allocator.
struct ITEMIDLIST;
using LPITEMIDLIST = ITEMIDLIST*;
using LPCITEMIDLIST = const ITEMIDLIST*;

// The shell's allocator (a process-wide object; Release balances SHGetMalloc).
class IMalloc {
public:
    virtual void* Alloc(SIZE_T size) = 0;
    virtual void Free(void* block) = 0;
    virtual ULONG AddRef() = 0;
    virtual ULONG Release() = 0;

protected:
    ~IMalloc() = default;
};
using LPMALLOC = IMalloc*;

HRESULT SHGetMalloc(LPMALLOC* ppMalloc);
// The folder: CSIDL_PERSONAL is the user's documents folder (XDG_DOCUMENTS_DIR of user-dirs.dirs, else
// ~/Documents when it exists, else the home folder); CSIDL_LOCAL_APPDATA is $XDG_DATA_HOME (else
// ~/.local/share). Other folders: E_INVALIDARG.
HRESULT SHGetSpecialFolderLocation(HWND hwnd, int csidl, LPITEMIDLIST* ppidl);
// The item's path (at most MAX_PATH bytes with the terminator); FALSE when it does not fit.
BOOL SHGetPathFromIDListA(LPCITEMIDLIST pidl, LPSTR pszPath);
// An item of a path (freed with the shell allocator); for the folder picker and tests.
LPITEMIDLIST ILCreateFromPathA(LPCSTR path);

namespace qsm {

// Starts programs and opens documents; tests install their own.
class Launcher {
public:
    virtual ~Launcher() = default;
    // Opens a document, folder or web address with the program the desktop has for it; true when it was
    // started.
    virtual bool Open(const std::string& target) = 0;
    // Starts a program (found on PATH when argv[0] has no slash) with its arguments, in `directory` when it
    // is not empty, without a shell and without waiting for it; true when it runs.
    virtual bool Run(const std::vector<std::string>& argv, const std::string& directory) = 0;
};

// Installs a launcher (null: the desktop's again) and returns the one installed before.
Launcher* SetLauncher(Launcher* launcher);
Launcher& GetLauncher();

// Splits a command line into arguments: blanks separate them, double quotes group (and are dropped).
std::vector<std::string> SplitCommandLine(const std::string& line);

// The command line registered for the verb of a file class, or empty.
std::string ShellVerbCommand(const std::string& fileClass, const std::string& verb);

}  // namespace qsm

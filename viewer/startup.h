// Start-up of the viewer: the command line, the score-file generation probe, the hand-over of a file to an
// editor program and of the whole command line to a viewer that is already running, and OwlMain, which
// chooses between them and the normal run.
#pragma once

#include <string>
#include <vector>

#include "core/multi_field.h"
#include "platform/base/wintypes.h"
#include "platform/wm/winuser.h"

class TQSRStream;

// The switch words of the command line, zero-terminated, ended by an empty word. Only these count as
// switches (in any case), so that an absolute path that starts with '/' is a file.
extern const char kViewerSwitches[];

// The command line split into tokens at blanks (a double quote groups a token) with the viewer's switches.
class TViewerCmdLine : public TQSCmdLineOptions {
public:
    explicit TViewerCmdLine(const char* commandLine);
    // The file argument: the first token that is no switch, or null.
    const char* GetFile() const { return FirstNonSwitch(); }
    bool HasSwitch(const char* name) const { return Contains(name); }
};

// The program's arguments (argv[0] first) with the command line's file argument made absolute against the
// current folder, so that the recent views, a running viewer the line is handed to and "/cached" all get the
// file wherever they look from; every other argument as it is.
std::vector<std::string> WithAbsoluteFile(int argc, const char* const argv[]);

// The text of a WM_COPYDATA block, bounded by its size and cut at its first zero byte; empty for none.
std::string CopyDataText(const COPYDATASTRUCT* data);

// The generation of a binary score file from the start of its header: 1 or 2, or 0 when not recognised.
int ReadSignatureVersion(TQSRStream& stream);
// 2 for a file whose extension is not ".qsm"; else the generation read from the file (0 when it cannot be
// read or is not a score file).
int GetScoreFileVersion(const char* path);

// The outside world of the start-up decisions: the shell, the editor programs, the Launchpad, the message
// box shown before any window exists, and the application's run.
class TStartupHost {
public:
    virtual ~TStartupHost() = default;
    virtual int GetScoreFileVersion(const char* path);
    // The Launchpad's answer: 2 cancel, 101 view, 102 editor 1, 103 editor 2.
    virtual int RunLaunchpad(const char* file, int generation);
    // Opens the file with a verb of the score-file type; a result above 32 means success.
    virtual INT_PTR ShellExecute(const char* verb, const char* file);
    // Starts the program with the file as its one argument (no shell); a result above 31 means success.
    virtual UINT StartProgram(const std::string& program, const char* file);
    virtual void ShowLaunchFailure();
    // Creates the application object, runs it and returns its result.
    virtual int RunApplication();
};

// Hands the file to the second editor: its shell verb, else a running editor window, else the program in
// its install folder. 1 when handed over.
int SendToRunningEditor(const char* path, const char* verb);
int SendToRunningEditor(const char* path, const char* verb, TStartupHost& host);

// The decisions of the start-up once the options are loaded: launch mode, a running viewer, the normal run.
// Returns the exit code.
int RunStartup(const char* commandLine, TStartupHost& host);

// The program's start: names the settings store, loads the options and runs the start-up decisions on the
// command line the framework stored.
int OwlMain(int argc, char* argv[]);

// The plain dialog procedure of the Launchpad template: centres the dialog on the screen and ends it with the
// id of any command.
INT_PTR LauchpadDlgProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

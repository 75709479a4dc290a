#include "viewer/startup.h"

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <type_traits>

#include "core/file_stream.h"
#include "core/file_utils.h"
#include "core/reg_key.h"
#include "core/stream.h"
#include "core/sys_info.h"
#include "core/zlib_stream.h"
#include "platform/framework/program.h"
#include "platform/kernel/shell.h"
#include "platform/kernel/text.h"
#include "platform/print/printers.h"
#include "platform/registry/registry.h"
#include "platform/wm/backend.h"
#include "platform/wm/controls.h"
#include "render/hooks.h"
#include "viewer/app.h"
#include "viewer/launchpad.h"
#include "viewer/options.h"

const char kViewerSwitches[] = "/play\0/cached\0/xprint\0/close\0/launch\0";

namespace {

constexpr const char* kViewerFrameClass = "TQSMViewerFrame";
constexpr const char* kEditor2Class = "QuillStaveComposer2";

// How long a hand-over to another program may take in all, whatever that program is doing.
constexpr unsigned kHandOverMs = 5000;

// Brings a window of another program to the front (its last active popup, so an open dialog comes first)
// and hands it the text with its terminating zero, within the limit of the hand-over. False when the text
// did not reach the program (or, without a text, when it did not answer in time).
bool RaiseAndSend(HWND window, const char* text, const qsm::wm::RemoteCallLimit& limit) {
    HWND popup = GetLastActivePopup(window);
    if (IsIconic(window)) ShowWindow(window, SW_RESTORE);
    SetForegroundWindow(popup ? popup : window);
    if (text == nullptr) return !limit.GaveUp();
    COPYDATASTRUCT data{0, static_cast<DWORD>(std::strlen(text) + 1), const_cast<char*>(text)};
    DWORD_PTR result = 0;
    return SendMessageTimeoutA(window, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data), SMTO_NORMAL,
                               kHandOverMs, &result) != 0;
}

template <class T>
INT_PTR AsResult(T value) {
    if constexpr (std::is_pointer_v<T>)
        return reinterpret_cast<INT_PTR>(value);
    else
        return static_cast<INT_PTR>(value);
}

}  // namespace

TViewerCmdLine::TViewerCmdLine(const char* commandLine)
    : TQSCmdLineOptions(commandLine, '/', kViewerSwitches) {}

std::vector<std::string> WithAbsoluteFile(int argc, const char* const argv[]) {
    std::vector<std::string> args;
    for (int i = 0; i < argc; ++i)
        args.emplace_back(argv[i] ? argv[i] : "");
    TViewerCmdLine tokens(qsm::JoinCommandLine(argc, argv).c_str());
    const char* file = tokens.GetFile();
    if (file == nullptr || *file == '\0' || *file == '/') return args;
    std::error_code error;
    std::filesystem::path absolute = std::filesystem::absolute(file, error);
    if (error) return args;
    for (size_t i = 1; i < args.size(); ++i) {
        if (args[i] == file) {
            args[i] = absolute.lexically_normal().string();
            break;
        }
    }
    return args;
}

std::string CopyDataText(const COPYDATASTRUCT* data) {
    if (data == nullptr || data->lpData == nullptr || data->cbData == 0) return std::string();
    const char* bytes = static_cast<const char*>(data->lpData);
    return std::string(bytes, strnlen(bytes, data->cbData));
}

int ReadSignatureVersion(TQSRStream& stream) {
    char text[128];
    stream.ReadString(text, sizeof(text));
    if (stream.GetError()) return 0;
    if (std::strcmp(text, "[QuillStave InkWork]") != 0 &&
        qsm::CompareNoCase(text, "[Quillstave Software]") != 0)
        return 0;
    if (static_cast<int16_t>(stream.ReadWord()) > 0) return 0;
    stream.ReadString(text, sizeof(text));
    size_t length = std::strlen(text);
    if (length < 3 || length > 30 || text[0] != '[' || text[length - 1] != ']') return 0;
    text[length - 1] = '\0';
    int generation = static_cast<int16_t>(stream.ReadWord()) >> 8;
    const char* name = text + 1;
    if (std::strcmp(name, "QuillStave") != 0 && std::strcmp(name, "QuillStave Composer") != 0) return 0;
    return generation;
}

int GetScoreFileVersion(const char* path) {
    if (qsm::CompareNoCase(GetExtensionPart(path), ".qsm") != 0) return 2;
    TQSRFStream file(TQSRFStream::kRead, path);
    if (file.GetError() || !file.IsOpen()) return 0;
    TQSRZLibInStream unpacked(TQSRZLibInStream::kScoreEnvelope, &file, false);
    int generation = ReadSignatureVersion(unpacked);
    unpacked.Close();
    file.Close();
    return generation;
}

// ---------------------------------------------------------------- the outside world

int TStartupHost::GetScoreFileVersion(const char* path) {
    return ::GetScoreFileVersion(path);
}

int TStartupHost::RunLaunchpad(const char* file, int generation) {
    return ::RunLaunchpad(file, generation);
}

INT_PTR TStartupHost::ShellExecute(const char* verb, const char* file) {
    return AsResult(ShellExecuteA(nullptr, verb, file, nullptr, nullptr, SW_SHOWNORMAL));
}

UINT TStartupHost::StartProgram(const std::string& program, const char* file) {
    // Both parts quoted, so that blanks in the install folder or the file name split nothing.
    std::string command = "\"" + program + "\" \"" + file + "\"";
    return WinExec(command.c_str(), SW_SHOWNORMAL);
}

void TStartupHost::ShowLaunchFailure() {
    MessageBoxExA(
        nullptr,
        "The file launch appears to have been unsuccessful. Your *.qsm file associations have probably "
        "been altered from the standard configuration.\n\nThe file will be opened for viewing.",
        "Launch Failure", MB_OK | MB_ICONINFORMATION, 0);
}

int TStartupHost::RunApplication() {
    // Asking the print system for its printers takes a while: when this run will want them (to print the
    // file, or to restore the printer chosen last time) it goes on while the application object is made.
    // Any other run asks at its first print.
    TViewerCmdLine tokens(qsm::GetProgramCommandLine());
    if (tokens.HasSwitch("/xprint") || TQSMViewerApp::HasSavedPrinter()) qsm::print::StartPrinterLookup();
    // A run that prints ends by itself once printed: a command line handed to it would be dropped, so
    // other starts do not find it.
    if (tokens.HasSwitch("/xprint")) qsm::wm::HideWindowsFromOtherProcesses();
    TQSMViewerApp app("QuillStave Composer Viewer");
    return app.Run();
}

// ---------------------------------------------------------------- hand-over to the editor

int SendToRunningEditor(const char* path, const char* verb) {
    TStartupHost host;
    return SendToRunningEditor(path, verb, host);
}

int SendToRunningEditor(const char* path, const char* verb, TStartupHost& host) {
    if (path == nullptr) return 0;
    if (host.ShellExecute(verb, path) >= 33) return 1;
    {
        qsm::wm::RemoteCallLimit limit(kHandOverMs);
        if (HWND editor = FindWindowA(kEditor2Class, nullptr)) {
            std::string copy(path);
            return RaiseAndSend(editor, copy.c_str(), limit) ? 1 : 0;
        }
    }
    TKeyReadOnly key(HKEY_LOCAL_MACHINE, kEditor2UninstallKey);
    if (!key.IsOpen()) return 0;
    char folder[521];
    if (!key.QueryString(folder, sizeof(folder), "", "InstallLocation") || std::strlen(folder) <= 3) return 0;
    std::string program = qsm::NativePath(folder);
    if (program.back() != '/') program.push_back('/');
    program += "qsm2";
    return host.StartProgram(program, path) > 31 ? 1 : 0;
}

// ---------------------------------------------------------------- the decisions

int RunStartup(const char* commandLine, TStartupHost& host) {
    if (commandLine == nullptr) commandLine = "";
    TViewerCmdLine tokens(commandLine);
    const char* file = tokens.GetFile();

    if (tokens.HasSwitch("/launch") && file != nullptr && *file != '\0' && IsPlainFile(file)) {
        int generation = host.GetScoreFileVersion(file);
        if (generation <= SessionOptions.NewestEditor) {
            const char* verb = nullptr;
            if (ViewerOptions.AutoLaunch != 0) {
                if (generation < 2 && SessionOptions.Editor1Installed)
                    verb = "qsm1";
                else if (SessionOptions.Editor2Installed)
                    verb = "qsm2";
            } else {
                switch (host.RunLaunchpad(file, generation)) {
                    case 2:
                        return 1;
                    case 102:
                        verb = "qsm1";
                        break;
                    case 103:
                        verb = "qsm2";
                        break;
                    default:
                        break;
                }
            }
            if (verb != nullptr) {
                if (host.ShellExecute(verb, file) > 32) return 0;
                host.ShowLaunchFailure();
            }
        }
    }

    if (ViewerOptions.ReuseInst != 0) {
        // A viewer that does not take the command line in time (busy or stuck) is left alone: this start
        // goes on as if none ran, so that no start waits on another and no file is lost.
        qsm::wm::RemoteCallLimit limit(kHandOverMs);
        HWND running = FindWindowA(kViewerFrameClass, nullptr);
        if (running && RaiseAndSend(running, *commandLine != '\0' ? commandLine : nullptr, limit)) return 1;
        if (limit.GaveUp())
            std::fprintf(stderr,
                         "QSM2View: the viewer already running did not answer within %u seconds; %s\n",
                         kHandOverMs / 1000,
                         tokens.HasSwitch("/xprint") ? "this start prints the file itself."
                                                     : "this start opens its own window.");
    }
    return host.RunApplication();
}

int OwlMain(int, char*[]) {
    qsm::InstallScoreHooks();
    RegisterWindowMessageA("QSMMidiSeq");
    RegisterWindowMessageA("QSINIT");
    SetDefaultOptions(ViewerOptions);
    // Before the store has its names: repeat play always starts off.
    DetectEditors(SessionOptions);
    SysInfo.SetNames("QuillStave Software", "QuillStave Composer 2 Viewer");
    LoadOptions(ViewerOptions);
    TStartupHost host;
    return RunStartup(qsm::GetProgramCommandLine(), host);
}

INT_PTR LauchpadDlgProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
        case WM_INITDIALOG: {
            RECT r{};
            GetWindowRect(hwnd, &r);
            int width = r.right - r.left;
            int height = r.bottom - r.top;
            MoveWindow(hwnd, (GetSystemMetrics(SM_CXSCREEN) - width) / 2,
                       (GetSystemMetrics(SM_CYSCREEN) - height) / 2, width, height, TRUE);
            return TRUE;
        }
        case WM_COMMAND:
            EndDialog(hwnd, static_cast<INT_PTR>(wParam));
            return TRUE;
        default:
            return FALSE;
    }
}

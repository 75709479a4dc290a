// QSM2View: shows its windows on the display when there is one, else runs without one.
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "platform/framework/program.h"
#include "platform/gdi/font_setup.h"
#include "platform/kernel/heap_settings.h"
#include "platform/mm/recording_env.h"
#include "platform/wm/backend.h"
#include "platform/wm/modal_answers.h"
#include "platform/wm/sdl_backend.h"
#include "render/bundled_fonts.h"
#include "viewer/close_signals.h"
#include "viewer/score_preread.h"
#include "viewer/startup.h"

int main(int programArgc, char* programArgv[]) {
    // A request to end (kill, the end of the desktop session, Ctrl+C) closes the program as its Close
    // command.
    qsm::InstallCloseSignals();
    // From here on the file of the command line is named by its absolute path.
    std::vector<std::string> args = WithAbsoluteFile(programArgc, programArgv);
    std::vector<char*> argvStore;
    for (std::string& a : args)
        argvStore.push_back(a.data());
    argvStore.push_back(nullptr);
    int argc = static_cast<int>(args.size());
    char** argv = argvStore.data();
    const bool printing = TViewerCmdLine(qsm::JoinCommandLine(argc, argv).c_str()).HasSwitch("/xprint");
    const char* backend = std::getenv("QSM_BACKEND");
    const bool headless = backend != nullptr && std::string_view(backend) == "headless";
    // A run that prints its file and ends shows nothing: it starts no display, nor the graphics libraries
    // behind one, whether or not there is a display. A run that shows its windows on an X display starts the
    // display beside the rest of the start; where SDL finds no display after all nobody can answer a dialog
    // (see below).
    bool onDisplay = !headless && !printing &&
                     qsm::wm::InstallSdlBackendBeside([] { qsm::wm::InstallModalAnswersFromEnvironment(); });
    // The score the command line opens is read beside the whole start; the open takes it.
    qsm::StartScorePreread(qsm::JoinCommandLine(argc, argv).c_str());
    // Reading the system's font configuration and matching the faces a start draws with take a while; they go
    // on beside the rest of the start. The faces, in the order a start first asks for them: the music font
    // and the score's text face; the stock GUI font; the window captions; the score's other text faces; the
    // dialogs' face.
    qsm::gdi::StartFontSetup(qsm::BundledFontFiles(), {{"QSM2STDA"},
                                                       {"Times New Roman"},
                                                       {"Arial"},
                                                       {"Arial", true},
                                                       {"Microsoft Sans Serif", true},
                                                       {"Times New Roman", true},
                                                       {"Times New Roman", false, true},
                                                       {"Times New Roman", true, true},
                                                       {"MS Sans Serif"}});
    // A run that prints its file makes and frees many blocks on this thread (its pages and the PDF file): the
    // heap keeps them rather than mapping them anew. A run that shows its file keeps the heap's own settings,
    // under which a large score's peak memory is smallest.
    if (printing) qsm::PrepareHeap(3 << 20);
    qsm::mm::InstallTestRecorderFromEnvironment();
    // Another display than X starts here.
    if (!onDisplay && !headless && !printing) onDisplay = qsm::wm::InstallSdlBackend();
    // Without a display nobody can answer a dialog: a test that starts the program answers through the
    // environment.
    if (!onDisplay) qsm::wm::InstallModalAnswersFromEnvironment();
    int code = qsm::RunOwlMain(argc, argv);
    // A run that opened no file (another viewer took the command line) does not wait for the whole read.
    qsm::DropScorePreread();
    if (onDisplay) qsm::wm::RemoveSdlBackend();
    // A program closed by a signal ends as such programs are expected to.
    if (int signal = qsm::GetCloseSignal(); signal != 0) return 128 + signal;
    return code;
}

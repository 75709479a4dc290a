#include "platform/framework/program.h"

#include <cstring>

#include "platform/wm/winuser.h"

namespace qsm {
namespace {

std::string& CommandLine() {
    static std::string text;
    return text;
}

}  // namespace

std::string JoinCommandLine(int argc, const char* const argv[]) {
    std::string out;
    for (int i = 1; i < argc; ++i) {
        const char* arg = argv[i] ? argv[i] : "";
        if (i > 1) out.push_back(' ');
        bool quote = *arg == '\0' || std::strpbrk(arg, " \t") != nullptr;
        if (quote) out.push_back('"');
        out += arg;
        if (quote) out.push_back('"');
    }
    return out;
}

int RunOwlMain(int argc, char* argv[], int (*entry)(int, char*[])) {
    CommandLine() = JoinCommandLine(argc, argv);
    return entry(argc, argv);
}

const char* GetProgramCommandLine() {
    return CommandLine().c_str();
}
void SetProgramCommandLine(const char* text) {
    CommandLine() = text ? text : "";
}
int GetProgramCmdShow() {
    return SW_SHOWNORMAL;
}

}  // namespace qsm

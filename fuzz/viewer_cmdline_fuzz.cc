// The command line as a second instance delivers it: any block of bytes, split into tokens and switches.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "platform/framework/program.h"
#include "viewer/startup.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<char> block(data, data + size);  // no terminator of its own
    COPYDATASTRUCT cds{0, static_cast<DWORD>(size), size ? block.data() : nullptr};
    std::string text = CopyDataText(&cds);
    if (text.size() > size || std::memchr(text.data(), 0, text.size()) != nullptr) __builtin_trap();
    TViewerCmdLine line(text.c_str());
    const char* file = line.GetFile();
    if (file != nullptr && line.IsSwitch(file)) __builtin_trap();
    for (const char* s : {"/play", "/cached", "/xprint", "/close", "/launch"})
        (void)line.HasSwitch(s);

    // Tokens without quotes or blanks inside survive joining and splitting again.
    std::vector<std::string> tokens;
    std::vector<const char*> argv{"QSM2View"};
    for (int i = 0; i < line.GetCount(); ++i) {
        tokens.emplace_back(line.GetEntry(i));
        if (tokens.back().find('"') != std::string::npos) return 0;
    }
    for (const std::string& t : tokens)
        argv.push_back(t.c_str());
    std::string joined = qsm::JoinCommandLine(static_cast<int>(argv.size()), argv.data());
    TViewerCmdLine again(joined.c_str());
    if (again.GetCount() != line.GetCount()) {
        // Empty tokens and ones with tabs may split otherwise; blanks must not.
        for (const std::string& t : tokens)
            if (t.empty() || t.find('\t') != std::string::npos) return 0;
        __builtin_trap();
    }
    return 0;
}

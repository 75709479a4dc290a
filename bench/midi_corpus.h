// The MIDI files of the benchmark corpus (tools/fetch_midi_corpus.sh): $QSM_MIDI_CORPUS, or the build
// folder's midi-corpus. QSM_BINARY_DIR names the build folder.
#pragma once

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>
#include <utility>
#include <vector>

namespace qsm::bench {

// Every .mid file of the corpus (the extension in any case), the largest first, files of one size by path;
// empty when there is no corpus.
inline std::vector<std::filesystem::path> MidiCorpusFilesLargestFirst() {
    namespace fs = std::filesystem;
    const char* env = std::getenv("QSM_MIDI_CORPUS");
    const fs::path root = env != nullptr ? env : QSM_BINARY_DIR "/midi-corpus";
    std::vector<std::pair<std::uintmax_t, fs::path>> files;
    std::error_code ec;
    if (!fs::is_directory(root, ec)) return {};
    for (const auto& entry : fs::recursive_directory_iterator(root, ec)) {
        std::string ext = entry.path().extension().string();
        std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return std::tolower(c); });
        if (entry.is_regular_file() && ext == ".mid") files.emplace_back(entry.file_size(), entry.path());
    }
    std::sort(files.begin(), files.end(), [](const auto& a, const auto& b) {
        return a.first != b.first ? a.first > b.first : a.second < b.second;
    });
    std::vector<fs::path> out;
    for (auto& f : files)
        out.push_back(std::move(f.second));
    return out;
}

// The largest MIDI file of the corpus; empty when there is none.
inline std::string LargestMidiCorpusFile() {
    const auto files = MidiCorpusFilesLargestFirst();
    return files.empty() ? std::string() : files.front().string();
}

}  // namespace qsm::bench

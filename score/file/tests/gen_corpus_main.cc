// Writes the generated seed files of the score file fuzz target into a folder: a sample file of every
// format version, plain, in the "[QSZ]" envelope and gzip'ed, and a few damaged forms.
#include <cstdio>
#include <fstream>
#include <string>

#include "score/file/tests/file_gen.h"

namespace {

bool WriteFile(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <folder>\n", argv[0]);
        return 2;
    }
    const std::string dir = argv[1];
    bool ok = true;
    for (int V = 0; V <= 32; ++V) {
        std::vector<uint8_t> plain = qsm::gen::SampleFile(V).Encode().data;
        std::string base = dir + "/v" + std::to_string(V);
        ok &= WriteFile(base + ".qsm", plain);
        ok &= WriteFile(base + "-qsz.qsm", qsm::gen::Compress(plain));
        if (V % 8 == 0) ok &= WriteFile(base + "-gz.qsm", qsm::gen::Gzip(plain));
        if (V == 32 || V == 8) {
            std::vector<uint8_t> cut(plain.begin(), plain.begin() + static_cast<long>(plain.size() * 2 / 3));
            ok &= WriteFile(base + "-cut.qsm", cut);
        }
    }
    qsm::gen::File empty;
    empty.staves.clear();
    ok &= WriteFile(dir + "/no-staff.qsm", empty.Encode().data);
    if (!ok) {
        std::fprintf(stderr, "cannot write into %s\n", dir.c_str());
        return 1;
    }
    return 0;
}

// Fake CUPS tools for the print tests: lpstat, lpoptions and lp scripts in a folder put first on PATH, and
// a home folder of the test's own.
#pragma once

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "platform/print/printers.h"

namespace qsm::print::testing {

inline std::string MakeTempDir(const char* what) {
    std::string tmpl = std::string("/tmp/qsm_print_") + what + "_XXXXXX";
    const char* d = mkdtemp(tmpl.data());
    return d ? d : "/tmp";
}

inline bool FileExists(const std::string& path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0;
}

inline std::string ReadFile(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    std::stringstream s;
    s << f.rdbuf();
    return s.str();
}

inline void WriteScript(const std::string& path, const std::string& body) {
    std::ofstream(path) << "#!/bin/sh\n" << body;
    chmod(path.c_str(), 0755);
}

// Two CUPS destinations, "Office" (the default, Letter at 1200 dpi) and "Label" (no options). Jobs go to
// the fake spooler lp instead of a CUPS server; lp records its arguments in <dir>/lp.args, keeps a copy of
// the job as <dir>/job.pdf and exits with the number in <dir>/lp.exit (0 when missing).
class FakeCups {
public:
    FakeCups() : dir_(MakeTempDir("cups")), home_(MakeTempDir("home")) {
        WriteScript(dir_ + "/lpstat",
                    "case \"$1\" in\n"
                    "  -e) printf 'Office\\nLabel\\n' ;;\n"
                    "  -d) echo 'system default destination: Office' ;;\n"
                    "esac\n");
        WriteScript(dir_ + "/lpoptions",
                    "if [ \"$2\" = Office ]; then\n"
                    "  echo 'PageSize/Media Size: A4 *Letter Legal'\n"
                    "  echo 'Resolution/Output Resolution: 300dpi *1200dpi'\n"
                    "  exit 0\n"
                    "fi\n"
                    "exit 1\n");
        WriteScript(dir_ + "/lp", "D='" + dir_ +
                                      "'\n"
                                      "echo \"$@\" > \"$D/lp.args\"\n"
                                      "for a; do last=\"$a\"; done\n"
                                      "cp \"$last\" \"$D/job.pdf\"\n"
                                      "[ -f \"$D/lp.exit\" ] && exit $(cat \"$D/lp.exit\")\n"
                                      "exit 0\n");
        const char* path = std::getenv("PATH");
        oldPath_ = path ? path : "/usr/bin:/bin";
        const char* home = std::getenv("HOME");
        oldHome_ = home ? home : "";
        const char* tmp = std::getenv("TMPDIR");
        oldTmp_ = tmp ? tmp : "";
        mkdir(Spool().c_str(), 0755);
        setenv("TMPDIR", Spool().c_str(), 1);
        setenv("PATH", (dir_ + ":" + oldPath_).c_str(), 1);
        setenv("HOME", home_.c_str(), 1);
        unsetenv("XDG_DOCUMENTS_DIR");
        setenv("PAPERSIZE", "a4", 1);
        InstallPrinters();
        SetCupsSubmitter([](const CupsJob& job) {
            std::vector<std::string> argv = {
                "lp", "-d", job.printer, "-t", job.title, "-n", std::to_string(job.copies)};
            if (job.collate) argv.insert(argv.end(), {"-o", "collate=true"});
            argv.insert(argv.end(), {"--", job.file});
            return RunProgram(argv) == 0;
        });
    }
    ~FakeCups() {
        SetCupsSubmitter(nullptr);
        setenv("PATH", oldPath_.c_str(), 1);
        setenv("HOME", oldHome_.c_str(), 1);
        unsetenv("PAPERSIZE");
        if (oldTmp_.empty())
            unsetenv("TMPDIR");
        else
            setenv("TMPDIR", oldTmp_.c_str(), 1);
        std::string cmd = "rm -rf '" + dir_ + "' '" + home_ + "'";
        if (std::system(cmd.c_str()) != 0) {
        }
    }
    // Only "PDF file" is left: the CUPS tools are gone.
    void RemoveCups() { setenv("PATH", (home_ + "/nothing").c_str(), 1); }
    void SetLpExit(int code) { std::ofstream(dir_ + "/lp.exit") << code; }
    const std::string& Dir() const { return dir_; }
    const std::string& Home() const { return home_; }
    const std::string& OldPath() const { return oldPath_; }
    // The temporary folder, where CUPS jobs wait for lp.
    std::string Spool() const { return dir_ + "/spool"; }
    size_t SpoolFiles() const {
        size_t n = 0;
        if (DIR* d = opendir(Spool().c_str())) {
            while (dirent* e = readdir(d))
                n += e->d_name[0] != '.';
            closedir(d);
        }
        return n;
    }

private:
    std::string dir_, home_, oldPath_, oldHome_, oldTmp_;
};

// Pages and page size (points) of a PDF: by pdfinfo when it is there, else from the file's page objects
// (written uncompressed); false when neither tells.
inline bool PdfPages(const std::string& path, const std::string& searchPath, int* pages, double* width,
                     double* height) {
    std::string out;
    std::string saved = std::getenv("PATH") ? std::getenv("PATH") : "";
    setenv("PATH", searchPath.c_str(), 1);
    int rc = RunProgram({"pdfinfo", path}, &out);
    setenv("PATH", saved.c_str(), 1);
    *pages = 0;
    *width = *height = 0;
    if (rc == 0) {
        std::istringstream in(out);
        std::string line;
        while (std::getline(in, line)) {
            if (line.rfind("Pages:", 0) == 0) *pages = std::atoi(line.c_str() + 6);
            if (line.rfind("Page size:", 0) == 0) std::sscanf(line.c_str() + 10, "%lf x %lf", width, height);
        }
        return *pages > 0;
    }
    std::string pdf = ReadFile(path);
    for (size_t at = pdf.find("/Type /Page"); at != std::string::npos; at = pdf.find("/Type /Page", at + 1))
        if (pdf.compare(at + 11, 1, "s") != 0) ++*pages;
    size_t box = pdf.find("/MediaBox [");
    if (box != std::string::npos) {
        double x0 = 0, y0 = 0;
        std::sscanf(pdf.c_str() + box + 11, "%lf %lf %lf %lf", &x0, &y0, width, height);
    }
    return *pages > 0 && *width > 0;
}

}  // namespace qsm::print::testing

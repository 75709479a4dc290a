// Printers, their DCs and the hand-over of finished jobs.
#include "platform/print/printers.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cups/cups.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <sstream>

#include "platform/gdi/gdi.h"
#include "platform/gdi/gdi_surface.h"

extern char** environ;

namespace qsm::print {
namespace {

bool IsDirectory(const std::string& path) {
    struct stat st {};
    return !path.empty() && stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool Exists(const std::string& path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0;
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> out;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        while (!line.empty() && (line.back() == '\r' || line.back() == ' ' || line.back() == '\t'))
            line.pop_back();
        if (!line.empty()) out.push_back(line);
    }
    return out;
}

std::vector<std::string> Words(const std::string& text) {
    std::vector<std::string> out;
    std::istringstream in(text);
    std::string w;
    while (in >> w)
        out.push_back(w);
    return out;
}

short PaperByName(std::string name) {
    std::transform(name.begin(), name.end(), name.begin(), [](unsigned char c) { return std::tolower(c); });
    for (const PaperSize& p : Papers()) {
        std::string n = p.name;
        std::transform(n.begin(), n.end(), n.begin(), [](unsigned char c) { return std::tolower(c); });
        if (n == name) return p.id;
    }
    return 0;
}

// The paper of the system: $PAPERSIZE or /etc/papersize, else A4.
short SystemPaper() {
    std::string name;
    if (const char* env = std::getenv("PAPERSIZE")) name = env;
    if (name.empty()) {
        std::ifstream f("/etc/papersize");
        std::getline(f, name);
    }
    short id = PaperByName(Words(name).empty() ? "" : Words(name)[0]);
    return id ? id : static_cast<short>(DMPAPER_A4);
}

// The default choice (marked '*') of an option in `lpoptions -l` output.
std::string DefaultChoice(const std::vector<std::string>& lines, const char* option) {
    size_t n = std::strlen(option);
    for (const std::string& line : lines) {
        if (line.compare(0, n, option) != 0 || (line.size() > n && line[n] != '/' && line[n] != ':'))
            continue;
        size_t colon = line.find(':');
        if (colon == std::string::npos) continue;
        for (const std::string& w : Words(line.substr(colon + 1)))
            if (w.size() > 1 && w[0] == '*') return w.substr(1);
    }
    return {};
}

void CupsDetails(PrinterInfo& p) {
    std::string out;
    if (RunProgram({"lpoptions", "-p", p.name, "-l"}, &out) != 0) return;
    std::vector<std::string> lines = Lines(out);
    if (short id = PaperByName(DefaultChoice(lines, "PageSize"))) p.paper = id;
    std::string res = DefaultChoice(lines, "Resolution");
    int dpi = std::atoi(res.c_str());  // "600dpi" or "600x600dpi"
    if (dpi >= 72 && dpi <= 2400) p.dpi = dpi;
}

std::string SafeFileName(const char* docName) {
    std::string name = docName ? docName : "";
    for (char& c : name)
        if (c == '/' || static_cast<unsigned char>(c) < 0x20) c = '_';
    if (name.size() > 200) name.resize(200);
    if (name.empty() || name == "." || name == "..") name = "Untitled";
    return name;
}

std::string DocumentsFolder(const std::string& output) {
    if (IsDirectory(output)) return output;
    if (const char* d = std::getenv("XDG_DOCUMENTS_DIR"); d && IsDirectory(d)) return d;
    std::string home = std::getenv("HOME") ? std::getenv("HOME") : "";
    if (IsDirectory(home + "/Documents")) return home + "/Documents";
    if (IsDirectory(home)) return home;
    return ".";
}

std::string UniquePath(const std::string& folder, const std::string& name) {
    std::string path = folder + "/" + name + ".pdf";
    for (int n = 2; Exists(path) && n < 10000; ++n)
        path = folder + "/" + name + " (" + std::to_string(n) + ").pdf";
    return path;
}

CupsSubmitter& Submitter() {
    static CupsSubmitter submitter;
    return submitter;
}

struct Job {
    PrinterInfo printer;
    std::string output;  // the DC's output name
    int copies = 1;
    bool collate = false;
    std::string title;
};

HDC MakePrinterDC(LPCSTR driver, LPCSTR device, LPCSTR output, const void* devmode, bool infoOnly) {
    (void)infoOnly;
    if (driver && *driver && strcasecmp(driver, kDriverName) != 0) return nullptr;
    std::string name = device && *device ? device : DefaultPrinterName();
    PrinterInfo p;
    if (!FindPrinter(name, &p)) return nullptr;
    DEVMODEA dm = DefaultDevMode(p);
    if (const auto* in = static_cast<const DEVMODEA*>(devmode)) {
        if ((in->dmFields & DM_PAPERSIZE) && FindPaper(in->dmPaperSize)) dm.dmPaperSize = in->dmPaperSize;
        if ((in->dmFields & DM_ORIENTATION) &&
            (in->dmOrientation == DMORIENT_PORTRAIT || in->dmOrientation == DMORIENT_LANDSCAPE))
            dm.dmOrientation = in->dmOrientation;
        if ((in->dmFields & DM_COPIES) && in->dmCopies > 0) dm.dmCopies = in->dmCopies;
        if ((in->dmFields & DM_PRINTQUALITY) && in->dmPrintQuality >= 72 && in->dmPrintQuality <= 2400)
            dm.dmPrintQuality = in->dmPrintQuality;
        if (in->dmFields & DM_COLLATE) dm.dmCollate = in->dmCollate;
    }
    const PaperSize* paper = FindPaper(dm.dmPaperSize);
    double w = paper->widthPt, h = paper->heightPt;
    if (dm.dmOrientation == DMORIENT_LANDSCAPE) std::swap(w, h);
    int dpi = dm.dmPrintQuality;
    HDC hdc = gdi::CreatePdfDC(nullptr, w, h, dpi);
    if (!hdc) return nullptr;
    int pw = GetDeviceCaps(hdc, PHYSICALWIDTH), ph = GetDeviceCaps(hdc, PHYSICALHEIGHT);
    int m = static_cast<int>(std::lround(p.marginInch * dpi));
    if (m > 0) gdi::SetPrinterArea(hdc, {m, m, pw - 2 * m, ph - 2 * m});

    auto job = std::make_shared<Job>();
    job->printer = p;
    job->output = output ? output : "";
    job->copies = dm.dmCopies;
    job->collate = dm.dmCollate == DMCOLLATE_TRUE;
    gdi::PrinterJobHooks hooks;
    hooks.outputPath = [job](const DOCINFOA* info) -> std::string {
        job->title = info && info->lpszDocName ? info->lpszDocName : "";
        if (job->printer.isPdf) {
            if (info && info->lpszOutput && *info->lpszOutput) return info->lpszOutput;
            return UniquePath(DocumentsFolder(job->output), SafeFileName(info ? info->lpszDocName : nullptr));
        }
        const char* tmp = std::getenv("TMPDIR");
        std::string path = std::string(tmp && IsDirectory(tmp) ? tmp : "/tmp") + "/qsm-print-XXXXXX.pdf";
        int fd = mkstemps(path.data(), 4);
        if (fd < 0) return {};
        close(fd);
        return path;
    };
    hooks.finished = [job](const std::string& path) {
        if (job->printer.isPdf) return true;
        CupsJob j{job->printer.name, path, job->title.empty() ? "Untitled" : job->title, job->copies,
                  job->copies > 1 && job->collate};
        bool ok = Submitter() ? Submitter()(j) : SubmitToCups(j);
        std::remove(path.c_str());
        return ok;
    };
    gdi::SetPrinterJobHooks(hdc, std::move(hooks));
    return hdc;
}

}  // namespace

const std::vector<PaperSize>& Papers() {
    static const std::vector<PaperSize> papers = {
        {DMPAPER_LETTER, "Letter", 612, 792},   {DMPAPER_LEGAL, "Legal", 612, 1008},
        {DMPAPER_A4, "A4", 595.2756, 841.8898}, {DMPAPER_A3, "A3", 841.8898, 1190.5512},
        {DMPAPER_A5, "A5", 419.5276, 595.2756},
    };
    return papers;
}

const PaperSize* FindPaper(short id) {
    for (const PaperSize& p : Papers())
        if (p.id == id) return &p;
    return nullptr;
}

std::vector<PrinterInfo> ListPrinters() {
    std::vector<PrinterInfo> out;
    PrinterInfo pdf;
    pdf.name = kPdfPrinterName;
    pdf.isPdf = true;
    pdf.paper = SystemPaper();
    out.push_back(pdf);
    std::string text;
    if (RunProgram({"lpstat", "-e"}, &text) == 0) {
        std::string def;
        std::string d;
        if (RunProgram({"lpstat", "-d"}, &d) == 0) {
            size_t colon = d.find(':');
            std::vector<std::string> w = Words(colon == std::string::npos ? "" : d.substr(colon + 1));
            if (!w.empty()) def = w[0];
        }
        for (const std::string& line : Lines(text)) {
            std::vector<std::string> w = Words(line);
            if (w.empty() || w[0] == kPdfPrinterName) continue;
            PrinterInfo p;
            p.name = w[0];
            p.paper = pdf.paper;
            p.marginInch = 1.0 / 6;
            p.isDefault = p.name == def;
            CupsDetails(p);
            out.push_back(p);
        }
    }
    bool any = std::any_of(out.begin(), out.end(), [](const PrinterInfo& p) { return p.isDefault; });
    if (!any) out[0].isDefault = true;
    return out;
}

bool FindPrinter(const std::string& name, PrinterInfo* out) {
    for (PrinterInfo& p : ListPrinters())
        if (p.name == name) {
            if (out) *out = p;
            return true;
        }
    return false;
}

std::string DefaultPrinterName() {
    for (const PrinterInfo& p : ListPrinters())
        if (p.isDefault) return p.name;
    return kPdfPrinterName;
}

DEVMODEA DefaultDevMode(const PrinterInfo& printer) {
    DEVMODEA dm{};
    size_t n = std::min(printer.name.size(), sizeof dm.dmDeviceName - 1);
    std::memcpy(dm.dmDeviceName, printer.name.data(), n);
    dm.dmSpecVersion = DM_SPECVERSION;
    dm.dmSize = sizeof(DEVMODEA);
    dm.dmFields = DM_ORIENTATION | DM_PAPERSIZE | DM_COPIES | DM_PRINTQUALITY | DM_COLLATE;
    dm.dmOrientation = DMORIENT_PORTRAIT;
    dm.dmPaperSize = printer.paper;
    dm.dmCopies = 1;
    dm.dmPrintQuality = static_cast<short>(printer.dpi);
    dm.dmCollate = DMCOLLATE_FALSE;
    return dm;
}

void InstallPrinters() {
    gdi::SetPrinterDCFactory(MakePrinterDC);
}

void SetCupsSubmitter(CupsSubmitter submitter) {
    Submitter() = std::move(submitter);
}

bool SubmitToCups(const CupsJob& job) {
    // Forget the server of an earlier job, so that a changed CUPS_SERVER is read again. A server that
    // asks for a password gets none: there is no terminal to ask on.
    cupsSetServer(nullptr);
    cupsSetPasswordCB2(
        [](const char*, http_t*, const char*, const char*, void*) -> const char* { return nullptr; },
        nullptr);
    cups_option_t* options = nullptr;
    int n = cupsAddOption("copies", std::to_string(std::max(job.copies, 1)).c_str(), 0, &options);
    if (job.collate) n = cupsAddOption("collate", "true", n, &options);
    http_t* http =
        httpConnect2(cupsServer(), ippPort(), nullptr, AF_UNSPEC, cupsEncryption(), 1, 30000, nullptr);
    bool ok = false;
    if (http) {
        int id = cupsCreateJob(http, job.printer.c_str(), job.title.c_str(), n, options);
        if (id > 0) {
            ok = cupsStartDocument(http, job.printer.c_str(), id, job.file.c_str(), CUPS_FORMAT_PDF, 1) ==
                 HTTP_STATUS_CONTINUE;
            if (ok) {
                std::ifstream in(job.file, std::ios::binary);
                char buf[65536];
                while (ok && in) {
                    in.read(buf, sizeof buf);
                    std::streamsize got = in.gcount();
                    if (got > 0)
                        ok =
                            cupsWriteRequestData(http, buf, static_cast<size_t>(got)) == HTTP_STATUS_CONTINUE;
                }
                ok = ok && in.eof();
                // Finishing the document also ends a broken transfer; the server's answer decides.
                ok = cupsFinishDocument(http, job.printer.c_str()) < IPP_STATUS_REDIRECTION_OTHER_SITE && ok;
            }
            if (!ok) cupsCancelJob2(http, job.printer.c_str(), id, 0);
        }
        httpClose(http);
    }
    cupsFreeOptions(n, options);
    return ok;
}

int RunProgram(const std::vector<std::string>& argv, std::string* output) {
    if (argv.empty()) return -1;
    int pipefd[2];
    if (pipe2(pipefd, O_CLOEXEC) != 0) return -1;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, pipefd[1], 1);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    std::vector<char*> args;
    for (const std::string& a : argv)
        args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    pid_t pid = 0;
    int rc = posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(pipefd[1]);
    if (rc != 0) {
        close(pipefd[0]);
        return -1;
    }
    char buf[4096];
    ssize_t got;
    while ((got = read(pipefd[0], buf, sizeof buf)) > 0 || (got < 0 && errno == EINTR))
        if (got > 0 && output) output->append(buf, static_cast<size_t>(got));
    close(pipefd[0]);
    int status = 0;
    while (waitpid(pid, &status, 0) < 0)
        if (errno != EINTR) return -1;
    // A program that could not be found exits 127 from the spawned child.
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace qsm::print

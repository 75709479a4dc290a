// Printers, their DCs and the hand-over of finished jobs.
#include "platform/print/printers.h"
#include "platform/kernel/process_env.h"

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
#include <mutex>
#include <sstream>
#include <system_error>
#include <thread>

#include "platform/gdi/gdi.h"
#include "platform/gdi/gdi_surface.h"
#include "platform/kernel/lazy_library.h"

namespace qsm::print {
namespace {

// The CUPS library and the network and security libraries it pulls in are loaded for the first job that
// goes to a CUPS printer.
#define QSM_CUPS_FUNCTIONS(X) \
    X(cupsAddOption)          \
    X(cupsCancelJob2)         \
    X(cupsCreateJob)          \
    X(cupsEncryption)         \
    X(cupsFinishDocument)     \
    X(cupsFreeOptions)        \
    X(cupsServer)             \
    X(cupsSetPasswordCB2)     \
    X(cupsSetServer)          \
    X(cupsStartDocument)      \
    X(cupsWriteRequestData)   \
    X(httpClose)              \
    X(httpConnect2)           \
    X(ippPort)
QSM_LAZY_LIBRARY(CupsApi, "libcups.so.2", QSM_CUPS_FUNCTIONS)

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

// "PDF file" is always there and is never a CUPS destination: its entry needs no look at CUPS.
PrinterInfo PdfPrinter() {
    PrinterInfo pdf;
    pdf.name = kPdfPrinterName;
    pdf.isPdf = true;
    pdf.paper = SystemPaper();
    return pdf;
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
    PrinterInfo p;
    if (device && strcmp(device, kPdfPrinterName) == 0) {
        // Always there and never a CUPS destination: no need to ask CUPS (whether it is the default does
        // not matter to its DC).
        p = PdfPrinter();
    } else if (device && *device) {
        if (!FindPrinter(device, &p)) return nullptr;
    } else {
        // One look at the printers answers both which is the default and what it is.
        std::vector<PrinterInfo> list = ListPrinters();
        p = list[DefaultPrinterIndex(list)];
    }
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

namespace {

// The look that StartPrinterLookup starts, kept for the first ListPrinters.
struct EarlyLookup {
    std::mutex mutex;
    std::thread thread;
    bool started = false;
    bool taken = false;
    std::vector<PrinterInfo> list;
    // A process that ends before it asks lets the look finish rather than end under it.
    ~EarlyLookup() {
        std::lock_guard lock(mutex);
        if (thread.joinable()) thread.join();
    }
};
EarlyLookup g_early;

std::vector<PrinterInfo> LookAtPrinters();

}  // namespace

void StartPrinterLookup() {
    std::lock_guard lock(g_early.mutex);
    if (g_early.started) return;
    // Without a thread to be had (std::system_error), the first ListPrinters looks itself.
    try {
        g_early.thread = std::thread([] { g_early.list = LookAtPrinters(); });
        g_early.started = true;
    } catch (const std::system_error&) {
    }
}

std::vector<PrinterInfo> ListPrinters() {
    {
        std::lock_guard lock(g_early.mutex);
        if (g_early.started && !g_early.taken) {
            g_early.taken = true;
            g_early.thread.join();
            return std::move(g_early.list);
        }
    }
    return LookAtPrinters();
}

namespace {

std::vector<PrinterInfo> LookAtPrinters() {
    std::vector<PrinterInfo> out;
    PrinterInfo pdf = PdfPrinter();
    out.push_back(pdf);
    std::string text;
    if (RunProgram({"lpstat", "-e"}, &text) == 0) {
        std::string def;
        std::string d;
        // The default only matters when there are destinations to be the default.
        if (!Lines(text).empty() && RunProgram({"lpstat", "-d"}, &d) == 0) {
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

}  // namespace

bool FindPrinter(const std::string& name, PrinterInfo* out) {
    for (PrinterInfo& p : ListPrinters())
        if (p.name == name) {
            if (out) *out = p;
            return true;
        }
    return false;
}

size_t DefaultPrinterIndex(const std::vector<PrinterInfo>& printers) {
    for (size_t i = 0; i < printers.size(); ++i)
        if (printers[i].isDefault) return i;
    return 0;
}

std::string DefaultPrinterName() {
    std::vector<PrinterInfo> list = ListPrinters();
    return list[DefaultPrinterIndex(list)].name;
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
    const CupsApi* cups = CupsApi::Get();
    if (cups == nullptr) return false;  // no CUPS library: no server can take the job
    // Forget the server of an earlier job, so that a changed CUPS_SERVER is read again. A server that
    // asks for a password gets none: there is no terminal to ask on.
    cups->cupsSetServer(nullptr);
    cups->cupsSetPasswordCB2(
        [](const char*, http_t*, const char*, const char*, void*) -> const char* { return nullptr; },
        nullptr);
    cups_option_t* options = nullptr;
    int n = cups->cupsAddOption("copies", std::to_string(std::max(job.copies, 1)).c_str(), 0, &options);
    if (job.collate) n = cups->cupsAddOption("collate", "true", n, &options);
    http_t* http = cups->httpConnect2(cups->cupsServer(), cups->ippPort(), nullptr, AF_UNSPEC,
                                      cups->cupsEncryption(), 1, 30000, nullptr);
    bool ok = false;
    if (http) {
        int id = cups->cupsCreateJob(http, job.printer.c_str(), job.title.c_str(), n, options);
        if (id > 0) {
            ok = cups->cupsStartDocument(http, job.printer.c_str(), id, job.file.c_str(), CUPS_FORMAT_PDF,
                                         1) == HTTP_STATUS_CONTINUE;
            if (ok) {
                std::ifstream in(job.file, std::ios::binary);
                char buf[65536];
                while (ok && in) {
                    in.read(buf, sizeof buf);
                    std::streamsize got = in.gcount();
                    if (got > 0)
                        ok = cups->cupsWriteRequestData(http, buf, static_cast<size_t>(got)) ==
                             HTTP_STATUS_CONTINUE;
                }
                ok = ok && in.eof();
                // Finishing the document also ends a broken transfer; the server's answer decides.
                ok =
                    cups->cupsFinishDocument(http, job.printer.c_str()) < IPP_STATUS_REDIRECTION_OTHER_SITE &&
                    ok;
            }
            if (!ok) cups->cupsCancelJob2(http, job.printer.c_str(), id, 0);
        }
        cups->httpClose(http);
    }
    cups->cupsFreeOptions(n, options);
    return ok;
}

namespace {

// The executable file `name` names, searched on PATH as posix_spawnp does; empty when there is none. Looked
// up here, so that a program that is not installed costs no new process.
std::string FindProgram(const std::string& name) {
    auto runnable = [](const std::string& path) {
        struct stat st {};
        return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && access(path.c_str(), X_OK) == 0;
    };
    if (name.find('/') != std::string::npos) return runnable(name) ? name : std::string();
    const char* env = std::getenv("PATH");
    std::string path = env ? env : "/bin:/usr/bin";
    for (size_t start = 0; start <= path.size();) {
        size_t end = path.find(':', start);
        if (end == std::string::npos) end = path.size();
        std::string dir = path.substr(start, end - start);
        std::string file = (dir.empty() ? "." : dir) + "/" + name;
        if (runnable(file)) return file;
        start = end + 1;
    }
    return {};
}

}  // namespace

int RunProgram(const std::vector<std::string>& argv, std::string* output) {
    if (argv.empty()) return -1;
    std::string program = FindProgram(argv[0]);
    if (program.empty()) return -1;
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
    int rc = posix_spawn(&pid, program.c_str(), &actions, nullptr, args.data(), qsm::ProcessEnvironment());
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

// The PDF file: objects written as they are complete, pages as deflated content streams, fonts and the
// shared resources at the end, then the cross-reference table.
#include "platform/gdi/pdf_writer.h"

#include <zlib.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <condition_variable>
#include <cstring>
#include <functional>
#include <mutex>
#include <new>
#include <system_error>
#include <thread>
#include <utility>

namespace qsm::gdi {

namespace {

// Deflate level of the streams: the fast end of zlib's range, which keeps most of the gain in size.
constexpr int kDeflateLevel = 5;
// Type 3 fonts address their glyphs by one-byte codes.
constexpr size_t kCodesPerFont = 256;
// Pages whose content may be waiting for its deflating at once: each takes a thread while the caller draws
// the next page, which takes longer than deflating one.
constexpr size_t kPagesInFlight = 3;

std::string Deflate(const std::string& data) {
    // Made before the stream, so that running out of memory here leaves nothing to end.
    std::string out(compressBound(static_cast<uLong>(data.size())), '\0');
    z_stream z{};
    if (deflateInit(&z, kDeflateLevel) != Z_OK) return {};
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
    z.avail_in = static_cast<uInt>(data.size());
    z.next_out = reinterpret_cast<Bytef*>(out.data());
    z.avail_out = static_cast<uInt>(out.size());
    int rc = deflate(&z, Z_FINISH);
    out.resize(z.total_out);
    deflateEnd(&z);
    return rc == Z_STREAM_END ? out : std::string();
}

// Threads that deflate pages. A thread is joined once it has finished: when the next one starts, or when the
// process ends.
class DeflateThreads {
public:
    static DeflateThreads& Get() {
        static DeflateThreads threads;
        return threads;
    }
    ~DeflateThreads() {
        for (Entry& e : threads_) {
#if !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
            // A thread the system has not run yet finds its work taken by the writer when it does run: the
            // end of the process does not wait for it to be scheduled.
            if (!e.state->started.load(std::memory_order_acquire)) {
                e.thread.detach();
                continue;
            }
#endif
            // A page still being drawn when the process ends has a thread waiting for more of it.
            if (e.release) e.release();
            e.thread.join();
        }
    }
    // Runs `work` on a thread of its own; false when no thread can be had. The work must do nothing but give
    // up when the writer has taken it already. Work that waits for more input is given `release`, which
    // ends the wait, for the end of the process.
    template <class Work>
    bool Start(Work work, std::function<void()> release = {}) {
        std::lock_guard lock(mutex_);
        std::erase_if(threads_, [](Entry& e) {
            if (!e.state->finished.load(std::memory_order_acquire)) return false;
            e.thread.join();
            return true;
        });
        try {
            auto state = std::make_shared<State>();
            // Room first: once the thread runs, keeping it cannot fail.
            threads_.reserve(threads_.size() + 1);
            std::thread t([work = std::move(work), state]() mutable {
                state->started.store(true, std::memory_order_release);
                work();
                state->finished.store(true, std::memory_order_release);
            });
            threads_.push_back({std::move(t), std::move(state), std::move(release)});
        } catch (const std::system_error&) {
            return false;
        } catch (const std::bad_alloc&) {
            return false;
        }
        return true;
    }

private:
    struct State {
        std::atomic<bool> started{false}, finished{false};
    };
    struct Entry {
        std::thread thread;
        std::shared_ptr<State> state;
        std::function<void()> release;
    };
    std::mutex mutex_;
    std::vector<Entry> threads_;
};

}  // namespace

// A page's content to deflate, taken by whichever comes first of its thread and the writer that needs the
// bytes: a writer that needs them before the thread has begun deflates them itself rather than wait for the
// thread to be scheduled. A page's thread may also begin while the page is drawn: it is fed the content as it
// grows and deflates it meanwhile, which gives the same bytes as deflating the whole content at once.
class PdfDeflateJob {
public:
    explicit PdfDeflateJob(std::string data) : data_(std::move(data)) {}
    // A page's content fed while it is drawn (Feed), until the page ends (EndInput).
    PdfDeflateJob() : streaming_(true) {}
    // A font program: the subset of the font of `tables` holding `glyphs`, made by the job. Both stay
    // unchanged until the job is done.
    PdfDeflateJob(const SfntTables* tables, const std::vector<unsigned>* glyphs)
        : tables_(tables), glyphs_(glyphs) {}
    // The content; a font program's only once the job is done (Take).
    const std::string& Data() const { return data_; }
    // The work of the job's thread: nothing when the writer has taken the job already.
    void Run() {
        if (claimed_.exchange(true, std::memory_order_acq_rel)) return;
        if (streaming_)
            RunFed();
        else
            Work();
    }
    // More of a fed page's content, following what was fed before.
    void Feed(const char* data, size_t size) {
        {
            std::lock_guard lock(mutex_);
            if (done_ || lost_) return;  // given up: the page is written as it is
            try {
                input_.append(data, size);
                fed_ += size;
            } catch (const std::bad_alloc&) {
                lost_ = true;  // a gap in what is deflated: its bytes are not used
            }
        }
        inputChanged_.notify_one();
    }
    // The whole content of a fed page, of which what was fed is the beginning: the rest is fed, and the
    // deflating ends. Also ends a thread waiting for a page that is given up (an empty `whole`).
    void EndInput(std::string whole) {
        {
            std::lock_guard lock(mutex_);
            try {
                if (!done_ && !lost_ && whole.size() > fed_) input_.append(whole, fed_);
            } catch (const std::bad_alloc&) {
                lost_ = true;
            }
            data_ = std::move(whole);
            ended_ = true;
        }
        inputChanged_.notify_one();
    }
    bool Done() {
        std::lock_guard lock(mutex_);
        return done_;
    }
    // True when a font program could not be made (out of memory); known once the job is done.
    bool Failed() {
        std::lock_guard lock(mutex_);
        return failed_;
    }
    // The deflated content, deflated here from the whole content when no thread has begun it.
    std::string Take() {
        if (!claimed_.exchange(true, std::memory_order_acq_rel)) Work();
        std::unique_lock lock(mutex_);
        doneChanged_.wait(lock, [&] { return done_; });
        return std::move(packed_);
    }

private:
    // Makes the font program if the job is one, and deflates the content at once.
    void Work() {
        // Out of memory on a page thread leaves the page unpacked (written as it is), never the writer
        // waiting for a page that no thread will finish.
        std::string packed;
        bool made = tables_ == nullptr;
        try {
            if (tables_) data_ = SubsetTrueType(*tables_, *glyphs_);
            made = true;
            packed = Deflate(data_);
        } catch (const std::bad_alloc&) {
            packed.clear();
        }
        Finish(std::move(packed), made);
    }
    // Deflates a fed page's content as it comes, until its end.
    void RunFed() {
        z_stream z{};
        if (deflateInit(&z, kDeflateLevel) != Z_OK) {
            Finish({}, true);
            return;
        }
        std::string out, chunk;
        bool ok = true;
        try {
            for (bool last = false; ok && !last;) {
                {
                    std::unique_lock lock(mutex_);
                    inputChanged_.wait(lock, [&] { return !input_.empty() || ended_; });
                    chunk.swap(input_);
                    input_.clear();
                    last = ended_;
                    ok = !lost_;
                }
                if (ok) ok = DeflateMore(z, chunk, last, out);
            }
        } catch (const std::bad_alloc&) {
            ok = false;
        }
        deflateEnd(&z);
        if (!ok) out.clear();
        Finish(std::move(out), true);
    }
    // Deflates `in` onto `out` (z.total_out bytes of it are made), to the end of the stream when `last`.
    static bool DeflateMore(z_stream& z, const std::string& in, bool last, std::string& out) {
        z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(in.data()));
        z.avail_in = static_cast<uInt>(in.size());
        for (;;) {
            const size_t made = z.total_out;
            const size_t need = made + deflateBound(&z, z.avail_in);
            if (out.size() < need) out.resize(std::max(need, out.size() * 2));
            z.next_out = reinterpret_cast<Bytef*>(out.data() + made);
            z.avail_out = static_cast<uInt>(out.size() - made);
            const int rc = deflate(&z, last ? Z_FINISH : Z_NO_FLUSH);
            if (rc == Z_STREAM_END) {
                out.resize(z.total_out);
                return true;
            }
            if (rc != Z_OK && rc != Z_BUF_ERROR) return false;
            if (!last && z.avail_in == 0 && z.avail_out != 0) return true;
        }
    }
    void Finish(std::string packed, bool made) {
        {
            std::lock_guard lock(mutex_);
            packed_ = std::move(packed);
            failed_ = !made;
            done_ = true;
            input_.clear();
            input_.shrink_to_fit();
        }
        doneChanged_.notify_all();
    }

    std::string data_;
    const SfntTables* tables_ = nullptr;
    const std::vector<unsigned>* glyphs_ = nullptr;
    const bool streaming_ = false;
    std::atomic<bool> claimed_{false};
    std::mutex mutex_;
    std::condition_variable doneChanged_, inputChanged_;
    bool done_ = false;
    bool failed_ = false;
    std::string packed_;
    std::string input_;  // fed and not yet deflated
    size_t fed_ = 0;
    bool ended_ = false;
    bool lost_ = false;  // some of the content could not be fed: the page is written as it is
};

namespace {

// Writes the decimal digits of u backwards, ending just before end; answers where they begin. Two digits a
// step: every number of every page goes through here.
char* DigitsBefore(char* end, unsigned long long u) {
    static const char kPairs[] =
        "0001020304050607080910111213141516171819202122232425262728293031323334353637383940414243444546474849"
        "505152535455565758596061626364656667686970717273747576777879808182838485868788899091929394959697989"
        "9";
    char* p = end;
    while (u >= 100) {
        const unsigned long long pair = u % 100;
        u /= 100;
        p -= 2;
        std::memcpy(p, kPairs + 2 * pair, 2);
    }
    if (u >= 10) {
        p -= 2;
        std::memcpy(p, kPairs + 2 * u, 2);
    } else {
        *--p = static_cast<char>('0' + u);
    }
    return p;
}

unsigned long long Magnitude(long long v) {
    return v < 0 ? 0ULL - static_cast<unsigned long long>(v) : static_cast<unsigned long long>(v);
}

void AppendInt(std::string& out, long long v) {
    char buf[24];
    char* end = buf + sizeof buf;
    char* p = DigitsBefore(end, Magnitude(v));
    if (v < 0) *--p = '-';
    out.append(p, static_cast<size_t>(end - p));
}

// Writes v hundredths as the page content writes a coordinate, and a space, at `out`; answers the end.
char* HundredthsAt(char* out, long long v) {
    // Written in place: the digits of the whole part are counted first.
    const unsigned long long u = Magnitude(v), whole = u / 100, frac = u % 100;
    if (v < 0) *out++ = '-';
    int digits = 1;
    for (unsigned long long w = whole; w >= 10; w /= 10)
        ++digits;
    out += digits;
    DigitsBefore(out, whole);
    if (frac) {
        *out++ = '.';
        *out++ = static_cast<char>('0' + frac / 10);
        if (frac % 10 != 0) *out++ = static_cast<char>('0' + frac % 10);
    }
    *out++ = ' ';
    return out;
}

// Appends a string literal.
template <size_t N>
void AppendLiteral(std::string& out, const char (&s)[N]) {
    out.append(s, N - 1);
}

// A reference to object `object`: "N 0 R".
void AppendRef(std::string& out, long long object) {
    AppendInt(out, object);
    out += " 0 R";
}

void AppendHexByte(std::string& out, unsigned v) {
    static const char kHex[] = "0123456789abcdef";
    out += kHex[(v >> 4) & 15];
    out += kHex[v & 15];
}

// Image pixels 0x00RRGGBB as the bytes of an RGB image stream.
std::string RgbBytes(int width, int height, const uint32_t* pixels) {
    std::string rgb(static_cast<size_t>(width) * height * 3, '\0');
    for (size_t i = 0, n = static_cast<size_t>(width) * height; i < n; ++i) {
        rgb[3 * i] = static_cast<char>((pixels[i] >> 16) & 0xFF);
        rgb[3 * i + 1] = static_cast<char>((pixels[i] >> 8) & 0xFF);
        rgb[3 * i + 2] = static_cast<char>(pixels[i] & 0xFF);
    }
    return rgb;
}

// A name token: characters other than printable ASCII and the delimiters are written as #xx.
std::string PdfName(const std::string& name) {
    std::string out;
    for (unsigned char c : name) {
        if (c > 32 && c < 127 && !std::strchr("#()<>[]{}/%", c)) {
            out += static_cast<char>(c);
        } else {
            out += '#';
            AppendHexByte(out, c);
        }
    }
    return out;
}

void AppendColor(std::string& out, PdfRgb c, const char* op) {
    AppendPdfNumber(out, c.r / 255.0, 3);
    out += ' ';
    AppendPdfNumber(out, c.g / 255.0, 3);
    out += ' ';
    AppendPdfNumber(out, c.b / 255.0, 3);
    out += ' ';
    out += op;
    out += '\n';
}

// The tables of the font that a subset is made from, when it is a font with TrueType outlines that may be
// embedded.
bool ReadTrueTypeTables(const PdfFontInfo& info, SfntTables* t) {
    auto read = [&](char a, char b, char c, char d, std::string* out) {
        return info.table(info.tableContext, SfntTag(a, b, c, d), out);
    };
    read('O', 'S', '/', '2', &t->os2);
    read('p', 'o', 's', 't', &t->post);
    t->glyfIn = info.glyf;
    return read('h', 'e', 'a', 'd', &t->head) && read('h', 'h', 'e', 'a', &t->hhea) &&
           read('m', 'a', 'x', 'p', &t->maxp) && read('h', 'm', 't', 'x', &t->hmtx) &&
           read('l', 'o', 'c', 'a', &t->loca) && (!t->glyfIn.empty() || read('g', 'l', 'y', 'f', &t->glyf)) &&
           CanEmbedTrueTypeSubset(*t);
}

}  // namespace

namespace {

// Writes v with at most `decimals` decimals, no trailing zeros and no exponent backwards, ending just
// before end; answers where it begins. This runs for every number of every page.
char* PdfNumberBefore(char* end, double v, int decimals) {
    static const long long kPow10[] = {1,      10,      100,      1000,      10000,
                                       100000, 1000000, 10000000, 100000000, 1000000000};
    decimals = decimals < 0 ? 0 : decimals > 9 ? 9 : decimals;
    const long long scale = kPow10[decimals];
    double s = std::isfinite(v) ? v * static_cast<double>(scale) : 0.0;
    // Beyond what a reader takes as a number anyway.
    constexpr double kLimit = 4e18;
    s = s > kLimit ? kLimit : s < -kLimit ? -kLimit : s;
    long long n = static_cast<long long>(s < 0 ? s - 0.5 : s + 0.5);
    char* p = end;
    bool negative = n < 0;
    unsigned long long u = Magnitude(n);
    unsigned long long whole, frac;
    if (decimals == 2) {
        // Coordinates, nearly every number: division by a constant is a multiplication.
        whole = u / 100;
        frac = u % 100;
        if (frac) {
            if (frac % 10 != 0) *--p = static_cast<char>('0' + frac % 10);
            *--p = static_cast<char>('0' + frac / 10);
            *--p = '.';
        }
    } else {
        whole = u / static_cast<unsigned long long>(scale);
        frac = u % static_cast<unsigned long long>(scale);
        if (frac) {
            int digits = decimals;
            while (frac % 10 == 0) {
                frac /= 10;
                --digits;
            }
            for (int i = 0; i < digits; ++i) {
                *--p = static_cast<char>('0' + frac % 10);
                frac /= 10;
            }
            *--p = '.';
        }
    }
    p = DigitsBefore(p, whole);
    if (negative && n != 0) *--p = '-';
    return p;
}

}  // namespace

void AppendPdfNumber(std::string& out, double v, int decimals) {
    char buf[32];
    char* end = buf + sizeof buf;
    char* p = PdfNumberBefore(end, v, decimals);
    out.append(p, static_cast<size_t>(end - p));
}

PdfWriter::~PdfWriter() {
    Abandon();
}

bool PdfWriter::Open(const std::string& path, double widthPt, double heightPt, double unit) {
    Abandon();
    file_ = std::fopen(path.c_str(), "wb");
    if (!file_) return false;
    width_ = widthPt;
    height_ = heightPt;
    unit_ = unit > 0 ? unit : 1;
    failed_ = false;
    offset_ = 0;
    offsets_.clear();
    Write("%PDF-1.4\n%\xE2\xE3\xCF\xD3\n");
    // Catalog 1, page tree 2, resources 3: the last two are written at the end.
    int catalog = NewObject();
    pagesObject_ = NewObject();
    resourcesObject_ = NewObject();
    BeginObject(catalog);
    Write("<</Type/Catalog/Pages 2 0 R>>\nendobj\n");
    return !failed_;
}

void PdfWriter::Abandon() {
    // A page's thread waiting for more of it ends; the page is gone with the file.
    if (pageJob_) pageJob_->EndInput({});
    pageJob_.reset();
    inPage_ = false;
    content_.clear();
    path_.clear();
    pageFed_ = 0;
    pageUnthreaded_ = false;
    queued_.clear();
    if (file_) std::fclose(file_);
    file_ = nullptr;
}

int PdfWriter::NewObject() {
    offsets_.push_back(0);
    return static_cast<int>(offsets_.size());
}

void PdfWriter::BeginObject(int id) {
    if (Queueing())
        queued_.back().objects.emplace_back(id, queued_.back().after.size());
    else
        offsets_[static_cast<size_t>(id - 1)] = offset_;
    std::string s;
    AppendInt(s, id);
    s += " 0 obj\n";
    Write(s);
}

void PdfWriter::Write(const char* data, size_t size) {
    if (!file_ || failed_) return;
    if (Queueing()) {
        queued_.back().after.append(data, size);
        return;
    }
    if (std::fwrite(data, 1, size, file_) != size) failed_ = true;
    offset_ += size;
}

void PdfWriter::WriteStream(int id, const std::string& dict, const std::string& data, bool compress) {
    WritePacked(id, dict, data, compress ? Deflate(data) : std::string());
}

void PdfWriter::WritePacked(int id, const std::string& dict, const std::string& data,
                            const std::string& packed) {
    // Small streams may not gain as much as the filter's name costs.
    constexpr size_t kFilterName = 19;
    bool packs = !packed.empty() && packed.size() + kFilterName < data.size();
    const std::string& body = packs ? packed : data;
    BeginObject(id);
    std::string head = "<<" + dict;
    if (packs) head += "/Filter/FlateDecode";
    head += "/Length ";
    AppendInt(head, static_cast<long long>(body.size()));
    head += ">>\nstream\n";
    Write(head);
    Write(body);
    Write("\nendstream\nendobj\n");
}

void PdfWriter::QueuePageStream(int id, std::shared_ptr<PdfDeflateJob> job, bool threaded) {
    QueuedStream& q = queued_.emplace_back();
    q.id = id;
    q.job = std::move(job);
    q.threaded = threaded;
}

void PdfWriter::FeedPageJob() {
    if (!pageJob_) {
        if (pageUnthreaded_) return;
        auto job = std::make_shared<PdfDeflateJob>();
        // The end of the process ends a wait for more of the page; it does not keep the page's content.
        std::weak_ptr<PdfDeflateJob> waiting = job;
        auto release = [waiting] {
            if (auto j = waiting.lock()) j->EndInput({});
        };
        // Without a thread the page is deflated when it ends, as a short page is.
        if (!DeflateThreads::Get().Start([job] { job->Run(); }, release)) {
            pageUnthreaded_ = true;
            return;
        }
        pageJob_ = std::move(job);
    }
    pageJob_->Feed(content_.data() + pageFed_, content_.size() - pageFed_);
    pageFed_ = content_.size();
}

void PdfWriter::StartDeflateThreads() {
    for (QueuedStream& q : queued_) {
        if (q.threaded) continue;
        q.threaded = true;
        // Without a thread to be had the page is deflated when it is written.
        DeflateThreads::Get().Start([job = q.job] { job->Run(); });
    }
}

void PdfWriter::WriteQueued(size_t keep) {
    draining_ = true;
    while (!queued_.empty()) {
        QueuedStream& q = queued_.front();
        if (queued_.size() <= keep && !q.job->Done()) break;
        WritePacked(q.id, "", q.job->Data(), q.job->Take());
        for (const auto& [id, at] : q.objects)
            offsets_[static_cast<size_t>(id - 1)] = offset_ + at;
        Write(q.after);
        queued_.pop_front();
    }
    draining_ = false;
}

void PdfWriter::BeginPage() {
    if (inPage_) EndPage();
    inPage_ = true;
    content_.clear();
    pageFed_ = 0;
    pageUnthreaded_ = false;
    // Pages of a score are much alike: room for one like the last, not grown bit by bit.
    content_.reserve(lastContentSize_ + lastContentSize_ / 8);
    // The page's coordinates run from its top-left corner downwards; everything else is within one save,
    // which a change of clip restores and saves again.
    AppendPdfNumber(content_, unit_, 6);
    content_ += " 0 0 ";
    AppendPdfNumber(content_, -unit_, 6);
    content_ += " 0 ";
    AppendPdfNumber(content_, height_, 4);
    content_ += " cm\nq\n";
    clip_.clear();
    ResetState();
}

void PdfWriter::ResetState() {
    fillSet_ = strokeSet_ = styleSet_ = false;
    inText_ = false;
    textFont_ = nullptr;
}

bool PdfWriter::EndPage() {
    if (!inPage_) return !failed_;
    FlushPath();
    EndText();
    content_ += "Q\n";
    inPage_ = false;
    int contents = NewObject();
    // Deflated beside what follows: the next page, or the end of the file.
    lastContentSize_ = content_.size();
    if (pageJob_) {
        // Its thread has deflated most of it already.
        pageJob_->EndInput(std::move(content_));
        QueuePageStream(contents, std::move(pageJob_), true);
    } else {
        QueuePageStream(contents, std::make_shared<PdfDeflateJob>(std::move(content_)), false);
    }
    StartDeflateThreads();
    int page = NewObject();
    BeginObject(page);
    std::string s = "<</Type/Page/Parent 2 0 R/Contents ";
    AppendRef(s, contents);
    s += ">>\nendobj\n";
    Write(s);
    pages_.push_back(page);
    content_.clear();
    WriteQueued(kPagesInFlight);
    if (file_ && !failed_ && std::ferror(file_)) failed_ = true;
    return !failed_;
}

bool PdfWriter::Finish() {
    if (!file_) return false;
    if (inPage_) EndPage();
    // The last page's deflating and the font programs, cut and deflated, go to threads of their own, while
    // the writer makes the first program, then takes on each of the rest that no thread has begun, then the
    // last page if its thread has not begun either: it waits only for work under way.
    std::vector<std::shared_ptr<PdfDeflateJob>> programs(subFonts_.size());
    // The programs' jobs read the writer's font tables: none is left running when this ends, even by an
    // exception.
    struct WaitForPrograms {
        std::vector<std::shared_ptr<PdfDeflateJob>>& jobs;
        ~WaitForPrograms() {
            for (const auto& job : jobs)
                if (job) job->Take();
        }
    } waitForPrograms{programs};
    bool first = true;
    for (size_t i = 0; i < subFonts_.size(); ++i) {
        const Font& font = fonts_.at(subFonts_[i].key);
        if (!font.trueType) continue;
        programs[i] = std::make_shared<PdfDeflateJob>(&font.tables, &subFonts_[i].glyphs);
        if (!first) DeflateThreads::Get().Start([job = programs[i]] { job->Run(); });
        first = false;
    }
    StartDeflateThreads();
    for (const auto& job : programs)
        if (job) job->Run();
    WriteQueued(0);
    // Fonts: one font per 256 glyphs of a face, in the order first shown (the same file for the same
    // drawing, wherever the faces are in memory).
    for (size_t i = 0; i < subFonts_.size(); ++i) {
        const SubFont& sf = subFonts_[i];
        const Font& font = fonts_.at(sf.key);
        if (font.trueType) {
            FontProgram program;
            program.packed = programs[i]->Take();
            program.data = programs[i]->Data();
            // A file without the font it shows is not written well.
            if (programs[i]->Failed()) failed_ = true;
            WriteTrueTypeFont(font, sf, program);
        } else
            WriteType3Font(font, sf);
    }
    // Resources shared by every page.
    BeginObject(resourcesObject_);
    std::string r = "<<";
    if (!subFonts_.empty()) {
        r += "/Font<<";
        for (const SubFont& sf : subFonts_) {
            r += "/" + sf.name + " ";
            AppendRef(r, sf.object);
        }
        r += ">>";
    }
    auto named = [&](const char* kind, const std::vector<std::pair<std::string, int>>& list) {
        if (list.empty()) return;
        r += kind;
        r += "<<";
        for (const auto& [name, obj] : list) {
            r += "/" + name + " ";
            AppendRef(r, obj);
        }
        r += ">>";
    };
    named("/XObject", xobjects_);
    named("/Pattern", patterns_);
    r += ">>\nendobj\n";
    Write(r);
    // The page tree.
    BeginObject(pagesObject_);
    std::string p = "<</Type/Pages/Kids[";
    for (size_t i = 0; i < pages_.size(); ++i) {
        if (i) p += ' ';
        AppendRef(p, pages_[i]);
    }
    p += "]/Count ";
    AppendInt(p, static_cast<long long>(pages_.size()));
    p += "/MediaBox[0 0 ";
    AppendPdfNumber(p, width_);
    p += ' ';
    AppendPdfNumber(p, height_);
    p += "]/Resources 3 0 R>>\nendobj\n";
    Write(p);
    // The document's title, as UTF-16 text.
    int info = NewObject();
    BeginObject(info);
    std::string t = "<<";
    if (!title_.empty()) {
        t += "/Title<feff";
        for (char16_t c : title_) {
            AppendHexByte(t, c >> 8);
            AppendHexByte(t, c & 0xFF);
        }
        t += ">";
    }
    t += ">>\nendobj\n";
    Write(t);
    // Cross-reference table.
    uint64_t xref = offset_;
    std::string x = "xref\n0 ";
    AppendInt(x, static_cast<long long>(offsets_.size()) + 1);
    x += "\n0000000000 65535 f \n";
    for (uint64_t off : offsets_) {
        char line[24];
        std::snprintf(line, sizeof line, "%010llu 00000 n \n", static_cast<unsigned long long>(off));
        x += line;
    }
    x += "trailer\n<</Size ";
    AppendInt(x, static_cast<long long>(offsets_.size()) + 1);
    x += "/Root 1 0 R/Info ";
    AppendRef(x, info);
    x += ">>\nstartxref\n";
    AppendInt(x, static_cast<long long>(xref));
    x += "\n%%EOF\n";
    Write(x);
    bool ok = !failed_ && std::fflush(file_) == 0 && !std::ferror(file_);
    ok = std::fclose(file_) == 0 && ok;
    file_ = nullptr;
    return ok;
}

// A Type 3 font: each glyph a procedure that fills its outline.
void PdfWriter::WriteType3Font(const Font& font, const SubFont& sf) {
    std::string procs, widths, names;
    double box[4] = {0, 0, 0, 0};
    for (size_t code = 0; code < sf.outlines.size(); ++code) {
        const PdfGlyph& g = sf.outlines[code];
        std::string proc;
        AppendPdfNumber(proc, g.advance);
        proc += " 0 ";
        for (double v : g.box) {
            AppendPdfNumber(proc, v);
            proc += ' ';
        }
        proc += "d1\n";
        if (!g.path.empty()) proc += g.path + "f\n";
        int obj = NewObject();
        WriteStream(obj, "", proc, true);
        std::string name = "g";
        AppendInt(name, static_cast<long long>(code));
        procs += "/" + name + " ";
        AppendRef(procs, obj);
        names += "/" + name;
        AppendPdfNumber(widths, g.advance);
        widths += ' ';
        if (g.box[2] > g.box[0] && g.box[3] > g.box[1]) {
            box[0] = std::min(box[0], g.box[0]);
            box[1] = std::min(box[1], g.box[1]);
            box[2] = std::max(box[2], g.box[2]);
            box[3] = std::max(box[3], g.box[3]);
        }
    }
    // The characters of the codes, for finding and copying text; and the face's name.
    int toUnicode = WriteToUnicode(sf.chars);
    std::string fontName = PdfName(font.name);
    int descriptor = 0;
    if (!fontName.empty()) {
        descriptor = NewObject();
        BeginObject(descriptor);
        Write("<</Type/FontDescriptor/FontName/" + fontName + "/Flags 4/ItalicAngle 0>>\nendobj\n");
    }
    BeginObject(sf.object);
    std::string d = "<</Type/Font/Subtype/Type3/FontBBox[";
    for (int i = 0; i < 4; ++i) {
        AppendPdfNumber(d, box[i]);
        d += i < 3 ? " " : "]";
    }
    // Glyph space is upwards, as for any font: the text matrix turns it upright on the page.
    d += "/FontMatrix[";
    AppendPdfNumber(d, 1.0 / font.upm, 9);
    d += " 0 0 ";
    AppendPdfNumber(d, 1.0 / font.upm, 9);
    d += " 0 0]/CharProcs<<" + procs + ">>/Encoding<</Type/Encoding/Differences[0" + names +
         "]>>/FirstChar 0/LastChar ";
    AppendInt(d, static_cast<long long>(sf.outlines.size()) - 1);
    d += "/Widths[" + widths + "]/Resources<<>>";
    if (toUnicode) {
        d += "/ToUnicode ";
        AppendRef(d, toUnicode);
    }
    if (descriptor) {
        d += "/FontDescriptor ";
        AppendRef(d, descriptor);
    }
    d += ">>\nendobj\n";
    Write(d);
}

// A TrueType font: its program cut down to the glyphs of the codes, found by the codes through the
// program's own character map (the font is symbolic: no encoding).
void PdfWriter::WriteTrueTypeFont(const Font& font, const SubFont& sf, const FontProgram& program) {
    SfntMetrics m;
    ReadSfntMetrics(font.tables, &m);
    const double k = 1000.0 / font.upm;  // font units to thousandths of the em
    int file = NewObject();
    std::string dict = "/Length1 ";
    AppendInt(dict, static_cast<long long>(program.data.size()));
    WritePacked(file, dict, program.data, program.packed);
    int toUnicode = WriteToUnicode(sf.chars);
    // A subset's name begins with six capitals of its own: the object's number in letters.
    std::string tag(6, 'A');
    for (int i = 5, n = sf.object; i >= 0; --i, n /= 26)
        tag[static_cast<size_t>(i)] = static_cast<char>('A' + n % 26);
    std::string baseName = tag + "+" + PdfName(font.name.empty() ? std::string("Font") : font.name);
    int descriptor = NewObject();
    BeginObject(descriptor);
    std::string fd = "<</Type/FontDescriptor/FontName/" + baseName + "/Flags 4/FontBBox[";
    for (int i = 0; i < 4; ++i) {
        AppendPdfNumber(fd, m.box[i] * k, 0);
        fd += i < 3 ? " " : "]";
    }
    fd += "/ItalicAngle ";
    AppendPdfNumber(fd, m.italicAngle);
    fd += "/Ascent ";
    AppendPdfNumber(fd, m.ascent * k, 0);
    fd += "/Descent ";
    AppendPdfNumber(fd, m.descent * k, 0);
    fd += "/CapHeight ";
    AppendPdfNumber(fd, m.capHeight * k, 0);
    fd += "/StemV 80/FontFile2 ";
    AppendRef(fd, file);
    fd += ">>\nendobj\n";
    Write(fd);
    BeginObject(sf.object);
    std::string d = "<</Type/Font/Subtype/TrueType/BaseFont/" + baseName + "/FirstChar 0/LastChar ";
    AppendInt(d, static_cast<long long>(sf.outlines.size()) - 1);
    d += "/Widths[";
    for (size_t code = 0; code < sf.outlines.size(); ++code) {
        if (code) d += ' ';
        AppendPdfNumber(d, sf.outlines[code].advance * k);
    }
    d += "]/FontDescriptor ";
    AppendRef(d, descriptor);
    if (toUnicode) {
        d += "/ToUnicode ";
        AppendRef(d, toUnicode);
    }
    d += ">>\nendobj\n";
    Write(d);
}

int PdfWriter::WriteToUnicode(const std::vector<uint32_t>& chars) {
    auto shown = [](uint32_t c) { return c != 0 && c <= 0x10FFFF && !(c >= 0xD800 && c < 0xE000); };
    const size_t count = static_cast<size_t>(std::count_if(chars.begin(), chars.end(), shown));
    if (count == 0) return 0;
    std::string cmap =
        "/CIDInit/ProcSet findresource begin\n12 dict begin\nbegincmap\n/CIDSystemInfo<</Registry(Adobe)"
        "/Ordering(UCS)/Supplement 0>>def\n/CMapName/Adobe-Identity-UCS def\n/CMapType 2 def\n"
        "1 begincodespacerange\n<00><ff>\nendcodespacerange\n";
    cmap.reserve(cmap.size() + count * 16 + (count / 100 + 1) * 32 + 96);
    // At most 100 entries a block.
    size_t code = 0;
    for (size_t at = 0; at < count; at += 100) {
        const size_t n = std::min<size_t>(100, count - at);
        AppendInt(cmap, static_cast<long long>(n));
        cmap += " beginbfchar\n";
        for (size_t done = 0; done < n; ++code) {
            const uint32_t c = chars[code];
            if (!shown(c)) continue;
            ++done;
            cmap += '<';
            AppendHexByte(cmap, static_cast<unsigned>(code));
            cmap += "><";
            auto unit = [&](uint32_t u) {
                AppendHexByte(cmap, u >> 8);
                AppendHexByte(cmap, u & 0xFF);
            };
            if (c >= 0x10000) {
                unit(0xD800 + ((c - 0x10000) >> 10));
                unit(0xDC00 + ((c - 0x10000) & 0x3FF));
            } else {
                unit(c);
            }
            cmap += ">\n";
        }
        cmap += "endbfchar\n";
    }
    cmap += "endcmap\nCMapName currentdict/CMap defineresource pop\nend\nend\n";
    int obj = NewObject();
    WriteStream(obj, "", cmap, true);
    return obj;
}

void PdfWriter::EndText() {
    if (!inText_) return;
    AppendLiteral(content_, "ET\n");
    inText_ = false;
}

void PdfWriter::Num(double v) {
    // The number and its space in one append.
    char buf[32];
    char* end = buf + sizeof buf;
    end[-1] = ' ';
    char* p = PdfNumberBefore(end - 1, v, 2);
    content_.append(p, static_cast<size_t>(end - p));
}

void PdfWriter::Op(const char* op) {
    content_ += op;
    content_ += '\n';
}

void PdfWriter::SetClip(const PdfClip& clip) {
    if (clip == clip_) return;
    FlushPath();
    EndText();
    AppendLiteral(content_, "Q q\n");
    ResetState();
    for (const auto& layer : clip) {
        for (const PdfRect& r : layer) {
            Num(r.x), Num(r.y), Num(r.w), Num(r.h);
            Op("re");
        }
        if (layer.empty()) {  // nothing shows
            Op("0 0 0 0 re");
        }
        Op("W n");
    }
    clip_ = clip;
}

void PdfWriter::SetFillColor(PdfRgb c) {
    if (fillSet_ && fill_ == c) return;
    AppendColor(content_, c, "rg");
    fill_ = c;
    fillSet_ = true;
}

void PdfWriter::SetStrokeColor(PdfRgb c) {
    if (strokeSet_ && stroke_ == c) return;
    EndText();
    AppendColor(content_, c, "RG");
    stroke_ = c;
    strokeSet_ = true;
}

void PdfWriter::SetStrokeStyle(const PdfStrokeStyle& s) {
    EndText();
    bool all = !styleSet_;
    if (all || s.width != style_.width) Num(s.width), Op("w");
    // Without a setting of its own the cap is the one in force: the initial one after a restore.
    int cap = s.cap >= 0 ? s.cap : styleSet_ ? style_.cap : 0;
    if (s.cap >= 0 && (all || s.cap != style_.cap)) Num(s.cap), Op("J");
    int join = s.join >= 0 ? s.join : styleSet_ ? style_.join : 0;
    if (s.join >= 0 && (all || s.join != style_.join)) Num(s.join), Op("j");
    if (all || s.dash != style_.dash) {
        content_ += '[';
        for (size_t i = 0; i < s.dash.size(); ++i) {
            if (i) content_ += ' ';
            AppendPdfNumber(content_, s.dash[i]);
        }
        content_ += "] 0 d\n";
    }
    style_ = s;
    style_.cap = cap;
    style_.join = join;
    styleSet_ = true;
}

namespace {

// A coordinate in hundredths of a unit, rounded as the page content writes it.
long long Hundredths(double v) {
    double s = std::isfinite(v) ? v * 100.0 : 0.0;
    constexpr double kLimit = 4e18;
    s = s > kLimit ? kLimit : s < -kLimit ? -kLimit : s;
    return static_cast<long long>(s < 0 ? s - 0.5 : s + 0.5);
}

}  // namespace

void PdfWriter::NumHundredths(long long v) {
    char buf[32];
    content_.append(buf, static_cast<size_t>(HundredthsAt(buf, v) - buf));
}

void PdfWriter::AddPathOp(char op, const double* v, int n) {
    if (path_.empty()) EndText();
    PathOp p{op, {}};
    for (int i = 0; i < n; ++i)
        p.v[i] = Hundredths(v[i]);
    path_.push_back(p);
}

void PdfWriter::WritePathOps(long long dx, long long dy) {
    // Each operator with its numbers in one append.
    char buf[6 * 32 + 4];
    for (const PathOp& p : path_) {
        char* w = buf;
        switch (p.op) {
            case 'h':
                AppendLiteral(content_, "h\n");
                continue;
            case 'r':
                w = HundredthsAt(w, p.v[0] - dx);
                w = HundredthsAt(w, p.v[1] - dy);
                w = HundredthsAt(w, p.v[2]);
                w = HundredthsAt(w, p.v[3]);
                *w++ = 'r', *w++ = 'e', *w++ = '\n';
                content_.append(buf, static_cast<size_t>(w - buf));
                continue;
            default:
                break;
        }
        const int n = p.op == 'c' ? 6 : 2;
        for (int i = 0; i < n; i += 2) {
            w = HundredthsAt(w, p.v[i] - dx);
            w = HundredthsAt(w, p.v[i + 1] - dy);
        }
        *w++ = p.op, *w++ = '\n';
        content_.append(buf, static_cast<size_t>(w - buf));
    }
}

void PdfWriter::FlushPath() {
    WritePathOps(0, 0);
    path_.clear();
}

void PdfWriter::PaintPath(const char* op) {
    const bool moved = path_.size() >= 2 && path_.front().op == 'm' &&
                       std::none_of(path_.begin(), path_.end(), [](const PathOp& p) { return p.op == 'r'; });
    if (!moved) {
        FlushPath();
        Op(op);
        FeedPage();
        return;
    }
    const long long x0 = path_.front().v[0], y0 = path_.front().v[1];
    char buf[96] = "q 1 0 0 1 ";
    char* w = buf + 10;
    w = HundredthsAt(w, x0);
    w = HundredthsAt(w, y0);
    *w++ = 'c', *w++ = 'm', *w++ = '\n';
    content_.append(buf, static_cast<size_t>(w - buf));
    WritePathOps(x0, y0);
    path_.clear();
    content_ += op;
    AppendLiteral(content_, "\nQ\n");
    FeedPage();
}

void PdfWriter::MoveTo(double x, double y) {
    const double v[2] = {x, y};
    AddPathOp('m', v, 2);
}

void PdfWriter::LineTo(double x, double y) {
    const double v[2] = {x, y};
    AddPathOp('l', v, 2);
}

void PdfWriter::CurveTo(double x1, double y1, double x2, double y2, double x3, double y3) {
    const double v[6] = {x1, y1, x2, y2, x3, y3};
    AddPathOp('c', v, 6);
}

void PdfWriter::Rect(double x, double y, double w, double h) {
    const double v[4] = {x, y, w, h};
    AddPathOp('r', v, 4);
}

void PdfWriter::ClosePath() {
    AddPathOp('h', nullptr, 0);
}

void PdfWriter::Fill(bool evenOdd) {
    PaintPath(evenOdd ? "f*" : "f");
}

void PdfWriter::Stroke() {
    PaintPath("S");
}

void PdfWriter::FillStroke(bool evenOdd) {
    PaintPath(evenOdd ? "B*" : "B");
}

void PdfWriter::EndPathNoPaint() {
    FlushPath();
    Op("n");
}

int PdfWriter::ImageObject(int width, int height, const uint32_t* pixels) {
    int obj = NewObject();
    std::string dict = "/Type/XObject/Subtype/Image/Width ";
    AppendInt(dict, width);
    dict += "/Height ";
    AppendInt(dict, height);
    dict += "/ColorSpace/DeviceRGB/BitsPerComponent 8";
    WriteStream(obj, dict, RgbBytes(width, height, pixels), true);
    return obj;
}

void PdfWriter::FillPattern(bool evenOdd, int width, int height, const uint32_t* pixels, double originX,
                            double originY, double pixel) {
    std::string name = "P";
    AppendInt(name, static_cast<long long>(patterns_.size()));
    int image = ImageObject(width, height, pixels);
    int obj = NewObject();
    // The pattern's space is the page's own (y upwards); its cell is the tile in pixels, rows downwards.
    std::string dict = "/Type/Pattern/PatternType 1/PaintType 1/TilingType 1/BBox[0 0 ";
    AppendInt(dict, width);
    dict += ' ';
    AppendInt(dict, height);
    dict += "]/XStep ";
    AppendInt(dict, width);
    dict += "/YStep ";
    AppendInt(dict, height);
    dict += "/Matrix[";
    AppendPdfNumber(dict, pixel * unit_, 6);
    dict += " 0 0 ";
    AppendPdfNumber(dict, -pixel * unit_, 6);
    dict += ' ';
    AppendPdfNumber(dict, originX * unit_, 4);
    dict += ' ';
    AppendPdfNumber(dict, height_ - originY * unit_, 4);
    dict += "]/Resources<</XObject<</I ";
    AppendRef(dict, image);
    dict += ">>>>";
    std::string cell = "q ";
    AppendInt(cell, width);
    cell += " 0 0 ";
    AppendInt(cell, -height);
    cell += " 0 ";
    AppendInt(cell, height);
    cell += " cm /I Do Q";
    WriteStream(obj, dict, cell, false);
    patterns_.emplace_back(name, obj);
    // The path was written already: set the pattern after it is painted would be too late, so the path is
    // painted through a clip instead of a fill with the pattern colour.
    FlushPath();
    Op(evenOdd ? "W* n" : "W n");
    content_ += "q /Pattern cs /" + name + " scn\n";
    // Far larger than any page: the clip above bounds it.
    Op("-100000 -100000 200000 200000 re f");
    Op("Q");
    // The clip of the path stays until the next change of clip: end it now.
    content_ += "Q q\n";
    PdfClip keep = clip_;
    clip_.clear();
    ResetState();
    SetClip(keep);
}

void PdfWriter::ShowGlyphs(const PdfFontInfo& info, double size, PdfRgb color, const PdfGlyphPos* glyphs,
                           size_t count, OutlineFn outline, void* context) {
    const double unitsPerEm = info.unitsPerEm;
    const void* fontKey = info.key;
    if (!count || !(size > 0) || !(unitsPerEm > 0)) return;
    auto [found, added] = fonts_.try_emplace(fontKey);
    Font& font = found->second;
    font.upm = unitsPerEm;
    if (added) {
        font.name = info.name;
        font.trueType = !info.synthetic && info.table && ReadTrueTypeTables(info, &font.tables);
        if (!font.trueType) font.tables = SfntTables{};
    }
    // The text matrix turns glyph space (upwards) upright in the page's downward coordinates; its
    // position starts at the first glyph.
    bool placed = inText_;
    if (!inText_) {
        AppendLiteral(content_, "BT\n");
        inText_ = true;
    }
    SetFillColor(color);
    // A run: glyphs of one font on one line, as one string with moves between glyphs where needed.
    std::string run;
    int runGlyphs = 0;
    auto endRun = [&] {
        if (runGlyphs == 1) {
            content_ += run;
            AppendLiteral(content_, ">Tj\n");
        } else if (runGlyphs > 1) {
            content_ += '[';
            content_ += run;
            AppendLiteral(content_, ">]TJ\n");
        }
        run.clear();
        runGlyphs = 0;
    };
    double penX = 0;  // where the text position stands after the last glyph shown
    const SubFont* lastFont = nullptr;
    double lastY = 0;
    for (size_t i = 0; i < count; ++i) {
        const PdfGlyphPos& g = glyphs[i];
        auto it = font.codes.find(g.glyph);
        if (it == font.codes.end()) {
            if (font.subFonts.empty() ||
                subFonts_[static_cast<size_t>(font.subFonts.back())].glyphs.size() >= kCodesPerFont) {
                SubFont sf;
                sf.key = fontKey;
                sf.object = NewObject();
                std::string name = "F";
                AppendInt(name, static_cast<long long>(subFonts_.size()));
                sf.name = std::move(name);
                font.subFonts.push_back(static_cast<int>(subFonts_.size()));
                subFonts_.push_back(std::move(sf));
            }
            int index = font.subFonts.back();
            SubFont& sf = subFonts_[static_cast<size_t>(index)];
            PdfGlyph pg;
            // A font program draws the glyph itself: only its advance is needed.
            if (font.trueType)
                pg.advance = TrueTypeAdvance(font.tables, g.glyph);
            else if (!outline || !outline(fontKey, g.glyph, &pg, context))
                pg = PdfGlyph{};
            sf.glyphs.push_back(g.glyph);
            sf.outlines.push_back(std::move(pg));
            sf.chars.push_back(g.unicode);
            it = font.codes.emplace(g.glyph, std::make_pair(index, static_cast<int>(sf.glyphs.size()) - 1))
                     .first;
        }
        const SubFont* sf = &subFonts_[static_cast<size_t>(it->second.first)];
        int code = it->second.second;
        double advance = sf->outlines[static_cast<size_t>(code)].advance / unitsPerEm * size;
        if (runGlyphs && (sf != lastFont || g.y != lastY)) endRun();
        if (!runGlyphs) {
            if (textFont_ != sf || textSize_ != size) {
                content_ += '/';
                content_ += sf->name;
                content_ += ' ';
                AppendPdfNumber(content_, size, 3);
                AppendLiteral(content_, " Tf\n");
                textFont_ = sf;
                textSize_ = size;
            }
            if (placed) {
                Num(g.x - textX_), Num(textY_ - g.y), Op("Td");
            } else {
                AppendLiteral(content_, "1 0 0 -1 ");
                Num(g.x), Num(g.y), Op("Tm");
                placed = true;
            }
            textX_ = g.x;
            textY_ = g.y;
            run += '<';
            penX = g.x;
        } else {
            // Moves the text position from the end of the previous glyph to this glyph, in thousandths of
            // the size; the position reached is what the next move starts from, so rounding never adds up.
            long long adjust = std::llround((penX - g.x) * 10000.0 / size);
            if (adjust != 0) {
                run += '>';
                AppendPdfNumber(run, adjust / 10.0, 1);
                run += '<';
                runGlyphs = std::max(runGlyphs, 2);  // a move needs the array form
            }
            penX -= adjust / 10.0 * size / 1000.0;
        }
        AppendHexByte(run, static_cast<unsigned>(code));
        ++runGlyphs;
        penX += advance;
        lastFont = sf;
        lastY = g.y;
    }
    endRun();
    FeedPage();
}

void PdfWriter::DrawImage(int width, int height, const uint32_t* pixels, const double m[6]) {
    if (width <= 0 || height <= 0) return;
    EndText();
    int obj = ImageObject(width, height, pixels);
    std::string name = "I";
    AppendInt(name, static_cast<long long>(xobjects_.size()));
    xobjects_.emplace_back(name, obj);
    // The image's unit square, its first row at the top, onto the pixels' place on the page.
    double a = m[0] * width, b = m[1] * width, c = -m[2] * height, d = -m[3] * height;
    double e = m[2] * height + m[4], f = m[3] * height + m[5];
    content_ += "q ";
    AppendPdfNumber(content_, a, 4), content_ += ' ';
    AppendPdfNumber(content_, b, 4), content_ += ' ';
    AppendPdfNumber(content_, c, 4), content_ += ' ';
    AppendPdfNumber(content_, d, 4), content_ += ' ';
    AppendPdfNumber(content_, e, 4), content_ += ' ';
    AppendPdfNumber(content_, f, 4);
    content_ += " cm /" + name + " Do Q\n";
    FeedPage();
}

}  // namespace qsm::gdi

// Reading a "[QSZ]" stream through TQSRZLibInStream byte by byte and in blocks, beside plain zlib inflate of
// the same data into a buffer of the same size.
#include <benchmark/benchmark.h>
#include <zlib.h>

#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "core/ram_stream.h"
#include "core/zlib_stream.h"

namespace {

size_t PayloadSize() {
    static const size_t size = std::getenv("QSM_BENCH_SMOKE") ? (256u << 10) : (10u << 20);
    return size;
}

// Score-like data: short records with small numbers and repeated names, partly random.
const std::string& Packed() {
    static const std::string packed = [] {
        std::mt19937 rng(7);
        std::string data;
        data.reserve(PayloadSize());
        while (data.size() < PayloadSize()) {
            data += "\x08\x00\x02\x00";
            for (int i = 0; i < 6; ++i)
                data.push_back(static_cast<char>(rng() % 24));
            if (rng() % 8 == 0) data += "Melody staff lyric text ";
        }
        data.resize(PayloadSize());
        auto* sink = new TQSRFlatRamStream(0, 1 << 20);
        TQSRZLibOutStream out(TQSRZLibInStream::kScoreEnvelope, sink, true);
        out.WriteBlock(data.data(), static_cast<DWORD>(data.size()));
        out.Finish();
        return std::string(reinterpret_cast<const char*>(sink->GetData()), sink->GetSize());
    }();
    return packed;
}

TQSRStream* ViewOf(const std::string& bytes) {
    DWORD n = static_cast<DWORD>(bytes.size());
    return new TQSRFlatRamStream(const_cast<char*>(bytes.data()), n, n);
}

void BM_RawInflate(benchmark::State& state) {
    const std::string& packed = Packed();
    std::vector<Bytef> out(TQSRZLibInStream::kBufferSize);
    for (auto _ : state) {
        z_stream zs{};
        inflateInit(&zs);
        zs.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(packed.data())) + 6;
        zs.avail_in = static_cast<uInt>(packed.size() - 6);
        size_t total = 0;
        int r;
        do {
            zs.next_out = out.data();
            zs.avail_out = static_cast<uInt>(out.size());
            r = inflate(&zs, Z_NO_FLUSH);
            total += out.size() - zs.avail_out;
        } while (r == Z_OK);
        inflateEnd(&zs);
        benchmark::DoNotOptimize(total);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(PayloadSize()));
}
BENCHMARK(BM_RawInflate)->Unit(benchmark::kMillisecond);

void BM_ZLibInStreamBlocks(benchmark::State& state) {
    const std::string& packed = Packed();
    std::vector<BYTE> buf(static_cast<size_t>(state.range(0)));
    for (auto _ : state) {
        TQSRZLibInStream in(TQSRZLibInStream::kScoreEnvelope, ViewOf(packed), true);
        size_t total = 0;
        DWORD k;
        while ((k = in.ReadBlock(buf.data(), static_cast<DWORD>(buf.size()))) > 0)
            total += k;
        if (total != PayloadSize()) state.SkipWithError("short read");
        benchmark::DoNotOptimize(total);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(PayloadSize()));
}
BENCHMARK(BM_ZLibInStreamBlocks)->Arg(16384)->Arg(1024)->Unit(benchmark::kMillisecond);

void BM_ZLibInStreamBytes(benchmark::State& state) {
    const std::string& packed = Packed();
    for (auto _ : state) {
        TQSRZLibInStream in(TQSRZLibInStream::kScoreEnvelope, ViewOf(packed), true);
        unsigned sum = 0;
        const size_t n = PayloadSize();
        for (size_t i = 0; i < n; ++i)
            sum += in.Get();
        if (in.GetError()) state.SkipWithError("read error");
        benchmark::DoNotOptimize(sum);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(PayloadSize()));
}
BENCHMARK(BM_ZLibInStreamBytes)->Unit(benchmark::kMillisecond);

}  // namespace

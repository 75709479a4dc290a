#include "core/parallel.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

namespace qsm {
namespace {

thread_local bool tInsideWork = false;

unsigned DefaultThreads() {
    const unsigned processors = std::thread::hardware_concurrency();
    return std::clamp(processors, 1u, 8u);
}

std::atomic<unsigned> gThreads{DefaultThreads()};

// Workers wait for a job, take indexes from a shared counter until none is left, and report when they are
// through. The caller takes indexes too and, once none is left, waits only for the workers still running
// one: a worker that wakes after the job is closed does not join it, so a busy machine that is slow to
// schedule a worker does not hold the caller up. One job runs at a time; the pool lives until the program
// ends.
class TWorkPool {
public:
    ~TWorkPool() {
        {
            std::lock_guard<std::mutex> lock(Mutex);
            Stopping = true;
        }
        Wake.notify_all();
        for (std::thread& worker : Workers)
            worker.join();
    }

    bool TryRun(size_t count, const std::function<void(size_t)>& work, unsigned threads) {
        std::unique_lock<std::mutex> job(JobMutex, std::try_to_lock);
        if (!job.owns_lock()) return false;
        unsigned helpers = std::min<size_t>(threads - 1, count - 1);
        {
            std::lock_guard<std::mutex> lock(Mutex);
            // Without threads enough the job goes to the workers there are, or to the caller alone.
            helpers = static_cast<unsigned>(std::min<size_t>(helpers, MakeWorkers(helpers)));
            if (helpers == 0) return false;
            Work = &work;
            Count = count;
            Next.store(0, std::memory_order_relaxed);
            Wanted = helpers;
            Open = true;
            ++Generation;
        }
        Wake.notify_all();
        RunIndexes();
        std::unique_lock<std::mutex> lock(Mutex);
        Done.wait(lock, [this] { return Active == 0; });
        Open = false;
        Work = nullptr;
        // The first exception of the work goes to the caller, once no worker uses the work any more.
        if (Error) std::rethrow_exception(std::exchange(Error, nullptr));
        return true;
    }

private:
    // Makes workers until there are `count`; answers how many there are. A machine that has no thread to give
    // (std::system_error) leaves fewer. Called with Mutex held.
    size_t MakeWorkers(size_t count) {
        try {
            while (Workers.size() < count)
                Workers.emplace_back([this] { WorkerLoop(); });
        } catch (const std::exception&) {
        }
        return Workers.size();
    }

    void RunIndexes() {
        const bool outer = tInsideWork;
        tInsideWork = true;
        for (size_t i = Next.fetch_add(1); i < Count; i = Next.fetch_add(1)) {
            try {
                (*Work)(i);
            } catch (...) {
                // An exception ends the job: no index is started after it, as in a loop on one thread.
                Next.store(Count);
                std::lock_guard<std::mutex> lock(Mutex);
                if (!Error) Error = std::current_exception();
            }
        }
        tInsideWork = outer;
    }

    void WorkerLoop() {
        unsigned seen = 0;
        std::unique_lock<std::mutex> lock(Mutex);
        for (;;) {
            Wake.wait(lock, [&] { return Stopping || (Open && Generation != seen && Wanted > 0); });
            if (Stopping) return;
            seen = Generation;
            // A worker that comes when every index is taken (a small job, or a thread that was slow to start)
            // has nothing to do, and the caller does not wait for it.
            if (Next.load(std::memory_order_relaxed) >= Count) continue;
            --Wanted;
            ++Active;
            lock.unlock();
            RunIndexes();
            lock.lock();
            if (--Active == 0) Done.notify_one();
        }
    }

    std::mutex JobMutex;
    std::mutex Mutex;
    std::condition_variable Wake;
    std::condition_variable Done;
    std::vector<std::thread> Workers;
    const std::function<void(size_t)>* Work = nullptr;
    size_t Count = 0;
    std::atomic<size_t> Next{0};
    std::exception_ptr Error;
    unsigned Generation = 0;
    unsigned Wanted = 0;
    unsigned Active = 0;
    bool Open = false;
    bool Stopping = false;
};

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr bool kFullExit = true;  // the sanitizers' checks at exit see every thread joined
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
constexpr bool kFullExit = true;
#else
constexpr bool kFullExit = false;
#endif
#else
constexpr bool kFullExit = false;
#endif

std::atomic<bool> gLeaveAtExit{false};

// The pool ends with the program, or with the library it is part of when that is unloaded: its workers are
// woken and joined. A program that said so leaves them to the end of the process instead.
struct TPoolHolder {
    TWorkPool* Pool = new TWorkPool;
    ~TPoolHolder() {
        if (kFullExit || !gLeaveAtExit.load(std::memory_order_relaxed)) delete Pool;
    }
};

TWorkPool& Pool() {
    static TPoolHolder holder;
    return *holder.Pool;
}

}  // namespace

void ParallelFor(size_t count, const std::function<void(size_t)>& work) {
    const unsigned threads = gThreads.load(std::memory_order_relaxed);
    if (count > 1 && threads > 1 && !tInsideWork && Pool().TryRun(count, work, threads)) return;
    for (size_t i = 0; i < count; ++i)
        work(i);
}

void LeaveParallelWorkersAtExit() {
    gLeaveAtExit.store(true, std::memory_order_relaxed);
}

void SetParallelThreads(unsigned count) {
    gThreads.store(std::max(count, 1u), std::memory_order_relaxed);
}

unsigned GetParallelThreads() {
    return gThreads.load(std::memory_order_relaxed);
}

}  // namespace qsm

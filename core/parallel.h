#ifndef QSM_CORE_PARALLEL_H
#define QSM_CORE_PARALLEL_H

#include <cstddef>
#include <functional>

namespace qsm {

// Runs work(i) for every i in [0, count), spread over the calling thread and a small pool of worker threads,
// and returns when every call has returned. The calls may run in any order and at the same time, so work
// must only touch what belongs to its own index (or is read by all and written by none). A call made from
// inside work, or while another thread's ParallelFor runs, runs its indexes on the calling thread in order,
// as does a call when no worker thread can be started. An exception from work ends the call: indexes not yet
// started are left out, and once every running call has returned the first exception is thrown on.
void ParallelFor(size_t count, const std::function<void(size_t)>& work);

// Lets the worker threads, idle between jobs, end with the process when it ends, rather than be woken and
// joined one by one as it ends. For a program's end; a library that may be unloaded never calls it.
void LeaveParallelWorkersAtExit();

// The most threads ParallelFor uses, the calling one included (at least 1; 1 runs every index on the
// caller, in order). The default is the number of processors, at most 8.
void SetParallelThreads(unsigned count);
unsigned GetParallelThreads();

}  // namespace qsm

#endif

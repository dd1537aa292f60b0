// Threads that share one job at a time with the thread handing it over: each
// takes the next unclaimed part until none is left. The caller either joins in
// at once and returns when every part is done, or hands the job over, goes on
// with its own work and joins in later.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace glint::gfx {

class WorkerPool {
public:
    // `threads` counts the caller too: 1 or less makes no worker threads.
    explicit WorkerPool(std::int32_t threads);
    ~WorkerPool();
    WorkerPool(const WorkerPool&) = delete;
    WorkerPool& operator=(const WorkerPool&) = delete;

    bool hasWorkers() const { return !workers_.empty(); }

    // Calls part(i) once for each i in 0 … count − 1, on any of the threads.
    void run(std::int32_t count, std::function<void(std::int32_t)> part);
    // The same, returning at once; without worker threads it runs the parts
    // first. Until finish() the parts run on other threads: the caller leaves
    // what they touch alone, and another job may start only after finish().
    void start(std::int32_t count, std::function<void(std::int32_t)> part);
    // Takes parts of the job started until every one is done; at once without a job.
    void finish();

private:
    void work();
    void serve();

    std::mutex mutex_;
    std::condition_variable wake_, finished_;
    std::uint64_t generation_ = 0;  // one more for every job handed over
    bool stopping_ = false;
    std::int32_t count_ = 0;
    std::int32_t next_ = 0;        // the next unclaimed part
    std::int32_t unfinished_ = 0;  // parts not yet done
    std::function<void(std::int32_t)> part_;
    std::vector<std::thread> workers_;
};

}  // namespace glint::gfx

// Threads that share one job at a time with the thread handing it over: each
// takes the next unclaimed part until none is left, and the hand-over returns
// once every part is done.
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
    void run(std::int32_t count, const std::function<void(std::int32_t)>& part);

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
    const std::function<void(std::int32_t)>* part_ = nullptr;
    std::vector<std::thread> workers_;
};

}  // namespace glint::gfx

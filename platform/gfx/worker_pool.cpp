#include "platform/gfx/worker_pool.h"

#include <utility>

namespace glint::gfx {

WorkerPool::WorkerPool(std::int32_t threads) {
    for (std::int32_t i = 1; i < threads; ++i)
        workers_.emplace_back([this] { serve(); });
}

WorkerPool::~WorkerPool() {
    {
        const std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_all();
    for (std::thread& worker : workers_)
        worker.join();
}

void WorkerPool::run(std::int32_t count, std::function<void(std::int32_t)> part) {
    start(count, std::move(part));
    finish();
}

void WorkerPool::start(std::int32_t count, std::function<void(std::int32_t)> part) {
    if (workers_.empty()) {
        for (std::int32_t i = 0; i < count; ++i)
            part(i);
        return;
    }
    {
        const std::lock_guard lock(mutex_);
        part_ = std::move(part);
        count_ = count;
        next_ = 0;
        unfinished_ = count;
        ++generation_;
    }
    wake_.notify_all();
}

// The job is done when its parts are, not when every worker has seen it: on a
// busy machine a worker may wake long after the caller took all the parts.
void WorkerPool::finish() {
    if (workers_.empty()) return;
    work();
    std::unique_lock lock(mutex_);
    finished_.wait(lock, [this] { return unfinished_ == 0; });
    part_ = nullptr;
    count_ = next_ = 0;
}

// Parts are claimed under the lock: a job has tens to hundreds of parts, each
// far longer than taking the lock.
void WorkerPool::work() {
    std::unique_lock lock(mutex_);
    while (next_ < count_) {
        const std::int32_t claimed = next_++;
        const std::function<void(std::int32_t)>& part = part_;
        lock.unlock();
        part(claimed);
        lock.lock();
        if (--unfinished_ == 0) finished_.notify_one();
    }
}

void WorkerPool::serve() {
    std::uint64_t seen = 0;
    for (;;) {
        {
            std::unique_lock lock(mutex_);
            wake_.wait(lock, [&] { return stopping_ || generation_ != seen; });
            if (stopping_) return;
            seen = generation_;
        }
        work();
    }
}

}  // namespace glint::gfx

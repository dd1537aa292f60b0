#include "platform/gfx/worker_pool.h"

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

void WorkerPool::run(std::int32_t count, const std::function<void(std::int32_t)>& part) {
    if (workers_.empty()) {
        for (std::int32_t i = 0; i < count; ++i)
            part(i);
        return;
    }
    {
        const std::lock_guard lock(mutex_);
        part_ = &part;
        count_ = count;
        next_ = 0;
        busy_ = static_cast<std::int32_t>(workers_.size());
        ++generation_;
    }
    wake_.notify_all();
    work();
    std::unique_lock lock(mutex_);
    finished_.wait(lock, [this] { return busy_ == 0; });
    part_ = nullptr;
}

// Parts are claimed under the lock: a job has tens to hundreds of parts, each
// far longer than taking the lock.
void WorkerPool::work() {
    for (;;) {
        std::int32_t claimed;
        {
            const std::lock_guard lock(mutex_);
            if (next_ >= count_) return;
            claimed = next_++;
        }
        (*part_)(claimed);
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
        const std::lock_guard lock(mutex_);
        if (--busy_ == 0) finished_.notify_one();
    }
}

}  // namespace glint::gfx

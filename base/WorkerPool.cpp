#include "base/WorkerPool.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

namespace tsy {

int HardwareThreads() noexcept {
    const unsigned n = std::thread::hardware_concurrency();
    return n == 0 ? 1 : int(std::min(n, 64u));
}

namespace {

class Pool {
public:
    static Pool& instance() {
        static Pool pool;
        return pool;
    }

    void run(int count, int threads, const std::function<void(int)>& task) {
        std::lock_guard<std::mutex> serial(callMutex_);
        const int helpers = std::min({threads - 1, count - 1, int(workers_.size())});
        {
            std::lock_guard<std::mutex> lock(mutex_);
            task_ = &task;
            count_ = count;
            next_.store(0, std::memory_order_relaxed);
            wanted_ = helpers;
            active_ = helpers;
            ++round_;
        }
        if (helpers > 0) wake_.notify_all();
        work();
        std::unique_lock<std::mutex> lock(mutex_);
        done_.wait(lock, [&] { return active_ == 0; });
        task_ = nullptr;
    }

    ~Pool() {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            stop_ = true;
        }
        wake_.notify_all();
        for (auto& t : workers_)
            t.join();
    }

private:
    Pool() {
        const int n = HardwareThreads() - 1;
        for (int i = 0; i < n; ++i)
            workers_.emplace_back([this] { loop(); });
    }

    void work() {
        for (;;) {
            const int i = next_.fetch_add(1, std::memory_order_relaxed);
            if (i >= count_) return;
            (*task_)(i);
        }
    }

    void loop() {
        unsigned long seen = 0;
        for (;;) {
            {
                std::unique_lock<std::mutex> lock(mutex_);
                wake_.wait(lock, [&] { return stop_ || (round_ != seen && wanted_ > 0); });
                if (stop_) return;
                seen = round_;
                --wanted_;
            }
            work();
            std::lock_guard<std::mutex> lock(mutex_);
            if (--active_ == 0) done_.notify_one();
        }
    }

    std::mutex callMutex_;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::condition_variable done_;
    std::vector<std::thread> workers_;
    const std::function<void(int)>* task_ = nullptr;
    int count_ = 0;
    std::atomic<int> next_{0};
    int wanted_ = 0;
    int active_ = 0;
    unsigned long round_ = 0;
    bool stop_ = false;
};

}  // namespace

void ParallelFor(int count, int threads, const std::function<void(int)>& task) {
    if (count <= 0) return;
    if (threads <= 1 || count == 1) {
        for (int i = 0; i < count; ++i)
            task(i);
        return;
    }
    Pool::instance().run(count, threads, task);
}

}  // namespace tsy

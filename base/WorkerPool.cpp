#include "base/WorkerPool.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

namespace tsy {

int HardwareThreads() noexcept {
    const unsigned n = std::thread::hardware_concurrency();
    return n == 0 ? 1 : int(std::min(n, 64u));
}

namespace {

// One call's tasks. It lives on the caller's stack; the caller leaves only
// when no helper is inside any more.
struct Batch {
    Batch(const std::function<void(int)>& t, int n, int helpers)
        : task(t), count(n), room(helpers) {}
    const std::function<void(int)>& task;
    const int count;
    std::atomic<int> next{0};
    int room;        // helpers that may still join
    int inside = 0;  // helpers working on it
};

class Pool {
public:
    static Pool& instance() {
        static Pool pool;
        return pool;
    }

    void run(Batch& b, bool callerWorks, std::chrono::milliseconds period,
             const std::function<void()>& waiting) {
        std::unique_lock lock(mutex_);
        Grow(b.room);
        if (available_ == 0) {
            callerWorks = true;
            b.room = 0;
        }
        if (b.room > 0) {
            open_.push_back(&b);
            wake_.notify_all();
        }
        const auto finished = [&b] { return b.next.load() >= b.count && b.inside == 0; };
        if (callerWorks) {
            lock.unlock();
            Work(b);
            lock.lock();
        } else {
            while (!done_.wait_for(lock, period, finished)) {
                lock.unlock();
                waiting();
                lock.lock();
            }
        }
        if (const auto at = std::find(open_.begin(), open_.end(), &b); at != open_.end())
            open_.erase(at);
        done_.wait(lock, finished);
    }

    ~Pool() {
        {
            std::lock_guard lock(mutex_);
            stop_ = true;
        }
        wake_.notify_all();
        for (auto& t : threads_)
            t.join();
    }

private:
    Pool() {
        std::lock_guard lock(mutex_);
        Grow(HardwareThreads() - 1);
    }

    // Called with the lock held. A thread that cannot be started leaves the
    // pool as it is; the calls then share fewer helpers.
    void Grow(int wanted) {
        while (available_ < wanted) {
            try {
                threads_.emplace_back([this] { Loop(); });
            } catch (const std::system_error&) {
                return;
            }
            ++available_;
        }
    }

    static void Work(Batch& b) {
        for (int i; (i = b.next.fetch_add(1)) < b.count;)
            b.task(i);
    }

    void Loop() {
        std::unique_lock lock(mutex_);
        for (;;) {
            wake_.wait(lock, [&] { return stop_ || !open_.empty(); });
            if (stop_) return;
            Batch& b = *open_.front();
            if (--b.room == 0 || b.next.load() >= b.count) open_.pop_front();
            ++b.inside;
            --available_;
            lock.unlock();
            Work(b);
            lock.lock();
            --b.inside;
            ++available_;
            done_.notify_all();
        }
    }

    std::mutex mutex_;
    std::condition_variable wake_;
    std::condition_variable done_;
    std::vector<std::thread> threads_;
    std::deque<Batch*> open_;  // calls that take more helpers
    int available_ = 0;        // threads in no call
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
    Batch b(task, count, std::min(threads, count) - 1);
    Pool::instance().run(b, true, {}, {});
}

void ParallelForWhileWaiting(int count, int threads, const std::function<void(int)>& task,
                             std::chrono::milliseconds period,
                             const std::function<void()>& waiting) {
    if (count <= 0) return;
    Batch b(task, count, std::clamp(std::min(threads, count), 1, count));
    Pool::instance().run(b, false, period, waiting);
}

}  // namespace tsy

#pragma once

// Shared by the alignment's own files only; OpenCV stays behind them.

#include <exception>
#include <mutex>
#include <vector>

#include <opencv2/core.hpp>

#include "base/PictureBuffer.h"

namespace tsy::align {

inline constexpr double kPi = 3.14159265358979323846;

struct Match {
    double x1, y1;  // image 1, full size
    double x2, y2;  // image 2, full size
};

struct Model {
    double a = 0, b = 1, v = 0;  // y1 - cy = a (x2 - cx) + b (y2 - cy) + v
    double Residual(const Match& m, double cx, double cy) const {
        return (m.y1 - cy) - (a * (m.x2 - cx) + b * (m.y2 - cy) + v);
    }
};

// OpenCV's own threads would compete with the pool's; the pool does the
// spreading, bands and views at a time.
void UsePoolThreadsOnly();

// Pool tasks must not throw; OpenCV may (memory, odd input). The first
// failure is kept and thrown again once the tasks are done.
class TaskFailure {
public:
    template <class F>
    void Guard(F f) noexcept {
        try {
            f();
        } catch (...) {
            std::lock_guard lock(mutex_);
            if (!first_) first_ = std::current_exception();
        }
    }
    void Rethrow() const {
        if (first_) std::rethrow_exception(first_);
    }

private:
    std::mutex mutex_;
    std::exception_ptr first_;
};

// Features of both views on reduced grey copies, matched: positions at full
// size. k receives each view's reduction, fewestPoints the features found in
// the poorer view (none are matched below 3).
std::vector<Match> FindMatches(const PictureBuffer& image1, const PictureBuffer& image2,
                               int (&k)[2], int& fewestPoints, int threads);

// The vertical model by consensus; the inliers' indices.
std::vector<int> Ransac(const std::vector<Match>& ms, double cx, double cy, double limit,
                        Model& best);

// Places a match again at full size, to a fraction of a pixel; false when
// it cannot be placed well.
bool Refine(const PictureBuffer& image1, const PictureBuffer& image2, double roll, double scale,
            int rx, int ry, Match& m);

}  // namespace tsy::align

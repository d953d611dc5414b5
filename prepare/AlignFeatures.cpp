// Features on reduced grey copies of both views, and their matches.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <mutex>
#include <vector>

#include <opencv2/features2d.hpp>

#include "base/WorkerPool.h"
#include "prepare/AlignSteps.h"

namespace tsy::align {

namespace {

// Features are found on a copy of at most this many pixels: enough points
// for a sub-pixel fit, few enough for the time a rebuild may take.
constexpr double kReducedPixels = 0.6e6;
constexpr int kFeatures = 2500;
constexpr float kRatio = 0.8f;

// Grey mean of k x k blocks, rows [from, to) of out. For k of 4 and more
// only two rows of each block are read, placed symmetrically so the block's
// centre stays where it is: memory, not arithmetic, is what this costs.
void ReduceRows(const PictureBuffer& src, int k, cv::Mat& out, int from, int to) {
    std::vector<std::uint32_t> sums(std::size_t(out.cols));
    int rows[2] = {0, k - 1};
    int count = k;
    if (k >= 4) {
        rows[0] = k / 4;
        rows[1] = k - 1 - k / 4;
        count = 2;
    }
    const std::uint32_t div = std::uint32_t(4 * k * count);
    for (int oy = from; oy < to; ++oy) {
        std::fill(sums.begin(), sums.end(), 0u);
        for (int r = 0; r < count; ++r) {
            const int dy = count == 2 ? rows[r] : r;
            const std::uint8_t* p = src.row(oy * k + dy);
            for (int ox = 0; ox < out.cols; ++ox) {
                std::uint32_t s = 0;
                for (int dx = 0; dx < k; ++dx, p += 4)
                    s += std::uint32_t(p[0]) + 2u * p[1] + p[2];
                sums[std::size_t(ox)] += s;
            }
        }
        std::uint8_t* o = out.ptr<std::uint8_t>(oy);
        for (int ox = 0; ox < out.cols; ++ox)
            o[ox] = std::uint8_t((sums[std::size_t(ox)] + div / 2) / div);
    }
}

int ReductionFor(const PictureBuffer& p) {
    const double pixels = double(p.width()) * p.height();
    return std::max(1, int(std::ceil(std::sqrt(pixels / kReducedPixels))));
}

struct Features {
    std::vector<cv::KeyPoint> points;
    cv::Mat descriptors;
};

struct Point {
    double x, y;
    int index;
};

std::vector<Point> FullSize(const Features& f, int k) {
    // A reduced pixel is the mean of a k x k block: its centre.
    const double c = (k - 1) / 2.0;
    std::vector<Point> out;
    out.reserve(f.points.size());
    for (std::size_t i = 0; i < f.points.size(); ++i)
        out.push_back({f.points[i].pt.x * k + c, f.points[i].pt.y * k + c, int(i)});
    return out;
}

// The two smallest Hamming distances from one descriptor to those of
// candidates [from, to); popcnt where the processor has it.
__attribute__((target_clones("popcnt", "default"))) void Nearest(
    const std::uint64_t* q, const cv::Mat& train, const std::vector<Point>& cands, std::size_t from,
    std::size_t to, double x, double maxDx, int& best, int& bestD, int& secondD) {
    for (std::size_t j = from; j < to; ++j) {
        if (std::abs(cands[j].x - x) > maxDx) continue;
        const auto* t = train.ptr<std::uint64_t>(cands[j].index);
        const int d = __builtin_popcountll(q[0] ^ t[0]) + __builtin_popcountll(q[1] ^ t[1]) +
                      __builtin_popcountll(q[2] ^ t[2]) + __builtin_popcountll(q[3] ^ t[3]);
        if (d < bestD) {
            secondD = bestD;
            bestD = d;
            best = int(j);
        } else if (d < secondD) {
            secondD = d;
        }
    }
}

// Matches by the ratio of the two nearest descriptors, among the points of
// image 2 that the largest misalignment and disparity allowed could reach.
std::vector<Match> MatchFeatures(const Features (&f)[2], const int (&k)[2], int width, int height,
                                 int threads) {
    const std::vector<Point> one = FullSize(f[0], k[0]);
    std::vector<Point> two = FullSize(f[1], k[1]);
    std::sort(two.begin(), two.end(), [](const Point& a, const Point& b) { return a.y < b.y; });
    const double maxDy = 0.12 * height + 0.05 * width, maxDx = 0.3 * width;
    std::vector<Match> found[2];
    const int half = int(one.size()) / 2;
    ParallelFor(2, threads, [&](int part) {
        const int from = part == 0 ? 0 : half, to = part == 0 ? half : int(one.size());
        for (int i = from; i < to; ++i) {
            const Point& p = one[std::size_t(i)];
            const auto lo = std::lower_bound(two.begin(), two.end(), p.y - maxDy,
                                             [](const Point& a, double y) { return a.y < y; });
            const auto hi = std::upper_bound(two.begin(), two.end(), p.y + maxDy,
                                             [](double y, const Point& a) { return y < a.y; });
            int best = -1, bestD = 1 << 20, secondD = 1 << 20;
            Nearest(f[0].descriptors.ptr<std::uint64_t>(p.index), f[1].descriptors, two,
                    std::size_t(lo - two.begin()), std::size_t(hi - two.begin()), p.x, maxDx, best,
                    bestD, secondD);
            if (best < 0 || bestD >= kRatio * secondD) continue;
            const Point& q = two[std::size_t(best)];
            found[part].push_back({p.x, p.y, q.x, q.y});
        }
    });
    found[0].insert(found[0].end(), found[1].begin(), found[1].end());
    return found[0];
}

}  // namespace

void UsePoolThreadsOnly() {
    static std::once_flag once;
    std::call_once(once, [] { cv::setNumThreads(0); });
}

std::vector<Match> FindMatches(const PictureBuffer& image1, const PictureBuffer& image2,
                               int (&k)[2], int& fewestPoints, int threads) {
    UsePoolThreadsOnly();
    const PictureBuffer* views[2] = {&image1, &image2};
    k[0] = ReductionFor(image1);
    k[1] = ReductionFor(image2);
    cv::Mat grey[2];
    for (int v = 0; v < 2; ++v)
        grey[v].create(views[v]->height() / k[v], views[v]->width() / k[v], CV_8UC1);

    constexpr int kBands = 8;
    ParallelFor(2 * kBands, threads, [&](int task) {
        const int v = task / kBands, band = task % kBands;
        const int rows = grey[v].rows;
        ReduceRows(*views[v], k[v], grey[v], rows * band / kBands, rows * (band + 1) / kBands);
    });

    Features f[2];
    TaskFailure failure;
    ParallelFor(2, threads, [&](int v) {
        failure.Guard([&] {
            cv::Ptr<cv::ORB> orb =
                cv::ORB::create(kFeatures, 1.2f, 4, 31, 0, 2, cv::ORB::HARRIS_SCORE, 31, 12);
            orb->detectAndCompute(grey[v], cv::noArray(), f[v].points, f[v].descriptors);
        });
    });
    failure.Rethrow();
    fewestPoints = int(std::min(f[0].points.size(), f[1].points.size()));
    if (fewestPoints < 3) return {};
    return MatchFeatures(f, k, image1.width(), image1.height(), threads);
}

}  // namespace tsy::align

#include "prepare/StereoAlign.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <exception>
#include <future>
#include <mutex>
#include <random>
#include <vector>

#include <opencv2/core.hpp>
#include <opencv2/features2d.hpp>
#include <opencv2/imgproc.hpp>


namespace tsy {

namespace {

constexpr double kPi = 3.14159265358979323846;
// Features are found on a copy of at most this many pixels: enough points
// for a sub-pixel fit, few enough for the time a rebuild may take.
constexpr double kReducedPixels = 0.6e6;
constexpr int kFeatures = 2500;
constexpr float kRatio = 0.8f;
constexpr int kMinInliers = 24;
constexpr int kRansacRounds = 800;
constexpr std::size_t kRefined = 250;

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
void UsePoolThreadsOnly() {
    static std::once_flag once;
    std::call_once(once, [] { cv::setNumThreads(0); });
}

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

bool Solve3(const std::array<std::array<double, 4>, 3>& m, Model& out) {
    // Cramer's rule on the 3 x 3 system [x y 1 | t].
    auto det = [](double a, double b, double c, double d, double e, double f, double g, double h,
                  double i) {
        return a * (e * i - f * h) - b * (d * i - f * g) + c * (d * h - e * g);
    };
    const double D =
        det(m[0][0], m[0][1], m[0][2], m[1][0], m[1][1], m[1][2], m[2][0], m[2][1], m[2][2]);
    if (std::abs(D) < 1e-9) return false;
    out.a =
        det(m[0][3], m[0][1], m[0][2], m[1][3], m[1][1], m[1][2], m[2][3], m[2][1], m[2][2]) / D;
    out.b =
        det(m[0][0], m[0][3], m[0][2], m[1][0], m[1][3], m[1][2], m[2][0], m[2][3], m[2][2]) / D;
    out.v =
        det(m[0][0], m[0][1], m[0][3], m[1][0], m[1][1], m[1][3], m[2][0], m[2][1], m[2][3]) / D;
    return true;
}

// Least squares over the chosen matches.
bool Fit(const std::vector<Match>& ms, const std::vector<int>& use, double cx, double cy,
         Model& out) {
    if (use.size() < 3) return false;
    std::array<std::array<double, 4>, 3> n{};
    for (int i : use) {
        const Match& m = ms[std::size_t(i)];
        const double r[3] = {m.x2 - cx, m.y2 - cy, 1.0};
        const double t = m.y1 - cy;
        for (int j = 0; j < 3; ++j) {
            for (int k = 0; k < 3; ++k)
                n[std::size_t(j)][std::size_t(k)] += r[j] * r[k];
            n[std::size_t(j)][3] += r[j] * t;
        }
    }
    return Solve3(n, out);
}

std::vector<int> Inliers(const std::vector<Match>& ms, const Model& model, double cx, double cy,
                         double limit) {
    std::vector<int> in;
    for (std::size_t i = 0; i < ms.size(); ++i)
        if (std::abs(model.Residual(ms[i], cx, cy)) < limit) in.push_back(int(i));
    return in;
}

// A fit of the vertical differences only: y1 against image 2's own x and y,
// which carry no depth, so horizontal disparity never bends the model.
std::vector<int> Ransac(const std::vector<Match>& ms, double cx, double cy, double limit,
                        Model& best) {
    std::vector<int> bestIn;
    if (ms.size() < 3) return bestIn;
    std::mt19937 random(12345);
    std::uniform_int_distribution<std::size_t> pick(0, ms.size() - 1);
    for (int round = 0; round < kRansacRounds; ++round) {
        const std::size_t i = pick(random), j = pick(random), k = pick(random);
        if (i == j || j == k || i == k) continue;
        std::array<std::array<double, 4>, 3> sys{};
        const std::size_t idx[3] = {i, j, k};
        for (int r = 0; r < 3; ++r) {
            const Match& m = ms[idx[r]];
            sys[std::size_t(r)] = {m.x2 - cx, m.y2 - cy, 1.0, m.y1 - cy};
        }
        Model model;
        if (!Solve3(sys, model)) continue;
        int count = 0;
        for (const Match& m : ms)
            count += std::abs(model.Residual(m, cx, cy)) < limit;
        if (count > int(bestIn.size())) {
            bestIn = Inliers(ms, model, cx, cy, limit);
            best = model;
        }
    }
    // Polish on the consensus, twice, as the inliers settle.
    for (int pass = 0; pass < 2 && bestIn.size() >= 3; ++pass) {
        Model refined;
        if (!Fit(ms, bestIn, cx, cy, refined)) break;
        best = refined;
        bestIn = Inliers(ms, best, cx, cy, limit);
    }
    return bestIn;
}

// Grey value of a BGRX picture at (x, y), bilinear; false outside.
bool GreyAt(const PictureBuffer& p, double x, double y, float& out) {
    if (x < 0 || y < 0 || x > p.width() - 1.001 || y > p.height() - 1.001) return false;
    const int ix = int(x), iy = int(y);
    const float fx = float(x - ix), fy = float(y - iy);
    auto g = [&](int xx, int yy) {
        const std::uint8_t* q = p.row(yy) + std::size_t(xx) * 4;
        return float(q[0] + 2 * q[1] + q[2]);
    };
    const float top = g(ix, iy) + (g(ix + 1, iy) - g(ix, iy)) * fx;
    const float bottom = g(ix, iy + 1) + (g(ix + 1, iy + 1) - g(ix, iy + 1)) * fx;
    out = top + (bottom - top) * fy;
    return true;
}

// Sub-pixel peak of a parabola through three values.
double Vertex(float l, float c, float r) {
    const float d = l - 2 * c + r;
    return d < 0 ? std::clamp(0.5 * (l - r) / d, -0.5, 0.5) : 0.0;
}

// The reduced copies place points only to a few full pixels. Each match is
// placed again at full size: image 1's patch around the point against image
// 2 turned and scaled by the fit, so the patches look alike, and the peak of
// their correlation read to a fraction of a pixel. False when the patch
// leaves either picture or the peak is weak or on the search's edge.
bool Refine(const PictureBuffer& image1, const PictureBuffer& image2, double roll, double scale,
            int rx, int ry, Match& m) {
    constexpr int kHalf = 12, kSide = 2 * kHalf + 1;
    const int across = kSide + 2 * rx, down = kSide + 2 * ry;
    const double x1 = std::round(m.x1), y1 = std::round(m.y1);
    cv::Mat templ(kSide, kSide, CV_32F), search(down, across, CV_32F);
    for (int j = 0; j < kSide; ++j)
        for (int i = 0; i < kSide; ++i)
            if (!GreyAt(image1, x1 + i - kHalf, y1 + j - kHalf, templ.at<float>(j, i)))
                return false;
    // Image-1 offset (u, v) from the point corresponds to image 2's
    // (x2, y2) + R^T (u, v) / s.
    const double c = std::cos(roll) / scale, sn = std::sin(roll) / scale;
    const double ox = m.x2 + (x1 - m.x1) * c - (y1 - m.y1) * sn;
    const double oy = m.y2 + (x1 - m.x1) * sn + (y1 - m.y1) * c;
    for (int j = 0; j < down; ++j)
        for (int i = 0; i < across; ++i) {
            const double u = i - kHalf - rx, v = j - kHalf - ry;
            if (!GreyAt(image2, ox + c * u - sn * v, oy + sn * u + c * v, search.at<float>(j, i)))
                return false;
        }
    cv::Mat score;
    cv::matchTemplate(search, templ, score, cv::TM_CCOEFF_NORMED);
    cv::Point peak;
    double best;
    cv::minMaxLoc(score, nullptr, &best, nullptr, &peak);
    if (best < 0.7 || peak.x < 1 || peak.y < 1 || peak.x > score.cols - 2 ||
        peak.y > score.rows - 2)
        return false;
    const double du = peak.x - rx +
                      Vertex(score.at<float>(peak.y, peak.x - 1), score.at<float>(peak.y, peak.x),
                             score.at<float>(peak.y, peak.x + 1));
    const double dv = peak.y - ry +
                      Vertex(score.at<float>(peak.y - 1, peak.x), score.at<float>(peak.y, peak.x),
                             score.at<float>(peak.y + 1, peak.x));
    m = {x1, y1, ox + c * du - sn * dv, oy + sn * du + c * dv};
    return true;
}

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

std::string Only(int n) {
    return "only " + std::to_string(n) + (n == 1 ? " matching point" : " matching points");
}

}  // namespace

AlignResult MeasureAlignment(const PictureBuffer& image1, const PictureBuffer& image2,
                             int threads) {
    AlignResult result;
    if (!image1.hasImage() || !image2.hasImage() || image1.width() < 16 || image1.height() < 16 ||
        image2.width() < 16 || image2.height() < 16) {
        result.failure = image1.hasImage() && image2.hasImage() ? "the images are too small"
                                                                : "both images are needed";
        return result;
    }
    UsePoolThreadsOnly();
    const PictureBuffer* views[2] = {&image1, &image2};
    const int k[2] = {ReductionFor(image1), ReductionFor(image2)};
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
    if (f[0].points.size() < 3 || f[1].points.size() < 3) {
        result.failure = Only(int(std::min(f[0].points.size(), f[1].points.size())));
        return result;
    }

    std::vector<Match> matches = MatchFeatures(f, k, image1.width(), image1.height(), threads);
    const double cx = (image1.width() - 1) / 2.0, cy = (image1.height() - 1) / 2.0;
    const double limit = 1.5 * std::max(k[0], k[1]);
    Model model;
    std::vector<int> in = Ransac(matches, cx, cy, limit, model);
    if (int(in.size()) < kMinInliers) {
        result.failure = Only(int(in.size()));
        return result;
    }
    double scale = std::hypot(model.a, model.b);
    double roll = std::atan2(-model.a, model.b);
    if (scale < 0.75 || scale > 1.33 || std::abs(roll) > 20 * kPi / 180) {
        result.failure = "the views differ too much";
        return result;
    }

    const int reduction = std::max(k[0], k[1]);
    if (reduction > 1) {
        // Up to kRefined of the inliers, spread over the list, placed again.
        std::vector<Match> picked;
        const std::size_t step = (in.size() + kRefined - 1) / kRefined;
        for (std::size_t i = 0; i < in.size(); i += step)
            picked.push_back(matches[std::size_t(in[i])]);
        std::vector<char> kept(picked.size(), 0);
        // Across, a match is only as good as the reduced copy; down, the fit
        // places image 2's point to a pixel or two already.
        for (Match& m : picked)
            m.y2 = cy + ((m.y1 - cy) - model.a * (m.x2 - cx) - model.v) / model.b;
        const int rx = reduction + 2, ry = 3;
        ParallelFor(int(picked.size()), threads, [&](int i) {
            failure.Guard([&] {
                kept[std::size_t(i)] =
                    Refine(image1, image2, roll, scale, rx, ry, picked[std::size_t(i)]);
            });
        });
        failure.Rethrow();
        std::vector<Match> refined;
        for (std::size_t i = 0; i < picked.size(); ++i)
            if (kept[i]) refined.push_back(picked[i]);
        Model fine;
        const std::vector<int> fineIn = Ransac(refined, cx, cy, 1.0, fine);
        if (int(fineIn.size()) >= kMinInliers) {
            matches = std::move(refined);
            in = fineIn;
            model = fine;
            scale = std::hypot(model.a, model.b);
            roll = std::atan2(-model.a, model.b);
        }
    }

    double squares = 0;
    std::vector<double> disparity;
    disparity.reserve(in.size());
    const double cs = scale * std::cos(roll), sn = scale * std::sin(roll);
    for (int i : in) {
        const Match& m = matches[std::size_t(i)];
        const double r = model.Residual(m, cx, cy);
        squares += r * r;
        const double x2 = cx + cs * (m.x2 - cx) + sn * (m.y2 - cy);
        disparity.push_back(x2 - m.x1);
    }
    // The nearest points have the smallest x2 - x1; a low percentile rather
    // than the least keeps one wrong match from deciding.
    const std::size_t at = disparity.size() * 2 / 100;
    std::nth_element(disparity.begin(), disparity.begin() + std::ptrdiff_t(at), disparity.end());
    const double window =
        std::clamp(disparity[at], -double(image1.width()), double(image1.width()));

    result.aligned = true;
    result.transform = {model.v, roll * 180 / kPi, scale, cx, cy};
    result.residualPx = std::sqrt(squares / double(in.size()));
    result.inliers = int(in.size());
    result.windowOffset = int(std::lround(window));
    return result;
}

void ResampleView(const PictureBuffer& source, const AlignTransform& t, PictureBuffer& out,
                  int threads) {
    UsePoolThreadsOnly();
    const int w = source.width(), h = source.height();
    if (!source.hasImage() || w == 0 || h == 0) {
        out.resize(w, h);
        out.clear();
        return;
    }
    std::uint8_t* dst = out.assign(w, h);
    // Output q comes from p = c + R^T (q - c - (0, v)) / s.
    const double a = t.rollDeg * kPi / 180;
    const double cs = std::cos(a) / t.scale, sn = std::sin(a) / t.scale;
    const double m00 = cs, m01 = -sn, m10 = sn, m11 = cs;
    const double qx = t.cx, qy = t.cy + t.verticalPx;
    const double tx = t.cx - (m00 * qx + m01 * qy), ty = t.cy - (m10 * qx + m11 * qy);
    const cv::Mat src(h, w, CV_8UC4, const_cast<std::uint8_t*>(source.bits()));
    const cv::Mat all(h, w, CV_8UC4, dst);
    const int bands = std::max(1, std::min(h, 8 * threads));
    TaskFailure failure;
    ParallelFor(bands, threads, [&](int band) {
        const int y0 = h * band / bands, y1 = h * (band + 1) / bands;
        if (y1 <= y0) return;
        failure.Guard([&] {
            cv::Mat part = all.rowRange(y0, y1);
            const cv::Matx23d m(m00, m01, tx + m01 * y0, m10, m11, ty + m11 * y0);
            cv::warpAffine(src, part, m, part.size(), cv::INTER_LINEAR | cv::WARP_INVERSE_MAP,
                           cv::BORDER_CONSTANT, cv::Scalar(0, 0, 0, 255));
        });
    });
    out.touch();
    failure.Rethrow();
}

AlignOutcome AlignPair(const PictureBuffer& image1, const PictureBuffer& unaligned2,
                       PictureBuffer& image2, std::optional<double> cameraOffsetX,
                       OffsetSource source, bool resample, ProgressSink& progress, int threads) {
    AlignOutcome o;
    auto job = std::async(std::launch::async, [&] {
        o.result = MeasureAlignment(image1, unaligned2, threads);
        if (o.result.aligned && resample)
            ResampleView(unaligned2, o.result.transform, image2, threads);
    });
    while (job.wait_for(std::chrono::milliseconds(20)) != std::future_status::ready)
        progress.LetEventsRun();
    job.get();
    const std::optional<int> camera =
        cameraOffsetX ? std::optional<int>(int(std::lround(*cameraOffsetX))) : std::nullopt;
    if (o.result.aligned && (source == OffsetSource::Window || !camera)) {
        o.offsetX = o.result.windowOffset;
    } else if (camera) {
        o.offsetX = camera;
        o.fromCamera = true;
    }
    return o;
}

}  // namespace tsy

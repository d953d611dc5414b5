// The vertical model and the sub-pixel placing of matches.
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

#include <opencv2/imgproc.hpp>

#include "prepare/AlignSteps.h"

namespace tsy::align {

namespace {

constexpr int kRansacRounds = 800;

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

}  // namespace

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

}  // namespace tsy::align

// How image 2 sits against image 1: the fit of the matches, refined at full
// size, and what it says about the pair.
#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "base/WorkerPool.h"
#include "prepare/AlignSteps.h"
#include "prepare/StereoAlign.h"

namespace tsy {

namespace {

using align::Match;
using align::Model;

constexpr int kMinInliers = 24;
constexpr std::size_t kRefined = 250;
// Near and far are low and high percentiles rather than the extremes: one
// wrong match must not decide.
constexpr std::size_t kPercentile = 2;

std::string Only(int n) {
    return "only " + std::to_string(n) + (n == 1 ? " matching point" : " matching points");
}

// The correction's inverse, its horizontal shift left out: that is depth.
Misalignment Found(const AlignTransform& t) {
    const double roll = t.rollDeg * align::kPi / 180;
    return {-t.verticalPx * std::cos(roll) / t.scale, -t.rollDeg, 1 / t.scale};
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
    int k[2], fewest = 0;
    std::vector<Match> matches = align::FindMatches(image1, image2, k, fewest, threads);
    if (fewest < 3) {
        result.failure = Only(fewest);
        return result;
    }
    const double cx = (image1.width() - 1) / 2.0, cy = (image1.height() - 1) / 2.0;
    const double limit = 1.5 * std::max(k[0], k[1]);
    Model model;
    std::vector<int> in = align::Ransac(matches, cx, cy, limit, model);
    if (int(in.size()) < kMinInliers) {
        result.failure = Only(int(in.size()));
        return result;
    }
    double scale = std::hypot(model.a, model.b);
    double roll = std::atan2(-model.a, model.b);
    if (scale < 0.75 || scale > 1.33 || std::abs(roll) > 20 * align::kPi / 180) {
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
        align::TaskFailure failure;
        ParallelFor(int(picked.size()), threads, [&](int i) {
            failure.Guard([&] {
                kept[std::size_t(i)] =
                    align::Refine(image1, image2, roll, scale, rx, ry, picked[std::size_t(i)]);
            });
        });
        failure.Rethrow();
        std::vector<Match> refined;
        for (std::size_t i = 0; i < picked.size(); ++i)
            if (kept[i]) refined.push_back(picked[i]);
        Model fine;
        const std::vector<int> fineIn = align::Ransac(refined, cx, cy, 1.0, fine);
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
    const std::size_t nearAt = disparity.size() * kPercentile / 100;
    const std::size_t farAt = disparity.size() - 1 - nearAt;
    std::nth_element(disparity.begin(), disparity.begin() + std::ptrdiff_t(nearAt),
                     disparity.end());
    result.nearPx = disparity[nearAt];
    std::nth_element(disparity.begin() + std::ptrdiff_t(nearAt),
                     disparity.begin() + std::ptrdiff_t(farAt), disparity.end());
    result.farPx = disparity[farAt];

    result.aligned = true;
    result.transform = {model.v, roll * 180 / align::kPi, scale, cx, cy};
    result.found = Found(result.transform);
    result.residualPx = std::sqrt(squares / double(in.size()));
    result.inliers = int(in.size());
    const double width = image1.width();
    result.windowOffset = int(std::lround(std::clamp(result.nearPx, -width, width)));
    return result;
}

}  // namespace tsy

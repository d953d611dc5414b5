// Image 2 moved by the correction, at full size.
#include <algorithm>
#include <cmath>
#include <cstdint>

#include <opencv2/imgproc.hpp>

#include "base/WorkerPool.h"
#include "prepare/AlignSteps.h"
#include "prepare/StereoAlign.h"

namespace tsy {

void ResampleView(const PictureBuffer& source, const AlignTransform& t, PictureBuffer& out,
                  int threads) {
    const int w = source.width(), h = source.height();
    if (!source.hasImage() || w == 0 || h == 0) {
        out.resize(w, h);
        out.clear();
        return;
    }
    ResampleViewPart(source, t, 0, 0, w, h, out, threads);
}

bool ResampleViewPart(const PictureBuffer& source, const AlignTransform& t, int x, int y, int w,
                      int h, PictureBuffer& out, int threads) {
    if (!source.hasImage() || w <= 0 || h <= 0 || x < 0 || y < 0 || x > source.width() - w ||
        y > source.height() - h)
        return false;
    align::UsePoolThreadsOnly();
    // The resampler rounds each row's start and each column's step apart, so
    // columns are made from column 0 on, as in the whole, and the ones left
    // of the part cut off after: the window's cut of the whole and the
    // batch's part then hold the same pixels.
    const int cut = x;
    w += x, x = 0;
    std::uint8_t* dst = out.assign(w, h);
    // Output q comes from p = c + R^T (q - c - (0, v)) / s.
    const double a = t.rollDeg * align::kPi / 180;
    const double cs = std::cos(a) / t.scale, sn = std::sin(a) / t.scale;
    const double m00 = cs, m01 = -sn, m10 = sn, m11 = cs;
    const double qx = t.cx, qy = t.cy + t.verticalPx;
    // The part's (0, 0) is the whole's (x, y).
    const double tx = t.cx - (m00 * qx + m01 * qy) + m00 * x + m01 * y,
                 ty = t.cy - (m10 * qx + m11 * qy) + m10 * x + m11 * y;
    const cv::Mat src(source.height(), source.width(), CV_8UC4,
                      const_cast<std::uint8_t*>(source.bits()));
    const cv::Mat all(h, w, CV_8UC4, dst);
    const int bands = std::max(1, std::min(h, 8 * threads));
    align::TaskFailure failure;
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
    failure.Rethrow();
    if (cut > 0) out.crop(cut, 0, w - cut, h);
    out.touch();
    return true;
}

}  // namespace tsy

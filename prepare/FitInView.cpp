#include "prepare/FitInView.h"

#include <cmath>

namespace tsy {

namespace {

int FloorToInt(float v) {
    const float f = std::floor(v);
    if (!(f > -2147483648.0f)) return -2147483647 - 1;  // also NaN
    if (f >= 2147483647.0f) return 2147483647;
    return int(f);
}

}  // namespace

AspectFit FitAspect(int srcW, int srcH, int innerW, int innerH, int outerW, int outerH) {
    AspectFit fit;
    if (srcW > 0 && srcH > 0) {
        const float r = float(double(srcW) / double(srcH));
        const int w1 = innerW;
        const int h1 = FloorToInt(float(innerW) / r);
        const int h2 = innerH;
        const int w2 = FloorToInt(float(innerH) * r);
        if (h1 <= innerH) {
            fit.width = w1;
            fit.height = h1;
        } else {
            fit.width = w2;
            fit.height = h2;
        }
    }
    fit.copyWidth = fit.width < 1 ? srcW : fit.width;
    fit.copyHeight = fit.height < 1 ? srcH : fit.height;
    fit.x = (outerW - fit.width) / 2;
    fit.y = (outerH - fit.height) / 2;
    return fit;
}

}  // namespace tsy

#include "render/AnaglyphTables.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <memory>
#include <mutex>

namespace tsy {

LumTables::LumTables() {
    // The default rounding mode rounds halves to even.
    for (int i = 0; i < 256; ++i) {
        r[i] = std::uint8_t(std::nearbyint(i * 0.299));
        g[i] = std::uint8_t(std::nearbyint(i * 0.587));
        b[i] = std::uint8_t(std::nearbyint(i * 0.114));
    }
}

const LumTables& SharedLumTables() {
    static const LumTables tables;
    return tables;
}

BrightnessTable::BrightnessTable(int v) : brightness(std::clamp(v, -255, 255)) {
    up = std::uint8_t(std::max(brightness, 0));
    down = std::uint8_t(std::max(-brightness, 0));
    for (int i = 0; i < 256; ++i)
        value[i] = std::uint8_t(std::clamp(i + brightness, 0, 255));
}

namespace {

void Fill(DuboisTables& t, const LeastSquares& m) {
    for (int v = 0; v < 256; ++v) {
        const double c = v / 255.0;
        const double lin = c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
        for (int k = 0; k < 6; ++k) {
            for (int out = 0; out < 3; ++out)  // blue, green, red
                t.in[k][v][out] = float(m[2 - out][k] * lin);
            t.in[k][v][3] = 0;
        }
    }
}

}  // namespace

const DuboisTables& DuboisTablesFor(const LeastSquares& weights) {
    // Runs on several threads may ask at once; each set is built once.
    static std::mutex mutex;
    static std::map<const LeastSquares*, std::unique_ptr<DuboisTables>> built;
    const std::lock_guard lock(mutex);
    std::unique_ptr<DuboisTables>& tables = built[&weights];
    if (!tables) {
        tables = std::make_unique<DuboisTables>();
        Fill(*tables, weights);
    }
    return *tables;
}

EncodeConstants::EncodeConstants() {
    // Interpolation of (1.5 + t / 2)^(1/2.4) at the Chebyshev nodes of
    // [-1, 1], as a polynomial in t: within 4e-7 of the curve in float.
    constexpr int kN = 7;
    double cheb[kN];
    for (int j = 0; j < kN; ++j) {
        double sum = 0;
        for (int k = 0; k < kN; ++k) {
            const double x = std::cos(M_PI * (k + 0.5) / kN);
            sum += std::pow(1.5 + 0.5 * x, 1 / 2.4) * std::cos(M_PI * j * (k + 0.5) / kN);
        }
        cheb[j] = 2 * sum / kN;
    }
    cheb[0] /= 2;
    double tn[kN][kN] = {};  // monomial coefficients of the Chebyshev polynomials
    tn[0][0] = 1;
    tn[1][1] = 1;
    for (int j = 2; j < kN; ++j)
        for (int i = 0; i < kN; ++i)
            tn[j][i] = (i > 0 ? 2 * tn[j - 1][i - 1] : 0) - tn[j - 2][i];
    for (int i = 0; i < kN; ++i) {
        double a = 0;
        for (int j = 0; j < kN; ++j)
            a += cheb[j] * tn[j][i];
        poly[i] = float(a);
    }
    for (int i = 0; i < 16; ++i)
        scale[i] = float(255 * 1.055 * std::pow(2.0, (std::min(i, 9) - 9) / 2.4));
    offset = float(0.5 - 255 * 0.055);
    slope = float(255 * 12.92);
    knee = float(0.0031308);
    if (double(knee) > 0.0031308) knee = std::nextafter(knee, 0.0f);
}

const EncodeConstants& SharedEncodeConstants() {
    static const EncodeConstants constants;
    return constants;
}

}  // namespace tsy

#pragma once

#include <cstdint>

#include "render/Methods.h"

namespace tsy {

// Channel weights of the grayscale and half-colour methods: entry i is
// i * 0.299, i * 0.587, i * 0.114 in double precision, rounded to nearest with
// ties to even (250 * 0.114 = 28.5 gives 28). A pixel's sum is at most 255.
struct LumTables {
    LumTables();
    std::uint8_t r[256];
    std::uint8_t g[256];
    std::uint8_t b[256];
};

// Built on first use, shared by all runs and threads.
const LumTables& SharedLumTables();

// v + brightness clamped to 0..255, for v = 0..255.
struct BrightnessTable {
    explicit BrightnessTable(int brightness);

    int brightness;   // limited to -255..255, which changes no result
    std::uint8_t up;  // the saturating amounts for byte-wise SIMD
    std::uint8_t down;
    std::uint8_t value[256];
};

// The least-squares methods work in linear light. Per input channel (left
// red, green, blue, then right red, green, blue) and byte value: the byte's
// linear light (sRGB curve) times that channel's coefficients for output
// blue, green and red, and 0. A pixel's linear output is the sum of its six
// rows, added in that order.
struct DuboisTables {
    alignas(16) float in[6][256][4];
};

// The tables of a recipe's weights, built on first use.
const DuboisTables& DuboisTablesFor(const LeastSquares& weights);

// The sRGB encode of linear light o in [0, 1] without pow, as a byte plus
// one half (truncated by the caller): o = 2^e * m with m in [1, 2); m^(1/2.4)
// from a polynomial in t = 2m - 3, 255 * 1.055 * 2^(e/2.4) from a table for
// e = -9..0 (lower e take the straight part of the curve).
struct EncodeConstants {
    EncodeConstants();
    float poly[7];    // coefficients of t^0 .. t^6
    float scale[16];  // 255 * 1.055 * 2^((i - 9) / 2.4) for i = 0..9
    float offset;     // 0.5 - 255 * 0.055
    float slope;      // 255 * 12.92, the straight part
    float knee;       // the largest float o with o <= 0.0031308
};

const EncodeConstants& SharedEncodeConstants();

}  // namespace tsy

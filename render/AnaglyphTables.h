#pragma once

#include <cstdint>

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

}  // namespace tsy

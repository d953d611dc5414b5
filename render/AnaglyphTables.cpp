#include "render/AnaglyphTables.h"

#include <algorithm>
#include <cmath>

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

}  // namespace tsy

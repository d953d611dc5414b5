#include "base/FixedText.h"

#include <algorithm>
#include <cmath>

namespace tsy {

namespace {

std::int64_t PowerOfTen(int decimals) {
    std::int64_t scale = 1;
    for (int i = 0; i < decimals; ++i)
        scale *= 10;
    return scale;
}

}  // namespace

std::string FixedText(std::int64_t units, int decimals, const std::string& decimalPoint) {
    const std::int64_t scale = PowerOfTen(decimals);
    std::string text = std::to_string(units / scale);
    if (decimals <= 0) return text;
    std::string fraction = std::to_string(units % scale);
    fraction.insert(0, std::size_t(decimals) - fraction.size(), '0');
    text.append(decimalPoint).append(fraction);
    return text;
}

std::string FixedText(double v, int decimals, const std::string& decimalPoint) {
    // Clamped so that the count of units always fits.
    const double clamped = std::clamp(std::isnan(v) ? 0.0 : v, 0.0, 1e12);
    const auto units = std::int64_t(std::floor(clamped * double(PowerOfTen(decimals)) + 0.5));
    return FixedText(units, decimals, decimalPoint);
}

std::string FormatFixed(double value, int decimals, const std::string& decimalPoint) {
    const std::string magnitude = FixedText(std::abs(value), decimals, decimalPoint);
    // No "-0.00": a sign only where a digit shows.
    const bool zero = magnitude.find_first_not_of("0" + decimalPoint) == std::string::npos;
    return (value < 0 && !zero ? "-" : "") + magnitude;
}

}  // namespace tsy

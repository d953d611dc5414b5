#pragma once

#include <cstdint>
#include <string>

namespace tsy {

// units / 10^decimals as text with the given decimal point: 4213 units at 2
// decimals give "42.13". Negative counts are not expected.
std::string FixedText(std::int64_t units, int decimals, const std::string& decimalPoint = ".");

// v with the given number of decimals, halves rounded up; below 0 counts as 0.
std::string FixedText(double v, int decimals, const std::string& decimalPoint = ".");

// value with this many decimals and its sign, halves away from zero; no "-0".
std::string FormatFixed(double value, int decimals, const std::string& decimalPoint = ".");

}  // namespace tsy

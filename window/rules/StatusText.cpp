#include "window/rules/StatusText.h"

#include <cstdint>

#include "base/FixedText.h"

namespace tsy {

std::string DimensionsText(int width, int height, const std::string& decimalPoint) {
    const std::int64_t pixels = std::int64_t(width) * height;
    const std::int64_t tenths = (pixels + 50000) / 100000;
    std::string text = std::to_string(width);
    text.append(" x ").append(std::to_string(height)).append("  =  ");
    text.append(FixedText(tenths, 1, decimalPoint)).append(" mp");
    return text;
}

std::string ReadyText(double seconds, const std::string& decimalPoint) {
    std::string text = "Ready!  (";
    text.append(FixedText(seconds, 2, decimalPoint)).append("s)");
    return text;
}

std::string AlignStatusText(const AlignOutcome& o, const std::string& point) {
    std::string text;
    if (o.result.aligned) {
        const Misalignment& t = o.result.found;
        text = "Aligned: vertical " + FormatFixed(t.verticalPx, 1, point) + " px, roll " +
               FormatFixed(t.rollDeg, 2, point) + "\u00B0, scale " +
               FormatFixed(t.scale, 3, point) + ", residual " +
               FormatFixed(o.result.residualPx, 1, point) + " px";
    } else {
        text = "Could not align: " + o.result.failure;
        if (o.fromCamera && o.offsetX)
            text += "; the camera's parallax used (X-Offset " + std::to_string(*o.offsetX) + ")";
    }
    return text;
}

}  // namespace tsy

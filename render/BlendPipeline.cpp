#include "render/BlendPipeline.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "base/FixedText.h"
#include "prepare/SideBySide.h"
#include "render/Anaglyph.h"

namespace tsy {

int MethodNumberFor(int glassIndex, int colorIndex) {
    return (glassIndex == 1 ? 16 : 0) + colorIndex + 1;
}

int WorkingWidth(int picW, bool stretch) {
    return stretch ? picW : HalfWidth(picW);
}

void SizeWorkingBuffers(PictureBuffer& image1, PictureBuffer& image2, PictureBuffer& result,
                        int picW, int picH, bool stretch) {
    const int w = WorkingWidth(picW, stretch);
    image1.resize(w, picH);
    image2.resize(w, picH);
    result.resize(w, picH);
}

bool BuildAnaglyph(PictureBuffer& image1, PictureBuffer& image2, PictureBuffer& result,
                   const BlendSettings& s, ProgressSink& progress, int threads) {
    // The engine's offsets move the right view by -offset/2 and the left one
    // by +offset/2; the controls mean the opposite direction.
    return Anaglyph(image2, image1, result, s.methodNumber, s.brightness, s.contrast, -s.offsetX,
                    -s.offsetY, progress, threads);
}

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

}  // namespace tsy

#include "render/BlendPipeline.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "base/FixedText.h"
#include "prepare/SideBySide.h"

namespace tsy {

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
                   const AnaglyphSettings& s, ProgressSink& progress, int threads) {
    AnaglyphSettings engine = s;
    engine.offsetX = -s.offsetX;
    engine.offsetY = -s.offsetY;
    return Anaglyph(image2, image1, result, engine, progress, threads);
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

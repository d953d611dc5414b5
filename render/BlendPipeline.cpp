#include "render/BlendPipeline.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

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

}  // namespace tsy

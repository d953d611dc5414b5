#include "output/WiggleFrames.h"

#include <algorithm>
#include <cmath>
#include <new>

#include "base/WorkerPool.h"
#include "prepare/AreaScale.h"

namespace tsy {

bool WiggleFrames::Prepare(const PictureBuffer& left, const PictureBuffer& right,
                           const StereoSaveSettings& settings, std::string& error) {
    if (!CheckStereoViews(left, right, error)) return false;
    const PictureBuffer* views[2] = {&left, &right};
    const int w = left.width(), h = left.height();
    const int webWidth = std::max(settings.webWidth, 1);
    const int threads = settings.threads > 0 ? settings.threads : HardwareThreads();
    for (int i = 0; i < 2; ++i) {
        if (w <= webWidth) {
            frames_[i] = views[i];
            continue;
        }
        const int scaledHeight = std::max(1, int(std::lround(double(h) * webWidth / w)));
        try {
            ScalePicture(*views[i], webWidth, scaledHeight, scaled_[i], threads);
        } catch (const std::bad_alloc&) {
            error = "not enough memory to scale the views";
            return false;
        }
        frames_[i] = &scaled_[i];
    }
    return true;
}

int WiggleFrames::FrameMs(const StereoSaveSettings& settings) {
    return std::clamp(settings.frameMs, 20, 10000);
}

}  // namespace tsy

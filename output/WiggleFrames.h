#pragma once

#include <string>

#include "base/PictureBuffer.h"
#include "output/StereoSettings.h"

namespace tsy {

// The two frames of a wiggle animation, left view then right, scaled down by
// area averaging to the web width (never up). The views come with the stereo
// window point at the same place in both, so the frames are used as they are.
class WiggleFrames {
public:
    // False with a reason when the views cannot be used or memory runs out.
    bool Prepare(const PictureBuffer& left, const PictureBuffer& right,
                 const StereoSaveSettings& settings, std::string& error);
    const PictureBuffer& frame(int i) const { return *frames_[i]; }
    int width() const { return frames_[0]->width(); }
    int height() const { return frames_[0]->height(); }

    // How long each frame shows: the setting within 20 ms to 10 s (GIF's
    // shortest delay that browsers honour is 20 ms).
    static int FrameMs(const StereoSaveSettings& settings);

private:
    PictureBuffer scaled_[2];
    const PictureBuffer* frames_[2] = {nullptr, nullptr};
};

}  // namespace tsy

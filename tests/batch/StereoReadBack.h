#pragma once

#include <cstdlib>
#include <string>
#include <vector>

#include "base/PictureBuffer.h"
#include "convert/PairSource.h"
#include "platform/PairLoader.h"

namespace tsy::test {

// Both views of a stereo file as Tessaly's loader gives them to either program.
struct ReadBack {
    PictureBuffer left, right;
    std::vector<std::string> warnings;
    std::string error;
};

inline ReadBack ReadStereo(const std::string& path,
                           const StereoLayout& layout = {Arrangement::Auto}) {
    ReadBack r;
    PairSource source;
    ToolkitPairDecoder decoder;
    PictureBuffer scratch;
    if (source.Open(layout, path, "", r.warnings, r.error) &&
        decoder.Decode(source, 2, r.left, r.right, r.error))
        source.MakeViews(r.left, r.right, scratch, 2, r.warnings, r.error);
    return r;
}

// Mean difference per channel; 1e9 for pictures of other sizes.
inline double MeanDifference(const PictureBuffer& a, const PictureBuffer& b) {
    if (a.width() != b.width() || a.height() != b.height()) return 1e9;
    double sum = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x)
            for (int k = 0; k < 24; k += 8)
                sum += std::abs(int(a.pixel(x, y) >> k & 0xFF) - int(b.pixel(x, y) >> k & 0xFF));
    return sum / (3.0 * a.width() * a.height());
}

}  // namespace tsy::test

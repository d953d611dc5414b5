#pragma once

#include <string>

#include "input/JpsDescriptor.h"
#include "input/PngStereo.h"
#include "prepare/LayoutDetect.h"
#include "prepare/StereoLayout.h"

namespace tsy {

// What a file's own stereo marks say about the layout of its picture.
struct MetadataLayout {
    enum class Verdict { None, Pair, Single };
    Verdict verdict = Verdict::None;  // None: no mark, the pixels decide
    StereoLayout layout;              // for Pair
    std::string message;              // what the mark said, or why it is not used
};

// A JPS descriptor, or for a file named .jps without one, the JPS custom:
// side by side, right view first, full views. Over-under maps to top-bottom
// and the half flags to half layouts. A mono, interleaved or anaglyph JPS,
// and an unusable descriptor, make one picture: guessing there could swap
// or garble the views.
MetadataLayout LayoutFromJps(const JpsRead& jps, bool jpsName);

// A PNG sTER chunk: side by side, full views, the second behind its
// padding. A width that no padding of up to 7 columns fits is split in the
// middle when even (a writer that ignored the 8-column rule), with a note;
// an odd one makes one picture.
MetadataLayout LayoutFromSter(const PngSter& ster, int width);

// The marks first, the pixels (DetectLayout) where there are none.
LayoutGuess ChooseLayout(const PictureBuffer& picture, const MetadataLayout& marks);

}  // namespace tsy

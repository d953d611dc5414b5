#pragma once

#include <string>

#include "prepare/StereoLayout.h"

namespace tsy {

class PictureBuffer;

// What the pixels say about a picture that may hold a stereo pair.
struct LayoutGuess {
    bool pair = false;  // false: one picture
    StereoLayout layout;
    // The share of textured tiles of one half found again, unambiguously, in
    // the other half at a nearby place; for SideBySide and TopBottom.
    double sbsScore = 0, tbScore = 0;
    std::string message;  // what was decided, for the user
};

// Decides between one picture, side by side and top-bottom, full or half.
//
// Each half is reduced to a grid of cells and its texture (brightness less
// its local mean) cut into tiles. A tile is found again when some shift of at
// most a tenth of the width sideways and a few cells up or down matches it
// with a normalised correlation of 0.6 or more, better by 0.15 than any shift
// away from that one, and when the tile does not match itself as well at a
// shift along the split axis (a repeated pattern, which matches anywhere).
// A pair needs eight textured tiles, half of them found again, the found ones
// a cell or less apart vertically on the median, halves of like colour (mean
// levels within 16), and halves that do not repeat each other to the pixel
// (a pattern whose period divides the half, a picture shown twice): two
// views always differ by their parallax. Anything else, anything unsure
// included, is one picture.
//
// Full or half from the shape: a side-by-side picture whose views would be
// taller than wide (top-bottom: over 1.9 times wider than high) while the
// whole has a common photo or screen shape (1:1, 5:4, 4:3, 3:2, 16:10, 5:3,
// 16:9, 2:1 or a portrait one, within 2 %) is half; otherwise full. Views
// that are themselves portrait make this wrong: two 3:4 views side by side
// look like one 3:2 picture squeezed. Left first, as the order cannot be seen.
LayoutGuess DetectLayout(const PictureBuffer& picture);

// The full-or-half rule alone, for a picture width x height.
bool LooksHalf(Arrangement arrangement, int width, int height);

}  // namespace tsy

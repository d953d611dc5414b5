#pragma once

#include <cstdint>

#include "base/PictureBuffer.h"

namespace tsy::bench {

// A photo-like stereo scene (smooth sky and ground, hard-edged objects at
// different depths, fine texture and sensor noise) turned into a full-colour
// red/cyan anaglyph: red from the left view, green and blue from the right.
// The same seed always gives the same picture.
void MakeAnaglyphScene(PictureBuffer& picture, int width, int height, std::uint32_t seed = 1);

}  // namespace tsy::bench

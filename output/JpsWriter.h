#pragma once

#include <cstdint>
#include <vector>

#include "output/StereoCompose.h"
#include "output/StereoSettings.h"

namespace tsy {

// The APP3 data that tells readers how a JPEG holds the two views:
// "_JPSJPS_", the descriptor's length and the descriptor.
std::vector<std::uint8_t> JpsDescriptor(const StereoLayout& layout);

// Writes the views as a JPS: one baseline JPEG twice the width of a view,
// the right view first (the order a JPS has unless it says otherwise).
bool WriteJps(const PictureBuffer& left, const PictureBuffer& right,
              const StereoSaveSettings& settings, FileReplacer& file, std::string& error);

}  // namespace tsy

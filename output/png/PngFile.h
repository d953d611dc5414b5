#pragma once

#include <cstdint>
#include <vector>

#include "output/png/Raster.h"

namespace tsy::png {

// The PNG file of a raster whose filtered rows compress to the zlib stream idat.
std::vector<std::uint8_t> Assemble(const Raster& r, const std::vector<std::uint8_t>& idat);

}  // namespace tsy::png

#pragma once

#include <cstdint>
#include <vector>

#include "output/png/Raster.h"

namespace tsy::png {

// Turns the zlib stream of a raster's filtered rows into its PNG file in place,
// so a large picture's stream is never held twice.
void Assemble(const Raster& r, std::vector<std::uint8_t>& idatToPng);

}  // namespace tsy::png

#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "output/PngOptimiser.h"
#include "output/png/Raster.h"

namespace tsy::png {

// Turns the zlib stream of a raster's filtered rows into its PNG file in place,
// so a large picture's stream is never held twice. The chunks go between the
// header (and palette) and the pixel data.
void Assemble(const Raster& r, std::vector<std::uint8_t>& idatToPng,
              std::span<const PngChunk> extra = {});

}  // namespace tsy::png

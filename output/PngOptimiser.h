#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

#include "input/BmpReader.h"

namespace tsy {

// Search effort (/S): every level tries the colour types that hold the picture
// losslessly (grey at the smallest bit depth, a palette of at most 256
// colours, RGB) and keeps the smallest file found. "Literal coder" is our
// Huffman-only deflate with chosen block splits, the best fit for noisy rows.
//   4  one row-filter plan; literal coder and libdeflate level 6
//   3  one plan; literal coder, run-length zlib and libdeflate level 9
//   2  the usual: both adaptive plans (plus no filter when the filter is left
//      to the program) with the literal coder, run-length zlib and libdeflate
//      6; then libdeflate 12 on the two best plans, on a large picture only
//      when a sample says it can win
//   1  every plan (the five fixed filters and both adaptive ones), the quick
//      coders plus zlib's Huffman-only, then libdeflate 12 and zlib 9 on the
//      three best
//   0  every plan with every coder, no sampling
// Filter (/F): 0..4 that PNG filter on every row; 5 a choice per row (the
// adaptive plans); -1 leaves it to the effort level.
// The red, green, blue bytes the coder takes, from BGRX rows: row(y, scratch)
// gives row y, in scratch (width * 4 bytes) or elsewhere. Bands of rows are
// converted on up to `threads` threads.
RgbImage RgbOfRows(int width, int height, int threads,
                   const std::function<const std::uint8_t*(int y, std::uint8_t* scratch)>& row);

struct PngOptions {
    int effort = 2;
    int filter = -1;
    int threads = 0;  // 0: one per core
};

// Called with a rising percentage as the search goes on, 100 at the end;
// from the search's threads, one call at a time.
using PngProgress = std::function<void(int percent)>;

// An ancillary chunk of our own, such as sTER: four letters and its data.
struct PngChunk {
    char type[4];
    std::vector<std::uint8_t> data;
};

// Encodes the picture as the smallest PNG the search finds; the chunks go
// before the pixel data, after IHDR (and PLTE). False with a message only when
// memory runs out or the picture is empty.
bool EncodePng(const RgbImage& image, const PngOptions& options, std::vector<std::uint8_t>& png,
               std::string& error, const PngProgress& progress = {},
               std::span<const PngChunk> chunks = {});

// Reads a BMP and writes it as PNG beside the output, then renames it into
// place, so the output name never holds a partial file. Without replace an
// existing output is left alone and the call fails.
bool OptimiseBmpToPng(const std::string& bmpPath, const std::string& pngPath,
                      const PngOptions& options, bool replace, std::string& error,
                      const PngProgress& progress = {});

}  // namespace tsy

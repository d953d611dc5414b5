#include "output/PngOptimiser.h"

#include <sys/stat.h>

#include <algorithm>
#include <new>

#include "base/ReplaceFile.h"
#include "base/WorkerPool.h"
#include "output/png/PngFile.h"
#include "output/png/Raster.h"
#include "output/png/Search.h"

namespace tsy {

bool EncodePng(const RgbImage& image, const PngOptions& options, std::vector<std::uint8_t>& png,
               std::string& error, const PngProgress& progress,
               std::span<const PngChunk> chunks) {
    png.clear();
    if (image.width <= 0 || image.height <= 0 ||
        image.rgb.size() != std::size_t(image.width) * std::size_t(image.height) * 3) {
        error = "the picture is empty or inconsistent";
        return false;
    }
    const int effort = std::clamp(options.effort, 0, 4);
    const int filter = std::clamp(options.filter, -1, 5);
    const int threads = options.threads > 0 ? options.threads : HardwareThreads();
    try {
        const std::vector<png::Raster> rasters = png::Rasters(image, effort);
        png::Best best;
        best.progress = &progress;
        for (const png::Raster& r : rasters)
            best.trialsPlanned += png::PlannedTrials(r, effort, filter);
        std::size_t trialNo = 0;
        for (const png::Raster& r : rasters)
            png::Search(r, effort, filter, threads, best, trialNo);
        if (!best.raster) {
            error = best.outOfMemory ? "not enough memory to compress the picture"
                                     : "the picture could not be compressed";
            return false;
        }
        if (!best.Code(png)) {
            png.clear();
            error = "the picture could not be compressed";
            return false;
        }
        png::Assemble(*best.raster, png, chunks);
        if (progress) progress(100);
    } catch (const std::bad_alloc&) {
        png.clear();
        error = "not enough memory to compress the picture";
        return false;
    }
    return true;
}

bool OptimiseBmpToPng(const std::string& bmpPath, const std::string& pngPath,
                      const PngOptions& options, bool replace, std::string& error,
                      const PngProgress& progress) {
    struct stat st {};
    if (!replace && ::lstat(pngPath.c_str(), &st) == 0) {
        error = pngPath + " exists already (use /Y to replace it)";
        return false;
    }
    RgbImage image;
    std::vector<std::uint8_t> png;
    if (!ReadBmp(bmpPath, image, error) || !EncodePng(image, options, png, error, progress))
        return false;
    FileReplacer file(pngPath);
    return file.Open(error) && file.Write(png.data(), png.size(), error) &&
           file.Commit(error, replace);
}

RgbImage RgbOfRows(int width, int height, int threads,
                   const std::function<const std::uint8_t*(int y, std::uint8_t* scratch)>& row) {
    RgbImage image{width, height, {}};
    image.rgb.resize(std::size_t(width) * std::size_t(height) * 3);
    const int bands = std::max(1, std::min(height, threads * 4));
    std::vector<std::vector<std::uint8_t>> scratch(std::size_t(bands),
                                                   std::vector<std::uint8_t>(std::size_t(width) * 4));
    ParallelFor(bands, threads, [&](int band) {
        std::uint8_t* own = scratch[std::size_t(band)].data();
        for (int y = int(std::int64_t(height) * band / bands),
                 end = int(std::int64_t(height) * (band + 1) / bands);
             y < end; ++y) {
            const std::uint8_t* p = row(y, own);
            std::uint8_t* out = image.rgb.data() + std::size_t(y) * std::size_t(width) * 3;
            for (int x = 0; x < width; ++x, p += 4, out += 3) {
                out[0] = p[2];
                out[1] = p[1];
                out[2] = p[0];
            }
        }
    });
    return image;
}

}  // namespace tsy

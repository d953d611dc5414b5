#include "output/StereoPicture.h"

#include <new>
#include <vector>

#include "output/JpsWriter.h"

namespace tsy {

bool WriteStereoJpeg(const PictureBuffer& left, const PictureBuffer& right,
                     const StereoLayout& layout, const StereoSaveSettings& settings,
                     FileReplacer& file, std::string& error) {
    if (!CheckStereoViews(left, right, error)) return false;
    const std::vector<std::uint8_t> descriptor = JpsDescriptor(layout);
    const JpegSegment app3[] = {{0xE3, descriptor}};
    try {
        const StereoRows rows(left, right, layout, 1, settings.threads);
        return WriteJpegTo(rows.ForJpeg(), settings, {app3, true}, file, error);
    } catch (const std::bad_alloc&) {
        error = "not enough memory to squeeze the views";
        return false;
    }
}

PngChunk SterChunk(bool leftFirst) {
    return {{'s', 'T', 'E', 'R'}, {std::uint8_t(leftFirst ? 1 : 0)}};
}

bool WriteStereoPng(const PictureBuffer& left, const PictureBuffer& right,
                    const StereoLayout& layout, const StereoSaveSettings& settings,
                    FileReplacer& file, std::string& error) {
    if (!CheckStereoViews(left, right, error)) return false;
    // sTER describes whole views only: readers would show squeezed ones as
    // they are. Half pictures go without, as TVs take them.
    const bool sideBySide = layout.arrangement == Arrangement::SideBySide && !layout.half;
    PngOptions options;
    options.effort = settings.pngEffort;
    options.threads = settings.threads;
    std::vector<PngChunk> chunks;
    if (sideBySide) chunks.push_back(SterChunk(layout.leftFirst));
    std::vector<std::uint8_t> png;
    try {
        const RgbImage rgb =
            StereoRows(left, right, layout, sideBySide ? 8 : 1, settings.threads).Rgb();
        if (!EncodePng(rgb, options, png, error, {}, chunks)) return false;
    } catch (const std::bad_alloc&) {
        error = "not enough memory to encode the picture";
        return false;
    }
    return file.Write(png.data(), png.size(), error);
}

}  // namespace tsy

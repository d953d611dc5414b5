#include "output/JpsWriter.h"

#include "output/StereoPicture.h"

namespace tsy {

std::vector<std::uint8_t> JpsDescriptor(const StereoLayout& layout) {
    // One big-endian 32-bit word: separation, flags, layout, media type. No
    // comment block follows.
    constexpr std::uint8_t kHalfHeight = 1, kHalfWidth = 2, kLeftFirst = 4;
    constexpr std::uint8_t kSideBySide = 2, kOverUnder = 3, kStereo = 1;
    const bool sideBySide = layout.arrangement == Arrangement::SideBySide;
    const std::uint8_t flags =
        std::uint8_t((layout.half ? (sideBySide ? kHalfWidth : kHalfHeight) : 0) |
                     (layout.leftFirst ? kLeftFirst : 0));
    return {'_',
            'J',
            'P',
            'S',
            'J',
            'P',
            'S',
            '_',
            0,
            4,
            0,
            flags,
            sideBySide ? kSideBySide : kOverUnder,
            kStereo};
}

bool WriteJps(const PictureBuffer& left, const PictureBuffer& right,
              const StereoSaveSettings& settings, FileReplacer& file, std::string& error) {
    return WriteStereoJpeg(left, right, {Arrangement::SideBySide, false, false}, settings,
                           file, error);
}

}  // namespace tsy

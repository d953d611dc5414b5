#include "input/JpsDescriptor.h"

#include "input/JpegHeaders.h"

namespace tsy {

namespace {

JpsRead Invalid(std::string reason) {
    return {JpsStatus::Invalid, {}, "JPS stereo descriptor unusable: " + std::move(reason)};
}

}  // namespace

JpsRead ParseJpsDescriptor(std::span<const std::uint8_t> d) {
    // A 16-bit length of the block, then separation, flags, layout and type.
    if (d.size() < 6) return Invalid("the segment is cut short");
    const unsigned blockLength = unsigned(d[0]) << 8 | d[1];
    if (blockLength < 4) return Invalid("its header length is " + std::to_string(blockLength));
    const unsigned flags = d[3], layout = d[4], type = d[5];
    if (type > 1) return Invalid("unknown type " + std::to_string(type));
    JpsDescriptor j;
    j.separation = d[2];
    j.halfHeight = flags & 1;
    j.halfWidth = flags & 2;
    j.leftFirst = flags & 4;
    j.stereo = type == 1;
    if (!j.stereo) {
        // For one picture the code names the eye: 0 both, 1 left, 2 right.
        if (layout > 2) return Invalid("unknown eye code " + std::to_string(layout));
    } else if (layout < 1 || layout > 4) {
        return Invalid("unknown layout code " + std::to_string(layout));
    } else {
        j.layout = JpsLayout(layout);
    }
    return {JpsStatus::Valid, j, {}};
}

JpsRead ReadJpsDescriptor(std::span<const std::uint8_t> jpeg) {
    const JpegHeaders walk = WalkJpegHeaders(jpeg);
    if (!walk.hasJps) return {};
    return ParseJpsDescriptor(walk.jps);
}

}  // namespace tsy

#include "prepare/StereoMetadata.h"

namespace tsy {

namespace {

using Verdict = MetadataLayout::Verdict;

MetadataLayout Single(std::string why) {
    return {Verdict::Single, {}, std::move(why) + "; read as one picture"};
}

MetadataLayout Pair(const StereoLayout& layout, std::string what) {
    return {Verdict::Pair, layout, std::move(what)};
}

}  // namespace

MetadataLayout LayoutFromJps(const JpsRead& jps, bool jpsName) {
    switch (jps.status) {
        case JpsStatus::Absent:
            if (!jpsName) return {};
            return Pair({Arrangement::SideBySide, false, false, 0},
                        "a JPS file without stereo descriptor: side by side, right view first");
        case JpsStatus::Invalid:
            return Single(jps.reason);
        case JpsStatus::Valid:
            break;
    }
    const JpsDescriptor& d = jps.descriptor;
    const std::string order = d.leftFirst ? "left view first" : "right view first";
    if (!d.stereo) return Single("the JPS descriptor marks a single picture");
    switch (d.layout) {
        case JpsLayout::SideBySide:
            return Pair({Arrangement::SideBySide, d.leftFirst, d.halfWidth, 0},
                        std::string("JPS: side by side") + (d.halfWidth ? ", half width" : "") +
                            ", " + order);
        case JpsLayout::OverUnder:
            return Pair({Arrangement::TopBottom, d.leftFirst, d.halfHeight, 0},
                        std::string("JPS: over-under") + (d.halfHeight ? ", half height" : "") +
                            ", " + order);
        case JpsLayout::Interleaved:
            return Single("the JPS holds its views interleaved line by line, which is not read");
        case JpsLayout::Anaglyph:
            return Single("the JPS holds an anaglyph already");
    }
    return Single("unknown JPS layout");
}

MetadataLayout LayoutFromSter(const PngSter& ster, int width) {
    if (ster.status == SterStatus::Absent) return {};
    if (ster.status == SterStatus::Invalid) return Single(ster.reason);
    const std::string what = std::string("PNG stereo mark: side by side, ") +
                             (ster.leftFirst ? "left" : "right") + " view first";
    int view = 0, second = 0;
    if (SterGeometry(width, view, second))
        return Pair({Arrangement::SideBySide, ster.leftFirst, false, second - view}, what);
    const std::string odd = "the PNG stereo picture is " + std::to_string(width) +
                            " pixels wide, which two views aligned on 8 columns cannot fill";
    if (width < 2 || width % 2) return Single(odd);
    return Pair({Arrangement::SideBySide, ster.leftFirst, false, 0},
                what + " (" + odd + ": split in the middle)");
}

LayoutGuess ChooseLayout(const PictureBuffer& picture, const MetadataLayout& marks) {
    if (marks.verdict == Verdict::None) return DetectLayout(picture);
    LayoutGuess g;
    g.pair = marks.verdict == Verdict::Pair;
    g.layout = marks.layout;
    g.message = marks.message;
    return g;
}

}  // namespace tsy

#include "input/StereoStreams.h"

#include "input/JpegDecoder.h"
#include "input/JpegHeaders.h"
#include "input/JpegStream.h"
#include "input/LifTrailer.h"
#include "input/MpIndex.h"

namespace tsy {

namespace {

using Bytes = std::span<const std::uint8_t>;

std::string SizeText(Bytes jpeg) {
    int w = 0, h = 0;
    if (!ReadJpegSize(jpeg, w, h)) return "unknown size";
    return std::to_string(w) + " x " + std::to_string(h);
}

bool SameSize(Bytes a, Bytes b) {
    int wa, ha, wb, hb;
    return ReadJpegSize(a, wa, ha) && ReadJpegSize(b, wb, hb) && wa == wb && ha == hb;
}

StereoStreams Single(Bytes file, std::string note = {}) {
    StereoStreams s;
    s.view1 = file;
    if (!note.empty()) s.notes.push_back(std::move(note));
    return s;
}

StereoStreams Pair(StreamKind kind, Bytes v1, Bytes v2, bool leftFirst = true) {
    StereoStreams s;
    s.kind = kind;
    s.view1 = v1;
    s.view2 = v2;
    s.leftFirst = leftFirst;
    return s;
}

// A pair the MP index lists; a second view cut short leaves one picture.
StereoStreams FromMpIndex(Bytes file, const JpegHeaders& walk) {
    const MpPair pair = FindMpPair(file, walk);
    if (!pair.found) return Single(file, pair.reason);
    const JpegStreamSpan end = JpegStreamEnd(file, pair.start2);
    if (end.end == 0)
        return Single(file, "the second view of this MPO file is cut short; read as one picture");
    return Pair(StreamKind::Mpo, file.first(pair.start2),
                file.subspan(pair.start2, end.end - pair.start2));
}

// The views a metadata block names, complete and scaled if need be.
StereoStreams FromMetadata(Bytes file, const LifViews& lif) {
    for (const Bytes v : {lif.left, lif.right})
        if (JpegStreamEnd(v, 0).end == 0)
            return Single(file,
                          "a view named by the file's metadata is cut short or no JPEG "
                          "picture; read as one picture");
    StereoStreams s = Pair(StreamKind::TwoStream, lif.left, lif.right);
    if (!SameSize(lif.left, lif.right)) {
        s.sizesDiffer = true;
        s.notes.push_back("the right view is " + SizeText(lif.right) + ", the left " +
                          SizeText(lif.left) + ": the right view is scaled to the left's size");
    }
    return s;
}

}  // namespace

StereoStreams FindStereoStreams(Bytes file) {
    const JpegHeaders walk = WalkJpegHeaders(file);
    if (walk.end == 0 || walk.hasJps) return Single(file);
    // A damaged index counts as none: the pictures are looked for instead.
    if (!ReadMpEntries(walk).empty()) return FromMpIndex(file, walk);
    const JpegStreamSpan first = JpegStreamEnd(file, 0);
    if (first.end == 0) return Single(file);
    const Bytes view1 = file.first(first.end);
    const LifViews lif = ReadLifViews(file, view1);
    if (lif.named) return FromMetadata(file, lif);

    // The complete pictures behind the first; a start that breaks off is
    // taken for stray bytes unless the file ends inside it.
    std::vector<Bytes> more;
    bool cutShort = false;
    for (std::size_t at = first.end; (at = NextJpegStart(file, at, file.size())) != 0;) {
        const JpegStreamSpan s = JpegStreamEnd(file, at);
        cutShort = s.cutShort;
        if (s.end == 0) {
            ++at;
            continue;
        }
        int w, h;
        if (ReadJpegSize(file.subspan(at), w, h)) more.push_back(file.subspan(at, s.end - at));
        at = s.end;
    }
    const std::string why = lif.found && !lif.reason.empty() ? " (" + lif.reason + ")" : "";
    if (more.empty())
        return cutShort ? Single(file,
                                 "a second picture follows but is cut short; read as one "
                                 "picture")
                        : Single(file);
    if (more.size() > 1)
        return Single(file, "the file holds " + std::to_string(more.size() + 1) +
                                " pictures and no description naming a left and a right view" +
                                why + "; read as the first picture");
    if (IsGainMap(more[0])) return Single(file);
    if (!SameSize(view1, more[0]))
        return Single(file, "a second picture of " + SizeText(more[0]) + " follows the first (" +
                                SizeText(view1) + "); read as one picture");
    return Pair(StreamKind::TwoStream, view1, more[0]);
}

}  // namespace tsy

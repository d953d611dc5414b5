#include "output/MpoWriter.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>
#include <vector>

#include "output/ExifPatch.h"
#include "output/TiffWriter.h"

namespace tsy {

namespace {

using Bytes = std::vector<std::uint8_t>;

// Both orders are allowed; the cameras whose files every viewer must read
// write big-endian MP data (next to little-endian Exif, in some of them).
const TiffOrder kOrder(true);

constexpr std::uint8_t kMpfId[4] = {'M', 'P', 'F', 0};
constexpr std::uint8_t kVersion[4] = {'0', '1', '0', '0'};
constexpr std::uint32_t kDisparity = 0x020002, kRepresentative = 1u << 29;
// The MP format's "unknown" for a rational: all bits set in both halves.
constexpr std::uint32_t kUnknown = 0xFFFFFFFF;
constexpr int kFraction = 10000;

void AddAttributes(IfdWriter& ifd, std::uint32_t number, const StereoSaveSettings& s) {
    ifd.Long(0xB101, number);  // MPIndividualNum
    ifd.Long(0xB204, 1);       // BaseViewpointNum: the left view
    const double angle = s.convergenceDegrees.value_or(NAN);
    if (std::isfinite(angle) && std::fabs(angle) < 180)
        ifd.SRational(0xB205, std::int32_t(std::lround(angle * kFraction)), kFraction);
    else
        ifd.SRational(0xB205, std::int32_t(kUnknown), std::int32_t(kUnknown));
    const double baseline = s.baselineMetres.value_or(NAN);
    if (std::isfinite(baseline) && baseline >= 0 && baseline < 100000)
        ifd.Rational(0xB206, std::uint32_t(std::lround(baseline * kFraction)), kFraction);
    else
        ifd.Rational(0xB206, kUnknown, kUnknown);
}

// Picture 1's MP data: the index, its entries still blank, then its own
// attributes. entries tells where in the data the entries went.
Bytes IndexSegment(const StereoSaveSettings& s, std::size_t& entries) {
    Bytes d(kMpfId, kMpfId + 4);
    const std::size_t origin = d.size();
    kOrder.PutHeader(d);
    IfdWriter index(kOrder);
    index.Undefined(0xB000, kVersion);
    index.Long(0xB001, 2);
    const std::uint8_t blank[32] = {};
    index.Undefined(0xB002, blank);
    IfdWriter attributes(kOrder);
    AddAttributes(attributes, 1, s);
    entries = index.Write(d, origin, std::uint32_t(d.size() - origin + index.Size()))[2];
    attributes.Write(d, origin, 0);
    return d;
}

Bytes AttributeSegment(const StereoSaveSettings& s) {
    Bytes d(kMpfId, kMpfId + 4);
    const std::size_t origin = d.size();
    kOrder.PutHeader(d);
    IfdWriter attributes(kOrder);
    attributes.Undefined(0xB000, kVersion);
    AddAttributes(attributes, 2, s);
    attributes.Write(d, origin, 0);
    return d;
}

// Codes the view straight into the file, counting its bytes and keeping the
// first ones, where its header segments are: nothing of a 24 MP picture is
// held in memory.
constexpr std::size_t kHead = std::size_t(1) << 17;  // the segments fit in 64 KiB each

bool Stream(const PictureBuffer& view, const StereoSaveSettings& s, const JpegHeader& header,
            FileReplacer& file, Bytes& head, std::uint64_t& size, std::string& error) {
    bool written = true;
    size = 0;
    const int code = EncodeJpeg(
        view, s.quality, s.chroma,
        [&](const std::uint8_t* data, std::size_t n) {
            const std::size_t keep = std::min(n, head.capacity() - head.size());
            head.insert(head.end(), data, data + keep);
            size += n;
            return written = file.Write(data, n, error);
        },
        s.threads, header);
    if (code != 0 && written) error = JpegEncodeFailure(code);
    return code == 0;
}

// Where picture 1's MPF segment data starts; 0 when it is not there.
std::size_t FindMpf(const Bytes& jpeg) {
    for (std::size_t at = 2; at + 8 <= jpeg.size() && jpeg[at] == 0xFF;) {
        const std::size_t length = std::size_t(jpeg[at + 2]) << 8 | jpeg[at + 3];
        if (jpeg[at + 1] == 0xE2 && std::memcmp(&jpeg[at + 4], kMpfId, 4) == 0) return at + 4;
        if (jpeg[at + 1] == 0xDA) break;
        at += 2 + length;
    }
    return 0;
}

void SetEntry(std::uint8_t* e, std::uint32_t attribute, std::uint64_t size, std::uint64_t offset) {
    kOrder.Set32(e, attribute);
    kOrder.Set32(e + 4, std::uint32_t(size));
    kOrder.Set32(e + 8, std::uint32_t(offset));
}

}  // namespace

bool WriteMpo(const PictureBuffer& left, const PictureBuffer& right,
              const StereoSaveSettings& settings, FileReplacer& file, std::string& error) {
    if (!CheckStereoViews(left, right, error)) return false;
    Bytes exif;
    std::string exifError;
    const bool withExif =
        !settings.sourceExif.empty() &&
        AdaptExif(settings.sourceExif, left.width(), left.height(), exif, exifError);
    std::size_t entries = 0;
    const Bytes index = IndexSegment(settings, entries);
    const Bytes attributes = AttributeSegment(settings);
    const JpegSegment head1[] = {{0xE1, exif}, {0xE2, index}};
    const JpegSegment head2[] = {{0xE1, exif}, {0xE2, attributes}};
    const std::span<const JpegSegment> all1(head1), all2(head2);
    // Picture 1 goes out with its entries blank; they are filled in once
    // both sizes are known.
    const std::uint64_t start = file.size();
    Bytes head, none;
    std::uint64_t size1 = 0, size2 = 0;
    try {
        head.reserve(kHead);
    } catch (const std::bad_alloc&) {
        error = "not enough memory to encode the picture";
        return false;
    }
    if (!Stream(left, settings, {withExif ? all1 : all1.last(1), !withExif}, file, head, size1,
                error) ||
        !Stream(right, settings, {withExif ? all2 : all2.last(1), !withExif}, file, none, size2,
                error))
        return false;
    if (size1 + size2 > 0xFFFFFFFFu) {
        error = "the pictures are too large for an MPO file (4 GB)";
        return false;
    }
    const std::size_t mpf = FindMpf(head);
    if (mpf == 0 || mpf + entries + 32 > head.size()) {
        error = "the MP index went missing while encoding";
        return false;
    }
    const std::size_t byteOrderMark = mpf + 4;
    std::uint8_t pair[32] = {};
    SetEntry(pair, kRepresentative | kDisparity, size1, 0);
    SetEntry(pair + 16, kDisparity, size2, size1 - byteOrderMark);
    return file.Rewrite(start + mpf + entries, pair, sizeof pair, error);
}

}  // namespace tsy

#include "output/MpoWriter.h"

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

bool Encode(const PictureBuffer& view, const StereoSaveSettings& s, const JpegHeader& header,
            Bytes& out, std::string& error) {
    int code = 0;
    try {
        out.reserve(view.byteCount() / 4);
        code = EncodeJpeg(
            view, s.quality, s.chroma,
            [&](const std::uint8_t* data, std::size_t size) {
                out.insert(out.end(), data, data + size);
                return true;
            },
            s.threads, header);
    } catch (const std::bad_alloc&) {
        error = "not enough memory to encode the picture";
        return false;
    }
    if (code != 0) error = JpegEncodeFailure(code);
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

void SetEntry(std::uint8_t* e, std::uint32_t attribute, std::size_t size, std::size_t offset) {
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
    Bytes first, second;
    if (!Encode(left, settings, {withExif ? all1 : all1.last(1), !withExif}, first, error) ||
        !Encode(right, settings, {withExif ? all2 : all2.last(1), !withExif}, second, error))
        return false;
    if (first.size() + second.size() > 0xFFFFFFFFu) {
        error = "the pictures are too large for an MPO file (4 GB)";
        return false;
    }
    const std::size_t mpf = FindMpf(first);
    if (mpf == 0) {
        error = "the MP index went missing while encoding";
        return false;
    }
    const std::size_t byteOrderMark = mpf + 4;
    std::uint8_t* entry = first.data() + mpf + entries;
    SetEntry(entry, kRepresentative | kDisparity, first.size(), 0);
    SetEntry(entry + 16, kDisparity, second.size(), first.size() - byteOrderMark);
    return file.Write(first.data(), first.size(), error) &&
           file.Write(second.data(), second.size(), error);
}

}  // namespace tsy

#include "input/MpoReader.h"

#include <algorithm>
#include <cstring>
#include <iterator>

#include "base/FileType.h"
#include "input/JpegHeaders.h"
#include "input/MappedFile.h"
#include "base/SysTempDir.h"

namespace tsy {

namespace {

using Bytes = std::span<const std::uint8_t>;

const char* const kSearching = "Searching for Image 2 ...";
const char* const kExtracting = "Extracting Image 2 ...";

std::uint64_t TiffTypeSize(std::uint32_t type) {
    // BYTE ASCII SHORT LONG RATIONAL SBYTE UNDEFINED SSHORT SLONG SRATIONAL FLOAT DOUBLE
    static constexpr std::uint8_t kSize[] = {0, 1, 1, 2, 4, 8, 1, 1, 2, 4, 8, 4, 8};
    return type < std::size(kSize) ? kSize[type] : 0;
}

// What the MP index says of image 2: where it may start, best candidate
// first (0 = no answer), and what kind of picture it is.
struct MpIndex {
    std::uint64_t entry2Offset = 0;  // second entry's data offset, made absolute
    std::uint64_t entry1Size = 0;    // image 1 starts at 0, so its size
    bool stereo = false;             // image 2 is a disparity view
    bool previewsOnly = false;       // every image after the first is a preview
};

constexpr std::uint32_t kDisparity = 0x020002;
constexpr std::uint32_t kPreviews[] = {0x010001, 0x010002};  // large thumbnails

MpIndex ReadMpIndex(Bytes mp, std::size_t mpStart) {
    MpIndex c;
    TiffData t({}, false);
    std::uint64_t entries;
    std::uint32_t count;
    if (!TiffData::Open(mp, t) || !t.FirstIfd(entries, count)) return c;
    for (std::uint32_t i = 0; i < count; ++i) {
        const std::uint64_t e = entries + 12 * std::uint64_t(i);
        std::uint32_t tag = 0, type = 0, n = 0, at = 0;
        if (!t.U16(e, tag) || tag != 0xB002) continue;  // MPEntry
        if (!t.U16(e + 2, type) || !t.U32(e + 4, n) || !t.U32(e + 8, at)) return c;
        const std::uint64_t bytes = std::uint64_t(n) * TiffTypeSize(type);
        if (bytes < 16 || at > t.size() || t.size() - at < bytes) return c;
        std::uint32_t size1 = 0, offset2 = 0;
        t.U32(std::uint64_t(at) + 4, size1);
        if (bytes >= 32) t.U32(std::uint64_t(at) + 16 + 8, offset2);
        c.entry1Size = size1;
        if (offset2 != 0) c.entry2Offset = mpStart + std::uint64_t(offset2);
        // The low 24 bits of an entry's attribute give its type.
        c.previewsOnly = bytes >= 32;
        for (std::uint64_t k = 16; k + 16 <= bytes; k += 16) {
            std::uint32_t attribute = 0;
            t.U32(std::uint64_t(at) + k, attribute);
            const std::uint32_t kind = attribute & 0xFFFFFF;
            if (k == 16) c.stereo = kind == kDisparity;
            if (std::find(std::begin(kPreviews), std::end(kPreviews), kind) == std::end(kPreviews))
                c.previewsOnly = false;
        }
        return c;
    }
    return c;
}

// First start of a JPEG stream (FF D8 FF) at a position in [from, to).
// memchr finds the rare 0xFF bytes at memory speed.
std::size_t FindStreamStart(Bytes f, std::size_t from, std::size_t to) {
    const std::uint8_t* base = f.data();
    while (from < to) {
        const void* hit = std::memchr(base + from, 0xFF, to - from);
        if (!hit) break;
        const std::size_t i = std::size_t(static_cast<const std::uint8_t*>(hit) - base);
        if (f.size() - i >= 3 && base[i + 1] == 0xD8 && base[i + 2] == 0xFF) return i;
        from = i + 1;
    }
    return 0;
}

// Looks at every byte from `from` on. The percentage is that of the 1-based
// position within the file, shown whenever its whole part changes; the file
// is searched one percent at a time so that each caption comes when due.
std::int64_t Scan(Bytes f, std::size_t from, ProgressSink& progress) {
    const std::uint64_t n = f.size();
    std::uint64_t shown = 0;
    std::uint64_t pos = std::max<std::size_t>(from, 1);
    while (pos < n) {
        const std::uint64_t pct = (pos + 1) * 100 / n;
        if (pct != shown) {
            shown = pct;
            progress.SetCap("Scanning for Image 2: " + std::to_string(pct) + "%");
        }
        const std::uint64_t next = std::min(((pct + 1) * n + 99) / 100 - 1, n);
        if (const std::size_t hit = FindStreamStart(f, pos, next)) return std::int64_t(hit);
        pos = next;
    }
    return 0;
}

}  // namespace

std::int64_t FindImage2Offset(Bytes file, ProgressSink& progress) {
    progress.SetCap(kSearching);
    const JpegHeaders walk = WalkJpegHeaders(file);
    // An offset must land on an SOI behind image 1's headers: an EXIF
    // thumbnail is a JPEG stream too, but never image 2.
    const auto usable = [&](std::uint64_t off) {
        return off >= walk.end && off < file.size() && file.size() - off >= 2 &&
               file[off] == 0xFF && file[off + 1] == 0xD8;
    };
    const MpIndex c = ReadMpIndex(walk.mp, walk.mpStart);
    if (usable(c.entry2Offset)) return std::int64_t(c.entry2Offset);
    if (usable(c.entry1Size)) return std::int64_t(c.entry1Size);
    return Scan(file, walk.end, progress);
}

std::int64_t FindImage2Offset(const std::string& path, ProgressSink& progress) {
    MappedFile file;
    std::string error;
    if (!file.open(path, error)) {
        progress.SetCap(kSearching);
        return 0;
    }
    return FindImage2Offset(file.bytes(), progress);
}

bool HasMpoName(const std::string& path) {
    return FileTypeOf(path) == ".mpo";
}

bool IsStereoFile(const std::string& path, Bytes file) {
    const JpegHeaders walk = WalkJpegHeaders(file);
    const MpIndex index = ReadMpIndex(walk.mp, walk.mpStart);
    if (index.stereo) return true;
    if (index.previewsOnly) return false;
    return HasMpoName(path);
}

std::span<const std::uint8_t> LocateMpoImage2(const std::string& path, Bytes file,
                                              ProgressSink& progress) {
    if (!IsStereoFile(path, file)) return {};
    const std::int64_t off = FindImage2Offset(file, progress);
    if (off <= 0 || std::uint64_t(off) >= file.size()) return {};
    progress.SetCap(kExtracting);
    return file.subspan(std::size_t(off));
}

std::string ExtractMpoImage2(const std::string& path, const std::string& tempDir,
                             ProgressSink& progress) {
    MappedFile file;
    std::string error;
    if (!file.open(path, error)) {
        if (HasMpoName(path)) progress.SetCap(kSearching);
        return "";
    }
    const Bytes image2 = LocateMpoImage2(path, file.bytes(), progress);
    if (image2.empty()) return "";
    const std::string out = tempDir + "StereoR.jpg";
    if (!WriteFileNoFollow(out, image2, error)) return "";
    return out;
}

}  // namespace tsy

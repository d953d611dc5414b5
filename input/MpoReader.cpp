#include "input/MpoReader.h"

#include <algorithm>
#include <cstring>
#include <iterator>

#include "base/FileType.h"
#include "input/MappedFile.h"
#include "base/SysTempDir.h"

namespace tsy {

namespace {

using Bytes = std::span<const std::uint8_t>;

const char* const kSearching = "Searching for Image 2 ...";
const char* const kExtracting = "Extracting Image 2 ...";

struct HeaderWalk {
    Bytes mp;                 // MP data, from the byte after "MPF\0"
    std::size_t mpStart = 0;  // its offset in the file
    std::size_t end = 0;      // where image 1's header segments end
};

// Walks image 1's header segments up to the end of its first SOS segment.
// Stopping there, rather than stepping on by a "length" read from the
// entropy-coded data, keeps the walk out of image 2 in small files.
HeaderWalk WalkHeaders(Bytes f) {
    HeaderWalk w;
    if (f.size() < 2 || f[0] != 0xFF || f[1] != 0xD8) return w;
    std::size_t p = 2;
    while (f.size() - p >= 4 && f[p] == 0xFF) {
        const std::uint8_t code = f[p + 1];
        if (code == 0xFF) {  // fill byte before a marker
            ++p;
            continue;
        }
        if (code == 0x01 || (code >= 0xD0 && code <= 0xD7)) {  // no length field
            p += 2;
            continue;
        }
        if (code == 0x00 || code == 0xD8 || code == 0xD9) break;
        const std::size_t len = std::size_t(f[p + 2]) << 8 | f[p + 3];
        if (len < 2) break;
        const std::size_t segEnd = std::min(p + 2 + len, f.size());
        if (code >= 0xE0 && code <= 0xEF && len >= 6 && segEnd - p >= 8 &&
            std::memcmp(&f[p + 4], "MPF\0", 4) == 0) {
            w.mpStart = p + 8;  // a later MP segment replaces an earlier one
            w.mp = f.subspan(w.mpStart, segEnd - w.mpStart);
        }
        p = segEnd;
        if (code == 0xDA) break;
    }
    w.end = p;
    return w;
}

class TiffData {
public:
    TiffData(Bytes d, bool bigEndian) : d_(d), big_(bigEndian) {}
    std::size_t size() const { return d_.size(); }
    bool U16(std::uint64_t at, std::uint32_t& v) const {
        if (at > d_.size() || d_.size() - at < 2) return false;
        const std::uint32_t a = d_[at], b = d_[at + 1];
        v = big_ ? a << 8 | b : b << 8 | a;
        return true;
    }
    bool U32(std::uint64_t at, std::uint32_t& v) const {
        std::uint32_t hi, lo;
        if (!U16(at, hi) || !U16(at + 2, lo)) return false;
        v = big_ ? hi << 16 | lo : lo << 16 | hi;
        return true;
    }

private:
    Bytes d_;
    bool big_;
};

std::uint64_t TiffTypeSize(std::uint32_t type) {
    // BYTE ASCII SHORT LONG RATIONAL SBYTE UNDEFINED SSHORT SLONG SRATIONAL FLOAT DOUBLE
    static constexpr std::uint8_t kSize[] = {0, 1, 1, 2, 4, 8, 1, 1, 2, 4, 8, 4, 8};
    return type < std::size(kSize) ? kSize[type] : 0;
}

// Where the MP index puts image 2, best candidate first; 0 = no answer.
struct IndexCandidates {
    std::uint64_t entry2Offset = 0;  // second entry's data offset, made absolute
    std::uint64_t entry1Size = 0;    // image 1 starts at 0, so its size
};

IndexCandidates ReadMpIndex(Bytes mp, std::size_t mpStart) {
    IndexCandidates c;
    if (mp.size() < 8) return c;
    bool big;
    if (std::memcmp(mp.data(), "II*\0", 4) == 0)
        big = false;
    else if (std::memcmp(mp.data(), "MM\0*", 4) == 0)
        big = true;
    else
        return c;
    const TiffData t(mp, big);
    std::uint32_t ifd, count;
    if (!t.U32(4, ifd) || !t.U16(ifd, count)) return c;
    if ((t.size() - ifd - 2) / 12 < count) return c;
    for (std::uint32_t i = 0; i < count; ++i) {
        const std::uint64_t e = std::uint64_t(ifd) + 2 + 12 * std::uint64_t(i);
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
    const HeaderWalk walk = WalkHeaders(file);
    // An offset must land on an SOI behind image 1's headers: an EXIF
    // thumbnail is a JPEG stream too, but never image 2.
    const auto usable = [&](std::uint64_t off) {
        return off >= walk.end && off < file.size() && file.size() - off >= 2 &&
               file[off] == 0xFF && file[off + 1] == 0xD8;
    };
    const IndexCandidates c = ReadMpIndex(walk.mp, walk.mpStart);
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

std::span<const std::uint8_t> LocateMpoImage2(const std::string& path, Bytes file,
                                              ProgressSink& progress) {
    if (!HasMpoName(path)) return {};
    const std::int64_t off = FindImage2Offset(file, progress);
    if (off <= 0 || std::uint64_t(off) >= file.size()) return {};
    progress.SetCap(kExtracting);
    return file.subspan(std::size_t(off));
}

std::string ExtractMpoImage2(const std::string& path, const std::string& tempDir,
                             ProgressSink& progress) {
    if (!HasMpoName(path)) return "";
    MappedFile file;
    std::string error;
    if (!file.open(path, error)) {
        progress.SetCap(kSearching);
        return "";
    }
    const Bytes image2 = LocateMpoImage2(path, file.bytes(), progress);
    if (image2.empty()) return "";
    const std::string out = tempDir + "StereoR.jpg";
    if (!WriteFileNoFollow(out, image2, error)) return "";
    return out;
}

}  // namespace tsy

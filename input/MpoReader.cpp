#include "input/MpoReader.h"

#include <algorithm>

#include "base/FileType.h"
#include "input/JpegHeaders.h"
#include "input/JpegStream.h"
#include "input/MappedFile.h"
#include "input/MpIndex.h"

namespace tsy {

namespace {

using Bytes = std::span<const std::uint8_t>;

const char* const kSearching = "Searching for Image 2 ...";
const char* const kExtracting = "Extracting Image 2 ...";

// What the MP index says of image 2: where it may start, best candidate
// first (0 = no answer), and what kind of picture it is.
struct MpIndex {
    std::uint64_t entry2Offset = 0;  // second entry's data offset, made absolute
    std::uint64_t entry1Size = 0;    // image 1 starts at 0, so its size
    bool stereo = false;             // image 2 is a disparity view
    bool previewsOnly = false;       // every image after the first is a preview
};

MpIndex ReadMpIndex(const JpegHeaders& walk) {
    const std::vector<MpEntry> entries = ReadMpEntries(walk);
    MpIndex c;
    if (entries.empty()) return c;
    c.entry1Size = entries[0].size;
    if (entries.size() < 2) return c;
    c.entry2Offset = entries[1].start;
    c.stereo = entries[1].IsDisparity();
    c.previewsOnly = std::all_of(entries.begin() + 1, entries.end(),
                                 [](const MpEntry& e) { return e.IsPreview(); });
    return c;
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
        if (const std::size_t hit = NextJpegStart(f, pos, next)) return std::int64_t(hit);
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
    const MpIndex c = ReadMpIndex(walk);
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
    const MpIndex index = ReadMpIndex(walk);
    if (index.stereo || FindMpPair(file, walk).found) return true;
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

}  // namespace tsy

#include "output/FileFormats.h"

#include <algorithm>
#include <deque>

#include "base/AsciiCase.h"
#include "output/AnaglyphWriters.h"
#include "output/StereoSaves.h"

namespace tsy {

namespace {

using A = Arrangement;

constexpr LayoutInfo kLayouts[] = {
    {"auto", "from the file, as above", {A::Auto, true, false}},
    {"sbs-lr", "side by side, left view first, views whole", {A::SideBySide, true, false}},
    {"sbs-rl", "side by side, right view first (cross-eyed)", {A::SideBySide, false, false}},
    {"sbs-lr-half", "side by side, views squeezed to half the width", {A::SideBySide, true, true}},
    {"sbs-rl-half", "the same, right view first", {A::SideBySide, false, true}},
    {"tb-lr", "top-bottom, left view on top, views whole", {A::TopBottom, true, false}},
    {"tb-rl", "top-bottom, right view on top", {A::TopBottom, false, false}},
    {"tb-lr-half", "top-bottom, views squeezed to half", {A::TopBottom, true, true}},
    {"tb-rl-half", "the same, right view on top", {A::TopBottom, false, true}},
};

constexpr unsigned kBoth = kReadsImage1 | kReadsImage2;
constexpr StereoLayout kCrossEyed{A::SideBySide, false, false};

constexpr FileFormat kFormats[] = {
    {"bmp", "BMP", "BMP", "*.bmp", "image/bmp", kBoth | kWrites, "BMP (*.bmp),  uncompressed|*.bmp", 2,
     Written::Anaglyph, WriteBmpAnaglyph},
    {"jpg", "JPEG", "JPEG", "*.jpg;*.jpeg", "image/jpeg", kBoth | kWrites,
     "JPEG (*.jpg),  lossy compression|*.jpg", 0, Written::Anaglyph, WriteJpegAnaglyph},
    // Image 2 of a pair is a single picture: a stereo file opens as image 1.
    {"mpo", "MPO", "Multi-JPG", "*.mpo", "image/x-mpo", kReadsImage1 | kWrites,
     "MPO (*.mpo),  both views, for 3D cameras and viewers|*.mpo", 3, Written::Views,
     WriteMpoViews, "_3D"},
    {"jps", "JPS", "JPS", "*.jps", "image/x-jps", kReadsImage1 | kWrites,
     "JPS (*.jps),  both views side by side, right view first|*.jps", 4, Written::Views,
     WriteJpsViews, "_3D", kCrossEyed},
    {"gif", "GIF", "GIF", "*.gif", "image/gif", kBoth | kWrites,
     "Wiggle GIF (*.gif),  the views in turn, for the web|*.gif", 20, Written::Views,
     WriteGifWiggle, "_wiggle"},
    {"png", "PNG", "PNG", "*.png", "image/png", kBoth | kWrites, "PNG (*.png),  lossless compression|*.png",
     1, Written::Anaglyph, WritePngAnaglyph},
    {"tif", "TIFF", "TIFF", "*.tif;*.tiff", "image/tiff", kBoth},
    {"webp", "WebP", "WebP", "*.webp", "image/webp", kBoth | kWrites,
     "Wiggle WebP (*.webp),  the views in turn, for the web|*.webp", 21, Written::Views,
     WriteWebpWiggle, "_wiggle"},
};

// The save dialog offers the pictures of both views with the left view
// first, and PNG only for whole views; the command line takes them all.
constexpr int kFirstPictureRank = 5;

bool Offered(const StereoLayout& layout, bool png) {
    return layout.leftFirst && !(png && layout.half);
}

// The rows of pictures of both views, one per layout in one picture and
// coder; their texts live as long as the program.
std::vector<FileFormat> AllRows() {
    std::vector<FileFormat> rows(std::begin(kFormats), std::end(kFormats));
    static std::deque<std::string> texts;  // grows without moving what it holds
    int rank = kFirstPictureRank;
    for (const LayoutInfo& l : kLayouts) {
        if (!l.layout.InOnePicture()) continue;
        const bool sbs = l.layout.arrangement == A::SideBySide;
        for (const bool png : {false, true}) {
            const char* word = png ? "PNG" : "JPEG";
            const char* pattern = png ? "*.png" : "*.jpg";
            const std::string what = std::string(l.layout.half ? "Half " : "") +
                                     (sbs ? (l.layout.half ? "side-by-side" : "Side-by-side")
                                          : (l.layout.half ? "top-bottom" : "Top-bottom"));
            texts.push_back(std::string(l.name) + (png ? ".png" : ".jpg"));
            const std::string_view name = texts.back();
            texts.push_back(what + " " + word + " (" + pattern + "),  " +
                            (l.layout.leftFirst ? "left" : "right") + " view first|" + pattern);
            const std::string_view filter = texts.back();
            texts.push_back(std::string(l.layout.half ? "_H" : "_") + (sbs ? "SBS" : "TB") +
                            (l.layout.leftFirst ? "" : "-RL"));
            const bool offered = Offered(l.layout, png);
            rows.push_back({name, name, word, pattern, png ? "image/png" : "image/jpeg", kWrites,
                            offered ? filter : std::string_view(), offered ? rank++ : -1,
                            Written::Views, png ? WritePngViews : WriteJpegViews, texts.back(),
                            l.layout});
        }
    }
    return rows;
}

const std::vector<FileFormat>& Rows() {
    static const std::vector<FileFormat> rows = AllRows();
    return rows;
}

// "*.a;*.b" -> "*.a, *.b"
std::string Listed(std::string_view patterns) {
    std::string text(patterns);
    for (std::size_t at = 0; (at = text.find(';', at)) != std::string::npos; at += 2)
        text.replace(at, 1, ", ");
    return text;
}

bool ReadsSlot(const FileFormat& f, int slot) {
    return (f.capabilities & (slot == 1 ? kReadsImage1 : kReadsImage2)) != 0;
}

}  // namespace

std::span<const LayoutInfo> Layouts() {
    return kLayouts;
}

const LayoutInfo* LayoutByName(std::string_view name) {
    for (const LayoutInfo& row : kLayouts)
        if (SameIgnoringCase(row.name, name)) return &row;
    return nullptr;
}

const LayoutInfo* LayoutRowOf(const StereoLayout& layout) {
    for (const LayoutInfo& row : kLayouts)
        if (row.layout == layout) return &row;
    return nullptr;
}

std::string FileFormat::Suffix() const {
    const std::string_view first = patterns.substr(0, patterns.find(';'));
    return std::string(first.substr(first.find('.')));
}

bool FileFormat::CodedAsJpeg() const {
    for (const SaveWriter jpeg : {WriteJpegAnaglyph, WriteMpoViews, WriteJpsViews, WriteJpegViews})
        if (write == jpeg) return true;
    return false;
}

std::span<const FileFormat> FileFormats() {
    return Rows();
}

std::vector<const FileFormat*> SaveFormats() {
    std::vector<const FileFormat*> rows;
    for (const FileFormat& f : Rows())
        if (f.Writes()) rows.push_back(&f);
    // Unranked rows (the command line's only) last, in table order.
    std::stable_sort(rows.begin(), rows.end(), [](const FileFormat* a, const FileFormat* b) {
        return unsigned(a->saveRank) < unsigned(b->saveRank);
    });
    return rows;
}

const FileFormat* SaveFormatByName(std::string_view name) {
    if (SameIgnoringCase(name, "jpeg")) name = "jpg";
    for (const FileFormat* f : SaveFormats())
        if (SameIgnoringCase(f->name, name)) return f;
    return nullptr;
}

const FileFormat* SaveFormatBySuffix(std::string_view suffix) {
    for (const FileFormat* f : SaveFormats())
        if (f->Suffix() == suffix) return f;
    return nullptr;
}

std::string OpenDialogFilter(int slot) {
    std::string all, rows;
    for (const FileFormat& f : kFormats) {
        if (!ReadsSlot(f, slot)) continue;
        all.append(all.empty() ? "" : ";").append(f.patterns);
        rows.append("|").append(f.caption).append(" (").append(Listed(f.patterns)).append(")|");
        rows.append(f.patterns);
    }
    // Files named otherwise (a stereo camera's .JPG pair, no extension) are
    // told by their content.
    return "Images (" + Listed(all) + ")|" + all + rows + "|All files (*)|*";
}

std::vector<const FileFormat*> DialogSaveFormats(bool twoViews) {
    std::vector<const FileFormat*> rows;
    for (const FileFormat* f : SaveFormats())
        if (!f->saveFilter.empty() && (twoViews || f->written == Written::Anaglyph))
            rows.push_back(f);
    return rows;
}

std::string SaveDialogFilter(const std::vector<const FileFormat*>& rows) {
    std::string filter;
    for (const FileFormat* f : rows)
        filter.append(filter.empty() ? "" : "|").append(f->saveFilter);
    return filter;
}

std::string ReadableFormatsText() {
    std::vector<std::string_view> words;
    for (const FileFormat& f : kFormats)
        if (f.Reads()) words.push_back(f.word);
    std::string text;
    for (std::size_t i = 0; i < words.size(); ++i)
        text.append(i == 0 ? "" : i + 1 == words.size() ? " and " : ", ").append(words[i]);
    return text;
}

std::vector<std::string> ReadableMimeTypes() {
    std::vector<std::string> types;
    for (const FileFormat& f : kFormats)
        if (f.Reads() && std::find(types.begin(), types.end(), f.mimeType) == types.end())
            types.emplace_back(f.mimeType);
    return types;
}

bool SavePicture(const FileFormat& format, const SaveInput& input, const std::string& path,
                 const SaveSettings& settings, bool replace, std::string& error) {
    FileReplacer file(path);
    return file.Open(error) && format.Write(input, settings, file, error) &&
           file.Commit(error, replace);
}

}  // namespace tsy

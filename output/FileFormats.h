#pragma once

#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "base/PictureBuffer.h"
#include "base/ReplaceFile.h"
#include "output/StereoSettings.h"
#include "prepare/StereoLayout.h"

namespace tsy {

// The one registry of what Tessaly reads and writes: the arrangements of two
// views in a file (layouts) and the file formats, each with what it can do.
// The dialogs' filters, the command lines, the help texts, the refusal of an
// unknown type and the desktop file's types all come from these rows, so a
// new layout or format is a row here plus code only where its bytes are new.

// ---- layouts ------------------------------------------------------------

struct LayoutInfo {
    std::string_view name;  // --layout NAME
    std::string_view help;
    StereoLayout layout;
};

std::span<const LayoutInfo> Layouts();
// The row named `name` (any case), or null.
const LayoutInfo* LayoutByName(std::string_view name);
// The row of a layout, or null when no row describes it.
const LayoutInfo* LayoutRowOf(const StereoLayout& layout);

// ---- file formats -------------------------------------------------------

struct SaveSettings {
    int quality = 95;  // JPEG, 1 to 100
    int threads = 1;   // the JPEG strips' and the PNG coder's
    // What the stereo writers take besides; its quality and threads are
    // the two above.
    StereoSaveSettings stereo;
};

// What a writer is handed: the anaglyph for an anaglyph format; the two
// views, left first, for a stereo format.
struct SaveInput {
    const PictureBuffer* anaglyph = nullptr;
    const PictureBuffer* left = nullptr;
    const PictureBuffer* right = nullptr;
};

struct FileFormat;

// Writes the whole encoded file into an open file; the caller commits it.
using SaveWriter = bool (*)(const FileFormat& row, const SaveInput& input,
                            const SaveSettings& settings, FileReplacer& file, std::string& error);

enum FormatCapability : unsigned {
    kReadsImage1 = 1,  // opens as image 1 (a stereo file brings image 2 along)
    kReadsImage2 = 2,  // opens as image 2
    kWrites = 4,
};

enum class Written { Nothing, Anaglyph, Views };

struct FileFormat {
    std::string_view name;      // --format NAME and the row's id ("jpg")
    std::string_view word;      // as users name the format in prose: "JPEG"
    std::string_view caption;   // in the open dialogs: "JPEG"
    std::string_view patterns;  // "*.jpg;*.jpeg", the first one the written suffix
    std::string_view mimeType;  // "image/jpeg"
    unsigned capabilities;
    // Writable rows: the save dialog's "caption|pattern", its place in that
    // dialog (from 0), what is written and by whom.
    std::string_view saveFilter = {};
    int saveRank = -1;
    Written written = Written::Nothing;
    SaveWriter write = nullptr;
    // Stereo rows: what a proposed name ends with before the suffix ("_3D"),
    // and how a picture of both views holds them.
    std::string_view nameTag = {};
    StereoLayout layout = {};

    bool Reads() const { return (capabilities & (kReadsImage1 | kReadsImage2)) != 0; }
    bool Writes() const { return (capabilities & kWrites) != 0; }
    // ".jpg": what a written file's name ends with.
    std::string Suffix() const;
    // Written as JPEG pictures (MPO and JPS are too): its quality matters.
    bool CodedAsJpeg() const;
    bool Write(const SaveInput& input, const SaveSettings& settings, FileReplacer& file,
               std::string& error) const {
        return write(*this, input, settings, file, error);
    }
};

// Every row, readable ones in the order the open dialogs list them. Behind
// the rows of the table come the pictures of both views, one row for each
// layout in one picture and each of JPEG and PNG ("sbs-lr.jpg").
std::span<const FileFormat> FileFormats();
// The writable rows: the save dialog's in its order, then the others.
std::vector<const FileFormat*> SaveFormats();
// A writable row by its --format name (any case; "jpeg" is "jpg"), or null.
const FileFormat* SaveFormatByName(std::string_view name);
// A writable row whose suffix is `suffix` (".jpg"), or null.
const FileFormat* SaveFormatBySuffix(std::string_view suffix);

// The open dialog's filter for image 1 (slot 1) or image 2 (slot 2): all
// readable types, then each row, "caption (*.a, *.b)|*.a;*.b", then all files.
std::string OpenDialogFilter(int slot);
// The rows the save dialog offers, in its order; without a second view only
// the anaglyph ones.
std::vector<const FileFormat*> DialogSaveFormats(bool twoViews = true);
// Their filters, joined as the save dialog takes them.
std::string SaveDialogFilter(const std::vector<const FileFormat*>& rows = DialogSaveFormats());
// "BMP, JPEG, MPO, GIF, PNG, TIFF and WebP": the readable formats in words.
std::string ReadableFormatsText();
// The MIME types of every readable row, without repeats.
std::vector<std::string> ReadableMimeTypes();

// Encodes into a file beside path and puts it in place; an existing file is
// replaced only when replace is true.
bool SavePicture(const FileFormat& format, const SaveInput& input, const std::string& path,
                 const SaveSettings& settings, bool replace, std::string& error);

}  // namespace tsy

#pragma once

#include <span>
#include <string>
#include <string_view>

#include "base/PictureBuffer.h"
#include "base/ReplaceFile.h"

namespace tsy {

struct SaveSettings {
    int quality = 95;  // JPEG, 1 to 100
    int threads = 1;   // the JPEG strips' and the PNG coder's
};

// Writes the whole encoded picture into an open file; the caller commits it.
using SaveWriter = bool (*)(const PictureBuffer& picture, const SaveSettings& settings,
                            FileReplacer& file, std::string& error);

enum class SaveFormatId { Jpeg, Png, Bmp };

// What the window's save dialog offers and the batch's --format takes.
struct SaveFormat {
    SaveFormatId id;
    std::string_view suffix;  // ".jpg", as proposed names and the dialog's pattern end
    std::string_view name;    // on the command line
    std::string_view filter;  // the save dialog's "caption|pattern"
    SaveWriter write;
};

// In the order the save dialog lists them.
std::span<const SaveFormat> SaveFormats();
const SaveFormat* SaveFormatBySuffix(std::string_view suffix);
const SaveFormat* SaveFormatByName(std::string_view name);
// Every row's filter, joined as the save dialog takes them.
std::string SaveDialogFilter();

// Encodes into a file beside path and puts it in place; an existing file is
// replaced only when replace is true.
bool SavePicture(const SaveFormat& format, const PictureBuffer& picture, const std::string& path,
                 const SaveSettings& settings, bool replace, std::string& error);

}  // namespace tsy

#include "output/StereoSaves.h"

#include "output/JpsWriter.h"
#include "output/MpoWriter.h"
#include "output/StereoPicture.h"
#include "output/WiggleGif.h"
#include "output/WiggleWebp.h"

namespace tsy {

namespace {

// Hands both views to a stereo writer (a StereoWriter, or one that takes the
// row's layout) with the settings it takes.
template <typename Write>
bool Views(const SaveInput& input, const SaveSettings& settings, FileReplacer& file,
           std::string& error, Write write) {
    if (!input.left || !input.right) {
        error = "there is no second view to write";
        return false;
    }
    StereoSaveSettings s = settings.stereo;
    s.quality = settings.quality;
    s.threads = settings.threads;
    return write(*input.left, *input.right, s, file, error);
}

// A writer of one picture of both views, placed as the row says.
template <auto WritePicture>
bool Placed(const FileFormat& row, const SaveInput& input, const SaveSettings& settings,
            FileReplacer& file, std::string& error) {
    return Views(input, settings, file, error,
                 [&row](const PictureBuffer& l, const PictureBuffer& r,
                        const StereoSaveSettings& s, FileReplacer& f, std::string& e) {
                     return WritePicture(l, r, row.layout, s, f, e);
                 });
}

}  // namespace

bool WriteMpoViews(const FileFormat&, const SaveInput& input, const SaveSettings& settings,
                   FileReplacer& file, std::string& error) {
    return Views(input, settings, file, error, WriteMpo);
}

bool WriteJpsViews(const FileFormat&, const SaveInput& input, const SaveSettings& settings,
                   FileReplacer& file, std::string& error) {
    return Views(input, settings, file, error, WriteJps);
}

bool WriteJpegViews(const FileFormat& row, const SaveInput& input, const SaveSettings& settings,
                    FileReplacer& file, std::string& error) {
    return Placed<WriteStereoJpeg>(row, input, settings, file, error);
}

bool WritePngViews(const FileFormat& row, const SaveInput& input, const SaveSettings& settings,
                   FileReplacer& file, std::string& error) {
    return Placed<WriteStereoPng>(row, input, settings, file, error);
}

bool WriteGifWiggle(const FileFormat&, const SaveInput& input, const SaveSettings& settings,
                    FileReplacer& file, std::string& error) {
    return Views(input, settings, file, error, WriteWiggleGif);
}

bool WriteWebpWiggle(const FileFormat&, const SaveInput& input, const SaveSettings& settings,
                     FileReplacer& file, std::string& error) {
    return Views(input, settings, file, error, WriteWiggleWebp);
}

}  // namespace tsy

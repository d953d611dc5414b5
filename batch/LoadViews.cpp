#include "batch/LoadViews.h"

#include <cstdint>
#include <span>

#include "base/Progress.h"
#include "input/BmpReader.h"
#include "input/JpegDecoder.h"
#include "input/MappedFile.h"
#include "input/MpoReader.h"
#include "platform/PairLoader.h"

namespace tsy {

using Bytes = std::span<const std::uint8_t>;

namespace {

// The loaders put the path in front of their message; the report names the
// file already.
std::string WithoutPath(std::string message, const std::string& path) {
    if (message.rfind(path + ": ", 0) == 0) message.erase(0, path.size() + 2);
    return message;
}

// A picture the decoder had to patch up is refused: a batch must not quietly
// write damaged results.
bool Accept(const LoadOutcome& load, PictureBuffer& out, std::string& error) {
    if (!load.ok) {
        error = load.error.toStdString();
        return false;
    }
    if (!load.warning.isEmpty()) {
        out.clear();
        error = "damaged picture: " + load.warning.toStdString();
        return false;
    }
    return true;
}

// Damaged pictures are refused anyway: the decoder stops at the damage.
bool Decode(Bytes bytes, PictureBuffer& out, std::string& error) {
    return Accept(LoadPictureFrom({{}, bytes, false, true}, out), out, error);
}

// Both views, the second on its own thread when there is a core for it.
bool DecodePair(Bytes first, Bytes second, PictureBuffer& image1, PictureBuffer& image2,
                const std::string& secondName, bool oneFile, bool parallel, std::string& error) {
    // The views of one stereo file share image 1's camera orientation.
    SecondViewLoad load2({{}, second, oneFile, true}, image2, parallel);
    const LoadOutcome one = LoadPictureFrom({{}, first, false, true}, image1);
    if (!Accept(one, image1, error)) return false;
    std::string error2;
    if (Accept(load2.Wait(one), image2, error2)) return true;
    error = secondName + ": " + error2;
    return false;
}

bool OpenInput(const std::string& path, MappedFile& file, std::string& error) {
    if (!file.open(path, error)) {
        error = WithoutPath(error, path);
        return false;
    }
    if (file.size() == 0) {
        error = "the file is empty";
        return false;
    }
    return true;
}

}  // namespace

bool LoadViews(const BatchOptions& o, const std::string& input, int threads, PictureBuffer& image1,
               PictureBuffer& image2, std::vector<std::string>& warnings, std::string& error) {
    MappedFile file;
    if (!OpenInput(input, file, error)) return false;
    const bool parallel = threads >= 2;
    SilentProgress quiet;
    if (o.sideBySide) {
        if (!LocateMpoImage2(input, file.bytes(), quiet).empty())
            warnings.push_back(
                "the file holds two views (an MPO file); --sbs splits view 1 in half, "
                "without --sbs both views are used");
        return Decode(file.bytes(), image1, error);
    }
    if (!o.right.empty()) {
        if (!LocateMpoImage2(input, file.bytes(), quiet).empty())
            warnings.push_back("the file holds two views (an MPO file); " + o.right +
                               " takes the place of view 2, without --right both views are used");
        MappedFile second;
        if (!OpenInput(o.right, second, error)) {
            error = o.right + ": " + error;
            return false;
        }
        return DecodePair(file.bytes(), second.bytes(), image1, image2, o.right, false, parallel,
                          error);
    }
    const Bytes view2 = LocateMpoImage2(input, file.bytes(), quiet);
    if (view2.empty()) {
        if (!HasMpoName(input))
            error =
                "not an MPO file (.mpo); use --sbs for side-by-side pictures or "
                "--right for a pair";
        // Something that is no picture at all says so better than "no view".
        else if (Decode(file.bytes(), image1, error))
            error = "no second view found in this MPO file";
        return false;
    }
    // The first view decodes from the whole file: its decoder stops at
    // the view's end, as the window's load of image 1 does.
    return DecodePair(file.bytes(), view2, image1, image2, "second view", true, parallel, error);
}

std::int64_t PicturePixels(const std::string& path) {
    MappedFile file;
    std::string error;
    if (!file.open(path, error)) return 0;
    int width = 0, height = 0;
    if (ReadJpegSize(file.bytes(), width, height)) return std::int64_t(width) * height;
    BmpHeader bmp;
    if (ReadBmpHeader(file.bytes().data(), file.size(), bmp, error)) return bmp.width * bmp.height;
    return 0;
}

}  // namespace tsy

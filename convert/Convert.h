#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "base/PictureBuffer.h"
#include "base/ReplaceFile.h"
#include "convert/Recipe.h"
#include "input/MappedFile.h"
#include "prepare/DepthBudget.h"
#include "prepare/StereoAlign.h"
#include "prepare/StereoCrop.h"

namespace tsy {

using FileBytes = std::span<const std::uint8_t>;

// The one conversion path: the bytes of both views found, decoded, split,
// swapped, aligned, rendered and handed to the format's writer. The batch
// runs it whole (Convert); the window runs the same steps one by one from
// its controls' events.

// Where the two views of one conversion are, before decoding.
class PairSource {
public:
    // Finds the views of `input` (and of `right`, image 2, when not empty)
    // as the recipe's layout says. False with the reason in error; what the
    // user should know about a usable file goes into warnings.
    bool Open(const Recipe& recipe, const std::string& input, const std::string& right,
              std::vector<std::string>& warnings, std::string& error);

    FileBytes view1() const { return view1_; }
    // Empty when the views are to be split from view 1.
    FileBytes view2() const { return view2_; }
    // Both views come from one file: image 2 takes image 1's orientation.
    bool oneFile() const { return oneFile_; }
    // How failures of view 2 name it: the file given for it, else "second view".
    std::string secondName() const { return right_.empty() ? "second view" : right_; }
    // The stereo file both views came from, whose camera notes may give the
    // X offset; empty otherwise.
    FileBytes stereoFile() const { return oneFile_ ? first_.bytes() : FileBytes(); }

private:
    MappedFile first_, second_;
    FileBytes view1_, view2_;
    bool oneFile_ = false;
    std::string right_;
};

// Decodes both views of a source: the programs hand in the toolkit's reader
// for the formats the core does not decode itself.
class PairDecoder {
public:
    virtual ~PairDecoder() = default;
    // image2 stays without picture when the source has no second view. A
    // picture the decoder had to patch up is a failure here.
    virtual bool Decode(const PairSource& source, int threads, PictureBuffer& image1,
                        PictureBuffer& image2, std::string& error) = 0;
};

// The camera's parallax for the views as shown: the one place where the
// camera's value meets the swap. None when the file holds none.
std::optional<double> CameraOffsetX(FileBytes stereoFile, int width, bool swapped);

// What a conversion found, for the programs to put in words.
struct ConvertReport {
    std::vector<std::string> warnings;
    std::optional<AlignOutcome> alignment;  // when aligned
    int offsetX = 0;                        // the X offset used
    std::optional<CropRect> crop;           // of the whole picture, when cut
    std::optional<DepthBudget> depth;       // when aligned
};

// The pictures a conversion works in; kept from file to file, same-sized
// files then need no fresh memory.
struct ConvertWork {
    PictureBuffer image1, image2, result;
};

// Runs the whole path for one input and writes into out (the caller
// commits). False with the reason in error.
bool Convert(const Recipe& recipe, const std::string& input, const std::string& right,
             PairDecoder& decoder, int threads, ConvertWork& work, FileReplacer& out,
             ConvertReport& report, std::string& error);

}  // namespace tsy
